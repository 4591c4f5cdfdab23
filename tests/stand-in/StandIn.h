// A stand-in for the shell's desktop windows: "Progman" > "SHELLDLL_DefView" > "SysListView32".
// Test fixture only; never shipped.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace standin {

struct Item {
    std::wstring name;
    int x = 0;
    int y = 0;
};

struct Options {
    enum class Mode { Shell, Scripted };
    Mode mode = Mode::Scripted;
    // Scripted mode: the list view's items, in index order.
    std::vector<Item> items;
    // Fault options; noListView applies to scripted mode only.
    bool ieServer = false;    // an "Internet Explorer_Server" child under the view (Active Desktop)
    bool noListView = false;  // the view has no list view child
    int hangAfterMs = -1;     // >= 0: stop pumping messages that long after start-up
    // When not empty, every logged line is also appended (and flushed) to this UTF-8 file.
    std::wstring logPath;
    // Also log "LV WM_PAINT" for every paint of the list view (for counting repaints).
    bool logPaint = false;
    // Post WM_QUIT when "Progman" is destroyed; for the stand-alone program, not for tests that
    // host a desktop on their own message loop.
    bool quitOnClose = false;
};

// Log lines, one per message of interest, in the order received:
//   "VIEW WM_COMMAND 0x7029"                              WM_COMMAND on the view (wParam low word)
//   "LV WM_STYLECHANGED GWL_STYLE old=0x00000000 new=0x00004A40"   (wParam GWL_STYLE/GWL_EXSTYLE/other as hex)
//   "LV LVM_SETEXTENDEDLISTVIEWSTYLE mask=0x00000000 style=0x00000400"
//   "LV LVM_SETTEXTBKCOLOR 0xFFFFFFFF"
//   "LV LVM_SETITEMPOSITION 3 -5 10"                     index, x, y
//   "LV LVM_SETITEMPOSITION32 3 -5 10"                   not for the stand-in's own item setup;
//   "LV LVM_SETITEMPOSITION32 3 unreadable"              a POINT outside this process is refused
//   "LV WM_PAINT"                                        only with Options::logPaint
//   "HDR WM_STYLECHANGED GWL_STYLE old=0x... new=0x..."  on the list view's header
class Desktop {
public:
    // Builds the window tree on the calling thread, which must pump messages. nullptr on failure.
    static std::unique_ptr<Desktop> Create(const Options& options);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    HWND Progman() const;
    HWND DefView() const;
    HWND ListView() const;  // nullptr with noListView
    HWND Header() const;    // the list view's header, when it has one

    std::vector<std::wstring> Log() const;
    void ClearLog();

    // Lets a desktop hung by Options::hangAfterMs pump again; callable from any thread.
    void EndHang();

    struct Impl;

private:
    explicit Desktop(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Parses the stand-in program's command line (see standin_main.cpp). False on a bad argument.
bool ParseCommandLine(int argc, wchar_t** argv, Options& options);

}  // namespace standin
