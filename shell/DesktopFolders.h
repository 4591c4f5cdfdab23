// Files that appear on the desktop or leave it: the user's and the common Desktop folders, watched
// by directory change notifications (the list view itself tells no one of its new items).
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/ScopedWin.h"

namespace iv {

// The user's Desktop folder, or the common (Public) one; empty when the system names none.
std::wstring DesktopFolderPath(bool common);

struct ChangeCloser {
    void operator()(HANDLE change) const { FindCloseChangeNotification(change); }
};
using ScopedChange = Scoped<HANDLE, nullptr, ChangeCloser>;

// Whether an entry of either Desktop folder came, went or was renamed during a span: what proves,
// with a count that held, that a read of the desktop saw the same items from its start to its
// end. The notifications are made once, on the first span (making them costs more than reading a
// hundred items), and re-armed by each span's start, which keeps the time of a change told before
// it: a read right after a change is made carefully, as is the first (nothing is known of what
// came before the notifications were made).
class DesktopFolderChanges {
public:
    // A read is quick only when the folders were quiet this long before it (a burst of changes,
    // a file dropped just now, is waited out the way the calm saves wait it out).
    static constexpr ULONGLONG kCalmMs = 2000;

    void Begin(ULONGLONG now = GetTickCount64());
    // False when the folders cannot be watched.
    bool Quiet() const;
    // Whether no change was told for `ms` before the span began.
    bool CalmFor(ULONGLONG ms) const { return !changes_.empty() && began_ - lastChange_ >= ms; }

private:
    std::vector<ScopedChange> changes_;
    bool made_ = false;
    ULONGLONG began_ = 0;
    ULONGLONG lastChange_ = 0;
};

class DesktopFolderWatch {
public:
    // Posts message to target whenever an entry of either Desktop folder is added, removed or
    // renamed, unless the last one is still waiting to be acknowledged; watches nothing when
    // neither folder can be watched.
    DesktopFolderWatch(HWND target, UINT message);
    ~DesktopFolderWatch();
    // The posted message was handled: the next change posts again.
    void Acknowledge() { pending_ = false; }
    // The paths of the entries removed from either folder since the last call (a rename's old
    // name is not one: the entry stays). A change too large to be told by name tells none.
    std::vector<std::wstring> TakeRemoved();
    DesktopFolderWatch(const DesktopFolderWatch&) = delete;
    DesktopFolderWatch& operator=(const DesktopFolderWatch&) = delete;

private:
    // One folder's reads of its changes, one at a time, each into the buffer until it completes.
    struct Folder {
        std::wstring path;
        ScopedHandle directory;
        ScopedHandle done;
        OVERLAPPED read = {};
        alignas(DWORD) BYTE changes[16384] = {};
        bool Arm();
    };
    static DWORD WINAPI Run(void* self);
    void Take(const Folder& folder, DWORD bytes);

    HWND target_;
    UINT message_;
    std::atomic<bool> pending_ = false;
    std::vector<std::unique_ptr<Folder>> folders_;
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::vector<std::wstring> removed_;
    ScopedHandle stop_;
    ScopedHandle thread_;
};

}  // namespace iv
