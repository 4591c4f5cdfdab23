#include <windows.h>

#include "app/Commands.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) { return iv::RunCommandLine(commandLine); }
