#include "desktop/DesktopEvents.h"

namespace iv {

namespace {

thread_local DesktopEvents* t_listening = nullptr;

}  // namespace

std::optional<DesktopEvent> MeaningOf(DWORD event, HWND hwnd, LONG object, LONG child,
                                      const DesktopWindowHandles& windows) {
    if (!hwnd) return std::nullopt;
    const bool listView = hwnd == windows.ListView;
    switch (event) {
        case EVENT_OBJECT_CREATE:
        case EVENT_OBJECT_DESTROY:
            if (listView && object == OBJID_CLIENT && child != CHILDID_SELF) return DesktopEvent::Items;
            if (event == EVENT_OBJECT_DESTROY && object == OBJID_WINDOW && child == CHILDID_SELF &&
                (listView || hwnd == windows.DefView)) {
                return DesktopEvent::Gone;
            }
            return std::nullopt;
        case EVENT_OBJECT_REORDER:
            if (listView && object == OBJID_CLIENT) return DesktopEvent::Items;
            return std::nullopt;
        case EVENT_OBJECT_VALUECHANGE:
            if (listView && object == OBJID_HSCROLL) return DesktopEvent::Scrolled;
            return std::nullopt;
        default: return std::nullopt;
    }
}

DesktopEvents::DesktopEvents(HWND target, UINT message) : target_(target), message_(message) { t_listening = this; }

DesktopEvents::~DesktopEvents() {
    for (ScopedWinEventHook& hook : hooks_) hook.Reset();
    if (t_listening == this) t_listening = nullptr;
}

void DesktopEvents::Watch(const DesktopWindowHandles& windows) {
    // Asked after every look at the desktop: only another list view costs a question.
    if (windows.ListView == windows_.ListView && windows.DefView == windows_.DefView && attempted_) return;
    windows_ = windows;
    attempted_ = true;
    DWORD process = 0;
    if (windows.ListView) GetWindowThreadProcessId(windows.ListView, &process);
    if (process == process_ && Hooked()) return;
    for (ScopedWinEventHook& hook : hooks_) hook.Reset();
    process_ = process;
    if (!process) return;
    // The whole process: a hook on one thread of another process needs a module to load into it
    // on some platforms (Wine refuses it without one).
    constexpr DWORD flags = WINEVENT_OUTOFCONTEXT;
    const auto hook = [&](DWORD first, DWORD last) {
        return SetWinEventHook(first, last, nullptr, Proc, process, 0, flags);
    };
    hooks_[0].Reset(hook(EVENT_OBJECT_CREATE, EVENT_OBJECT_DESTROY));
    hooks_[1].Reset(hook(EVENT_OBJECT_REORDER, EVENT_OBJECT_REORDER));
    hooks_[2].Reset(hook(EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE));
}

void CALLBACK DesktopEvents::Proc(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
    DesktopEvents* self = t_listening;
    if (!self) return;
    const std::optional<DesktopEvent> meaning = MeaningOf(event, hwnd, object, child, self->windows_);
    if (meaning) SendMessageW(self->target_, self->message_, static_cast<WPARAM>(*meaning), 0);
}

}  // namespace iv
