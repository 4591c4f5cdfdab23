// Remembering where the desktop icons stand, per screen size, and putting them back.
#pragma once
#include <string>

#include "desktop/ExchangeBlock.h"

namespace iv {

// The key of a screen size: the settings key, "\", width, "*", height.
std::wstring IconPositionKey(int width, int height);

// Saved: the stored positions of the current screen size are the desktop's items. Partial: what
// could be read was written and nothing was deleted. NotSaved: the desktop could not be read and
// the store is as it was.
enum class SaveResult { Saved, Partial, NotSaved };

// Writes the desktop's items under the current screen size's key, then deletes the values of
// items that are gone when the whole desktop was read. NotSaved while a change of the screen
// size has not settled (TheScreen()): the layout on screen then belongs to no size.
SaveResult SaveIconPositions(bool winNT);

// The same, but writes nothing when the stored values already are the desktop's items.
SaveResult SaveChangedIconPositions(bool winNT);

// Moves every desktop item that has both values stored for the current screen size there, or to
// the nearest place where the whole item shows in the list view; false when the desktop could
// not be read to the end.
bool RestoreIconPositions(bool winNT);

// The list the last save read (module state, kept for inspection).
const IconPositionList& LastIconPositionList();

}  // namespace iv
