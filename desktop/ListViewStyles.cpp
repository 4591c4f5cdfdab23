#include "desktop/ListViewStyles.h"

#include "app/State.h"
#include "desktop/DesktopWindows.h"

namespace iv {

void InvalidateWindow(HWND hwnd) {
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

void RedrawDesktop() {
    FindDesktopWindows();
    InvalidateWindow(DesktopWindows.ListView);
}

}  // namespace iv
