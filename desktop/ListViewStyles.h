// What the program asks of the desktop list view besides its view mode, and the redraw rules.
#pragma once
#include <windows.h>

#include <cstdint>

#include "desktop/DesktopWindows.h"

namespace iv {

// Extended list-view styles of StyleFlags[0..9], in flag order: info tips, full-row select,
// grid lines, header drag and drop, sub-item images, one-click and two-click activation, hot
// tracking, cold and hot underlining.
inline constexpr uint32_t kExStyleBits[10] = {0x0400, 0x0020, 0x0001, 0x0010, 0x0002,
                                              0x0040, 0x0080, 0x0008, 0x1000, 0x0800};

// The extended styles the flags (StyleFlags) ask for; only a flag of exactly 1 turns its style on.
uint32_t ExtendedStyleBits(const int16_t* styleFlags);

// The label background: none (CLR_NONE) while "Text Color" is 1, otherwise the colour the
// desktop had at start-up.
COLORREF TextBackground(const int16_t* styleFlags, COLORREF saved);

// Sets every extended style to what the flags ask (clearing any other), sets the label
// background (the saved colour unless "Text Color" is on) and repaints the desktop.
void ApplyListViewStyles(const DesktopWindowHandles& windows, const int16_t* styleFlags, COLORREF savedTextBkColor);

// Finds the desktop windows afresh and repaints the list view.
void RedrawDesktop(DesktopWindowHandles& windows);

// Invalidates a window's whole client area with erase; does nothing for a missing window (a null
// handle would repaint every window on the screen).
void InvalidateWindow(HWND hwnd);

}  // namespace iv
