// standin.exe: a desktop for tests of a program that works on the shell's desktop windows.
//
//   standin.exe [--shell | --scripted] [--log=PATH] [--item=NAME@X,Y]... [--items=N]
//               [--ie-server] [--no-listview] [--hang-after=MS] [--log-paint]
//
//   --shell          host the platform's own shell view of the desktop folder
//   --scripted       a list view with the given items (the default)
//   --log=PATH       append the message log to PATH (UTF-8); a path starting with '/' is taken
//                    as a Unix path and reached through drive Z:
//   --item=NAME@X,Y  an item at (X, Y); NAME may itself contain '@' (the last one splits)
//   --items=N        N items "Item 1".."Item N" on a grid, six to a column
//   --ie-server      an "Internet Explorer_Server" window under the view
//   --no-listview    a view without a list view
//   --hang-after=MS  stop answering messages MS milliseconds after start-up
//   --log-paint      also log the list view's paints
//
// Runs until "Progman" is closed (exit code 0). Exit code 2: bad command line; 1: no desktop.
#include <windows.h>
#include <shellapi.h>

#include "StandIn.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) return 2;
    standin::Options options;
    const bool parsed = standin::ParseCommandLine(argc, argv, options);
    LocalFree(argv);
    if (!parsed) return 2;
    options.quitOnClose = true;

    std::unique_ptr<standin::Desktop> desktop = standin::Desktop::Create(options);
    if (!desktop) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    desktop.reset();
    return 0;
}
