// The program's shortcut on the desktop and in the Startup folder.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace iv {

inline constexpr int kCsidlDesktop = 0;  // CSIDL_DESKTOP
inline constexpr int kCsidlStartup = 7;  // CSIDL_STARTUP

// The file-system path of a shell special folder (no trailing backslash but for a drive root), or
// empty text when the folder cannot be located. owner is the window that owns any UI the shell shows.
std::wstring GetSpecialFolder(int folder, HWND owner);

// The shortcut file in a special folder (folder + "\Iconvale.lnk"), or empty text when the
// folder cannot be located: the program never falls back to the root of the current drive.
std::wstring ShortcutPath(int folder, HWND owner);

// Whether a file (not a directory) exists at path; false for empty text.
bool ShortcutExists(const std::wstring& path);

// Deletes the shortcut file when it is there. True when no file is left at path (it was deleted
// or was not there, or path is empty); false when a file is there that could not be deleted.
bool DeleteShortcut(const std::wstring& path);

// Writes a shell link at linkPath with the given properties. An existing file is left untouched
// and counts as success. False when the link could not be created or saved (nothing is shown).
bool WriteShortcut(const std::wstring& linkPath, const std::wstring& targetPath, const std::wstring& description,
                   const std::wstring& arguments, const std::wstring& workingDirectory, const std::wstring& iconFile,
                   int16_t iconIndex, int32_t windowStyle);

// Creates the requested shortcuts to the running program, the Startup folder first; a failure
// shows its place's message and ends the call, so the desktop is not attempted after a failed
// Startup folder.
void CreateShortcuts(bool desktop, bool startup, HWND owner);

}  // namespace iv
