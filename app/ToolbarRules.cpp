#include "app/ToolbarRules.h"

#include <cmath>

namespace iv {

int16_t AdvanceViewMode(int16_t current, const int16_t (&changeStyleFlags)[4]) {
    int32_t mode = current;
    for (int i = 0; i < 5; ++i) {
        ++mode;
        if (mode > 4) mode = 1;
        if (changeStyleFlags[mode - 1] == 1) break;
    }
    return static_cast<int16_t>(mode);
}

int16_t NextButtonMode(int16_t current, const int16_t (&changeStyleFlags)[4]) {
    int32_t n = current + 1;
    for (int i = 0; i < 5; ++i) {
        if (n > 4) n = 1;
        if (n >= 1 && changeStyleFlags[n - 1] == 1) break;
        ++n;
    }
    if (n > 4) n = 1;
    return static_cast<int16_t>(n);
}

ToolbarPlacement PlaceToolbarGeometry(int16_t toolPosition, int32_t screenWidthTwips, int32_t screenHeightTwips,
                                      int32_t windowWidthTwips, int32_t windowHeightTwips) {
    ToolbarPlacement p{};
    p.top = (toolPosition == 0 || toolPosition == 2) ? 0 : screenHeightTwips - windowHeightTwips;
    if (toolPosition < 2) {
        p.shownLeft = 0;
        p.tuckedLeft = kTuckedStripTwips - windowWidthTwips;
    } else {
        p.shownLeft = screenWidthTwips - windowWidthTwips;
        p.tuckedLeft = p.shownLeft + windowWidthTwips - kTuckedStripTwips;
    }
    return p;
}

bool IsPointOverWindow(int32_t x, int32_t y, double leftTwips, double topTwips, double widthTwips, double heightTwips,
                       double twipsPerPixelX, double twipsPerPixelY) {
    const int32_t left = TwipsToPixels(leftTwips, twipsPerPixelX);
    const int32_t right = TwipsToPixels(leftTwips + widthTwips, twipsPerPixelX);
    const int32_t top = TwipsToPixels(topTwips, twipsPerPixelY);
    const int32_t bottom = TwipsToPixels(topTwips + heightTwips, twipsPerPixelY);
    return left <= x && x < right && top <= y && y < bottom;
}

}  // namespace iv
