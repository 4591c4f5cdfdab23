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
// size has not settled (the session's Screen()): the layout on screen then belongs to no size.
SaveResult SaveIconPositions(ShellSession& session);

// The same, but writes nothing when the stored values already are the desktop's items.
SaveResult SaveChangedIconPositions(ShellSession& session);

// Moves every desktop item that has both values stored for the current screen size there, or to
// the nearest place where the whole item shows in the list view; false when the desktop could
// not be read to the end.
bool RestoreIconPositions(ShellSession& session);

// A save or a restore a user asks for (command line, settings dialog): it acts in the icon views
// only, as the exit save and the start-up restore do. True when the whole desktop was saved, or
// the restore read it to the end.
bool SaveCommand(ShellSession& session, bool inIconView);
bool RestoreCommand(ShellSession& session, bool inIconView);

}  // namespace iv
