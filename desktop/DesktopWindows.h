// Finding the shell's desktop windows and switching the desktop's view mode.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>

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

// The process of the shell: the owner of the shell window, or of "Progman" when there is none.
DWORD ShellProcessId();

// The shell's default view: the "SHELLDLL_DefView" child of "Progman" (with that window name, or
// any when null), where it stays on a raised desktop since Windows 11 24H2 too; or, failing that,
// of a top-level "WorkerW" window, where earlier Windows move it while the desktop is raised (a
// wallpaper slideshow, Win+D). Only windows of the shell's own process count: file dialogs and
// wallpaper tools have views of their own.
HWND FindShellDefView(const wchar_t* progmanTitle);

// The shell's default view and its desktop list view, both of the shell's process.
DesktopWindowHandles FindDesktopWindows();

// FindDesktopWindows for the watcher, which asks on every tick: keeps the handles found last
// while they still name a list view inside its view, and searches afresh only when they do not.
void RefreshDesktopWindows(DesktopWindowHandles& windows);

// How a desktop's shell view takes a view switch: the shell view before Vista answers the classic
// commands, later ones their own; where neither acts the list view is told directly. Learnt on a
// desktop's first switch that shows, and kept until the desktop is a new one.
enum class ViewCommands { Unknown, Classic, Later, Direct };

// What the list view shows (LVM_GETVIEW); nothing when it did not answer in time.
std::optional<DWORD> ReadListViewView(HWND listView);

// Switches the desktop to a view mode (0..3) after finding its windows afresh: tells the shell
// view and the list view, shows or hides the details header, and has the watcher follow the
// scroll position in small icons. The shell view's command is checked by what the list view shows
// right after it (before the program's own style step, which would change that behind the shell
// view's back); when it did not act, the later command and then the list view itself are tried.
// oldWin9x selects the reduced switch of Windows 95 and 98. Callers invalidate.
void SetDesktopViewMode(DesktopWindowHandles& windows, DesktopWatcher& watcher, ViewCommands& commands, int16_t mode,
                        int16_t previousMode, bool oldWin9x);

}  // namespace iv
