// Remembering where the desktop icons stand, per screen, and putting them back. Every restore
// keeps the places it moves icons from, and every save that changes a layout keeps the one it
// replaced, so that no action leaves a user without the arrangement they had a moment ago. Both
// take whichever way to the icons answers (see DesktopIcons.h) and do the same on either.
#pragma once
#include <optional>
#include <string>

#include "layouts/Identity.h"
#include "layouts/LayoutKeys.h"
#include "layouts/LayoutStore.h"
#include "shell/ShellSession.h"

namespace iv {

// The key of the layout the screen has now.
std::wstring CurrentLayoutKey(ShellSession& session);

// Saved: the stored positions of the current screen are the desktop's icons. Partial: what could
// be read was written and nothing was deleted. NotSaved: nothing was written. Failed: some value
// could not be written.
enum class SaveResult { Saved, Partial, NotSaved, Failed };

struct SaveRequest {
    // A person asked: a read of the whole desktop replaces the layout, an empty desktop too. An
    // automatic save writes nothing when it reads no icon (a desktop still being built at log-on,
    // or torn down), and deletes the stored places only of icons it saw go: those in `seenBefore`
    // that it did not read (an icon not there yet may still come).
    bool asked = true;
    const IconKeySet* seenBefore = nullptr;
    // Automatic: the icons known to be on the desktop. One not among them that has a stored place
    // has just come and is due there: its place now is not written, nor is it counted as seen.
    const IconKeySet* known = nullptr;
    // Receives the keys of the icons read (when the save wrote or found nothing to change).
    IconKeySet* seen = nullptr;
    // Automatic: the list view those icons were seen on. A desktop the shell built anew since holds
    // none of them yet, and is not saved.
    HWND listView = nullptr;
};

// Writes the desktop's icons under the current screen's key: the values that change, and
// deletions as the request allows, only after a read of the whole desktop; a read that stopped
// part-way writes nothing. The layout it replaces is kept as the previous one. An automatic save
// writes an icon that a restore moved into view, and that stands where it was put, at the place it
// stands for (the session's Held()), for a screen where that place shows again; a person's save
// takes every icon as it stands, and the session then holds none. NotSaved while a
// change of the screen has not settled (the session's Screen()), and when the screen changed
// during the read: the layout on screen then belongs to no screen.
SaveResult SaveIconPositions(ShellSession& session, const SaveRequest& request = {});

// Keeps the desktop's arrangement under a person's name, with the screen it was made on, after a
// read of the whole desktop only; a layout of that name is replaced, and kept in the current
// screen's history first.
SaveResult SaveNamedLayout(ShellSession& session, const std::wstring& name);

// The arrangement on screen, read whole, to be put back from memory (a restore's `layout`); none
// when the desktop could not be read to the end or the screen is changing.
std::optional<StoredLayout> ReadShownArrangement(ShellSession& session);
// The keys of the icons on the desktop (see AddIconKeys), read whole; none when it could not be.
std::optional<IconKeySet> ReadIconKeys(ShellSession& session);

// Which stored places a restore puts the icons at.
enum class LayoutSource { Current, Previous, Undo };

// What a restore would do, counted without moving anything.
struct RestoreCounts {
    size_t move = 0;     // icons it would move
    size_t inPlace = 0;  // icons with a stored place that stand there already
    size_t noPlace = 0;  // icons on the desktop without a stored place
    size_t noIcon = 0;   // stored places that no icon on the desktop takes
};

// What the tries of one restore share, when it is tried again while it comes back partial: the
// first try that moves an icon starts the undo record and keeps the arrangement in the history;
// a later one adds to that record only the icons not in it yet, and keeps no other arrangement.
struct RestoreTries {
    bool undoStarted = false;
    bool historyKept = false;
};

struct RestoreRequest {
    LayoutSource source = LayoutSource::Current;
    // A kept layout (named, from the history) to restore instead of the source.
    const StoredLayout* layout = nullptr;
    // A look before a restore: nothing moves, and this receives what the restore would do.
    RestoreCounts* counts = nullptr;
    // Icons of these keys stay where they are (null: none does).
    const IconKeySet* leave = nullptr;
    // Receives the keys of the icons the restore read (null: not wanted).
    IconKeySet* seen = nullptr;
    // The tries so far of the restore this one tries again (null: a restore of its own).
    RestoreTries* tries = nullptr;
    // False: a put-back of what was on screen a moment ago, which keeps no undo record and no
    // history entry, and holds the icons the session holds still (where they come into view now).
    bool keepsRecords = true;
};

// Done: the desktop was read to the end and every icon with a stored place is there (or as near
// as the screen allows). NothingStored: the source holds no place. Partial: some icons stayed
// where they are because the shell did not tell in time where they stood or did not move them.
// Failed: the desktop could not be read to the end, or it arranges its icons itself (no place
// given would stay).
enum class RestoreResult { Done, NothingStored, Partial, Failed };

// Moves every desktop icon that has a place stored in the source there (see PlanRestore), or to
// the nearest place where the whole icon shows on a monitor; the icons so moved replace what the
// session held of the icons the restore planned for. Before the first icon moves, the
// places of the icons it moves are kept under the undo key (replacing what was kept there), so
// that restoring from LayoutSource::Undo puts them back and keeps the places it replaced in turn.
RestoreResult RestoreIconPositions(ShellSession& session, const RestoreRequest& request = {});

// A save or a restore a user asks for (command line, settings dialog): it acts in the icon views
// only, as the exit save and the start-up restore do. True when the whole desktop was saved, or
// the restore read it to the end (a source with nothing in it counts only for the current layout).
bool SaveCommand(ShellSession& session, bool inIconView);
// With `counts`: the look before the restore, which moves nothing.
bool RestoreCommand(ShellSession& session, bool inIconView, LayoutSource source = LayoutSource::Current,
                    RestoreCounts* counts = nullptr);
// The same for a kept layout.
bool RestoreKeptCommand(ShellSession& session, bool inIconView, const StoredLayout& layout,
                        RestoreCounts* counts = nullptr);

}  // namespace iv
