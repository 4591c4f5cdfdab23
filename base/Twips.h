// Twips: the program's windows are laid out in them (1440 per inch, 15 per pixel at 96 dots per
// inch) and converted to pixels only at the call that takes pixels.
#pragma once
#include <cstdint>

namespace iv {

// Twips per pixel for a resolution in dots per inch; a resolution the system could not tell
// counts as 96, so the factor is never zero.
inline double TwipsPerPixel(int dpi) { return 1440.0 / (dpi > 0 ? dpi : 96); }

struct TwipsScale {
    double x = 15;
    double y = 15;
};

// The screen's twips-per-pixel factors, horizontal and vertical.
TwipsScale ScreenTwipsPerPixel();

// Twips to whole pixels and back, half-way values to the even neighbour.
int32_t TwipsToPixels(double twips, double twipsPerPixel);
int32_t PixelsToTwips(int32_t pixels, double twipsPerPixel);

}  // namespace iv
