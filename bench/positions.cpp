// Saving and restoring icon positions against the stand-in desktop, per item, next to the floor:
// the same number of bare LVM_GETITEMW + LVM_GETITEMPOSITION round trips, without registry work.
// Usage: positions.exe STANDIN_EXE
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "desktop/DesktopWindows.h"
#include "desktop/ExchangeBlock.h"
#include "desktop/IconPositions.h"
#include "settings/Settings.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Microseconds per item of the fastest of three runs.
template <typename Work>
double PerItem(int items, Work work) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const double start = Now();
        work();
        best = std::min(best, Now() - start);
    }
    return best * 1e6 / items;
}

// The stand-in's list view once it holds all its items.
HWND WaitForListView(iv::ShellSession& session, int items, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const HWND listView = iv::FindDesktopWindows(nullptr).ListView;
        if (listView && iv::GetItemCount(session, listView) == items) return listView;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(100);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    printf("%8s %14s %14s %14s %10s %10s\n", "items", "floor us/item", "save us/item", "restore us/item", "save/floor",
           "restore/floor");
    iv::ShellSession session;
    for (int items : {100, 1000, 5000}) {
        std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\" --scripted --items=" + std::to_wstring(items);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return 1;
        }
        CloseHandle(pi.hThread);
        const HWND listView = WaitForListView(session, items, 120000);
        if (!listView) return 1;
        RegDeleteTreeW(HKEY_CURRENT_USER, iv::kSettingsKey);

        const double floor = PerItem(items, [&] {
            iv::ExchangeBlock block(session, listView);
            POINT point = {};
            std::wstring text;
            for (int i = 0; i < items; ++i) {
                iv::GetItemText(block, i, text);
                iv::GetItemPosition(block, i, point);
            }
        });
        const double save = PerItem(items, [&] { iv::SaveIconPositions(session); });
        const double restore = PerItem(items, [&] { iv::RestoreIconPositions(session); });
        printf("%8d %14.1f %14.1f %14.1f %10.2f %10.2f\n", items, floor, save, restore, save / floor, restore / floor);
        fflush(stdout);

        PostMessageW(GetAncestor(listView, GA_ROOT), WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, iv::kSettingsKey);
    return 0;
}
