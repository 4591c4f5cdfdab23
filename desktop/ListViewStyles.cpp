#include "desktop/ListViewStyles.h"

#include <commctrl.h>

#include "app/State.h"
#include "desktop/DesktopWindows.h"

namespace iv {

uint32_t ExtendedStyleBits(const int16_t* styleFlags) {
    uint32_t bits = 0;
    for (int i = 0; i < 10; ++i) {
        if (styleFlags[i] == 1) bits |= kExStyleBits[i];
    }
    return bits;
}

COLORREF TextBackground(const int16_t* styleFlags, COLORREF saved) {
    return styleFlags[10] == 1 ? CLR_NONE : saved;
}

void InvalidateWindow(HWND hwnd) {
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

void ApplyListViewStyles() {
    const HWND listView = DesktopWindows.ListView;
    // A mask of 0 makes every extended style take its value from the bits, clearing the rest.
    ShellSend(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ExtendedStyleBits(StyleFlags)));
    ShellSend(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(TextBackground(StyleFlags, SavedTextBkColor)));
    InvalidateWindow(DesktopWindows.DefView);
    InvalidateWindow(listView);
}

void CheckDesktopItemCount() {
    RefreshDesktopWindows();
    const HWND listView = DesktopWindows.ListView;
    LRESULT count = 0;
    // A shell that does not answer in time tells nothing; a missing desktop counts as empty.
    if (listView && !ShellSend(listView, LVM_GETITEMCOUNT, 0, 0, &count, kWatcherTimeoutMs)) return;
    if (static_cast<int32_t>(count) != LastItemCount) {
        LastItemCount = static_cast<int32_t>(count);
        InvalidateWindow(listView);
    }
}

void KeepTextTransparent() {
    if (StyleFlags[10] != 1) return;
    const HWND listView = DesktopWindows.ListView;
    LRESULT colour = 0;
    if (!ShellSend(listView, LVM_GETTEXTBKCOLOR, 0, 0, &colour, kWatcherTimeoutMs)) return;
    if (static_cast<COLORREF>(colour) != CLR_NONE) {
        ShellSend(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE), nullptr, kWatcherTimeoutMs);
    }
}

void FollowScroll() {
    if (ScrollWatch == kFalse) return;
    const HWND listView = DesktopWindows.ListView;
    const int32_t position = GetScrollPos(listView, SB_HORZ);
    if (position != LastScrollPos) {
        InvalidateWindow(listView);
        LastScrollPos = position;
    }
}

void RedrawDesktop() {
    FindDesktopWindows();
    InvalidateWindow(DesktopWindows.ListView);
}

}  // namespace iv
