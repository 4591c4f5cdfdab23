// The toolbar's buttons (barBtn): their ids, their twelve 16 x 16 pictures (ImageList1), the
// button table and the lines across the gaps between their rows.
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace iv {

// Button indexes, which are also the command ids; the click handler dispatches on them. 2, 4 and
// 12 are separators, 5..10 hidden entries.
inline constexpr int kViewButton = 1;
inline constexpr int kSettingsButton = 3;
inline constexpr int kRedrawButton = 11;
inline constexpr int kExitButton = 13;
inline constexpr int kButtonCount = 13;

// Images of ImageList1, numbered from 1 as the buttons refer to them.
inline constexpr int kImageSettings = 5;
inline constexpr int kImageExit = 11;
inline constexpr int kImageRedraw = 12;
inline constexpr int kImageCount = 12;

// Builds ImageList1: 1..4 the view modes and 5 the settings picture, taken from the common
// controls' own toolbar bitmaps so that they match the system; 11 exit and 12 redraw, drawn
// here; 6..10 blank. parent hosts a short-lived toolbar that loads the system bitmaps.
HIMAGELIST CreateBarImageList(HWND parent);

// Creates the toolbar control in parent with its pictures and the thirteen entries, its buttons
// sized for the screen's dpi; null when it could not be created.
HWND CreateBarButtons(HWND parent, SIZE pixels, int dpi, HIMAGELIST images);

// The toolbar's custom-draw answer: after the toolbar painted, an etched line across each gap.
LRESULT DrawBarSeparators(const NMTBCUSTOMDRAW& draw);

}  // namespace iv
