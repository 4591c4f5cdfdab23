#include "desktop/ListViewStyles.h"

#include <commctrl.h>

#include "settings/Settings.h"

namespace iv {

uint32_t ExtendedStyleBits(const int16_t* styleFlags) {
    uint32_t bits = 0;
    for (int i = kToolTipsFlag; i < kTextColorFlag; ++i) {
        if (styleFlags[i] == 1) bits |= kExStyleBits[i];
    }
    return bits;
}

COLORREF TextBackground(const int16_t* styleFlags, COLORREF saved) {
    return styleFlags[kTextColorFlag] == 1 ? CLR_NONE : saved;
}

void InvalidateWindow(HWND hwnd) {
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

void ApplyListViewStyles(const DesktopWindowHandles& windows, const int16_t* styleFlags, COLORREF savedTextBkColor) {
    const HWND listView = windows.ListView;
    // A mask of 0 makes every extended style take its value from the bits, clearing the rest.
    ShellSend(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ExtendedStyleBits(styleFlags)));
    ShellSend(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(TextBackground(styleFlags, savedTextBkColor)));
    InvalidateWindow(windows.DefView);
    InvalidateWindow(listView);
}

void RedrawDesktop(DesktopWindowHandles& windows) {
    windows = FindDesktopWindows();
    InvalidateWindow(windows.ListView);
}

}  // namespace iv
