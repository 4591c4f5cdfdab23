#include "base/Twips.h"

#include <windows.h>

#include <cmath>

namespace iv {

TwipsScale ScreenTwipsPerPixel() {
    const HDC screen = GetDC(nullptr);
    if (!screen) return {};
    const TwipsScale scale = {TwipsPerPixel(GetDeviceCaps(screen, LOGPIXELSX)),
                              TwipsPerPixel(GetDeviceCaps(screen, LOGPIXELSY))};
    ReleaseDC(nullptr, screen);
    return scale;
}

int32_t TwipsToPixels(double twips, double twipsPerPixel) {
    return static_cast<int32_t>(std::nearbyint(twips / twipsPerPixel));
}

int32_t PixelsToTwips(int32_t pixels, double twipsPerPixel) {
    return static_cast<int32_t>(std::nearbyint(pixels * twipsPerPixel));
}

}  // namespace iv
