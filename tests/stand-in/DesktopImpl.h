// What the stand-in's parts share: the desktop's state and the window procedures that serve it.
// Test fixture only; never shipped.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "FolderView.h"
#include "Log.h"
#include "ShellHost.h"
#include "StandIn.h"
#include "TrayWindow.h"

namespace standin {
namespace detail {

// Timers of the desktop's main window.
constexpr UINT_PTR kFolderTimer = 1;
constexpr UINT_PTR kHangTimer = 2;
constexpr UINT_PTR kRestartTimer = 3;
constexpr UINT_PTR kFillTimer = 4;
constexpr UINT_PTR kSqueezeTimer = 5;
// As soon after a change of the Desktop folder as a shell shows it.
constexpr UINT kFolderPollMs = 50;

constexpr UINT_PTR kSubclassId = 1;

// Posted to the desktop's main window: the folder view's objects of a desktop that went are
// disconnected, now that the call in flight that restarted it has been answered.
constexpr UINT kDisconnectMessage = WM_APP + 0x2C3;

// The longest item text a redirected answer hands out, with its terminator.
constexpr int kRedirectedChars = 1024;

constexpr wchar_t kProgmanClass[] = L"Progman";
constexpr wchar_t kViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kWorkerClass[] = L"WorkerW";
constexpr wchar_t kIeServerClass[] = L"Internet Explorer_Server";

constexpr COLORREF kDesktopColour = RGB(58, 110, 165);

// Where generated items go: down columns from the top left, as a fresh desktop fills up.
POINT GridCell(int cell, int rows);

LRESULT CALLBACK HostProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScriptedViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ViewSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK ListViewSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK HeaderSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// A message to the list view as a plain list view answers it, with its log line.
LRESULT ListViewMessage(Desktop::Impl* impl, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Reports the access violations of this process to the desktop's log, first in line among the
// process's handlers. Returns the handler for RemoveFaultReport.
PVOID AddFaultReport(Desktop::Impl* impl);
void RemoveFaultReport(PVOID handler);
int FaultsReported();

}  // namespace detail

struct Desktop::Impl {
    Options options;
    HWND progman = nullptr;
    HWND view = nullptr;
    HWND listView = nullptr;
    HWND header = nullptr;
    HWND viewWorker = nullptr;   // raised tree: the top-level "WorkerW" holding the view
    HWND emptyWorker = nullptr;  // raised tree: the empty "WorkerW" found before it
    HWND mainWindow = nullptr;   // ends the program when closed; holds the timers
    std::vector<HWND> topLevel;  // every top-level window of the desktop, "Progman" last
    std::unique_ptr<detail::ShellHost> shell;
    std::unique_ptr<detail::TrayWindow> tray;
    HANDLE hangEnd = nullptr;
    PVOID faultHandler = nullptr;
    POINT gridOrigin = {};    // where the platform's view put its first icon
    int quiet = 0;            // > 0 while the stand-in itself talks to its windows; owner thread only
    int generation = 0;       // desktops built before this one
    bool restarting = false;  // windows go down for a new desktop, not for good
    int requests[6] = {};     // requests of each kind received, for Options::Slow::nth
    // The names handed out by redirected item texts; a node's text never moves or goes while the
    // desktop object lives, so a pointer handed out stays valid.
    std::set<std::wstring> redirectedTexts;
    // A filling desktop: when it was built and how many of the items are in.
    ULONGLONG fillStart = 0;
    size_t filled = 0;
    // A squeeze over time: when it started and where each icon outside goes.
    struct Pull {
        int index;
        POINT from;
        POINT to;
    };
    ULONGLONG squeezeStart = 0;
    std::vector<Pull> pulls;

    // Shell mode: the list view's items by their ID lists; the folder view's server (folderView);
    // where each icon stands by its ID list as the desktop itself records it (since1809).
    detail::ItemIndex itemIndex;
    std::unique_ptr<detail::FolderViewServer> folderView;
    std::unordered_map<std::string, POINT> places;

    mutable std::mutex logMutex;
    std::vector<std::wstring> log;

    ~Impl();

    void Record(std::wstring line) {
        if (quiet > 0) return;
        Append(std::move(line));
    }

    // Logs even while quiet: for what happens to the stand-in, not what it is asked.
    void Append(std::wstring line) { Append(std::vector<std::wstring>{std::move(line)}); }
    // Several lines at once, as one write to the log file.
    void Append(std::vector<std::wstring> lines) {
        std::lock_guard<std::mutex> lock(logMutex);
        if (!options.logPath.empty()) detail::AppendUtf8Lines(options.logPath, lines);
        if (options.keepLog) log.insert(log.end(), lines.begin(), lines.end());
    }

    struct Quiet {
        explicit Quiet(Impl& impl) : impl_(impl) { ++impl_.quiet; }
        ~Quiet() { --impl_.quiet; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;
        Impl& impl_;
    };

    void TrackHeader(HWND candidate);
    void FindHeader();
    void ClearAutoArrange();
    static void ApplyDesktopColours(HWND list);
    static RECT ClientOf(HWND hwnd);

    // Desktop.cpp: building, restarting and refreshing the desktop.
    bool Build();
    bool BuildScripted(HWND host, HINSTANCE instance);
    bool BuildShell(HWND host);
    bool BuildDecoy(HINSTANCE instance);
    // A view with a list view holding the first `items` of the scripted items.
    HWND AddScriptedView(HWND host, HINSTANCE instance, size_t items);
    int InsertScriptedItem(HWND list, size_t item, int at);
    POINT ScriptedPlace(size_t item) const;
    void RaiseOtherWindows();
    void Teardown();
    void Restart();
    void RefreshShellKeepingPositions();

    // Faults.cpp: the fault options at work.
    LRESULT AnswerRequest(Request kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT CarryOut(Request kind, int index, int nth, const std::wstring& what, HWND hwnd, UINT msg, WPARAM wParam,
                     LPARAM lParam);
    void ApplyChanges(HWND hwnd, Request kind, int nth);
    void Hang();
    // Holds the thread up for a slow request; with Slow::pump it answers sent messages meanwhile.
    void Busy(const Options::Slow& slow, const std::wstring& what);
    // LVM_GETITEMW with the record's pszText pointed at the name in redirectedTexts.
    LRESULT AnswerRedirected(HWND hwnd, WPARAM wParam, LPARAM lParam, int index);

    // Settling.cpp: a desktop that fills over time, icons pulled in after a change of the screen
    // size at once or over time.
    void StartFill();
    void Fill();
    void PullIconsIn();
    void Squeeze();

    // WindowProcs.cpp: the scripted view's answer to a view command.
    void SwitchScriptedView(HWND list, UINT command);

    // Places.cpp: the desktop's own record of its icons' places (since1809), its refresh and the
    // moves it makes itself. Each records nothing without since1809.
    std::string IdListOf(int index);
    std::wstring TextOf(int index);
    // Every icon's place as it is now.
    void RecordPlaces();
    // The places of icons the record does not know yet, as they are now; icons gone are dropped.
    void RecordNewPlaces();
    // One icon's place as it is now, after the desktop moved it.
    void Remember(int index);
    // Puts every icon the record places elsewhere back ("FV REFRESH k").
    void Refresh();
    void MoveIcon(int index, POINT to);
};

}  // namespace standin
