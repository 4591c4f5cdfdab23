#include "app/Startup.h"

#include <windows.h>
#include <commctrl.h>

#include "app/Instance.h"
#include "app/frmMain.h"
#include "base/ScopedWin.h"

namespace iv {

int RunProgram() {
    // A second instance ends at once, silently.
    ScopedHandle instance(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (!instance || GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    // The shell's link object and ShellExecute want COM on this thread.
    ComApartment com;

    frmMain main;
    if (!main.Load()) return 1;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        const HWND dialog = main.ModelessDialog();
        if (dialog && IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace iv
