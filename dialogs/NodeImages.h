// The twelve 16 x 16 node pictures of the settings trees (imgView).
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace iv {

// Builds imgView in the order a node's Image numbers them: branch, ticked and empty box, filled
// and empty option circle, the four toolbar corners, the shortcut, pressed and raised button.
// Boxes, circles and buttons are drawn by the system so that they look like its own controls;
// shortcutIcon (may be null) is the program's icon for the shortcut branch.
HIMAGELIST CreateNodeImageList(HICON shortcutIcon);

}  // namespace iv
