#include "app/BarButtons.h"

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

// Adds the pictures to the list at once; a missing one is a blank picture.
template <size_t N>
void AddPixmaps(HIMAGELIST list, const Pixmap* const (&pixmaps)[N]) {
    AddMaskedPictures(list, static_cast<int>(N), [&pixmaps](HDC dc, int index) {
        const Pixmap* pixmap = pixmaps[index];
        if (!pixmap) return;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (pixmap->rows[y][x] != '.') SetPixelV(dc, x, y, ColourOf(pixmap->rows[y][x]));
            }
        }
    });
}

// The common controls' standard view pictures and their properties picture, in the bar's order,
// loaded by a hidden toolbar; null when they cannot be had.
HIMAGELIST StandardPictures(HWND parent) {
    ScopedWindow loader(CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, WS_CHILD, 0, 0, 0, 0, parent, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
    if (!loader) return nullptr;
    SendMessageW(loader.Get(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(loader.Get(), TB_SETBITMAPSIZE, 0, MAKELPARAM(kSize, kSize));
    const auto viewBase = static_cast<int>(
        SendMessageW(loader.Get(), TB_LOADIMAGES, IDB_VIEW_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL)));
    const auto stdBase = static_cast<int>(
        SendMessageW(loader.Get(), TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL)));
    const auto loaded = reinterpret_cast<HIMAGELIST>(SendMessageW(loader.Get(), TB_GETIMAGELIST, 0, 0));
    if (!loaded || viewBase < 0 || stdBase < 0) return nullptr;
    // A copy of the whole list, its pictures then moved into place: copying the bitmaps at once
    // costs a fraction of taking each picture out as an icon.
    HIMAGELIST list = ImageList_Duplicate(loaded);
    if (!list) return nullptr;
    const int wanted[] = {viewBase + VIEW_LARGEICONS, viewBase + VIEW_SMALLICONS, viewBase + VIEW_LIST,
                          viewBase + VIEW_DETAILS, stdBase + STD_PROPERTIES};
    // Each picture comes from its own index or a later one, so none is overwritten before it moves.
    for (int i = 0; i < 5; ++i) {
        if (wanted[i] != i) ImageList_Copy(list, i, list, wanted[i], ILCF_MOVE);
    }
    ImageList_SetImageCount(list, 5);
    return list;
}

}  // namespace

HIMAGELIST CreateBarImageList(HWND parent) {
    HIMAGELIST list = StandardPictures(parent);
    if (!list) {
        list = ImageList_Create(kSize, kSize, ILC_COLOR32 | ILC_MASK, 12, 0);
        if (!list) return nullptr;
        AddPixmaps(list, {nullptr, nullptr, nullptr, nullptr, nullptr});
    }
    AddPixmaps(list, {nullptr, nullptr, nullptr, nullptr, nullptr, &kExitPicture, &kRedrawPicture});
    return list;
}

namespace {

// Button size in HIMETRIC, as the toolbar was laid out: about 23 x 22 pixels at 96 dpi.
constexpr int kButtonWidthHimetric = 609;
constexpr int kButtonHeightHimetric = 582;

// Width of a separator entry; the gap it leaves between two rows is two thirds of it.
constexpr int kSeparatorWidth = 12;

int HimetricToPixels(int himetric, int dpi) { return MulDiv(himetric, dpi, 2540); }

bool IsSeparator(int index) { return index == 2 || index == 4 || index == 12; }

TBBUTTON Entry(int id) {
    TBBUTTON b = {};
    b.idCommand = id;
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = BTNS_BUTTON;
    b.iString = -1;
    switch (id) {
        case kViewButton: b.iBitmap = 0; break;
        case kSettingsButton: b.iBitmap = kImageSettings - 1; break;
        case kRedrawButton: b.iBitmap = kImageRedraw - 1; break;
        case kExitButton: b.iBitmap = kImageExit - 1; break;
        default:
            if (IsSeparator(id)) {
                b.fsStyle = BTNS_SEP;
                b.fsState = TBSTATE_ENABLED | TBSTATE_WRAP;
                b.iBitmap = kSeparatorWidth;
            } else {
                b.fsState = TBSTATE_HIDDEN;
                b.iBitmap = I_IMAGENONE;
            }
            break;
    }
    return b;
}

}  // namespace

HWND CreateBarButtons(HWND parent, SIZE pixels, int dpi, HIMAGELIST images) {
    const HWND bar = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
        0, pixels.cx, pixels.cy, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!bar) return nullptr;
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    SendMessageW(bar, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(HimetricToPixels(kButtonWidthHimetric, dpi), HimetricToPixels(kButtonHeightHimetric, dpi)));
    // Index i of the table is command id i. A wrapped separator ends its row and adds a gap two
    // thirds of its width below it; its own rectangle lies right of the button, outside the
    // one-button-wide bar, so the line across the gap is drawn by the post-paint step.
    TBBUTTON buttons[kButtonCount] = {};
    for (int id = 1; id <= kButtonCount; ++id) buttons[id - 1] = Entry(id);
    SendMessageW(bar, TB_ADDBUTTONSW, kButtonCount, reinterpret_cast<LPARAM>(buttons));
    return bar;
}

LRESULT DrawBarSeparators(const NMTBCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
    if (draw.nmcd.dwDrawStage != CDDS_POSTPAINT) return CDRF_DODEFAULT;
    const HWND bar = draw.nmcd.hdr.hwndFrom;
    RECT client = {};
    GetClientRect(bar, &client);
    for (int index = 2; index < kButtonCount; ++index) {
        if (!IsSeparator(index)) continue;
        // The row above the gap ends with the button before the separator.
        RECT above = {};
        if (!SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(index - 2), reinterpret_cast<LPARAM>(&above))) {
            continue;
        }
        RECT line = {client.left + 2, above.bottom + kSeparatorWidth / 3 - 1, client.right - 2, 0};
        line.bottom = line.top + 2;
        DrawEdge(draw.nmcd.hdc, &line, EDGE_ETCHED, BF_TOP);
    }
    return CDRF_DODEFAULT;
}

}  // namespace iv
