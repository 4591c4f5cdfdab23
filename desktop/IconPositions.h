// Remembering where the desktop icons stand, per screen size, and putting them back.
#pragma once
#include <string>

#include "desktop/ExchangeBlock.h"

namespace iv {

// The key of a screen size: the settings key, "\", width, "*", height.
std::wstring IconPositionKey(int width, int height);

// Replaces the stored positions of the current screen size with the desktop's items. Leaves the
// store as it was when the desktop cannot be read.
void SaveIconPositions(bool winNT);

// Moves every desktop item that has both values stored for the current screen size there.
void RestoreIconPositions(bool winNT);

// The list the last save read (module state, kept for inspection).
const IconPositionList& LastIconPositionList();

}  // namespace iv
