// The program's conversation with the shell: every request to the shell's windows goes through
// one session, which knows what is still owed by the shell and what the program has seen of it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "desktop/ScreenFollow.h"

namespace iv {

// How long a message the shell must answer may wait; a hung shell fails like a missing window.
inline constexpr UINT kShellTimeoutMs = 1000;
// The watcher asks again at its next tick, so it never waits long for a busy shell.
inline constexpr UINT kWatcherTimeoutMs = 100;

// The family of Windows, decided once at start-up.
struct WindowsFamily {
    bool winNT = true;      // the NT family: exchange blocks are reserved in the shell's process
    bool oldWin9x = false;  // Windows 95 or 98: the reduced view switch
};

// A block that a late answer may still write into.
struct SetAsideBlock {
    DWORD thread = 0;          // the shell's thread that owes the answer
    HANDLE process = nullptr;  // NT: the shell's process, where the block lies
    uint64_t address = 0;
    HANDLE mapping = nullptr;  // 9x: the mapping and its view, kept until the program ends
    void* view = nullptr;
};

class ShellSession {
public:
    explicit ShellSession(WindowsFamily family = {});
    // What no answer has proved free stays where it is; only this process's handles are closed.
    ~ShellSession();
    ShellSession(const ShellSession&) = delete;
    ShellSession& operator=(const ShellSession&) = delete;

    const WindowsFamily& Family() const { return family_; }

    // Sends a message the shell must answer without ever blocking on a hung shell. False when the
    // window is missing, hung or too slow; result receives the answer otherwise.
    bool Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr,
              UINT timeoutMs = kShellTimeoutMs);
    // True when the window's thread answers a null message in time.
    bool Responds(HWND hwnd);
    // Whether a request is waiting for the shell's answer. Messages that other threads send arrive
    // inside that wait: what they would start (a menu, a switch, an exit) waits until it is over.
    bool RequestInFlight() const { return requestsInFlight_ > 0; }

    // Sets or clears WS_VISIBLE in the list view's header style. Changing another process's
    // window style is carried out by that window's thread with no time-out, so a worker thread
    // makes the change and is waited for only as long as any request; a hung shell keeps only the
    // worker, which ends with the change or with the program.
    void SetHeaderVisible(HWND listView, bool visible);
    // The style record a WM_STYLECHANGED carries: the list view reads it during the send.
    STYLESTRUCT& StyleChange() { return styleChange_; }

    // Keeps a block whose request was not answered in time.
    void SetAside(const SetAsideBlock& block) { aside_.push_back(block); }
    // Frees the shell-side blocks owed by the list view's thread once it has answered a request
    // sent after theirs (its thread handles the requests sent to it in order); forgets those of a
    // shell process that has ended.
    void FreeProvenBlocks(HWND listView);
    // Blocks set aside and not yet freed.
    size_t SetAsideCount() const { return aside_.size(); }

    // What the program has seen of the screen's size; saves ask it whether they may write.
    ScreenSettle& Screen() { return screen_; }

private:
    WindowsFamily family_;
    int requestsInFlight_ = 0;
    STYLESTRUCT styleChange_ = {};
    std::vector<SetAsideBlock> aside_;
    ScreenSettle screen_;
};

}  // namespace iv
