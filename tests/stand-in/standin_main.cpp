// standin.exe: a desktop for tests of a program that works on the shell's desktop windows.
//
//   standin.exe [--shell | --scripted] [--log=PATH] [--item=NAME@X,Y]... [--items=N]
//               [--ie-server] [--no-listview] [--hang-after=MS] [--log-paint] [--log-redraw] [--log-count]
//               [--tree=classic|raised|24h2] [--commands=classic|later|none] [--decoy]
//               [--restart-after=MS] [--slow=KIND:MS[@INDEX][#N][,pump]]... [--fail-text=I[,J...]]
//               [--fail-pos=I[,J...]] [--insert-after=K[:NAME[@X,Y]]]... [--remove-after=K[:INDEX]]...
//               [--grid-rows=N] [--fill-ms=MS] [--squeeze-ms=MS] [--redirect-text=all|I[,J...]] [--tray=N]
//               [--redirect-high] [--icon-size=PX]
//               [--folder-view [--peer-proxy=PATH] [--fv-hang=N] [--fv-fail] [--fv-restart-in=N]
//               [--fv-slow=MS[#N]] [--fv-log-getpos] [--fv-fail-pos=TEXT]] [--since-1809]
//
//   --shell          host the platform's own shell view of the desktop folder
//   --scripted       a list view with the given items (the default)
//   --log=PATH       append the message log to PATH (UTF-8); a path starting with '/' is taken
//                    as a Unix path and reached through drive Z:
//   --item=NAME@X,Y  an item at (X, Y); NAME may itself contain '@' (the last one splits)
//   --items=N        N items "Item 1".."Item N" on a grid, six to a column
//   --ie-server      an "Internet Explorer_Server" window under the view
//   --no-listview    a view without a list view
//   --hang-after=MS  stop answering messages MS milliseconds after start-up
//   --log-paint      also log the list view's paints
//   --log-redraw     also log WM_SETREDRAW on the list view
//   --log-count      also log the item counts other threads ask for ("LV COUNT n")
//   --tree=T         where the view lives: classic "Progman" > view (the default); raised
//                    "Progman" empty, a hidden empty top-level "WorkerW", then a top-level
//                    "WorkerW" > view (Z order top to bottom); 24h2 "Progman" > view and a
//                    "WorkerW" child of "Progman" beneath it
//   --commands=C     view commands the scripted view answers: classic 0x7029..0x702C by the
//                    list view's style (the default); later 0x704B details, 0x704D..0x704F icons,
//                    0x7050 small icons, 0x7051 list by LVM_SETVIEW (0x704C, 0x7052 ignored);
//                    none: no command. Every WM_COMMAND is logged either way.
//   --decoy          no desktop: the views live in a "#32770" window titled "Open" and in a
//                    top-level "WorkerW"; never the shell window. Ends when the "WorkerW" closes.
//   --restart-after=MS  tear the desktop down MS milliseconds after start-up and build a new one
//                    (as does posting kRestartMessage, WM_APP + 0x2C0, to "Progman"): new
//                    windows, default styles and colours, icon view, items on the default grid
//   --slow=KIND:MS[@INDEX][#N][,pump]  answer requests of KIND after sleeping MS milliseconds
//                    in the handler, then carry them out. KIND: gettext (LVM_GETITEMW/A), getpos
//                    (LVM_GETITEMPOSITION), count (LVM_GETITEMCOUNT), setpos
//                    (LVM_SETITEMPOSITION), textbk (LVM_GETTEXTBKCOLOR), header (a change of the
//                    list view header's style). @INDEX: only for that
//                    item (wParam, or the record's iItem for gettext); #N: only the N-th request
//                    of the kind. ,pump: wait answering the messages sent to the thread meanwhile
//                    (a request sent during the wait is answered before the slow one is carried
//                    out), as a shell inside a COM call or a SendMessage of its own. May be
//                    repeated; the first rule that matches applies.
//   --fail-text=I,.. LVM_GETITEMW/A for these items answer FALSE and write nothing
//   --fail-pos=I,..  LVM_GETITEMPOSITION for these items answer FALSE and write nothing
//   --insert-after=K[:NAME[@X,Y]]  right after answering the K-th item-text request (Kp: the
//                    K-th item-position request), insert an item at index 0 (default name
//                    "Inserted K"), so that the caller's next request (the same item's position,
//                    or its move) already sees it
//   --remove-after=K[:INDEX]       likewise remove item INDEX (default 0)
//   --grid-rows=N    the default grid's rows (6), for --items given after it and a restart
//   --fill-ms=MS     scripted: the list view comes up empty and the items are added one by one,
//                    evenly over MS milliseconds ("LV FILLED n" when all are in); so does the
//                    desktop a restart builds
//   --squeeze-ms=MS  after a change of the screen size, pull the icons left outside in over MS
//                    milliseconds, a step every 100 ms, instead of at once
//   --redirect-text=all|I,..  LVM_GETITEMW for these items' text (or every item's) points the
//                    record's pszText at the stand-in's own copy of the name and leaves the
//                    caller's buffer as it was, as a view that supplies texts by callback may
//   --redirect-high  in a 64-bit stand-in, that copy lies above 4 GiB, where the address cut to
//                    32 bits points at "Decoy"
//   --icon-size=PX   with --shell: the view's large icons are PX pixels (the shell's are 48 as usual)
//   --tray=N         also a "Shell_TrayWnd" that refuses the first N NIM_ADD requests; a restart
//                    builds a new one and broadcasts "TaskbarCreated"
//   --folder-view    with --shell: the desktop's folder view is reachable from other processes as on
//                    today's Windows (CoCreateInstance of CLSID_ShellWindows, FindWindowSW with
//                    SWC_DESKTOP, SID_STopLevelBrowser, QueryActiveShellView, IFolderView): the
//                    stand-in registers its class, a TreatAs of CLSID_ShellWindows and its own
//                    proxy/stub of IFolderView and IEnumIDList (standin_proxy.dll next to it) in
//                    the prefix's registry, and puts back what they replaced when its desktop goes.
//                    Calls are served on the desktop's thread. One such stand-in at a time.
//   --peer-proxy=PATH  standin_proxy.dll of the other bitness (or the same), for the registry view
//                    of its bitness, so that a program of that bitness gets its ID lists whole
//   --fv-hang=N      the N-th folder-view call (IFolderView and IEnumIDList calls counted from 1)
//                    and every later one never return: the desktop's thread waits answering only
//                    sent messages (the list view keeps answering other processes; further calls,
//                    timers and paints wait) until the desktop is closed
//   --fv-fail        every IFolderView call fails with E_FAIL
//   --fv-restart-in=N  the N-th folder-view call restarts the desktop while in flight, then fails
//                    with RPC_E_DISCONNECTED; every object of the old desktop is disconnected
//   --fv-slow=MS[#N] folder-view calls (only the N-th) wait MS milliseconds answering sent
//                    messages, as a busy shell does, then are carried out
//   --fv-log-getpos  also log every GetItemPosition ("FV GETPOS ...")
//   --fv-fail-pos=TEXT  GetItemPosition fails with E_FAIL for the item showing TEXT
//   --since-1809     with --shell: the desktop keeps its own record of its icons' places, as the
//                    shell has since Windows 10 1809: it follows folder-view moves and its own
//                    (kMoveIconMessage, WM_APP + 0x2C2), and a refresh (kRefreshMessage, WM_APP +
//                    0x2C1, or F5 on the list view) puts back icons moved by list-view messages alone
//
// Every start first puts back the registry entries of a folder-view stand-in that was killed.
//
// The program also makes "Progman" the shell window (SetShellWindow) and reports every access
// violation in its process to the log ("FAULT ...").
// Runs until "Progman" is closed (exit code 0, or 3 when a fault was reported). Exit code 2: bad
// command line; 1: no desktop.
#include <windows.h>
#include <shellapi.h>

#include "StandIn.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) return 2;
    standin::Options options;
    const bool parsed = standin::ParseCommandLine(argc, argv, options);
    LocalFree(argv);
    if (!parsed) return 2;
    options.quitOnClose = true;
    options.keepLog = false;
    options.reportFaults = true;
    if (!options.folderView) standin::PutBackLeftoverRoute();

    std::unique_ptr<standin::Desktop> desktop = standin::Desktop::Create(options);
    if (!desktop) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Its windows and the folder view's route went as "Progman" closed. The rest is not torn down:
    // COM's teardown of this thread's apartment waits for the calls still coming in (a caller's
    // releases after a call given up on at the close), which wait for this very thread.
    const UINT code = desktop->Faults() > 0 ? 3 : 0;
    TerminateProcess(GetCurrentProcess(), code);
    return static_cast<int>(code);
}
