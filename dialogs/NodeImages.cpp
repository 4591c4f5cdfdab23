#include "dialogs/NodeImages.h"

#include "base/Pictures.h"

namespace iv {
namespace {

constexpr int kSize = kPictureSize;

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT rect = {left, top, right, bottom};
    ScopedBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void FrameControl(HDC dc, RECT rect, UINT type, UINT state) { DrawFrameControl(dc, &rect, type, state); }

// A small window with a title bar and three lines of a list.
void PaintBranch(HDC dc) {
    Fill(dc, 1, 2, 15, 14, RGB(64, 64, 64));
    Fill(dc, 2, 3, 14, 5, RGB(0, 64, 160));
    Fill(dc, 2, 5, 14, 13, RGB(255, 255, 255));
    for (int y = 6; y <= 10; y += 2) {
        Fill(dc, 3, y, 5, y + 1, RGB(0, 96, 192));
        Fill(dc, 6, y, 12, y + 1, RGB(96, 96, 96));
    }
}

// A screen on its stand with a window in one corner (0 top-left, 1 bottom-left, 2 top-right,
// 3 bottom-right).
void PaintCorner(HDC dc, int corner) {
    Fill(dc, 0, 1, 16, 13, RGB(64, 64, 64));
    Fill(dc, 1, 2, 15, 12, RGB(0, 128, 128));
    Fill(dc, 6, 13, 10, 14, RGB(64, 64, 64));
    Fill(dc, 4, 14, 12, 15, RGB(64, 64, 64));
    const int left = corner < 2 ? 2 : 9;
    const int top = corner % 2 == 0 ? 3 : 7;
    Fill(dc, left, top, left + 5, top + 4, RGB(255, 255, 255));
    Fill(dc, left, top, left + 5, top + 1, RGB(0, 64, 160));
}

// The program's icon with the shell's shortcut arrow in its lower-left corner.
void PaintShortcut(HDC dc, HICON icon) {
    DrawIconEx(dc, 0, 0, icon ? icon : LoadIconW(nullptr, IDI_APPLICATION), kSize, kSize, 0, nullptr, DI_NORMAL);
    Fill(dc, 0, 9, 7, 16, RGB(0, 0, 0));
    Fill(dc, 1, 10, 6, 15, RGB(255, 255, 255));
    Fill(dc, 3, 11, 5, 12, RGB(0, 0, 0));
    Fill(dc, 4, 11, 5, 14, RGB(0, 0, 0));
    Fill(dc, 2, 13, 3, 14, RGB(0, 0, 0));
    Fill(dc, 3, 12, 4, 13, RGB(0, 0, 0));
}

}  // namespace

HIMAGELIST CreateNodeImageList(HICON shortcutIcon) {
    HIMAGELIST list = ImageList_Create(kSize, kSize, ILC_COLOR32 | ILC_MASK, 12, 0);
    if (!list) return nullptr;
    const RECT box = {1, 1, 14, 14};
    AddMaskedPicture(list, PaintBranch);
    AddMaskedPicture(list, [&](HDC dc) { FrameControl(dc, box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED); });
    AddMaskedPicture(list, [&](HDC dc) { FrameControl(dc, box, DFC_BUTTON, DFCS_BUTTONCHECK); });
    AddMaskedPicture(list, [&](HDC dc) { FrameControl(dc, box, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED); });
    AddMaskedPicture(list, [&](HDC dc) { FrameControl(dc, box, DFC_BUTTON, DFCS_BUTTONRADIO); });
    for (int corner = 0; corner < 4; ++corner) AddMaskedPicture(list, [&](HDC dc) { PaintCorner(dc, corner); });
    AddMaskedPicture(list, [&](HDC dc) { PaintShortcut(dc, shortcutIcon); });
    const RECT button = {0, 2, 16, 14};
    AddMaskedPicture(list, [&](HDC dc) { FrameControl(dc, button, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED); });
    AddMaskedPicture(list, [&](HDC dc) { FrameControl(dc, button, DFC_BUTTON, DFCS_BUTTONPUSH); });
    return list;
}

}  // namespace iv
