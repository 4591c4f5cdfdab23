// The 16 x 16 pictures of the program's image lists: drawn on silver, which marks the
// transparent pixels, and added to the list with silver as the mask colour.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "base/ScopedWin.h"

namespace iv {

inline constexpr COLORREF kImageMaskColor = RGB(192, 192, 192);
inline constexpr int kPictureSize = 16;

// Draws `count` pictures side by side on a silver background, paint(HDC, index) each with its
// own origin, and adds them to the list at once; pictures that cannot be drawn add nothing.
template <typename Painter>
void AddMaskedPictures(HIMAGELIST list, int count, Painter paint) {
    ScreenDc screen;
    ScopedDc dc(CreateCompatibleDC(screen.Get()));
    ScopedBitmap bitmap(CreateCompatibleBitmap(screen.Get(), kPictureSize * count, kPictureSize));
    if (!dc || !bitmap) return;
    {
        SelectObj select(dc.Get(), bitmap.Get());
        const RECT all = {0, 0, kPictureSize * count, kPictureSize};
        ScopedBrush silver(CreateSolidBrush(kImageMaskColor));
        FillRect(dc.Get(), &all, silver.Get());
        for (int i = 0; i < count; ++i) {
            SetViewportOrgEx(dc.Get(), i * kPictureSize, 0, nullptr);
            paint(dc.Get(), i);
        }
        SetViewportOrgEx(dc.Get(), 0, 0, nullptr);
    }
    ImageList_AddMasked(list, bitmap.Get(), kImageMaskColor);
}

// One picture, drawn by paint(HDC).
template <typename Painter>
void AddMaskedPicture(HIMAGELIST list, Painter paint) {
    AddMaskedPictures(list, 1, [&paint](HDC dc, int) { paint(dc); });
}

}  // namespace iv
