// The program's start-up procedure: one instance, then the main window until it is unloaded.
#pragma once

namespace iv {

// Name of the mutex that marks a running instance in this logon session.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\Iconvale.Instance";

// Runs the program; returns the process exit code.
int RunProgram();

}  // namespace iv
