#include "desktop/DesktopWatcher.h"

#include <commctrl.h>

#include "shell/ListViewStyles.h"

namespace iv {

bool DesktopWatcher::CheckItemCount(ShellSession& session, DesktopWindowHandles& windows) {
    // The list view found last answers for itself; only one that does not is looked for afresh
    // (every look at a window of another process is a round trip).
    LRESULT count = 0;
    const HWND before = windows.ListView;
    if (!before || !session.Send(before, LVM_GETITEMCOUNT, 0, 0, &count, kWatcherTimeoutMs)) {
        RefreshDesktopWindows(windows);
        // A shell that does not answer in time tells nothing; a missing desktop counts as empty.
        if (windows.ListView && windows.ListView == before) return false;
        if (windows.ListView && !session.Send(windows.ListView, LVM_GETITEMCOUNT, 0, 0, &count, kWatcherTimeoutMs)) {
            return false;
        }
    }
    const HWND listView = windows.ListView;
    if (static_cast<int32_t>(count) != lastItemCount_) {
        lastItemCount_ = static_cast<int32_t>(count);
        InvalidateWindow(listView);
    }
    return true;
}

void DesktopWatcher::KeepTextTransparent(ShellSession& session, const DesktopWindowHandles& windows,
                                         bool transparentLabels) {
    if (!transparentLabels) return;
    const HWND listView = windows.ListView;
    LRESULT colour = 0;
    if (!session.Send(listView, LVM_GETTEXTBKCOLOR, 0, 0, &colour, kWatcherTimeoutMs)) return;
    if (static_cast<COLORREF>(colour) != CLR_NONE) {
        session.Send(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE), nullptr, kWatcherTimeoutMs);
    }
}

void DesktopWatcher::FollowScroll(const DesktopWindowHandles& windows) {
    if (!scrollWatch_) return;
    const HWND listView = windows.ListView;
    const int32_t position = GetScrollPos(listView, SB_HORZ);
    if (position != lastScrollPos_) {
        InvalidateWindow(listView);
        lastScrollPos_ = position;
    }
}

void DesktopWatcher::StartScrollFollow(HWND listView) {
    lastScrollPos_ = GetScrollPos(listView, SB_HORZ);
    scrollWatch_ = true;
}

}  // namespace iv
