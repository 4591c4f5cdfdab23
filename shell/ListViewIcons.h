// The desktop's icons by the list view's own messages: names and positions read through an
// exchange block in the shell's process, moves sent by LVM_SETITEMPOSITION. An icon is known by
// its index there, which shifts whenever an icon comes or goes, so every read and every move
// proves that what it paired belongs together.
#pragma once
#include <windows.h>

#include <optional>
#include <vector>

#include "shell/DesktopIcons.h"
#include "shell/ExchangeBlock.h"

namespace iv {

class ListViewIcons final : public DesktopIcons {
public:
    ListViewIcons(ShellSession& session, HWND listView);

    bool KnowsItems() const override { return false; }
    // In batches of two requests an icon when the count held and no Desktop folder changed
    // meanwhile; otherwise again carefully: per icon its name, its position and its name again,
    // listed only when both names agree. A single blank record when there is no icon or nothing
    // could be read.
    ReadResult ReadAll(std::vector<DesktopIcon>& icons, int32_t& itemCount) override;
    Pass ReadPass(std::vector<DesktopIcon>& icons, bool careful) override;
    IconGeometry Geometry(const std::vector<DesktopIcon>& icons) override;
    // Quick: the moves go without a wait for each answer while the painting is held, proved before
    // and after by the count and the Desktop folders. Careful: one move at a time, the name at its
    // index read before and after it (another name there means the icons shifted since the read,
    // and an icon the move hit instead goes back).
    Pass Move(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves, bool careful,
              MoveRecord& record) override;

private:
    // The block, or a fresh one after one was set aside (a few times at most, so that one slow icon
    // does not keep the others where they are); null once the shell let too many requests go.
    ExchangeBlock* Block();
    bool Unchanged();
    // The moves queued at once; `countAfter`: the items the list view held once it had made them.
    Pass MoveQuickly(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves, int32_t& countAfter);
    Pass MoveCarefully(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves, MoveRecord& record);

    ShellSession& session_;
    HWND listView_;
    std::optional<ExchangeBlock> block_;
    int reopened_ = 0;
    int32_t passCount_ = -1;
    bool passCareful_ = false;
};

// The icon's rectangle relative to item `index`'s position `at`, as the list view draws it (the
// same for every item; see IconGeometry::box); the system's icon size where the shell does not
// tell (no block).
RECT ShownIconBox(ExchangeBlock* block, int32_t index, POINT at, bool smallIcons);

// The list view's way to every icon of the desktop found now (ListViewIcons::ReadAll).
ReadResult ReadDesktopItems(ShellSession& session, std::vector<DesktopIcon>& icons, int32_t* itemCount = nullptr);

}  // namespace iv
