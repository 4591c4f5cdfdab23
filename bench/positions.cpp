// Saving and restoring icon positions against the stand-in desktop, per item, next to a floor, on
// both ways to the icons. The list view's way (a scripted desktop, no folder view): the floor is
// the same number of bare cross-process LVM_GETITEMW + LVM_GETITEMPOSITION round trips through a
// block in the stand-in's process. The folder view's way (files on the Desktop folder, the
// platform's shell view reached by the route): the floor is one bare IFolderView::GetItemPosition
// across the process boundary per item, the ID lists listed beforehand. Restores are timed twice:
// with every icon already in place, and with every icon elsewhere (each on the next one's place).
// Each figure is the fastest of several rounds; the ratios of the rounds' medians stand beside.
// Usage: positions.exe STANDIN_EXE
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/Clock.h"
#include "base/ModulePath.h"
#include "base/ScopedWin.h"
#include "layouts/IconPositions.h"
#include "settings/Settings.h"
#include "shell/DesktopWindows.h"
#include "shell/ExchangeBlock.h"
#include "shell/FolderView.h"
#include "shell/ListViewIcons.h"

namespace {

double Now() { return NowSeconds(); }

// Waits until the list view has painted what it was asked to, and the X server has drawn it (not
// timed): a paint in progress would slow whatever is measured after it (the floor, measured after
// the last restore's repaint, came out up to half again as slow at 100 icons).
void Settle(HWND listView) {
    for (int i = 0; i < 500 && GetUpdateRect(listView, nullptr, FALSE); ++i) Sleep(10);
    SendMessageW(listView, WM_NULL, 0, 0);
    Sleep(100);
}

// Microseconds per item of one run of `work`, after `prepare` (not timed).
template <typename Prepare, typename Work>
double PerItem(HWND listView, int items, Prepare prepare, Work work) {
    prepare();
    Settle(listView);
    const double start = Now();
    work();
    return (Now() - start) * 1e6 / items;
}

// The stand-in's list view once it holds all its items.
HWND WaitForListView(int items, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const HWND listView = iv::FindDesktopWindows(nullptr).ListView;
        if (listView && SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0) == items) return listView;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(100);
    }
}

// The floor: per item the request written into a block in the list view's process, the two
// requests sent, the answers read back; a 64-bit stand-in's record layout.
void BareReads(HWND listView, int items) {
    DWORD pid = 0;
    GetWindowThreadProcessId(listView, &pid);
    const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    const size_t recordBytes = sizeof(LVITEMW);
    auto* block = static_cast<uint8_t*>(
        VirtualAllocEx(process, nullptr, recordBytes + 520, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::vector<uint8_t> answer(recordBytes + 520);
    for (int i = 0; i < items; ++i) {
        LVITEMW record = {};
        record.mask = LVIF_TEXT;
        record.iItem = i;
        record.pszText = reinterpret_cast<wchar_t*>(block + recordBytes);
        record.cchTextMax = 260;
        WriteProcessMemory(process, block, &record, sizeof record, nullptr);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(listView, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block), SMTO_NORMAL, 1000, &result);
        ReadProcessMemory(process, block, answer.data(), answer.size(), nullptr);
        SendMessageTimeoutW(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(block),
                            SMTO_NORMAL, 1000, &result);
        ReadProcessMemory(process, block, answer.data(), sizeof(POINT), nullptr);
    }
    VirtualFreeEx(process, block, 0, MEM_RELEASE);
    CloseHandle(process);
}

// Runs work on a thread of the multithreaded apartment, as the program's folder-view worker.
void OnMtaThread(const std::function<void()>& work) {
    struct Call {
        const std::function<void()>* work;
        static DWORD WINAPI Run(void* self) {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            (*static_cast<Call*>(self)->work)();
            CoUninitialize();
            return 0;
        }
    } call{&work};
    const iv::ScopedHandle thread(CreateThread(nullptr, 0, Call::Run, &call, 0, nullptr));
    WaitForSingleObject(thread.Get(), INFINITE);
}

// The folder view's floor: one bare GetItemPosition per item across the process boundary; the
// route and the list of ID lists are not timed. Microseconds per item.
double FolderFloor(HWND defView) {
    double perItem = 0;
    OnMtaThread([&] {
        iv::ComPtr<IFolderView> view;
        if (iv::WalkRoute(defView, view.Put(), [] {}) != iv::FolderAnswer::Done) return;
        iv::ComPtr<IEnumIDList> list;
        if (FAILED(view->Items(SVGIO_ALLVIEW, IID_PPV_ARGS(list.Put())))) return;
        std::vector<PITEMID_CHILD> ids;
        PITEMID_CHILD id = nullptr;
        while (list->Next(1, &id, nullptr) == S_OK) ids.push_back(id);
        const double start = Now();
        for (PITEMID_CHILD item : ids) {
            POINT at = {};
            view->GetItemPosition(item, &at);
        }
        perItem = (Now() - start) * 1e6 / static_cast<double>(std::max<size_t>(ids.size(), 1));
        for (PITEMID_CHILD item : ids) CoTaskMemFree(item);
    });
    return perItem;
}

// Every icon on the place of the next one (the last on the first's), so that a restore moves all.
void ShiftEveryIcon(HWND listView, const std::vector<POINT>& places) {
    const size_t n = places.size();
    for (size_t i = 0; i < n; ++i) {
        const POINT to = places[(i + 1) % n];
        SendMessageW(listView, LVM_SETITEMPOSITION, static_cast<WPARAM>(i), MAKELPARAM(to.x, to.y));
    }
}

std::vector<POINT> Places(int items) {
    // The stand-in's grid: 60 rows of 88 x 96 from 16,16 (--grid-rows=60).
    std::vector<POINT> places;
    for (int i = 0; i < items; ++i) places.push_back({16 + (i / 60) * 88, 16 + (i % 60) * 96});
    return places;
}

// Rounds of the four parts, interleaved so that the floor and what is compared with it see the
// same moments of a shared machine; each part's time per item, round by round.
struct Rounds {
    std::vector<double> floor, save, inPlace, restore;

    static double Fastest(std::vector<double> times) { return *std::min_element(times.begin(), times.end()); }
    static double Median(std::vector<double> times) {
        std::sort(times.begin(), times.end());
        const size_t n = times.size();
        return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    }
    // One line of figures: each part's fastest round and, beside the ratios of those, the ratios of
    // the medians (the fastest floor round can be luckier than any round of a longer part).
    void Print(int items) const {
        const double f = Fastest(floor);
        const double fm = Median(floor);
        printf("%6d %9.1f %9.1f %9.1f %9.1f %12.2f %12.2f %14.2f %12.2f %14.2f\n", items, f, Fastest(save),
               Fastest(inPlace), Fastest(restore), Fastest(inPlace) / f, Fastest(save) / f, Fastest(restore) / f,
               Median(save) / fm, Median(restore) / fm);
        fflush(stdout);
    }
};

// `rounds` rounds of the floor, a save, a restore in place and a restore that moves every icon
// (each first shifted onto the next one's place), per item of `items`.
template <typename Floor>
Rounds Measure(int rounds, HWND listView, int items, const std::vector<POINT>& places, iv::ShellSession& session,
               Floor floor) {
    const auto nothing = [] {};
    Rounds times;
    for (int round = 0; round < rounds; ++round) {
        times.floor.push_back(floor());
        times.save.push_back(PerItem(listView, items, nothing, [&] { iv::SaveIconPositions(session); }));
        times.inPlace.push_back(PerItem(listView, items, nothing, [&] { iv::RestoreIconPositions(session); }));
        times.restore.push_back(PerItem(
            listView, items, [&] { ShiftEveryIcon(listView, places); }, [&] { iv::RestoreIconPositions(session); }));
    }
    return times;
}

void PrintHeading(const char* way) {
    printf("%s\n%6s %9s %9s %9s %9s %12s %12s %14s %12s %14s\n", way, "items", "floor us", "save us", "in place",
           "restore", "place/floor", "save/floor", "restore/floor", "median save", "median restore");
}

}  // namespace

// The stand-in program with its arguments; its process.
PROCESS_INFORMATION StartStandIn(const std::wstring& program, const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
    }
    return pi;
}

void StopStandIn(HWND listView, PROCESS_INFORMATION& pi) {
    PostMessageW(GetAncestor(listView, GA_ROOT), WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hProcess);
}

std::wstring DesktopFolder() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, folder);
    return folder;
}

// The folder view's way: `items` files on the Desktop folder, the stand-in's shell view with its
// route; the same four figures, the floor GetItemPosition alone.
int FolderViewWay(const std::wstring& standIn, iv::ShellSession& session) {
    PrintHeading("folder view");
    const std::wstring self = iv::ModulePath();
    const std::wstring proxy = self.substr(0, self.find_last_of(L'\\') + 1) + L"standin_proxy.dll";
    const std::wstring folder = DesktopFolder();
    for (int items : {100, 1000, 5000}) {
        std::vector<std::wstring> files;
        for (int i = 0; i < items; ++i) {
            files.push_back(folder + L"\\Item " + std::to_wstring(i) + L".txt");
            CloseHandle(CreateFileW(files.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
        PROCESS_INFORMATION pi = StartStandIn(standIn, L"--shell --folder-view --peer-proxy=\"" + proxy + L"\"");
        if (!pi.hProcess) return 1;
        HWND listView = nullptr;
        for (int wait = 0; wait < 1200 && !listView; ++wait) {
            Sleep(100);
            const HWND found = iv::FindDesktopWindows(nullptr).ListView;
            if (found && SendMessageW(found, LVM_GETITEMCOUNT, 0, 0) >= items) listView = found;
        }
        if (!listView) return 1;
        const HWND defView = GetParent(listView);
        RegDeleteTreeW(HKEY_CURRENT_USER, iv::kSettingsKey);
        std::vector<iv::DesktopIcon> icons;
        iv::ReadDesktopItems(session, icons);
        std::vector<POINT> places;
        for (const iv::DesktopIcon& icon : icons) places.push_back(icon.at);
        const int shown = static_cast<int>(places.size());
        // Short runs take more rounds to find their fastest.
        const Rounds times = Measure(std::max(8, 2000 / items), listView, shown, places, session, [&] {
            Settle(listView);
            return FolderFloor(defView);
        });
        times.Print(items);
        StopStandIn(listView, pi);
        for (const std::wstring& file : files) DeleteFileW(file.c_str());
    }
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    PrintHeading("list view");
    iv::ShellSession session;
    for (int items : {100, 1000, 5000}) {
        PROCESS_INFORMATION pi = StartStandIn(argv[1], L"--scripted --grid-rows=60 --items=" + std::to_wstring(items));
        if (!pi.hProcess) return 1;
        const HWND listView = WaitForListView(items, 120000);
        if (!listView) return 1;
        RegDeleteTreeW(HKEY_CURRENT_USER, iv::kSettingsKey);
        const std::vector<POINT> places = Places(items);
        // Short runs take more rounds to find their fastest.
        const Rounds times = Measure(std::max(5, 2500 / items), listView, items, places, session, [&] {
            return PerItem(
                listView, items, [] {}, [&] { BareReads(listView, items); });
        });
        times.Print(items);

        StopStandIn(listView, pi);
    }
    const int folderView = FolderViewWay(argv[1], session);
    RegDeleteTreeW(HKEY_CURRENT_USER, iv::kSettingsKey);
    return folderView;
}
