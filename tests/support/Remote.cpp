#include "tests/support/Remote.h"

#include <commctrl.h>

#include "app/ScopedWin.h"

namespace testing_support {

bool RemoteToolbarItemRect(HWND toolbar, WPARAM index, RECT& rect) {
    DWORD pid = 0;
    GetWindowThreadProcessId(toolbar, &pid);
    iv::ScopedHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return false;
    void* block = VirtualAllocEx(process.Get(), nullptr, sizeof rect, MEM_COMMIT, PAGE_READWRITE);
    if (!block) return false;
    DWORD_PTR ok = 0;
    SendMessageTimeoutW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(block), SMTO_ABORTIFHUNG, 5000, &ok);
    SIZE_T read = 0;
    const bool done = ok && ReadProcessMemory(process.Get(), block, &rect, sizeof rect, &read) && read == sizeof rect;
    VirtualFreeEx(process.Get(), block, 0, MEM_RELEASE);
    return done;
}

}  // namespace testing_support
