// Files that appear on the desktop or leave it: the user's and the common Desktop folders, watched
// by directory change notifications (the list view itself tells no one of its new items).
#pragma once
#include <windows.h>

#include <vector>

#include "base/ScopedWin.h"

namespace iv {

class DesktopFolderWatch {
public:
    // Posts message to target whenever an entry of either Desktop folder is added, removed or
    // renamed; watches nothing when neither folder can be watched.
    DesktopFolderWatch(HWND target, UINT message);
    ~DesktopFolderWatch();
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
    std::vector<ScopedChange> changes_;
    ScopedHandle stop_;
    ScopedHandle thread_;
};

}  // namespace iv
