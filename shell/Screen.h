// The screen the desktop spans: every monitor's rectangle and work area in physical pixels and
// virtual-screen coordinates, and the scale; and the settle rule that keeps every save away from a
// layout caught between two screens.
#pragma once
#include <windows.h>

#include <optional>
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

// A change of the screen has settled once no further change came for this long.
inline constexpr ULONGLONG kScreenSettleMs = 2000;

// What the program has seen of the screen: its monitors, their work areas and the scale. From a
// change until it has settled, and was taken, the layout on screen belongs to no screen: the shell
// is still squeezing or spreading it.
class ScreenSettle {
public:
    // Records the screen seen at `now`. The first screen seen is no change.
    void Notice(const ScreenShape& screen, ULONGLONG now);
    // No change waits to be taken: a save may write the layout under the screen's key.
    bool SavesAllowed() const { return !pending_; }
    // True once per change, when it has settled: the caller then restores the new screen's layout.
    // Saves are allowed again from then on.
    bool TakeSettled(ULONGLONG now);
    // When the change waiting to be taken settles, if one does.
    std::optional<ULONGLONG> SettlesAt() const {
        if (!pending_) return std::nullopt;
        return changedAt_ + kScreenSettleMs;
    }

private:
    bool known_ = false;
    bool pending_ = false;
    ScreenShape screen_;
    ULONGLONG changedAt_ = 0;
};

}  // namespace iv
