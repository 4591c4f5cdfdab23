// The desktop's icons, reached one of two ways for an operation: through the shell's folder view
// (the documented route, where the shell keeps the places it is given and every item has an
// identity), or by the list view's own messages through an exchange block in the shell's process
// (Windows 95/98, and whenever the folder view is not the desktop's, fails or does not answer).
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/ShellSession.h"

namespace iv {

// One icon as read.
struct DesktopIcon {
    std::wstring text;         // its display text
    std::wstring parsingName;  // the desktop folder's parsing name of its item (the folder view only)
    POINT at = {};
    bool placeKnown = true;  // false: the shell did not tell in time where it stands
    int32_t index = 0;       // its place in the read (for the list view: its index there)
};

// The name an icon whose text could not be read is kept under.
inline constexpr wchar_t kUnreadableItemName[] = L"取得できませんでした。";

// Read: every icon was read. Partial: the shell refused to tell some icons' names or places (an
// icon comes without its place, or carries the unreadable name). Changed: icons came or went
// during the read. Cut: the read stopped part-way, at a request the shell did not answer in time.
// NoListView and Unreadable: nothing was read (no desktop, no answer, or not one icon). Only Read
// tells that the list is the whole desktop.
enum class ReadResult { Read, Partial, Changed, Cut, NoListView, Unreadable };

// A restore's pass over the desktop. Changed: icons came or went meanwhile (a move may have hit
// the wrong icon; the pass is done again). Incomplete: some icon was left where it is because the
// shell did not answer about it in time.
enum class Pass { Done, Incomplete, Changed, Failed };

struct IconMove {
    size_t icon;  // index into the icons read
    POINT to;
};

// What the moves tell the undo record as they go.
class MoveRecord {
public:
    // The moves are about to start, or are under way in one call (the pass proved what it read):
    // where the icons stand is kept. Called once, on any one thread.
    virtual void BeforeMoves() = 0;
    // A move hit another icon than the one planned (icons shifted since the read): the place kept
    // for the planned one is no place it left.
    virtual void Forget(size_t move) = 0;

protected:
    ~MoveRecord() = default;
};

// The view's icon spacing and an icon's rectangle relative to its position.
struct IconGeometry {
    SIZE spacing = {};
    RECT box = {};  // left, top: offsets from the position; right, bottom: width, height
    bool autoArrange = false;
    HWND listView = nullptr;
};

class DesktopIcons {
public:
    virtual ~DesktopIcons() = default;
    // Whether the icons read carry their items' parsing names.
    virtual bool KnowsItems() const = 0;
    // Every icon of the desktop, for a save: quick when nothing changes meanwhile, careful else.
    // itemCount receives the number of items the shell said it holds (0 when nothing was read).
    virtual ReadResult ReadAll(std::vector<DesktopIcon>& icons, int32_t& itemCount) = 0;
    // Every icon for a restore's pass; a careful pass reads item by item.
    virtual Pass ReadPass(std::vector<DesktopIcon>& icons, bool careful) = 0;
    virtual IconGeometry Geometry(const std::vector<DesktopIcon>& icons) = 0;
    // Moves icons read by the last pass, after proving (a quick pass) that none came or went.
    virtual Pass Move(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves, bool careful,
                      MoveRecord& record) = 0;
};

// The way an operation takes to the desktop found now: its folder view where that answers for it,
// else its list view's messages; null when there is no desktop, or when it is not the list view
// `expected` (when given): the shell built it anew since.
std::unique_ptr<DesktopIcons> OpenDesktopIcons(ShellSession& session, HWND expected = nullptr);

}  // namespace iv
