// Following the primary screen's size: the settle rule that keeps every save away from a layout
// caught between two sizes, and the clamp that keeps a restored icon on screen.
#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace iv {

// A change of the screen size has settled once no further change came for this long.
inline constexpr ULONGLONG kScreenSettleMs = 2000;

// What the program has seen of the screen's size. From a change until it has settled, and was
// taken, the layout on screen belongs to no size: the shell is still squeezing or spreading it.
class ScreenSettle {
public:
    // Records the size seen at `now`. The first size seen is no change.
    void Notice(SIZE size, ULONGLONG now);
    // No change waits to be taken: a save may write the layout under the size's key.
    bool SavesAllowed() const { return !pending_; }
    // True once per change, when it has settled: the caller then restores the new size's layout.
    // Saves are allowed again from then on.
    bool TakeSettled(ULONGLONG now);

private:
    bool known_ = false;
    bool pending_ = false;
    SIZE size_ = {};
    ULONGLONG changedAt_ = 0;
};

// The primary screen's size, the one the stored layouts are kept for.
SIZE PrimaryScreenSize();

// How far an item whose bounds are `bounds` must move so that all of it lies inside `client`
// (the nearest such place); an item larger than the client area shows its top-left part.
POINT ShiftIntoView(const RECT& bounds, const RECT& client);

// Stored values by name folded to upper case, as the registry compares them.
using LayoutValues = std::map<std::wstring, std::wstring>;

// Whether writing `wanted` would change `stored`: a value missing or different, or, after a read
// of the whole desktop (`whole`), a stored value that the save would delete.
bool LayoutDiffers(const LayoutValues& wanted, const LayoutValues& stored, bool whole);

}  // namespace iv
