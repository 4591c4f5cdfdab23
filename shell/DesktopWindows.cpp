#include "shell/DesktopWindows.h"

#include <commctrl.h>

namespace iv {
namespace {

HWND FindDefViewUnder(HWND parent) { return FindWindowExW(parent, nullptr, L"SHELLDLL_DefView", nullptr); }

HWND FindShellDefView(const wchar_t* progmanTitle, DWORD shell) {
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

}  // namespace

DWORD ShellProcessId() {
    HWND shell = GetShellWindow();
    if (!shell) shell = FindWindowW(L"Progman", nullptr);
    DWORD pid = 0;
    if (shell) GetWindowThreadProcessId(shell, &pid);
    return pid;
}

DesktopWindowHandles FindDesktopWindows(const wchar_t* progmanTitle) {
    const DWORD shell = ShellProcessId();
    if (!shell) return {};
    const HWND defView = FindShellDefView(progmanTitle, shell);
    const HWND listView = defView ? FindWindowExW(defView, nullptr, WC_LISTVIEWW, nullptr) : nullptr;
    DWORD pid = 0;
    const bool ofShell = listView && GetWindowThreadProcessId(listView, &pid) && pid == shell;
    return {defView, ofShell ? listView : nullptr};
}

void RefreshDesktopWindows(DesktopWindowHandles& windows) {
    const HWND defView = windows.DefView;
    const HWND listView = windows.ListView;
    if (defView && listView && IsWindow(listView) && GetParent(listView) == defView && IsWindow(defView)) return;
    windows = FindDesktopWindows();
}

}  // namespace iv
