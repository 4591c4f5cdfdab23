// The 16 x 16 pictures of the program's image lists: drawn on silver, which marks the
// transparent pixels, and added to the list with silver as the mask colour.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "base/ScopedWin.h"

namespace iv {

inline constexpr COLORREF kImageMaskColor = RGB(192, 192, 192);
inline constexpr int kPictureSize = 16;

// Draws one picture with paint(HDC) on a silver background and adds it to the list; a picture
// that cannot be drawn adds nothing.
template <typename Painter>
void AddMaskedPicture(HIMAGELIST list, Painter paint) {
    ScreenDc screen;
    ScopedDc dc(CreateCompatibleDC(screen.Get()));
    ScopedBitmap bitmap(CreateCompatibleBitmap(screen.Get(), kPictureSize, kPictureSize));
    if (!dc || !bitmap) return;
    {
        SelectObj select(dc.Get(), bitmap.Get());
        const RECT all = {0, 0, kPictureSize, kPictureSize};
        ScopedBrush silver(CreateSolidBrush(kImageMaskColor));
        FillRect(dc.Get(), &all, silver.Get());
        paint(dc.Get());
    }
    ImageList_AddMasked(list, bitmap.Get(), kImageMaskColor);
}

}  // namespace iv
