// The watcher's steps that keep the desktop in shape, each a message or two and a repaint only on
// a change, with what they remember between ticks.
#pragma once
#include <windows.h>

#include <cstdint>

#include "shell/DesktopWindows.h"
#include "shell/ShellSession.h"

namespace iv {

class DesktopWatcher {
public:
    // Repaints the list view when the number of desktop items changed (refreshes the windows).
    // False when the list view did not answer in time: the count then tells nothing new.
    bool CheckItemCount(ShellSession& session, DesktopWindowHandles& windows);
    // While transparent labels are on, puts CLR_NONE back when the shell changed it; no repaint.
    void KeepTextTransparent(ShellSession& session, const DesktopWindowHandles& windows, bool transparentLabels);
    // In small icons, repaints when the horizontal scroll position changed.
    void FollowScroll(const DesktopWindowHandles& windows);

    // Scroll following starts from the list view's position now, and stops with the next switch.
    void StartScrollFollow(HWND listView);
    void StopScrollFollow() { scrollWatch_ = false; }

    int32_t LastItemCount() const { return lastItemCount_; }
    bool ScrollWatch() const { return scrollWatch_; }
    int32_t LastScrollPos() const { return lastScrollPos_; }

private:
    int32_t lastItemCount_ = 0;
    bool scrollWatch_ = false;
    int32_t lastScrollPos_ = 0;
};

}  // namespace iv
