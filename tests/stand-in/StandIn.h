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

// A request kind the list view can be told to answer late.
enum class Request { GetText, GetPos, Count, SetPos, TextBk, Header };

struct Options {
    enum class Mode { Shell, Scripted };
    // Where the view lives: "Progman" > view; a top-level "WorkerW" > view with "Progman" empty
    // (a raised desktop); "Progman" > view beside a "WorkerW" child (Windows 11 24H2).
    enum class Tree { Classic, Raised, Win24H2 };
    // Which view commands the scripted view answers: 0x7029..0x702C by the window style (before
    // Vista), 0x704B..0x7052 by LVM_SETVIEW (later), or none.
    enum class Commands { Classic, Later, None };
    Mode mode = Mode::Scripted;
    // Scripted mode: the list view's items, in index order.
    std::vector<Item> items = {};
    // Fault options; noListView applies to scripted mode only.
    bool ieServer = false;    // an "Internet Explorer_Server" child under the view (Active Desktop)
    bool noListView = false;  // the view has no list view child
    int hangAfterMs = -1;     // >= 0: stop pumping messages that long after start-up
    Tree tree = Tree::Classic;
    Commands commands = Commands::Classic;
    // Only views in other windows ("#32770" and a top-level "WorkerW"), never the shell window.
    bool decoy = false;
    int restartAfterMs = -1;  // >= 0: tear the desktop down and build a new one that long after start-up

    // The list view answers requests of a kind after sleeping `ms` in its handler, then carries
    // them out: a late answer lands after the caller gave up.
    struct Slow {
        Request kind = Request::GetText;
        int ms = 0;
        int index = -1;  // >= 0: only requests about this item
        int nth = 0;     // > 0: only the nth request of the kind, counted from 1
        // Wait answering the messages sent to the thread meanwhile instead of sleeping, as a shell
        // inside a COM call or a SendMessage of its own: a request sent during the wait is
        // answered before this one is carried out.
        bool pump = false;
    };
    std::vector<Slow> slow = {};
    // LVM_GETITEM / LVM_GETITEMPOSITION for these indices answer FALSE and write nothing.
    std::vector<int> failText = {};
    std::vector<int> failPos = {};
    // Items come or go right after the k-th item-text request (or item-position request) has been
    // answered, so that the caller's next request (the same item's position, or its move) already
    // sees the change.
    struct Change {
        int after = 0;
        bool insert = true;
        Item item;                        // insert: the new item, placed at index 0
        bool placed = false;              // insert: item.x and item.y were given
        int index = 0;                    // remove: the item removed
        Request kind = Request::GetText;  // the kind of request counted
    };
    std::vector<Change> changes = {};
    // Scripted desktop, > 0: the list view comes up empty and the items are added one by one,
    // evenly over this time, the last at its end; a restart fills the new desktop the same way.
    int fillMs = 0;
    // Rows of the grid that generated items (--items, given after this) and a restarted desktop's
    // items take.
    int gridRows = 6;
    // > 0, with the platform's view: its large icons are that many pixels wide and high, as the
    // shell's are larger than the system's icon size (48 at its usual "medium" size).
    int iconSize = 0;
    // > 0: after a change of the screen size, icons left outside the smaller view are pulled in
    // over this time in steps, instead of at once inside WM_DISPLAYCHANGE.
    int squeezeMs = 0;
    // LVM_GETITEMW for these items' text (every item's with redirectAllText) points the record's
    // pszText at a buffer of the stand-in's holding the name, leaving the caller's buffer as it
    // was: a view that supplies item texts by callback may answer so. The buffer stays valid as
    // long as the desktop object. The record is read and written in this process's layout, the
    // one the list view reads it in.
    std::vector<int> redirectText = {};
    bool redirectAllText = false;
    // In a 64-bit stand-in, the redirected names lie above 4 GiB, each at an address whose low 32
    // bits point at "Decoy".
    bool redirectHigh = false;
    // >= 0: a "Shell_TrayWnd" window that refuses that many NIM_ADD requests before accepting.
    int trayRefusals = -1;
    // Report access violations in this process to the log (a process-wide handler).
    bool reportFaults = false;

    // Shell mode: the desktop's folder view as today's Windows has it. folderView: reachable from
    // other processes through IShellWindows (see FolderView.h); peerProxy: the proxy DLL of the
    // other bitness, for its registry view. since1809: the desktop keeps its own record of where
    // each icon stands, as the shell has since Windows 10 1809, and a refresh puts back icons that
    // list-view messages alone moved.
    bool folderView = false;
    std::wstring peerProxy = {};
    bool since1809 = false;
    // Faults of the folder view, its calls counted from 1 over every IFolderView and IEnumIDList call.
    int fvHang = 0;               // > 0: that call and every later one never return (sent messages are answered)
    bool fvFail = false;          // every IFolderView call fails with E_FAIL
    int fvRestartIn = 0;          // > 0: that call restarts the desktop while in flight, then fails
    int fvSlowMs = 0;             // > 0: calls wait that long answering sent messages, then are carried out
    int fvSlowNth = 0;            // ... only that call when > 0
    bool logGetPos = false;       // also log "FV GETPOS" for every GetItemPosition
    std::wstring fvFailPos = {};  // GetItemPosition fails for the item of this text

    // When not empty, every logged line is also appended (and flushed) to this UTF-8 file.
    std::wstring logPath = {};
    // Also log "LV WM_PAINT" for every paint of the list view (for counting repaints).
    bool logPaint = false;
    // Also log "LV WM_SETREDRAW 0|1" (for what happens while the painting is held).
    bool logRedraw = false;
    // Also log "LV COUNT n" for every item count another thread asks for (when a watcher looks).
    bool logCount = false;
    // Keep the log in memory for Log(); the program, which logs to a file, does not, so that its
    // memory over a long run is the desktop's alone.
    bool keepLog = true;
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
//   "LV WM_SETREDRAW 0"                                  only with Options::logRedraw
//   "LV COUNT 12"                                        only with Options::logCount
//   "LV ITEMS 12"                                        the shell view took in a change of the Desktop folder
//   "HDR WM_STYLECHANGED GWL_STYLE old=0x... new=0x..."  on the list view's header
// Fault options add (kind: gettext getpos count setpos textbk header, the last a change of the
// header's style; index "-" where the kind has none):
//   "LV SLOW getpos 3 1500"          a slow request starts waiting ("LV SLOW getpos 3 1500 pump"
//                                    when it answers sent messages meanwhile)
//   "LV PUMP getpos 3"               ... the wait answers the messages sent to the thread meanwhile
//                                    (their own lines follow)
//   "LV LATE getpos 3 done"          ... and has been carried out after the wait
//   "LV FAIL gettext 2"              a request refused by failText / failPos ("LV FAIL getpos 2")
//   "LV INSERT Inserted 1 at 0"      an item inserted by a change (its name, then "at 0")
//   "LV REMOVE 0 Item 1"             an item removed by a change; "LV REMOVE 7 missing" when absent
//   "LV REDIRECT 2 Notes"            item 2's text answered through a buffer of the stand-in's
//   "LV FILLED 12"                   the last of the items a filling desktop adds is in
//   "LV SQUEEZE 3 1000"              after a change of the screen size, 3 icons outside start
//                                    moving in over 1000 ms (a squeeze over time only)
//   "LV SQUEEZED 3"                  ... and are in
//   "FAULT access violation at 0x... writing 0x..."   reading / writing / executing
//   "TRAY ADD refused" "TRAY ADD ok" "TRAY ADD duplicate" "TRAY MODIFY ok" "TRAY MODIFY refused"
//   "TRAY DELETE"
//   "RESTART"                        the desktop is being torn down and built anew
//   "MOVE Notes 100 50"              the desktop moved an icon itself (kMoveIconMessage)
// The folder view (folderView, since1809), as other processes use it:
//   "FV READY"                       the route is registered and served
//   "FV LEFTOVER"                    ... after putting back what a stand-in that was killed left
//   "FV ROUTE"                       IShellWindows::FindWindowSW answered with the desktop
//   "FV ITEMS 12"                    IFolderView::Items handed out an enumerator of 12 items
//   "FV POSITIONS 2"                 one SelectAndPositionItems of 2 items, then one line each:
//   "FV POSITION Notes 100 50"       an item's display name ("(unknown)" when not on the desktop)
//                                    and where it was asked to go
//   "FV GETPOS Notes 100 50"         a GetItemPosition answered, only with Options::logGetPos
//   "FV REFRESH 3"                   a refresh (kRefreshMessage, F5) put back 3 icons
//   "FV HANG Item" "FV FAIL Item" "FV SLOW Item 500"   a fault met a call (the method's name)
//   "FV RESTART"                     ... and this one restarts the desktop ("RESTART" follows)
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
    // From now on the positions of these items are refused, as Options::failPos (on the desktop's thread).
    void RefusePositions(std::vector<int> indices);

    // Tears the windows down and builds a new desktop: new handles, default styles and colours,
    // the icon view, the items on the default grid (a shell that lost its layout).
    void Restart();
    // Access violations seen in this process since the desktop was created (reportFaults only).
    int Faults() const;
    HWND TrayWindow() const;  // "Shell_TrayWnd" with trayRefusals >= 0

    struct Impl;

private:
    explicit Desktop(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// Posted to "Progman" (or the decoy's window): restart the desktop as Desktop::Restart does.
constexpr UINT kRestartMessage = WM_APP + 0x2C0;
// Posted to "Progman": the desktop's refresh, as F5 on its list view; with since1809 it puts back
// every icon that its own record places elsewhere.
constexpr UINT kRefreshMessage = WM_APP + 0x2C1;
// Sent or posted to "Progman": the desktop moves icon wParam to (GET_X_LPARAM, GET_Y_LPARAM) of
// lParam itself, as a drag with the mouse does, and records the place.
constexpr UINT kMoveIconMessage = WM_APP + 0x2C2;

// Parses the stand-in program's command line (see standin_main.cpp). False on a bad argument.
bool ParseCommandLine(int argc, wchar_t** argv, Options& options);

// Puts back the registry entries of a folder-view stand-in that ended without doing so (killed),
// unless one is running. True when there were any.
bool PutBackLeftoverRoute();

}  // namespace standin
