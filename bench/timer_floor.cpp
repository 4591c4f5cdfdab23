// The floor for the watcher's idle cost: a hidden window whose 1 ms timer does nothing.
// Usage: timer_floor.exe SECONDS OUTFILE — after SECONDS of ticking, writes the tick count to
// OUTFILE and ends.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>

namespace {

long g_ticks = 0;
DWORD g_end = 0;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_TIMER) {
        ++g_ticks;
        if (GetTickCount() >= g_end) DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) return 2;
    const DWORD seconds = static_cast<DWORD>(_wtoi(argv[1]));

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"TimerFloor";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                instance, nullptr);
    g_end = GetTickCount() + seconds * 1000;
    SetTimer(hwnd, 1, 1, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);

    if (FILE* out = _wfopen(argv[2], L"w")) {
        fprintf(out, "%ld\n", g_ticks);
        fclose(out);
    }
    LocalFree(argv);
    return 0;
}
