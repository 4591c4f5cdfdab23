// Work that runs beside the caller's, on a thread of its own: for a read that waits on something
// other than what the caller waits on. Joined by Join() or when the owner goes; when no thread can
// be made, the work is done at once on the caller's.
#pragma once
#include <windows.h>

#include <functional>
#include <utility>

#include "base/ScopedWin.h"

namespace iv {

class SideThread {
public:
    explicit SideThread(std::function<void()> work) : work_(std::move(work)) {
        thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, nullptr));
        if (!thread_) work_();
    }
    ~SideThread() { Join(); }
    SideThread(const SideThread&) = delete;
    SideThread& operator=(const SideThread&) = delete;

    void Join() {
        if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Reset();
    }

private:
    static DWORD WINAPI Run(void* self) {
        static_cast<SideThread*>(self)->work_();
        return 0;
    }

    std::function<void()> work_;
    ScopedHandle thread_;
};

}  // namespace iv
