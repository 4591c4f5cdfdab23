#include "shell/DesktopFolders.h"

#include <shlobj.h>

#include "shell/ShellSession.h"

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

DesktopFolderWatch::DesktopFolderWatch(HWND target, UINT message) : target_(target), message_(message) {
    for (const bool common : {false, true}) {
        auto folder = std::make_unique<Folder>();
        folder->path = DesktopFolderPath(common);
        if (folder->path.empty()) continue;
        folder->directory.Reset(FileOrNull(CreateFileW(
            folder->path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr)));
        folder->done.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (folder->directory && folder->done) folders_.push_back(std::move(folder));
    }
    if (folders_.empty()) return;
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (stop_) thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
}

DesktopFolderWatch::~DesktopFolderWatch() {
    if (!thread_) return;
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
}

std::vector<std::wstring> DesktopFolderWatch::TakeRemoved() {
    AcquireSRWLockExclusive(&lock_);
    std::vector<std::wstring> removed = std::move(removed_);
    removed_.clear();
    ReleaseSRWLockExclusive(&lock_);
    return removed;
}

bool DesktopFolderWatch::Folder::Arm() {
    ResetEvent(done.Get());
    read = {};
    read.hEvent = done.Get();
    return ReadDirectoryChangesW(directory.Get(), changes, sizeof changes, FALSE,
                                 FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, nullptr, &read, nullptr);
}

void DesktopFolderWatch::Take(const Folder& folder, DWORD bytes) {
    AcquireSRWLockExclusive(&lock_);
    // Bounded like the desktop itself: a flood of removals beyond it tells no more names.
    for (DWORD at = 0;
         at + sizeof(FILE_NOTIFY_INFORMATION) <= bytes && removed_.size() < static_cast<size_t>(kMaxDesktopItems);) {
        const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(folder.changes + at);
        if (change->Action == FILE_ACTION_REMOVED) {
            removed_.push_back(folder.path + L"\\" +
                               std::wstring(change->FileName, change->FileNameLength / sizeof(wchar_t)));
        }
        if (change->NextEntryOffset == 0) break;
        at += change->NextEntryOffset;
    }
    ReleaseSRWLockExclusive(&lock_);
}

DWORD WINAPI DesktopFolderWatch::Run(void* parameter) {
    auto* self = static_cast<DesktopFolderWatch*>(parameter);
    // The folders with a read under way, and their events after the stop's.
    std::vector<Folder*> armed;
    std::vector<HANDLE> handles = {self->stop_.Get()};
    for (const std::unique_ptr<Folder>& folder : self->folders_) {
        if (!folder->Arm()) continue;
        armed.push_back(folder.get());
        handles.push_back(folder->done.Get());
    }
    while (!armed.empty()) {
        const DWORD signalled =
            WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
        if (signalled <= WAIT_OBJECT_0 || signalled >= WAIT_OBJECT_0 + handles.size()) break;
        const size_t at = signalled - WAIT_OBJECT_0 - 1;
        Folder& folder = *armed[at];
        DWORD bytes = 0;
        // More changes than the buffer holds come as none told by name.
        const bool told = GetOverlappedResult(folder.directory.Get(), &folder.read, &bytes, FALSE) ||
                          GetLastError() == ERROR_NOTIFY_ENUM_DIR;
        if (told) self->Take(folder, bytes);
        // One notification waits at a time: a flood of changes (thousands of files unpacked onto
        // the desktop) must not fill the window's queue, where later posts would be lost.
        if (!self->pending_.exchange(true) && !PostMessageW(self->target_, self->message_, 0, 0)) {
            self->pending_ = false;
        }
        // A folder that fails (gone, or its share lost) is watched no more; the other still is.
        if (!told || !folder.Arm()) {
            armed.erase(armed.begin() + static_cast<std::ptrdiff_t>(at));
            handles.erase(handles.begin() + static_cast<std::ptrdiff_t>(at) + 1);
        }
    }
    // The reads still under way write into the folders' buffers: they end before the watch does.
    for (Folder* folder : armed) {
        DWORD bytes = 0;
        if (CancelIo(folder->directory.Get())) {
            GetOverlappedResult(folder->directory.Get(), &folder->read, &bytes, TRUE);
        }
    }
    return 0;
}

}  // namespace iv
