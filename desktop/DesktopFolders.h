// Files that appear on the desktop or leave it: the user's and the common Desktop folders, watched
// by directory change notifications (the list view itself tells no one of its new items).
#pragma once
#include <windows.h>

#include <atomic>
#include <vector>

#include "base/ScopedWin.h"

namespace iv {

class DesktopFolderWatch {
public:
    // Posts message to target whenever an entry of either Desktop folder is added, removed or
    // renamed, unless the last one is still waiting to be acknowledged; watches nothing when
    // neither folder can be watched.
    DesktopFolderWatch(HWND target, UINT message);
    ~DesktopFolderWatch();
    // The posted message was handled: the next change posts again.
    void Acknowledge() { pending_ = false; }
    DesktopFolderWatch(const DesktopFolderWatch&) = delete;
    DesktopFolderWatch& operator=(const DesktopFolderWatch&) = delete;

private:
    static DWORD WINAPI Run(void* self);

    struct ChangeCloser {
        void operator()(HANDLE change) const { FindCloseChangeNotification(change); }
    };
    using ScopedChange = Scoped<HANDLE, nullptr, ChangeCloser>;

    HWND target_;
    UINT message_;
    std::atomic<bool> pending_ = false;
    std::vector<ScopedChange> changes_;
    ScopedHandle stop_;
    ScopedHandle thread_;
};

}  // namespace iv
