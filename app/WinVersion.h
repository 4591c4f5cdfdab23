// The operating-system check made once at start-up.
#pragma once
#include <windows.h>

#include <cstdint>

#include "shell/ShellSession.h"

namespace iv {

// Flags the program computes hold True as -1 and False as 0.
using Flag = int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

struct VersionVerdict {
    bool refuse = false;     // Win32s: the program does not run there
    Flag oldWin9x = kFalse;  // Windows 95 or 98
    Flag winNT = kTrue;
};

// Decides by the version record's platform id (and, on the 9x family, its minor version). Only a
// system that says it is of the 9x family takes the 9x ways; one that could not tell (queried
// false) or names another platform is taken for the NT family, which every current system is.
VersionVerdict ClassifyWindowsVersion(bool queried, DWORD platformId, DWORD minorVersion);

// Reads the version and tells the family. On Win32s it shows the refusal message and ends the
// program at once.
WindowsFamily CheckWindowsVersion();

}  // namespace iv
