#include "app/BarImages.h"

#include "base/Pictures.h"

namespace iv {
namespace {

constexpr int kSize = kPictureSize;

// Pixel art: one character a pixel, '.' transparent.
struct Pixmap {
    const char* rows[kSize];
};

constexpr Pixmap kExitPicture = {{
    "................",
    "..KKKKKKKK......",
    "..KDDDDDDK......",
    "..KDDDDDDK......",
    "..KDDDDDDK...G..",
    "..KDDDDDDK...GG.",
    "..KDDDDDGGGGGGGG",
    "..KDDYDDGGGGGGGG",
    "..KDDDDDDK...GG.",
    "..KDDDDDDK...G..",
    "..KDDDDDDK......",
    "..KDDDDDDK......",
    "..KDDDDDDK......",
    "..KKKKKKKK......",
    "................",
    "................",
}};

constexpr Pixmap kRedrawPicture = {{
    "................",
    ".....BBBBBB.....",
    "...BBBbbbbBBB.B.",
    "..BBb......bBBB.",
    "..Bb.......BBBB.",
    ".BB.......BBBBB.",
    ".Bb.............",
    ".B..............",
    "..............B.",
    ".............bB.",
    ".BBBBB.......BB.",
    ".BBBB.......bB..",
    ".BBB.......bBB..",
    ".B.BBBbbbbBBB...",
    ".....BBBBBB.....",
    "................",
}};

COLORREF ColourOf(char c) {
    switch (c) {
        case 'K': return RGB(64, 64, 64);
        case 'D': return RGB(176, 120, 56);
        case 'Y': return RGB(255, 220, 0);
        case 'G': return RGB(0, 144, 0);
        case 'B': return RGB(0, 64, 192);
        case 'b': return RGB(96, 140, 224);
        default: return kImageMaskColor;
    }
}

// Adds a picture to the list; a missing one is a blank picture.
void AddPixmap(HIMAGELIST list, const Pixmap* pixmap) {
    AddMaskedPicture(list, [pixmap](HDC dc) {
        if (!pixmap) return;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (pixmap->rows[y][x] != '.') SetPixelV(dc, x, y, ColourOf(pixmap->rows[y][x]));
            }
        }
    });
}

void AddFromList(HIMAGELIST to, HIMAGELIST from, int index) {
    ScopedIcon icon(from ? ImageList_GetIcon(from, index, ILD_NORMAL) : nullptr);
    if (icon) {
        ImageList_AddIcon(to, icon.Get());
    } else {
        AddPixmap(to, nullptr);
    }
}

}  // namespace

HIMAGELIST CreateBarImageList(HWND parent) {
    HIMAGELIST list = ImageList_Create(kSize, kSize, ILC_COLOR32 | ILC_MASK, 12, 0);
    if (!list) return nullptr;

    // A hidden toolbar loads the common controls' standard view and tool bitmaps for us.
    ScopedWindow loader(CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD, 0, 0, 0, 0, parent, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
    HIMAGELIST system = nullptr;
    int viewBase = 0;
    int stdBase = 0;
    if (loader) {
        SendMessageW(loader.Get(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        SendMessageW(loader.Get(), TB_SETBITMAPSIZE, 0, MAKELPARAM(kSize, kSize));
        viewBase = static_cast<int>(
            SendMessageW(loader.Get(), TB_LOADIMAGES, IDB_VIEW_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL)));
        stdBase = static_cast<int>(
            SendMessageW(loader.Get(), TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL)));
        system = reinterpret_cast<HIMAGELIST>(SendMessageW(loader.Get(), TB_GETIMAGELIST, 0, 0));
    }

    AddFromList(list, system, viewBase + VIEW_LARGEICONS);
    AddFromList(list, system, viewBase + VIEW_SMALLICONS);
    AddFromList(list, system, viewBase + VIEW_LIST);
    AddFromList(list, system, viewBase + VIEW_DETAILS);
    AddFromList(list, system, stdBase + STD_PROPERTIES);
    for (int i = 6; i <= 10; ++i) AddPixmap(list, nullptr);
    AddPixmap(list, &kExitPicture);
    AddPixmap(list, &kRedrawPicture);
    return list;
}

}  // namespace iv
