// What the program asks of the desktop list view besides its view mode, and the redraw rules.
#pragma once
#include <windows.h>

namespace iv {

// Finds the desktop windows afresh and repaints the list view.
void RedrawDesktop();

// Invalidates a window's whole client area with erase; does nothing for a missing window (a null
// handle would repaint every window on the screen).
void InvalidateWindow(HWND hwnd);

}  // namespace iv
