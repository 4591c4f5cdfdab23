// Following the screen: the settle rule that keeps every save away from a layout caught between
// two screens, and where restored icons go so that they land on a monitor and not on each other.
#pragma once
#include <windows.h>

#include <unordered_map>
#include <string>
#include <vector>

#include "desktop/Monitors.h"

namespace iv {

// A change of the screen has settled once no further change came for this long.
inline constexpr ULONGLONG kScreenSettleMs = 2000;

// What the program has seen of the screen: its monitors, their work areas and the scale. From a
// change until it has settled, and was taken, the layout on screen belongs to no screen: the shell
// is still squeezing or spreading it.
class ScreenSettle {
public:
    // Records the screen seen at `now`. The first screen seen is no change.
    void Notice(const ScreenShape& screen, ULONGLONG now);
    // No change waits to be taken: a save may write the layout under the size's key.
    bool SavesAllowed() const { return !pending_; }
    // True once per change, when it has settled: the caller then restores the new size's layout.
    // Saves are allowed again from then on.
    bool TakeSettled(ULONGLONG now);

private:
    bool known_ = false;
    bool pending_ = false;
    ScreenShape screen_;
    ULONGLONG changedAt_ = 0;
};

// How far an item whose bounds are `bounds` must move so that all of it lies inside `client`
// (the nearest such place); an item larger than the client area shows its top-left part.
POINT ShiftIntoView(const RECT& bounds, const RECT& client);

// An icon's rectangle relative to its item's position, the same for every icon of a view.
struct IconBox {
    LONG dx = 0;
    LONG dy = 0;
    LONG width = 0;
    LONG height = 0;
};

// Where restored icons go, in the order given: each wholly inside the work area of the monitor
// nearest its stored place (the one holding the icon's middle, else the closest); one that would
// overlap an icon placed before it goes to the nearest free place on the grid of `spacing` inside
// that work area, when there is one. Places, areas and results in the list view's coordinates.
std::vector<POINT> PlaceRestoredIcons(const std::vector<POINT>& stored, const IconBox& box, SIZE spacing,
                                      const std::vector<RECT>& workAreas);

// Stored values by name folded to upper case, as the registry compares them.
using LayoutValues = std::unordered_map<std::wstring, std::wstring>;

// Whether writing `wanted` would change `stored`: a value missing or different, or, after a read
// of the whole desktop (`whole`), a stored value that the save would delete.
bool LayoutDiffers(const LayoutValues& wanted, const LayoutValues& stored, bool whole);

}  // namespace iv
