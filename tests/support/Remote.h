// Reading a window's answer that comes back through memory of the window's own process.
#pragma once
#include <windows.h>

#include <cstddef>
#include <set>

namespace testing_support {

// The rectangle of toolbar button `index` (position in the toolbar) in another process.
bool RemoteToolbarItemRect(HWND toolbar, WPARAM index, RECT& rect);

// The rectangle of list-view item `index` in another process; rect.left names the part asked for.
bool RemoteItemRect(HWND listView, int index, RECT& rect);

// The position of list-view item `index` in another process.
bool RemoteItemPosition(HWND listView, int index, POINT& point);

// Separate allocations of committed private memory in a process, by base and size.
using Allocations = std::set<std::pair<uintptr_t, size_t>>;
Allocations CommittedAllocations(HANDLE process);

}  // namespace testing_support
