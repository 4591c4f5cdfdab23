// What the shell's desktop tells by itself through the platform's accessibility events, heard out
// of context (nothing of the program is loaded into the shell): items that come, go or are
// reordered, its windows destroyed, a scroll. Not every platform raises them (Wine raises none
// for list-view items): what they do not tell is looked at by the keeper's slow check.
#pragma once
#include <windows.h>

#include <array>
#include <optional>

#include "base/ScopedWin.h"
#include "shell/DesktopWindows.h"

namespace iv {

enum class DesktopEvent : WPARAM {
    Items = 1,  // an item of the list view came or went, or the items were reordered
    Gone,       // the list view or its view was destroyed: a shell that restarts, or ends
    Scrolled,   // the list view's horizontal position changed
};

// What one event of the platform means for the desktop, if anything.
std::optional<DesktopEvent> MeaningOf(DWORD event, HWND hwnd, LONG object, LONG child,
                                      const DesktopWindowHandles& windows);

// Listens to the process of the desktop's list view, and sends each event that means something to
// `target` (a window of this thread) as `message`, with the DesktopEvent in wParam. One listens
// per thread at a time: the hooks' procedure has no context of its own.
class DesktopEvents {
public:
    DesktopEvents(HWND target, UINT message);
    ~DesktopEvents();
    DesktopEvents(const DesktopEvents&) = delete;
    DesktopEvents& operator=(const DesktopEvents&) = delete;

    // Follows these windows; a list view of another process is hooked anew, a missing one is not.
    void Watch(const DesktopWindowHandles& windows);
    // Whether some of the platform's hooks are set.
    bool Hooked() const { return hooks_[0] || hooks_[1] || hooks_[2]; }

private:
    static void CALLBACK Proc(HWINEVENTHOOK hook, DWORD event, HWND hwnd, LONG object, LONG child, DWORD thread,
                              DWORD time);

    HWND target_;
    UINT message_;
    DesktopWindowHandles windows_;
    bool attempted_ = false;
    DWORD process_ = 0;
    // The item events, the window and reorder events, the scroll events: three ranges, so that the
    // shell's other events (a tool tip shown, an icon moved) do not wake the program.
    std::array<ScopedWinEventHook, 3> hooks_;
};

}  // namespace iv
