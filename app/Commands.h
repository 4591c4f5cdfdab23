// Carrying out a command line: by the running instance when there is one, else by this process.
#pragma once
#include "app/CommandLine.h"
#include "shell/ShellSession.h"

namespace iv {

// A shell still owing an answer gets this long to finish with a block before the process ends.
inline constexpr UINT kSetAsideWaitMs = 3000;

// The process's exit code for its command line (the arguments without the program's name). A
// plain start runs the program.
int RunCommandLine(const wchar_t* commandLine);

// The exit code of a save, a restore or an undo (a named one too), in the icon views only, whether a running
// instance or the new start itself carries it out.
int RunPositionsCommand(ShellSession& session, bool inIconView, const CommandLine& command);

}  // namespace iv
