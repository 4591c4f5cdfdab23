// The stored layouts: each icon's place by its display text, as layouts have always been kept
// ("<text>.X", "<text>.Y"), and by its identity where this version knows it, in a subkey "Ids" that
// readers of the display-text values never see, with a stamp of the display-text values written
// with them. The identities count only while those values are unchanged: a writer that knows no
// identities (an earlier version, the list view's way) changes them and so retires the
// identities, never misleads by them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ScopedWin.h"
#include "layouts/Identity.h"
#include "settings/RegKeys.h"
#include "shell/Screen.h"

namespace iv {

// Stored values by name folded to upper case, as the registry compares them.
using LayoutValues = std::unordered_map<std::wstring, std::wstring>;

// Whether writing `wanted` would change `stored`: a value missing or different.
bool LayoutDiffers(const LayoutValues& wanted, const LayoutValues& stored);

// What ties a layout's identities to its display-text values: a digest of those values (the
// ".X" and ".Y" ones), whatever else the key holds.
std::wstring LayoutStamp(const LayoutValues& values);

// Whether this version wrote the layout as it is: every save of this version stamps its
// display-text values (beside the identities), and a save of an earlier version changes them. A
// screen without a layout of its own takes an earlier version's layout of its primary monitor's
// size, never this version's layout of another screen.
bool WrittenByThisVersion(const std::wstring& key);

// The subkey of a layout (or of its undo or previous layout) that holds its identities.
std::wstring IdsKey(const std::wstring& layoutKey);

struct StoredPlace {
    int16_t x = 0;
    int16_t y = 0;
};

// A stored layout, by folded names: the places by display text, with both values stored, and by
// identity (with the folded display text each had) while those are current.
struct StoredLayout {
    struct Identified {
        StoredPlace place;
        std::wstring text;
    };
    std::unordered_map<std::wstring, StoredPlace> byText;
    std::unordered_map<std::wstring, Identified> byId;
    bool Empty() const { return byText.empty() && byId.empty(); }
};

// The layout under a key, read once; values that are no icon's ".X" or ".Y" are ignored. With
// `identities` false, or when they are not current, it holds display texts only.
StoredLayout ReadStoredLayout(const std::wstring& key, bool identities = true);

class SideThread;

// A layout's stored values read ahead, on a thread of their own, while the desktop is read: a save
// then waits for the slower of the two reads rather than for both in turn. What was read ahead
// counts only while nothing under the settings key has changed since the read began (the registry
// tells); otherwise the values are read again when they are needed.
class LayoutReadAhead {
public:
    explicit LayoutReadAhead(std::wstring key);
    ~LayoutReadAhead();
    LayoutReadAhead(const LayoutReadAhead&) = delete;
    LayoutReadAhead& operator=(const LayoutReadAhead&) = delete;

    const std::wstring& Key() const { return key_; }
    // The layout as it is stored now (see ReadStoredLayout).
    StoredLayout Layout(bool identities = true);

    struct Values;
    // The values as they are stored now.
    const Values& Now();

private:
    std::wstring key_;
    std::unique_ptr<Values> values_;
    ScopedRegKey watched_;
    ScopedHandle changed_;
    std::unique_ptr<SideThread> reader_;
};

// An icon as a save keeps it.
struct SavedIcon {
    std::wstring text;
    std::wstring id;  // empty when not known
    int32_t x = 0;
    int32_t y = 0;
};

// Which stored places a save deletes besides writing what it read: none (a read that was not
// whole), those of the icons that are gone (`gone`, keys of icons seen on the desktop that left),
// or every one that it did not read (`allNotRead`: a save a person asked for, after a whole read,
// replaces the layout). A place an icon of this save takes is never deleted.
struct Deletions {
    bool allNotRead = false;
    IconKeySet gone;
};

enum class LayoutWrite { Unchanged, Written, Failed };

// Writes icons under a layout key: the values that differ from the stored ones first (so that an
// interrupted save never leaves less than there was), then deletes what `deletions` allow.
// `withIds`: the icons' identities are known, and are written too. Of two icons with one display
// text, the later one's place is the text's. The layout it changes is first kept as the previous
// one. Failed when some value could not be written or deleted.
// `history`: the screen the layout is kept for; the arrangement a change replaces is then kept in
// that layout's history too. `asked`: a person asked for the save (see KeepInHistory).
struct HistoryNote {
    const ScreenShape* screen = nullptr;
    bool asked = false;
};
LayoutWrite SaveLayout(const std::wstring& key, const std::vector<SavedIcon>& icons, const Deletions& deletions,
                       bool withIds, const HistoryNote& history = {});
// The same, compared with the values read ahead.
LayoutWrite SaveLayout(LayoutReadAhead& stored, const std::vector<SavedIcon>& icons, const Deletions& deletions,
                       bool withIds, const HistoryNote& history = {});

// The icons of a stored layout as they were saved (display texts as shown, identities while they
// are current).
std::vector<SavedIcon> StoredIcons(const std::wstring& key);

// The places a restore moves icons from, kept under the undo key before each icon moves: the
// first one replaces what was kept there, and an icon moved twice keeps its first place.
class UndoRecord {
public:
    // Carried on, the record a try before started stays: only icons not in it yet are kept.
    explicit UndoRecord(std::wstring key, bool carriedOn = false);

    // Whether this record replaced what was kept before (a record carried on has).
    bool Started() const { return cleared_; }

    // Keeps the places of icons about to move (an icon's first place only) in one write; whether
    // each was kept now.
    std::vector<bool> Keep(const std::vector<SavedIcon>& places);
    // A place that turned out to be another icon's: the icon's next move keeps its own.
    void Forget(const SavedIcon& icon);

private:
    void Write(const std::vector<RegKeys::NamedText>& text, const std::vector<RegKeys::NamedText>& ids);

    std::wstring key_;
    IconKeySet kept_;
    LayoutValues text_;  // the display-text values kept, for the identities' stamp
    bool cleared_ = false;
    bool hasIds_ = false;
};

}  // namespace iv
