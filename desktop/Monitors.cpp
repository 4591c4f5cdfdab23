#include "desktop/Monitors.h"

#include <algorithm>
#include <cwchar>
#include <tuple>

#include "base/ScopedWin.h"

namespace iv {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::wstring Size(const RECT& r) {
    return std::to_wstring(r.right - r.left) + L"*" + std::to_wstring(r.bottom - r.top);
}

// A decimal number of at most six digits at the start of text (a sign only where allowed);
// advances text past it.
bool ReadNumber(std::wstring_view& text, bool signedNumber, long& value) {
    const size_t sign = signedNumber && !text.empty() && text[0] == L'-' ? 1 : 0;
    size_t end = sign;
    while (end < text.size() && text[end] >= L'0' && text[end] <= L'9') ++end;
    if (end == sign || end - sign > 6) return false;
    value = std::wcstol(std::wstring(text.substr(0, end)).c_str(), nullptr, 10);
    text.remove_prefix(end);
    return true;
}

bool Skip(std::wstring_view& text, wchar_t c) {
    if (text.empty() || text[0] != c) return false;
    text.remove_prefix(1);
    return true;
}

// "W*H" (at 0,0) or "W*H@X,Y" at the start of text; advances text past it.
bool ParseMonitor(std::wstring_view& text, bool placed, RECT& area) {
    long width = 0;
    long height = 0;
    long x = 0;
    long y = 0;
    if (!ReadNumber(text, false, width) || !Skip(text, L'*') || !ReadNumber(text, false, height)) return false;
    if (placed &&
        (!Skip(text, L'@') || !ReadNumber(text, true, x) || !Skip(text, L',') || !ReadNumber(text, true, y))) {
        return false;
    }
    if (width <= 0 || height <= 0) return false;
    area = {x, y, x + width, y + height};
    return true;
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

std::wstring LayoutKeyName(const ScreenShape& screen) {
    const std::wstring scale = screen.dpi == 96 ? L"" : L" " + std::to_wstring(screen.dpi) + L"dpi";
    if (screen.monitors.size() == 1) return Size(screen.monitors[0].area) + scale;
    std::wstring name;
    for (const Monitor& m : screen.monitors) {
        if (!name.empty()) name += L"+";
        name += Size(m.area) + L"@" + std::to_wstring(m.area.left) + L"," + std::to_wstring(m.area.top);
    }
    return name + scale;
}

std::wstring PrimaryKeyName(const ScreenShape& screen) {
    for (const Monitor& m : screen.monitors) {
        if (m.primary) return Size(m.area);
    }
    return screen.monitors.empty() ? std::wstring() : Size(screen.monitors[0].area);
}

std::optional<ScreenShape> DecodeLayoutKeyName(std::wstring_view name) {
    ScreenShape screen;
    if (const size_t space = name.find(L' '); space != std::wstring_view::npos) {
        std::wstring_view scale = name.substr(space + 1);
        name = name.substr(0, space);
        if (scale.size() < 4 || scale.substr(scale.size() - 3) != L"dpi") return std::nullopt;
        scale.remove_suffix(3);
        long dpi = 0;
        if (!ReadNumber(scale, false, dpi) || !scale.empty() || dpi <= 0 || dpi == 96) return std::nullopt;
        screen.dpi = static_cast<UINT>(dpi);
    }
    const bool placed = name.find(L'@') != std::wstring_view::npos;
    while (true) {
        Monitor m;
        if (!ParseMonitor(name, placed, m.area)) return std::nullopt;
        m.work = m.area;
        m.primary = m.area.left == 0 && m.area.top == 0;
        screen.monitors.push_back(m);
        if (name.empty()) break;
        if (!placed || name[0] != L'+') return std::nullopt;
        name.remove_prefix(1);
    }
    if (placed && screen.monitors.size() < 2) return std::nullopt;
    std::vector<Monitor> sorted = screen.monitors;
    SortMonitors(sorted);
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (!SameRect(sorted[i].area, screen.monitors[i].area)) return std::nullopt;
    }
    return screen;
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

}  // namespace iv
