#include "desktop/ScreenFollow.h"

namespace iv {
namespace {

// The shift along one axis that brings [lo, hi) inside [min, max), its start first.
LONG ShiftAxis(LONG lo, LONG hi, LONG min, LONG max) {
    if (lo < min || hi - lo > max - min) return min - lo;
    if (hi > max) return max - hi;
    return 0;
}

}  // namespace

void ScreenSettle::Notice(SIZE size, ULONGLONG now) {
    if (known_ && size.cx == size_.cx && size.cy == size_.cy) return;
    // Each further change starts the wait again: a resolution switch often passes through sizes.
    pending_ = known_;
    known_ = true;
    size_ = size;
    changedAt_ = now;
}

bool ScreenSettle::TakeSettled(ULONGLONG now) {
    if (!pending_ || now - changedAt_ < kScreenSettleMs) return false;
    pending_ = false;
    return true;
}

SIZE PrimaryScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

POINT ShiftIntoView(const RECT& bounds, const RECT& client) {
    return {ShiftAxis(bounds.left, bounds.right, client.left, client.right),
            ShiftAxis(bounds.top, bounds.bottom, client.top, client.bottom)};
}

bool LayoutDiffers(const LayoutValues& wanted, const LayoutValues& stored, bool whole) {
    if (whole) return wanted != stored;
    for (const auto& [name, value] : wanted) {
        const auto found = stored.find(name);
        if (found == stored.end() || found->second != value) return true;
    }
    return false;
}

}  // namespace iv
