// Finding the shell's desktop windows and switching the desktop's view mode.
#pragma once
#include <windows.h>

#include <cstdint>

namespace iv {

class DesktopWatcher;

// How long a message the shell must answer may wait; a hung shell fails like a missing window.
inline constexpr UINT kShellTimeoutMs = 1000;
// The watcher asks again at its next tick, so it never waits long for a busy shell.
inline constexpr UINT kWatcherTimeoutMs = 100;

// Sends a message the shell must answer without ever blocking on a hung shell. False when the
// window is missing, hung or too slow; result receives the answer otherwise.
bool ShellSend(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr,
               UINT timeoutMs = kShellTimeoutMs);

// True when the window's thread answers a null message in time.
bool ShellResponds(HWND hwnd);

// Whether this thread is waiting for the shell's answer. Messages that other threads send arrive
// inside that wait: what they would start (a menu, a switch, an exit) waits until it is over.
bool ShellRequestInFlight();

// The shell's default view window and the desktop list view; null when not found.
struct DesktopWindowHandles {
    HWND DefView = nullptr;
    HWND ListView = nullptr;
};

// The shell's default view: the "SHELLDLL_DefView" child of "Progman" (with that window name, or
// any when null) or, failing that, of a "WorkerW" window.
HWND FindShellDefView(const wchar_t* progmanTitle);

// The shell's default view and the desktop list view. Looks under "Progman" first, then under the
// "WorkerW" windows that hold the view on desktops with a wallpaper slideshow.
DesktopWindowHandles FindDesktopWindows();

// FindDesktopWindows for the watcher, which asks on every tick: keeps the handles found last
// while they still name a list view inside its view, and searches afresh only when they do not.
void RefreshDesktopWindows(DesktopWindowHandles& windows);

// Switches the desktop to a view mode (0..3) after finding its windows afresh: tells the shell
// view and the list view, shows or hides the details header, and has the watcher follow the
// scroll position in small icons. oldWin9x selects the reduced switch of Windows 95 and 98.
// Callers invalidate.
void SetDesktopViewMode(DesktopWindowHandles& windows, DesktopWatcher& watcher, int16_t mode, int16_t previousMode,
                        bool oldWin9x);

}  // namespace iv
