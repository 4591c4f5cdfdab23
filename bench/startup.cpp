// Start-up: from a program's process start to its window shown, median of 10, for Iconvale and for
// a minimal Win32 window program (the floor), taken in turns in the same run.
// Usage: startup.exe ICONVALE_EXE MINIMAL_EXE
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/Clock.h"

namespace {

double Now() { return NowSeconds() * 1000.0; }

struct Search {
    DWORD pid;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK Find(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (pid != search->pid || wcscmp(name, search->className) != 0 || !IsWindowVisible(hwnd)) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Milliseconds from CreateProcess until the program's window of that class is visible; then the
// program is closed and waited for. -1 when it did not show within 20 s.
double TimeToWindow(const std::wstring& exe, const wchar_t* className) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const double start = Now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return -1;
    }
    Search search = {pi.dwProcessId, className, nullptr};
    double shown = -1;
    while (Now() - start < 20000) {
        EnumWindows(Find, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            shown = Now() - start;
            break;
        }
        Sleep(1);
    }
    if (search.found) PostMessageW(search.found, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // What the program's end set off (the desktop repainting, the server's clean-up) is over
    // before the next start is timed.
    Sleep(300);
    return shown;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    std::vector<double> program;
    std::vector<double> floor;
    // One of each first, unmeasured: the first start of a program loads what the next ones share.
    TimeToWindow(argv[1], L"IconvaleToolbarWindow");
    TimeToWindow(argv[2], L"MinimalWindow");
    for (int run = 0; run < 10; ++run) {
        program.push_back(TimeToWindow(argv[1], L"IconvaleToolbarWindow"));
        floor.push_back(TimeToWindow(argv[2], L"MinimalWindow"));
        if (program.back() < 0 || floor.back() < 0) return 1;
    }
    const double p = Median(program);
    const double f = Median(floor);
    printf("%-26s %10s\n", "start to window shown", "median ms");
    printf("%-26s %10.1f\n", "minimal Win32 window", f);
    printf("%-26s %10.1f\n", "Iconvale", p);
    printf("%-26s %10.2f\n", "Iconvale / minimal", p / f);
    return 0;
}
