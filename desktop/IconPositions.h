// Remembering where the desktop icons stand, per screen, and putting them back; every restore
// keeps the places it moved icons from, and every save that changes a layout keeps the one it
// replaced, so that no action leaves a user without the arrangement they had a moment ago.
#pragma once
#include <set>
#include <string>

#include "desktop/ExchangeBlock.h"
#include "desktop/ShellSession.h"

namespace iv {

// The key of a one-monitor screen's size at 96 dpi: the settings key, "\", width, "*", height.
std::wstring IconPositionKey(int width, int height);
// The key of a screen's layout: the settings key, "\", the screen's layout key name.
std::wstring LayoutKey(const ScreenShape& screen);
// The key of the layout the screen has now.
std::wstring CurrentLayoutKey(ShellSession& session);
// Beside a layout (subkeys, which readers of the layout's values never see): the layout that its
// last changing save replaced, and the places the last restore moved icons from.
std::wstring PreviousLayoutKey(const std::wstring& layoutKey);
std::wstring UndoKey(const std::wstring& layoutKey);

// Names folded to upper case, as the registry compares value names.
using NameSet = std::set<std::wstring>;
std::wstring FoldCase(std::wstring name);

// Saved: the stored positions of the current screen are the desktop's items. Partial: what could
// be read was written and nothing was deleted. NotSaved: nothing was written.
enum class SaveResult { Saved, Partial, NotSaved };

// Who asks. A user's save writes what it reads, an empty desktop too. An automatic save writes
// nothing when it reads no item (a desktop still being built at log-on, or torn down); Unsettled
// (a desktop that may still be filling) deletes nothing, since items not there yet may still come.
// Every save writes only the values that change.
enum class SaveKind { Asked, Automatic, AutomaticUnsettled };

// Writes the desktop's items under the current screen's key, then deletes the values of items
// that are gone when the whole desktop was read. The layout it replaces is kept as the previous
// one. NotSaved while a change of the screen has not settled (the session's Screen()), and when
// the screen changed during the read: the layout on screen then belongs to no screen.
// seen receives the names of the items read (when the save wrote or found nothing to change).
SaveResult SaveIconPositions(ShellSession& session, SaveKind kind = SaveKind::Asked, NameSet* seen = nullptr);

// Which stored places a restore puts the icons at.
enum class LayoutSource { Current, Previous, Undo };

struct RestoreRequest {
    LayoutSource source = LayoutSource::Current;
    // Items of these names stay where they are (null: none does).
    const NameSet* leave = nullptr;
    // Receives the names of the items the restore read (null: not wanted).
    NameSet* seen = nullptr;
};

// Done: the desktop was read to the end and every item with a stored place is there (or as near
// as the screen allows). NothingStored: the source holds no place. Partial: some items stayed
// where they are because the shell did not tell in time where they stood or did not move them.
// Failed: the desktop could not be read to the end.
enum class RestoreResult { Done, NothingStored, Partial, Failed };

// Moves every desktop item that has both values stored in the source there, or to the nearest
// place where the whole item shows in the list view. Before the first icon moves, the places of
// the icons it moves are kept under the undo key (replacing what was kept there), so that
// restoring from LayoutSource::Undo puts them back and keeps the places it replaced in turn.
RestoreResult RestoreIconPositions(ShellSession& session, const RestoreRequest& request = {});

// A save or a restore a user asks for (command line, settings dialog): it acts in the icon views
// only, as the exit save and the start-up restore do. True when the whole desktop was saved, or
// the restore read it to the end (a source with nothing in it counts only for the current layout).
bool SaveCommand(ShellSession& session, bool inIconView);
bool RestoreCommand(ShellSession& session, bool inIconView, LayoutSource source = LayoutSource::Current);

}  // namespace iv
