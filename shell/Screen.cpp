#include "shell/Screen.h"

#include <algorithm>
#include <tuple>

#include "base/ScopedWin.h"

namespace iv {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    reinterpret_cast<std::vector<Monitor>*>(data)->push_back(
        {info.rcMonitor, info.rcWork, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
    return TRUE;
}

using SetAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using IsValidAwareness = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetMonitorDpi = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

// A function the system may not have (loaded by name so that the program runs on Windows 7).
template <typename Function>
Function ProcOf(HMODULE module, const char* name) {
    // Through the generic function type, which every function pointer converts to and from.
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(module, name)));
}

template <typename Function>
Function User32Proc(const char* name) {
    return ProcOf<Function>(GetModuleHandleW(L"user32.dll"), name);
}

bool SystemAccepts(DPI_AWARENESS_CONTEXT context) {
    const auto isValid = User32Proc<IsValidAwareness>("IsValidDpiAwarenessContext");
    return isValid && isValid(context);
}

// The thread's DPI awareness for the lifetime of the object; nothing where the system has none.
class ThreadAwareness {
public:
    explicit ThreadAwareness(DPI_AWARENESS_CONTEXT context)
        : set_(User32Proc<SetAwareness>("SetThreadDpiAwarenessContext")) {
        if (set_ && context) previous_ = set_(context);
    }
    ~ThreadAwareness() {
        if (set_ && previous_) set_(previous_);
    }
    ThreadAwareness(const ThreadAwareness&) = delete;
    ThreadAwareness& operator=(const ThreadAwareness&) = delete;

private:
    SetAwareness set_;
    DPI_AWARENESS_CONTEXT previous_ = nullptr;
};

// GetDpiForMonitor (shcore, Windows 8.1 and later), loaded once: loading the library again for
// every read costs more than the read.
GetMonitorDpi MonitorDpiFunction() {
    static const ScopedModule shcore(LoadLibraryW(L"shcore.dll"));
    static const GetMonitorDpi function = shcore ? ProcOf<GetMonitorDpi>(shcore.Get(), "GetDpiForMonitor") : nullptr;
    return function;
}

// The primary monitor's effective scale where the system tells it; the system's otherwise.
UINT PrimaryDpi() {
    if (const GetMonitorDpi getDpi = MonitorDpiFunction()) {
        UINT x = 0;
        UINT y = 0;
        const HMONITOR primary = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
        if (SUCCEEDED(getDpi(primary, 0, &x, &y)) && x > 0) return x;
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

bool SameScreen(const ScreenShape& a, const ScreenShape& b) {
    if (a.dpi != b.dpi || a.monitors.size() != b.monitors.size()) return false;
    for (size_t i = 0; i < a.monitors.size(); ++i) {
        const Monitor& m = a.monitors[i];
        const Monitor& n = b.monitors[i];
        if (!SameRect(m.area, n.area) || !SameRect(m.work, n.work) || m.primary != n.primary) return false;
    }
    return true;
}

void SortMonitors(std::vector<Monitor>& monitors) {
    std::sort(monitors.begin(), monitors.end(), [](const Monitor& a, const Monitor& b) {
        return std::tie(a.area.left, a.area.top, a.area.right, a.area.bottom) <
               std::tie(b.area.left, b.area.top, b.area.right, b.area.bottom);
    });
}

DPI_AWARENESS_CONTEXT PhysicalPixelsAwareness(AwarenessAccepted accepts) {
    for (const DPI_AWARENESS_CONTEXT context :
         {DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE}) {
        if (accepts(context)) return context;
    }
    return nullptr;
}

std::vector<RECT> WorkAreasIn(HWND window, const ScreenShape& screen) {
    POINT origin = {};
    {
        const ThreadAwareness physical(PhysicalPixelsAwareness(SystemAccepts));
        MapWindowPoints(window, nullptr, &origin, 1);
    }
    std::vector<RECT> areas;
    for (const Monitor& m : screen.monitors) {
        areas.push_back(
            {m.work.left - origin.x, m.work.top - origin.y, m.work.right - origin.x, m.work.bottom - origin.y});
    }
    return areas;
}

ScreenShape ReadScreenShape() {
    const ThreadAwareness physical(PhysicalPixelsAwareness(SystemAccepts));
    ScreenShape screen;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&screen.monitors));
    if (screen.monitors.empty()) {
        const RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        screen.monitors.push_back({area, area, true});
    }
    SortMonitors(screen.monitors);
    screen.dpi = PrimaryDpi();
    return screen;
}

void ScreenSettle::Notice(const ScreenShape& screen, ULONGLONG now) {
    if (known_ && SameScreen(screen, screen_)) return;
    // Each further change starts the wait again: a resolution switch often passes through sizes.
    pending_ = known_;
    known_ = true;
    screen_ = screen;
    changedAt_ = now;
}

bool ScreenSettle::TakeSettled(ULONGLONG now) {
    if (!pending_ || now - changedAt_ < kScreenSettleMs) return false;
    pending_ = false;
    return true;
}

}  // namespace iv
