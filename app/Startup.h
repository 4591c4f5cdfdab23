// The program's start-up procedure: one instance, then the main window until it is unloaded.
#pragma once

namespace iv {

// Runs the program; returns the process exit code.
int RunProgram();

}  // namespace iv
