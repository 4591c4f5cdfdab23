// Save and restore the desktop's icon positions over and over against a running stand-in desktop,
// so that the memory of both processes can be watched from outside (bench/soak.sh).
// Usage: soak.exe CYCLES
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "layouts/IconPositions.h"
#include "shell/ShellSession.h"

int wmain(int argc, wchar_t** argv) {
    const long cycles = argc > 1 ? wcstol(argv[1], nullptr, 10) : 1000;
    long failed = 0;
    iv::ShellSession session;
    for (long i = 1; i <= cycles; ++i) {
        if (iv::SaveIconPositions(session) != iv::SaveResult::Saved) ++failed;
        if (iv::RestoreIconPositions(session) == iv::RestoreResult::Failed) ++failed;
        if (i % 100 == 0) {
            printf("cycle %ld, %ld failed, %zu blocks set aside\n", i, failed, session.SetAsideCount());
            fflush(stdout);
        }
    }
    return failed == 0 ? 0 : 1;
}
