#include "desktop/DesktopWindows.h"

#include <commctrl.h>

#include "base/ScopedWin.h"

#include "desktop/DesktopWatcher.h"
#include "desktop/ViewModes.h"

namespace iv {
namespace {

// Old style, new style: the list view reads it during the synchronous WM_STYLECHANGED send.
STYLESTRUCT StyleChange = {};

HWND FindDefViewUnder(HWND parent) { return FindWindowExW(parent, nullptr, L"SHELLDLL_DefView", nullptr); }

int RequestsInFlight = 0;

bool Shows(HWND listView, int16_t mode, bool& unknown) {
    const std::optional<DWORD> view = ReadListViewView(listView);
    unknown = !view;
    return view && *view == kListViewViews[mode];
}

// Has the desktop show a view mode in the way that works there, and learns that way on the first
// switch whose outcome the list view can tell. A read that timed out tells nothing.
void ShowMode(HWND defView, HWND listView, ViewCommands& commands, int16_t mode) {
    switch (commands) {
        case ViewCommands::Classic: ShellSend(defView, WM_COMMAND, kViewCommands[mode], 0); return;
        case ViewCommands::Later: ShellSend(defView, WM_COMMAND, kLaterViewCommands[mode], 0); return;
        case ViewCommands::Direct: ShellSend(listView, LVM_SETVIEW, kListViewViews[mode], 0); return;
        case ViewCommands::Unknown: break;
    }
    bool unknown = false;
    // A list view that shows the mode already cannot tell whether the command acted.
    const bool already = Shows(listView, mode, unknown);
    ShellSend(defView, WM_COMMAND, kViewCommands[mode], 0);
    if (already || unknown) return;
    if (Shows(listView, mode, unknown)) {
        commands = ViewCommands::Classic;
        return;
    }
    if (unknown) return;
    ShellSend(defView, WM_COMMAND, kLaterViewCommands[mode], 0);
    if (Shows(listView, mode, unknown)) {
        commands = ViewCommands::Later;
        return;
    }
    if (unknown) return;
    ShellSend(listView, LVM_SETVIEW, kListViewViews[mode], 0);
    if (Shows(listView, mode, unknown)) commands = ViewCommands::Direct;
}

struct HeaderStyle {
    HWND header;
    LONG style;
};

DWORD WINAPI SetHeaderStyle(void* parameter) {
    const HeaderStyle* change = static_cast<HeaderStyle*>(parameter);
    SetWindowLongW(change->header, GWL_STYLE, change->style);
    delete change;
    return 0;
}

// Sets or clears WS_VISIBLE in the list view's header style. Changing another process's window
// style is carried out by that window's thread with no time-out, so a worker thread makes the
// change and is waited for only as long as any request to the shell; a hung shell keeps only the
// worker, which ends with the change or with the program.
void SetHeaderVisible(HWND listView, bool visible) {
    const HWND header = FindWindowExW(listView, nullptr, WC_HEADERW, nullptr);
    if (!header) return;
    const LONG style = GetWindowLongW(header, GWL_STYLE);
    const LONG newStyle = visible ? (style | WS_VISIBLE) : (style & ~static_cast<LONG>(WS_VISIBLE));
    auto* change = new HeaderStyle{header, newStyle};
    ScopedHandle worker(CreateThread(nullptr, 0, SetHeaderStyle, change, 0, nullptr));
    if (!worker) {
        delete change;
        return;
    }
    // Messages other threads send are handled meanwhile, as in any request to the shell (the
    // header may be this thread's own).
    ++RequestsInFlight;
    const ULONGLONG end = GetTickCount64() + kShellTimeoutMs;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        const HANDLE handle = worker.Get();
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE) !=
            WAIT_OBJECT_0 + 1) {
            break;
        }
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    --RequestsInFlight;
}

}  // namespace

bool ShellSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result, UINT timeoutMs) {
    if (!hwnd) return false;
    DWORD_PTR answer = 0;
    ++RequestsInFlight;
    const LRESULT sent =
        SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs, &answer);
    --RequestsInFlight;
    if (!sent) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

bool ShellResponds(HWND hwnd) { return ShellSend(hwnd, WM_NULL, 0, 0); }

bool ShellRequestInFlight() { return RequestsInFlight > 0; }

DWORD ShellProcessId() {
    HWND shell = GetShellWindow();
    if (!shell) shell = FindWindowW(L"Progman", nullptr);
    DWORD pid = 0;
    if (shell) GetWindowThreadProcessId(shell, &pid);
    return pid;
}

HWND FindShellDefView(const wchar_t* progmanTitle) {
    const DWORD shell = ShellProcessId();
    if (!shell) return nullptr;
    const auto ofShell = [shell](HWND hwnd) {
        DWORD pid = 0;
        return hwnd && GetWindowThreadProcessId(hwnd, &pid) && pid == shell;
    };
    for (HWND progman = nullptr;;) {
        progman = FindWindowExW(nullptr, progman, L"Progman", progmanTitle);
        if (!progman) break;
        const HWND view = FindDefViewUnder(progman);
        if (ofShell(progman) && ofShell(view)) return view;
    }
    for (HWND worker = nullptr;;) {
        worker = FindWindowExW(nullptr, worker, L"WorkerW", nullptr);
        if (!worker) break;
        const HWND view = FindDefViewUnder(worker);
        if (ofShell(worker) && ofShell(view)) return view;
    }
    return nullptr;
}

DesktopWindowHandles FindDesktopWindows() {
    const HWND defView = FindShellDefView(L"Program manager");
    const HWND listView = defView ? FindWindowExW(defView, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
    DWORD pid = 0;
    const bool ofShell = listView && GetWindowThreadProcessId(listView, &pid) && pid == ShellProcessId();
    return {defView, ofShell ? listView : nullptr};
}

void RefreshDesktopWindows(DesktopWindowHandles& windows) {
    const HWND defView = windows.DefView;
    const HWND listView = windows.ListView;
    if (defView && listView && IsWindow(listView) && GetParent(listView) == defView && IsWindow(defView)) return;
    windows = FindDesktopWindows();
}

std::optional<DWORD> ReadListViewView(HWND listView) {
    LRESULT view = 0;
    if (!ShellSend(listView, LVM_GETVIEW, 0, 0, &view)) return std::nullopt;
    return static_cast<DWORD>(view);
}

void SetDesktopViewMode(DesktopWindowHandles& windows, DesktopWatcher& watcher, ViewCommands& commands, int16_t mode,
                        int16_t previousMode, bool oldWin9x) {
    watcher.StopScrollFollow();
    windows = FindDesktopWindows();
    if (mode < kLargeIcons || mode > kDetails) return;
    const HWND defView = windows.DefView;
    const HWND listView = windows.ListView;

    StyleChange.styleOld = 0;
    StyleChange.styleNew = ViewModeNewStyle(mode, oldWin9x);
    const auto styleChange = reinterpret_cast<LPARAM>(&StyleChange);

    if (!oldWin9x) {
        if (mode == kDetails) {
            ShellSend(listView, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), styleChange);
            if (commands == ViewCommands::Unknown || commands == ViewCommands::Classic) {
                ShellSend(defView, WM_COMMAND, PreviousModeCommand(previousMode), 0);
            }
            ShowMode(defView, listView, commands, mode);
            SetHeaderVisible(listView, true);
        } else {
            ShowMode(defView, listView, commands, mode);
            SetHeaderVisible(listView, false);
            ShellSend(listView, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), styleChange);
        }
    } else {
        ShellSend(listView, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), styleChange);
    }

    if (mode == kSmallIcons) watcher.StartScrollFollow(listView);
}

}  // namespace iv
