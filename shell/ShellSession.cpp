#include "shell/ShellSession.h"

#include <commctrl.h>

namespace iv {

// Counts a request as in flight for as long as it waits; the end of the outermost wait announces
// what was deferred meanwhile.
class InFlight {
public:
    explicit InFlight(ShellSession& session) : session_(session) { ++session_.requestsInFlight_; }
    ~InFlight() {
        if (--session_.requestsInFlight_ == 0) session_.WaitEnded();
    }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

private:
    ShellSession& session_;
};

// The one thread that sets the header's style, with the latest style wanted. The session and a
// running thread each hold a reference, so a thread blocked in a hung shell outlives the session.
class HeaderWorker {
public:
    HeaderWorker() {
        InitializeCriticalSection(&lock_);
        changed_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    HeaderWorker(const HeaderWorker&) = delete;
    HeaderWorker& operator=(const HeaderWorker&) = delete;

    void Release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }
    HANDLE Changed() const { return changed_; }

    // Asks for a style; the thread is started when none runs. The generation to wait for.
    uint64_t Want(HWND header, LONG style) {
        EnterCriticalSection(&lock_);
        header_ = header;
        style_ = style;
        const uint64_t generation = ++wanted_;
        if (!running_) {
            InterlockedIncrement(&refs_);
            const HANDLE thread = CreateThread(nullptr, 0, Run, this, 0, nullptr);
            running_ = thread != nullptr;
            if (thread) {
                CloseHandle(thread);
            } else {
                done_ = wanted_;
                InterlockedDecrement(&refs_);
            }
        }
        LeaveCriticalSection(&lock_);
        return generation;
    }

    bool Done(uint64_t generation) {
        EnterCriticalSection(&lock_);
        const bool done = done_ >= generation;
        LeaveCriticalSection(&lock_);
        return done;
    }

private:
    ~HeaderWorker() {
        if (changed_) CloseHandle(changed_);
        DeleteCriticalSection(&lock_);
    }

    static DWORD WINAPI Run(void* parameter) {
        auto* self = static_cast<HeaderWorker*>(parameter);
        for (;;) {
            EnterCriticalSection(&self->lock_);
            if (self->done_ >= self->wanted_) {
                self->running_ = false;
                LeaveCriticalSection(&self->lock_);
                break;
            }
            const HWND header = self->header_;
            const LONG style = self->style_;
            const uint64_t generation = self->wanted_;
            LeaveCriticalSection(&self->lock_);
            SetWindowLongW(header, GWL_STYLE, style);
            EnterCriticalSection(&self->lock_);
            self->done_ = generation;
            LeaveCriticalSection(&self->lock_);
            SetEvent(self->changed_);
        }
        self->Release();
        return 0;
    }

    CRITICAL_SECTION lock_;
    HANDLE changed_ = nullptr;
    LONG refs_ = 1;
    HWND header_ = nullptr;
    LONG style_ = 0;
    uint64_t wanted_ = 0;
    uint64_t done_ = 0;
    bool running_ = false;
};

namespace {

void CALLBACK Completed(HWND, UINT, ULONG_PTR data, LRESULT result) {
    auto* completion = reinterpret_cast<RequestCompletion*>(data);
    completion->result = result;
    completion->done = true;
}

// Waits for an event (or none) until the deadline, handling only the messages other threads send
// (and the completions of tracked requests, which arrive the same way); false at the deadline.
bool WaitHandlingSentMessages(HANDLE event, ULONGLONG end) {
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return false;
    const DWORD count = event ? 1 : 0;
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, event ? &event : nullptr, static_cast<DWORD>(end - now),
                                                   QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    return woke != WAIT_TIMEOUT;
}

void FreeBlock(SetAsideBlock& block) {
    if (block.process && block.address) {
        VirtualFreeEx(block.process, reinterpret_cast<void*>(static_cast<uintptr_t>(block.address)), 0, MEM_RELEASE);
    }
    if (block.process) CloseHandle(block.process);
    if (block.view) UnmapViewOfFile(block.view);
    if (block.mapping) CloseHandle(block.mapping);
}

}  // namespace

ShellSession::ShellSession(WindowsFamily family) : family_(family) {}

ShellSession::~ShellSession() {
    FreeCompletedBlocks();
    for (SetAsideBlock& block : aside_) {
        if (block.process) CloseHandle(block.process);
        if (block.view) UnmapViewOfFile(block.view);
        if (block.mapping) CloseHandle(block.mapping);
        // A callback that comes after this still writes its record: the record stays.
        if (block.completion && !block.completion->done) static_cast<void>(block.completion.release());
    }
    if (header_) header_->Release();
}

bool ShellSession::Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result, UINT timeoutMs) {
    if (!hwnd) return false;
    DWORD_PTR answer = 0;
    LRESULT sent = 0;
    {
        InFlight wait(*this);
        sent = SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs, &answer);
    }
    if (!sent) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

std::unique_ptr<RequestCompletion> ShellSession::SendTracked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                                             UINT timeoutMs) {
    std::unique_ptr<RequestCompletion> completion = SendLater(hwnd, msg, wParam, lParam);
    if (completion) WaitFor(*completion, timeoutMs);
    return completion;
}

std::unique_ptr<RequestCompletion> ShellSession::SendLater(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return nullptr;
    auto completion = std::make_unique<RequestCompletion>();
    if (!SendMessageCallbackW(hwnd, msg, wParam, lParam, Completed, reinterpret_cast<ULONG_PTR>(completion.get()))) {
        return nullptr;
    }
    return completion;
}

void ShellSession::WaitFor(const RequestCompletion& completion, UINT timeoutMs) {
    InFlight wait(*this);
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!completion.done && WaitHandlingSentMessages(nullptr, end)) {
    }
}

bool ShellSession::AwaitCompletion(std::unique_ptr<RequestCompletion>& completion, UINT timeoutMs) {
    WaitFor(*completion, timeoutMs);
    if (completion->done) return true;
    SetAsideBlock owed;
    owed.completion = std::move(completion);
    SetAside(std::move(owed));
    return false;
}

bool ShellSession::Responds(HWND hwnd, UINT timeoutMs) { return Send(hwnd, WM_NULL, 0, 0, nullptr, timeoutMs); }

bool ShellSession::WaitForShell(HANDLE event, const std::atomic<ULONGLONG>& lastAnswer,
                                const std::atomic<UINT>& limitMs) {
    InFlight wait(*this);
    for (;;) {
        if (WaitForSingleObject(event, 0) == WAIT_OBJECT_0) return true;
        const ULONGLONG deadline = lastAnswer.load() + limitMs.load();
        if (GetTickCount64() >= deadline) return false;
        WaitHandlingSentMessages(event, deadline);
    }
}

void ShellSession::SetIdleNotice(HWND window, UINT message) {
    idleWindow_ = window;
    idleMessage_ = message;
}

bool ShellSession::DeferWhileWaiting(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!RequestInFlight() || !idleWindow_) return false;
    deferred_.push_back({hwnd, msg, wParam, lParam});
    return true;
}

void ShellSession::WaitEnded() {
    if (deferred_.empty() || idleAnnounced_ || !idleWindow_) return;
    idleAnnounced_ = PostMessageW(idleWindow_, idleMessage_, 0, 0) != FALSE;
}

void ShellSession::RunDeferred() {
    idleAnnounced_ = false;
    if (RequestInFlight()) return;
    std::vector<Deferred> due;
    due.swap(deferred_);
    for (const Deferred& d : due) {
        if (IsWindow(d.hwnd)) SendMessageW(d.hwnd, d.msg, d.wParam, d.lParam);
    }
}

void ShellSession::SetHeaderVisible(HWND listView, bool visible) {
    const HWND header = FindWindowExW(listView, nullptr, WC_HEADERW, nullptr);
    if (!header) return;
    const LONG style = GetWindowLongW(header, GWL_STYLE);
    const LONG newStyle = visible ? (style | WS_VISIBLE) : (style & ~static_cast<LONG>(WS_VISIBLE));
    if (!header_) header_ = new HeaderWorker;
    const uint64_t generation = header_->Want(header, newStyle);
    // Messages other threads send are handled meanwhile, as in any request to the shell (the
    // header may be this thread's own).
    InFlight wait(*this);
    const ULONGLONG end = GetTickCount64() + kShellTimeoutMs;
    while (!header_->Done(generation) && WaitHandlingSentMessages(header_->Changed(), end)) {
    }
}

void ShellSession::FreeCompletedBlocks() {
    for (auto it = aside_.begin(); it != aside_.end();) {
        if (it->completion && it->completion->done) {
            FreeBlock(*it);
            it = aside_.erase(it);
        } else if (it->process && WaitForSingleObject(it->process, 0) == WAIT_OBJECT_0) {
            // The memory went with the process; a callback may still come for the record.
            CloseHandle(it->process);
            static_cast<void>(it->completion.release());
            it = aside_.erase(it);
        } else {
            ++it;
        }
    }
}

bool ShellSession::WaitForSetAsideBlocks(UINT timeoutMs) {
    InFlight wait(*this);
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        FreeCompletedBlocks();
        if (aside_.empty()) return true;
        if (!WaitHandlingSentMessages(nullptr, end) && GetTickCount64() >= end) {
            FreeCompletedBlocks();
            return aside_.empty();
        }
    }
}

}  // namespace iv
