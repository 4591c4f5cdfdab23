// Carrying out a command line: by the running instance when there is one, else by this process.
#pragma once

namespace iv {

// The process's exit code for its command line (the arguments without the program's name). A
// plain start runs the program.
int RunCommandLine(const wchar_t* commandLine);

}  // namespace iv
