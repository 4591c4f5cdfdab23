// End-to-end tests: iconvale.exe as a user starts it, over the stand-in desktop program.
// Arguments: --iconvale=PATH --standin=PATH (paths of the programs under test).
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "tests/support/Processes.h"

int main(int argc, char** argv) {
    int wargc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    testing_support::SetArguments(wargc, wargv);
    LocalFree(wargv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
