// Finding the shell's desktop windows.
#pragma once
#include <windows.h>

namespace iv {

// The shell's default view window and the desktop list view; null when not found.
struct DesktopWindowHandles {
    HWND DefView = nullptr;
    HWND ListView = nullptr;
};

// The name the shell gives "Progman". The view switch and the watcher look for that window by
// class and name; the icon positions take a "Progman" of any name. On every real desktop both
// find the same window (names compare without regard to case, and only windows of the shell's
// process count); the two rules are kept because each is how its part has always searched.
inline constexpr wchar_t kProgmanTitle[] = L"Program manager";

// The process of the shell: the owner of the shell window, or of "Progman" when there is none.
DWORD ShellProcessId();

// The shell's default view and its desktop list view, both of the shell's process: the
// "SHELLDLL_DefView" child of "Progman" (with that window name, or any when null), where it stays
// on a raised desktop since Windows 11 24H2 too; or, failing that, of a top-level "WorkerW"
// window, where earlier Windows move it while the desktop is raised (a wallpaper slideshow,
// Win+D). File dialogs and wallpaper tools have views of their own: they never count.
DesktopWindowHandles FindDesktopWindows(const wchar_t* progmanTitle = kProgmanTitle);

// FindDesktopWindows for the watcher, which asks on every tick: keeps the handles found last
// while they still name a list view inside its view, and searches afresh only when they do not.
void RefreshDesktopWindows(DesktopWindowHandles& windows);

}  // namespace iv
