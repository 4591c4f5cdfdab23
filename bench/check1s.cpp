// What the slow check may cost: a hidden window that wakes once a second and asks the desktop's
// list view two things (its item count and its label background), as Iconvale's check does.
// With --floor it sets no timer and only waits in GetMessage: the floor of any idle program.
// Usage: check1s.exe [--floor] — runs until it is ended.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>

namespace {

HWND ListView() {
    const HWND progman = FindWindowW(L"Progman", nullptr);
    const HWND view = FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
    return FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static HWND listView = nullptr;
    if (msg == WM_TIMER) {
        if (!IsWindow(listView)) listView = ListView();
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(listView, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 100, &answer);
        SendMessageTimeoutW(listView, LVM_GETTEXTBKCOLOR, 0, 0, SMTO_ABORTIFHUNG, 100, &answer);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"CheckOnceASecond";
    RegisterClassW(&wc);
    const HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      instance, nullptr);
    if (wcsstr(commandLine, L"--floor") == nullptr) SetTimer(hwnd, 1, 1000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
