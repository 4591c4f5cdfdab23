#include "shell/DesktopFolders.h"

#include <shlobj.h>

namespace iv {
namespace {

// Change notifications on the user's and the common Desktop folder (those that could be watched).
std::vector<ScopedChange> WatchDesktopFolders() {
    std::vector<ScopedChange> changes;
    for (const bool common : {false, true}) {
        const std::wstring path = DesktopFolderPath(common);
        if (path.empty()) continue;
        const HANDLE change = FindFirstChangeNotificationW(path.c_str(), FALSE,
                                                           FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
        if (change != INVALID_HANDLE_VALUE) changes.emplace_back(change);
    }
    return changes;
}

}  // namespace

std::wstring DesktopFolderPath(bool common) {
    wchar_t path[MAX_PATH] = {};
    const int folder = common ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOPDIRECTORY;
    if (FAILED(SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

void DesktopFolderChanges::Begin(ULONGLONG now) {
    began_ = now;
    if (!made_) {
        changes_ = WatchDesktopFolders();
        made_ = true;
        lastChange_ = now;
        return;
    }
    for (const ScopedChange& change : changes_) {
        if (WaitForSingleObject(change.Get(), 0) == WAIT_TIMEOUT) continue;
        lastChange_ = now;
        FindNextChangeNotification(change.Get());
    }
}

bool DesktopFolderChanges::Quiet() const {
    if (changes_.empty()) return false;
    for (const ScopedChange& change : changes_) {
        if (WaitForSingleObject(change.Get(), 0) != WAIT_TIMEOUT) return false;
    }
    return true;
}

DesktopFolderWatch::DesktopFolderWatch(HWND target, UINT message)
    : target_(target), message_(message), changes_(WatchDesktopFolders()) {
    if (changes_.empty()) return;
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stop_) thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

DesktopFolderWatch::~DesktopFolderWatch() {
    if (!thread_) return;
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

DWORD WINAPI DesktopFolderWatch::Run(void* parameter) {
    auto* self = static_cast<DesktopFolderWatch*>(parameter);
    std::vector<HANDLE> handles = {self->stop_.Get()};
    for (const ScopedChange& change : self->changes_) handles.push_back(change.Get());
    for (;;) {
        const DWORD signalled =
            WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        if (signalled <= WAIT_OBJECT_0 || signalled >= WAIT_OBJECT_0 + handles.size()) return 0;
        // One notification waits at a time: a flood of changes (thousands of files unpacked onto
        // the desktop) must not fill the window's queue, where later posts would be lost.
        if (!self->pending_.exchange(true) && !PostMessageW(self->target_, self->message_, 0, 0)) {
            self->pending_ = false;
        }
        if (!FindNextChangeNotification(handles[signalled - WAIT_OBJECT_0])) return 0;
    }
}

}  // namespace iv
