// The screen a layout belongs to: every monitor's rectangle and work area in physical pixels and
// virtual-screen coordinates, and the scale; the name of its layout key, both ways.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace iv {

struct Monitor {
    RECT area = {};
    RECT work = {};
    bool primary = false;
};

struct ScreenShape {
    // In a stable order: by left edge, then top edge, then size.
    std::vector<Monitor> monitors;
    UINT dpi = 96;
};

// The same monitors (rectangles, work areas, which is primary) at the same scale.
bool SameScreen(const ScreenShape& a, const ScreenShape& b);

// Puts the monitors in the stable order.
void SortMonitors(std::vector<Monitor>& monitors);

// The name of a screen's layout key. One monitor at 96 dpi: "W*H", as layouts have always been
// kept. Otherwise every monitor as "W*H@X,Y", joined by "+", then " <dpi>dpi" when the scale is
// not 96 dpi; one monitor elsewhere than 96 dpi is "W*H <dpi>dpi". For example
// "1920*1080@0,0+1280*1024@1920,0", "1920*1080 144dpi", "1280*1024@-1280,0+1920*1080@0,0 120dpi".
std::wstring LayoutKeyName(const ScreenShape& screen);
// The primary monitor's plain "W*H": the key earlier versions kept every layout under.
std::wstring PrimaryKeyName(const ScreenShape& screen);
// The screen a key name stands for (areas only: the work areas are the areas, the monitor at 0,0
// is primary); nothing for a name that is no layout key.
std::optional<ScreenShape> DecodeLayoutKeyName(std::wstring_view name);

// The DPI awareness a thread takes to read monitors in physical pixels: per-monitor version 2
// where the system offers it (Windows 10 1607 and later), else per-monitor (all Wine 8 takes);
// `accepts` tells whether the system takes a context. Null when neither is taken (earlier
// systems, where every program sees physical pixels anyway).
using AwarenessAccepted = bool (*)(DPI_AWARENESS_CONTEXT context);
DPI_AWARENESS_CONTEXT PhysicalPixelsAwareness(AwarenessAccepted accepts);

// The monitors and the scale as they are now, read in physical pixels.
ScreenShape ReadScreenShape();

// The work areas of a screen's monitors in a window's client coordinates (physical pixels).
std::vector<RECT> WorkAreasIn(HWND window, const ScreenShape& screen);

}  // namespace iv
