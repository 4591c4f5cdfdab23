// Pure rules of the toolbar window: view-mode cycling and corner geometry in twips.
#pragma once
#include <cstdint>

#include "base/Twips.h"

namespace iv {

// The view-mode advance: forward one mode at a time, wrapping 4 to 1, at most five steps, stopping
// on the first mode whose cycling flag is 1.
int16_t AdvanceViewMode(int16_t current, const int16_t (&changeStyleFlags)[4]);

// The mode the view button offers next: the first cycling mode after current (current itself
// when it is the only one).
int16_t NextButtonMode(int16_t current, const int16_t (&changeStyleFlags)[4]);

struct ToolbarPlacement {
    int32_t shownLeft;
    int32_t tuckedLeft;
    int32_t top;
};

// Width of the toolbar left on screen when it is tucked away, in twips.
inline constexpr int32_t kTuckedStripTwips = 50;

// Where the window goes for a corner, all in twips.
ToolbarPlacement PlaceToolbarGeometry(int16_t toolPosition, int32_t screenWidthTwips, int32_t screenHeightTwips,
                                      int32_t windowWidthTwips, int32_t windowHeightTwips);

// The mouse counts as over the window when left <= x < right and top <= y < bottom, with the
// window's twips rectangle rounded to pixels.
bool IsPointOverWindow(int32_t x, int32_t y, double leftTwips, double topTwips, double widthTwips, double heightTwips,
                       double twipsPerPixelX, double twipsPerPixelY);

}  // namespace iv
