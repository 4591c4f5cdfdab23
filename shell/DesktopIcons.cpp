#include "shell/DesktopIcons.h"

#include <algorithm>
#include <utility>

#include "base/SideThread.h"
#include "shell/DesktopWindows.h"
#include "shell/FolderView.h"
#include "shell/ListViewIcons.h"
#include "shell/ViewModes.h"

namespace iv {
namespace {

// The desktop's icons through its folder view: each icon is its item's ID list, so a name and a
// place always belong together, and a move can never reach another icon, however the view's
// order changes meanwhile.
class FolderViewIcons final : public DesktopIcons {
public:
    FolderViewIcons(ShellSession& session, const DesktopWindowHandles& windows)
        : session_(session), windows_(windows) {}

    bool KnowsItems() const override { return true; }

    ReadResult ReadAll(std::vector<DesktopIcon>& icons, int32_t& itemCount) override {
        // A read that saw icons come or go is done once more: only a read of an unchanged desktop
        // tells that the icons it left out are gone.
        ReadResult result = ReadResult::Unreadable;
        for (int attempt = 0; attempt < 2; ++attempt) {
            result = ReadOnce(icons, itemCount);
            if (result != ReadResult::Changed) break;
        }
        // Like the list view's read: a desktop without icons is one blank record.
        if (icons.empty()) icons.assign(1, DesktopIcon{});
        return result;
    }

    // An icon whose place or name the view did not tell stays in the pass, as by the list view:
    // the plan tells whether it kept the restore from its end.
    Pass ReadPass(std::vector<DesktopIcon>& icons, bool) override {
        int32_t count = 0;
        const ReadResult read = ReadOnce(icons, count);
        return read == ReadResult::NoListView || read == ReadResult::Unreadable ? Pass::Failed : Pass::Done;
    }

    IconGeometry Geometry(const std::vector<DesktopIcon>&) override {
        IconGeometry geometry;
        geometry.listView = windows_.ListView;
        geometry.spacing = {last_.spacing.x, last_.spacing.y};
        geometry.autoArrange = last_.autoArrange;
        // The view tells no icon's rectangle; its list view does, of its first item (the icons'
        // size is the shell's: larger than the system's icon size at the usual settings).
        ExchangeBlock block(session_, windows_.ListView);
        POINT first = {};
        const bool placed = block.Ok() && GetItemPosition(block, 0, first) == Answer::Done;
        const bool smallIcons = ShownViewMode(session_, windows_.ListView) == kSmallIconsMode;
        geometry.box = ShownIconBox(placed ? &block : nullptr, 0, first, smallIcons);
        return geometry;
    }

    Pass Move(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves, bool,
              MoveRecord& record) override {
        if (moves.empty()) {
            record.BeforeMoves();
            return Pass::Done;
        }
        std::vector<ItemIdList> items;
        std::vector<POINT> places;
        for (const IconMove& move : moves) {
            items.push_back(ids_[static_cast<size_t>(icons[move.icon].index)]);
            places.push_back(move.to);
        }
        // Nothing is taken back icon by icon here: the record is written while the shell carries
        // out the one call that moves them all, and is complete before the pass goes on.
        SideThread recorded([&record] { record.BeforeMoves(); });
        // Not answered in time, the moves may still be carried out later: the restore cannot say
        // where the icons end.
        return session_.Folder().Move(session_, windows_.DefView, items, places) == FolderAnswer::Done ? Pass::Done
                                                                                                       : Pass::Failed;
    }

private:
    ReadResult ReadOnce(std::vector<DesktopIcon>& icons, int32_t& itemCount) {
        icons.clear();
        itemCount = 0;
        ids_.clear();
        DesktopFolderChanges& folders = session_.FolderChanges();
        folders.Begin();
        last_ = {};
        if (session_.Folder().Read(session_, windows_.DefView, last_) != FolderAnswer::Done) {
            return ReadResult::Unreadable;
        }
        bool partial = false;
        for (FolderItem& item : last_.items) {
            // A place the view did not tell is never stored: the icon is only known to be there.
            partial = partial || !item.placed;
            DesktopIcon icon;
            icon.placeKnown = item.placed;
            icon.text = std::move(item.text);
            if (icon.text.empty()) {
                icon.text = kUnreadableItemName;
                partial = true;
            }
            icon.parsingName = std::move(item.parsingName);
            icon.at = item.at;
            icon.index = static_cast<int32_t>(ids_.size());
            ids_.push_back(std::move(item.id));
            icons.push_back(std::move(icon));
        }
        itemCount = std::max(last_.countAfter, 0);
        const bool changed = last_.countBefore != last_.countAfter ||
                             static_cast<int32_t>(last_.items.size()) != last_.countAfter || !folders.Quiet();
        if (icons.empty()) return itemCount == 0 && !changed ? ReadResult::Read : ReadResult::Unreadable;
        if (changed) return ReadResult::Changed;
        return partial ? ReadResult::Partial : ReadResult::Read;
    }

    ShellSession& session_;
    DesktopWindowHandles windows_;
    FolderRead last_;
    std::vector<ItemIdList> ids_;
};

}  // namespace

std::unique_ptr<DesktopIcons> OpenDesktopIcons(ShellSession& session, HWND expected) {
    const DesktopWindowHandles windows = FindDesktopWindows(nullptr);
    if (!windows.ListView || (expected && windows.ListView != expected)) return nullptr;
    // Windows 95 and 98 have no folder view to reach from another process.
    if (session.Family().winNT && session.Folder().Open(session, windows.DefView) == FolderAnswer::Done) {
        return std::make_unique<FolderViewIcons>(session, windows);
    }
    return std::make_unique<ListViewIcons>(session, windows.ListView);
}

}  // namespace iv
