#include "app/Startup.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/ScopedWin.h"
#include "app/State.h"
#include "app/frmMain.h"

namespace iv {
namespace {

// COM on the user-interface thread for the program's life: the shell's link object and
// ShellExecute need it.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

}  // namespace

int RunProgram() {
    // A second instance ends at once, silently.
    ScopedHandle instance(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (!instance || GetLastError() == ERROR_ALREADY_EXISTS) return 0;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    ComApartment com;

    frmMain main;
    if (!main.Load()) return 1;

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (ModelessDialog && IsDialogMessageW(ModelessDialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace iv
