// The program's conversation with the shell: every request to the shell's windows goes through
// one session, which knows what is still owed by the shell and what the program has seen of it.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/DesktopFolders.h"
#include "shell/FolderView.h"
#include "shell/Screen.h"

namespace iv {

// How long a message the shell must answer may wait; a hung shell fails like a missing window.
inline constexpr UINT kShellTimeoutMs = 1000;
// A request whose work grows with the icons it carries (a run of moves, a list of items) may take
// that long per this many icons.
inline constexpr size_t kIconsPerTimeout = 256;
// The most items the store can keep apart: their coordinates are stored as 16-bit numbers, and
// no desktop holds more; a larger count from the shell is not believed, nor waited for.
inline constexpr int32_t kMaxDesktopItems = 32767;
constexpr UINT TimeoutForIcons(size_t icons) {
    const auto most = static_cast<size_t>(kMaxDesktopItems);
    const size_t believed = icons < most ? icons : most;
    return kShellTimeoutMs * static_cast<UINT>(believed / kIconsPerTimeout + 1);
}
// The watcher asks again at its next tick, so it never waits long for a busy shell.
inline constexpr UINT kWatcherTimeoutMs = 100;

// The family of Windows, decided once at start-up.
struct WindowsFamily {
    bool winNT = true;      // the NT family: exchange blocks are reserved in the shell's process
    bool oldWin9x = false;  // Windows 95 or 98: the reduced view switch
};

// The completion of one request whose own end is tracked: set by the system's callback whenever
// the shell's window procedure returns, however late.
struct RequestCompletion {
    bool done = false;
    LRESULT result = 0;
};

// A block that a late answer may still write into, kept until its own request has completed.
struct SetAsideBlock {
    std::unique_ptr<RequestCompletion> completion;
    HANDLE process = nullptr;  // NT: the shell's process, where the block lies
    uint64_t address = 0;
    HANDLE mapping = nullptr;  // 9x: the mapping and its view, kept until the program ends
    void* view = nullptr;
    bool shareMemory = false;  // 9x: the mapping is the named one every block opens
};

// Icons that a restore could not put at their places, on the layout of one screen: a place that
// would not show (a taskbar over it, a smaller monitor) was taken for one that does. Each by its
// icon's key: where it was put, and the place it stands for while it stays there.
struct HeldIcons {
    struct Place {
        POINT at;
        POINT stored;
    };
    std::wstring layout;
    std::map<std::wstring, Place> byKey;
};

class HeaderWorker;

class ShellSession {
public:
    explicit ShellSession(WindowsFamily family = {});
    // Blocks whose requests are still owed stay where they are (and so do their completion
    // records, which a late callback may still write); only this process's handles are closed.
    ~ShellSession();
    ShellSession(const ShellSession&) = delete;
    ShellSession& operator=(const ShellSession&) = delete;

    const WindowsFamily& Family() const { return family_; }

    // Sends a message the shell must answer without ever blocking on a hung shell. False when the
    // window is missing, hung or too slow; result receives the answer otherwise.
    bool Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr,
              UINT timeoutMs = kShellTimeoutMs);
    // Sends a request that names memory the shell writes into, so that its own completion is known
    // even after the wait: the record it returns is done once the shell's window procedure has
    // returned. Waits up to timeoutMs, handling the messages other threads send meanwhile. Null
    // when the request could not be sent at all (nothing is owed then).
    std::unique_ptr<RequestCompletion> SendTracked(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                                   UINT timeoutMs = kShellTimeoutMs);
    // The same request sent without waiting: it lines up behind what was sent before and its
    // record is done once answered. Null when it could not be sent.
    std::unique_ptr<RequestCompletion> SendLater(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Waits for such a request as SendTracked does; true once it is done. A request not answered in
    // time is kept, with its record, until its answer comes.
    bool AwaitCompletion(std::unique_ptr<RequestCompletion>& completion, UINT timeoutMs);
    // True when the window's thread answers a null message in time.
    bool Responds(HWND hwnd, UINT timeoutMs = kShellTimeoutMs);
    // Waits as a request to the shell does (in flight, handling the messages other threads send)
    // until `event` is set: true then; false once the shell has let `limitMs` pass since
    // `lastAnswer` without answering (both may change while it waits).
    bool WaitForShell(HANDLE event, const std::atomic<ULONGLONG>& lastAnswer, const std::atomic<UINT>& limitMs);
    // Whether a restore is moving icons (it counts itself in while it runs, on any path out).
    bool InRestore() const { return restores_ > 0; }
    class RestoreScope {
    public:
        explicit RestoreScope(ShellSession& session) : session_(session) { ++session_.restores_; }
        ~RestoreScope() { --session_.restores_; }
        RestoreScope(const RestoreScope&) = delete;
        RestoreScope& operator=(const RestoreScope&) = delete;

    private:
        ShellSession& session_;
    };
    // Whether a request is waiting for the shell's answer. Messages that other threads send arrive
    // inside that wait: what they would start (a menu, a switch, an exit) must wait until it is
    // over.
    bool RequestInFlight() const { return requestsInFlight_ > 0; }

    // Where deferred messages are announced: when the outermost wait ends with messages deferred,
    // `message` is posted to `window` once, and its handler calls RunDeferred.
    void SetIdleNotice(HWND window, UINT message);
    // Inside a wait for the shell, keeps the message to be sent again once the outermost wait is
    // over and returns true; otherwise false, and the caller handles the message now.
    bool DeferWhileWaiting(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // Sends the deferred messages in the order they came, unless a wait is still going on (a
    // modal loop inside it): the end of the outermost wait announces them again.
    void RunDeferred();

    // Sets or clears WS_VISIBLE in the list view's header style. Changing another process's
    // window style is carried out by that window's thread with no time-out, so one worker thread
    // makes the change and is waited for only as long as any request. A hung shell keeps that
    // one worker, which carries only the latest wanted style and ends once it has set it.
    void SetHeaderVisible(HWND listView, bool visible);
    // The style record a WM_STYLECHANGED carries: the list view reads it during the send.
    STYLESTRUCT& StyleChange() { return styleChange_; }

    // Keeps a block whose request was not answered in time.
    void SetAside(SetAsideBlock block) { aside_.push_back(std::move(block)); }
    // Frees the shell-side blocks whose own requests have completed; forgets those of a shell
    // process that has ended.
    void FreeCompletedBlocks();
    // Waits up to timeoutMs (handling sent messages) for every block set aside to be freed; for a
    // process that is about to end. False when some are still owed.
    bool WaitForSetAsideBlocks(UINT timeoutMs);
    // Blocks set aside and not yet freed.
    size_t SetAsideCount() const { return aside_.size(); }
    // Whether the named shared mapping is set aside: a block opened meanwhile must not share its
    // pages, into which a late answer may still write.
    bool ShareMemoryOwed() const {
        for (const SetAsideBlock& block : aside_) {
            if (block.shareMemory) return true;
        }
        return false;
    }

    // What the program has seen of the screen; saves ask it whether they may write.
    ScreenSettle& Screen() { return screen_; }
    // The monitors and the scale as they are now, read in physical pixels (or as a test has them).
    ScreenShape CurrentScreen() const { return screenSource_ ? screenSource_() : ReadScreenShape(); }
    void SetScreenSource(std::function<ScreenShape()> source) { screenSource_ = std::move(source); }
    // Notes the screen as it is now, at `now`, and returns it.
    ScreenShape NoticeScreen(ULONGLONG now) {
        ScreenShape shape = CurrentScreen();
        screen_.Notice(shape, now);
        return shape;
    }
    // The Desktop folders' changes, which prove quick reads of the desktop.
    DesktopFolderChanges& FolderChanges() { return folderChanges_; }
    // The desktop's folder view, on the NT family the first way to its icons.
    FolderView& Folder() { return folderView_; }
    // Written by the restores, read by the automatic saves (see SaveIconPositions).
    HeldIcons& Held() { return held_; }

private:
    friend class InFlight;
    void WaitEnded();
    void WaitFor(const RequestCompletion& completion, UINT timeoutMs);

    WindowsFamily family_;
    int requestsInFlight_ = 0;
    int restores_ = 0;
    STYLESTRUCT styleChange_ = {};
    std::vector<SetAsideBlock> aside_;
    ScreenSettle screen_;
    std::function<ScreenShape()> screenSource_;
    DesktopFolderChanges folderChanges_;
    HeldIcons held_;
    HeaderWorker* header_ = nullptr;
    FolderView folderView_;

    struct Deferred {
        HWND hwnd;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Deferred> deferred_;
    HWND idleWindow_ = nullptr;
    UINT idleMessage_ = 0;
    bool idleAnnounced_ = false;
};

}  // namespace iv
