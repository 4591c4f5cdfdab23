// The toolbar's twelve 16 x 16 pictures (ImageList1).
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace iv {

// Builds ImageList1: 1..4 the view modes and 5 the settings picture, taken from the common
// controls' own toolbar bitmaps so that they match the system; 11 exit and 12 redraw, drawn
// here; 6..10 blank. parent hosts a short-lived toolbar that loads the system bitmaps.
HIMAGELIST CreateBarImageList(HWND parent);

}  // namespace iv
