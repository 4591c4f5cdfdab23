#include "desktop/ShellSession.h"

#include <commctrl.h>

#include "base/ScopedWin.h"

namespace iv {
namespace {

struct HeaderStyle {
    HWND header;
    LONG style;
};

DWORD WINAPI SetHeaderStyle(void* parameter) {
    const HeaderStyle* change = static_cast<HeaderStyle*>(parameter);
    SetWindowLongW(change->header, GWL_STYLE, change->style);
    delete change;
    return 0;
}

// Counts a request as in flight for as long as it waits.
class InFlight {
public:
    explicit InFlight(int& count) : count_(count) { ++count_; }
    ~InFlight() { --count_; }
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

private:
    int& count_;
};

}  // namespace

ShellSession::ShellSession(WindowsFamily family) : family_(family) {}

ShellSession::~ShellSession() {
    for (SetAsideBlock& block : aside_) {
        if (block.process) CloseHandle(block.process);
        if (block.view) UnmapViewOfFile(block.view);
        if (block.mapping) CloseHandle(block.mapping);
    }
}

bool ShellSession::Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result, UINT timeoutMs) {
    if (!hwnd) return false;
    DWORD_PTR answer = 0;
    LRESULT sent = 0;
    {
        InFlight wait(requestsInFlight_);
        sent = SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs, &answer);
    }
    if (!sent) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

bool ShellSession::Responds(HWND hwnd) { return Send(hwnd, WM_NULL, 0, 0); }

void ShellSession::SetHeaderVisible(HWND listView, bool visible) {
    const HWND header = FindWindowExW(listView, nullptr, WC_HEADERW, nullptr);
    if (!header) return;
    const LONG style = GetWindowLongW(header, GWL_STYLE);
    const LONG newStyle = visible ? (style | WS_VISIBLE) : (style & ~static_cast<LONG>(WS_VISIBLE));
    auto* change = new HeaderStyle{header, newStyle};
    ScopedHandle worker(CreateThread(nullptr, 0, SetHeaderStyle, change, 0, nullptr));
    if (!worker) {
        delete change;
        return;
    }
    // Messages other threads send are handled meanwhile, as in any request to the shell (the
    // header may be this thread's own).
    InFlight wait(requestsInFlight_);
    const ULONGLONG end = GetTickCount64() + kShellTimeoutMs;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        const HANDLE handle = worker.Get();
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(end - now), QS_SENDMESSAGE) !=
            WAIT_OBJECT_0 + 1) {
            break;
        }
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void ShellSession::FreeProvenBlocks(HWND listView) {
    const DWORD thread = listView ? GetWindowThreadProcessId(listView, nullptr) : 0;
    bool owed = false;
    for (auto it = aside_.begin(); it != aside_.end();) {
        if (it->process && WaitForSingleObject(it->process, 0) == WAIT_OBJECT_0) {
            CloseHandle(it->process);
            it = aside_.erase(it);
            continue;
        }
        owed = owed || (it->process && thread && it->thread == thread);
        ++it;
    }
    if (!owed || !Responds(listView)) return;
    for (auto it = aside_.begin(); it != aside_.end();) {
        if (it->process && it->thread == thread) {
            VirtualFreeEx(it->process, reinterpret_cast<void*>(static_cast<uintptr_t>(it->address)), 0, MEM_RELEASE);
            CloseHandle(it->process);
            it = aside_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace iv
