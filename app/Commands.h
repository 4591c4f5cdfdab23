// Carrying out a command line: by the running instance when there is one, else by this process.
#pragma once
#include <windows.h>

#include <cstdint>

namespace iv {

// The process's exit code for its command line (the arguments without the program's name). A
// plain start runs the program.
int RunCommandLine(const wchar_t* commandLine);

// A save or a restore asked for by a command; they act in the icon views only, as the exit save
// and the start-up restore do. kExitDone, or kExitNotPossible when the view is another one or the
// desktop could not be read to the end.
int SaveCommand(bool inIconView, bool winNT);
int RestoreCommand(bool inIconView, bool winNT);

// The CurrentViewMode number the desktop list view shows, as it answers LVM_GETVIEW (the view it
// really shows, whoever switched it); 0 when it does not answer or shows another view.
int16_t ShownViewMode(HWND listView);

}  // namespace iv
