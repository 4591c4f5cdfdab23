#include "tests/support/Remote.h"

#include <commctrl.h>

#include "base/ScopedWin.h"

namespace testing_support {

namespace {

// Sends msg with lParam pointing at a block of `size` bytes in the window's process, holding what
// `inOut` holds, then reads the block back into it.
bool SendWithRemoteBlock(HWND hwnd, UINT msg, WPARAM wParam, void* inOut, SIZE_T size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    iv::ScopedHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!process) return false;
    void* block = VirtualAllocEx(process.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    if (!block) return false;
    WriteProcessMemory(process.Get(), block, inOut, size, nullptr);
    DWORD_PTR ok = 0;
    SendMessageTimeoutW(hwnd, msg, wParam, reinterpret_cast<LPARAM>(block), SMTO_ABORTIFHUNG, 5000, &ok);
    SIZE_T read = 0;
    const bool done = ok && ReadProcessMemory(process.Get(), block, inOut, size, &read) && read == size;
    VirtualFreeEx(process.Get(), block, 0, MEM_RELEASE);
    return done;
}

}  // namespace

bool RemoteToolbarItemRect(HWND toolbar, WPARAM index, RECT& rect) {
    return SendWithRemoteBlock(toolbar, TB_GETITEMRECT, index, &rect, sizeof rect);
}

bool RemoteItemRect(HWND listView, int index, RECT& rect) {
    return SendWithRemoteBlock(listView, LVM_GETITEMRECT, static_cast<WPARAM>(index), &rect, sizeof rect);
}

bool RemoteItemPosition(HWND listView, int index, POINT& point) {
    return SendWithRemoteBlock(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(index), &point, sizeof point);
}

Allocations CommittedAllocations(HANDLE process) {
    // A block a program reserves in another process is committed whole; the process's own heaps
    // reserve more than they commit, and grow as it paints: those are not counted.
    Allocations allocations;
    std::pair<uintptr_t, size_t> block = {0, 0};
    bool whole = false;
    MEMORY_BASIC_INFORMATION info = {};
    for (uintptr_t at = 0;
         VirtualQueryEx(process, reinterpret_cast<const void*>(at), &info, sizeof info) == sizeof info;) {
        if (info.State != MEM_FREE && reinterpret_cast<uintptr_t>(info.AllocationBase) != block.first) {
            if (whole) allocations.insert(block);
            block = {reinterpret_cast<uintptr_t>(info.AllocationBase), 0};
            whole = true;
        }
        if (info.State != MEM_FREE) {
            whole = whole && info.State == MEM_COMMIT && info.Type == MEM_PRIVATE;
            block.second += info.RegionSize;
        }
        const uintptr_t next = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;  // the end of what this process can address
        at = next;
    }
    if (whole) allocations.insert(block);
    return allocations;
}

}  // namespace testing_support
