#include "shell/ListViewIcons.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "shell/DesktopFolders.h"
#include "shell/DesktopWindows.h"
#include "shell/ViewModes.h"
#include "settings/Settings.h"

namespace iv {
namespace {

// One read of every item's name and position. Careful: item by item, each name read again after
// its position, so that a name and a position belong to the same item even while items come and
// go; otherwise in batches, and the caller proves that nothing came or went.
ReadResult ReadItems(ShellSession& session, ExchangeBlock& block, HWND listView, int32_t count, bool careful,
                     std::vector<DesktopIcon>& icons) {
    icons.clear();
    bool partial = false;
    bool changed = false;
    // Whether the read goes on after the item.
    const auto take = [&](int32_t index, ItemAnswer& item) {
        if (item.name == Answer::NoAnswer || item.position == Answer::NoAnswer) return false;
        // A position that could not be read is never stored (it would be another item's): the icon
        // is only known to be there.
        const bool placed = item.position == Answer::Done;
        if (!placed) {
            partial = true;
            if (item.name != Answer::Done) return true;
        }
        if (item.name == Answer::Refused) {
            item.text = kUnreadableItemName;
            partial = true;
        } else if (careful) {
            std::wstring again;
            const Answer check = GetItemText(block, index, again);
            if (check == Answer::NoAnswer) return false;
            if (check == Answer::Refused || again != item.text) {
                changed = true;
                return true;
            }
        }
        DesktopIcon icon;
        icon.text = std::move(item.text);
        icon.at = item.point;
        icon.placeKnown = placed;
        icon.index = index;
        icons.push_back(std::move(icon));
        return true;
    };
    int32_t i = 0;
    while (i < count) {
        std::vector<ItemAnswer> answers =
            careful ? std::vector<ItemAnswer>{ReadItem(block, i)} : ReadItemBatch(block, i, count - i);
        if (answers.empty()) break;
        bool goOn = true;
        for (ItemAnswer& item : answers) {
            goOn = take(i, item);
            if (!goOn) break;
            ++i;
        }
        if (!goOn) break;
    }
    // A read that stopped before the last item was cut short, however the block stands.
    const bool answered = block.Ok() && i == count;
    if (answered && GetItemCount(session, listView) != count) changed = true;
    const bool whole = answered && !partial && !changed && static_cast<int32_t>(icons.size()) == count;
    if (icons.empty()) {
        icons.assign(1, DesktopIcon{});
        return whole ? ReadResult::Read : ReadResult::Unreadable;
    }
    if (whole) return ReadResult::Read;
    if (!answered) return ReadResult::Cut;
    return changed ? ReadResult::Changed : ReadResult::Partial;
}

// The list view paints nothing while icons move, and once after: a list view that repaints after
// every move costs more than the moves. Both messages wait for nothing, so they reach the list view
// in the order sent, and the second is sent on every path, even when the shell stopped answering
// meanwhile: a hold whose message arrives late is still let go after it.
class HeldRedraw {
public:
    explicit HeldRedraw(HWND listView)
        : listView_(listView), held_(SendNotifyMessageW(listView, WM_SETREDRAW, FALSE, 0) != FALSE) {}
    ~HeldRedraw() {
        if (!held_) return;
        SendNotifyMessageW(listView_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(listView_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    HeldRedraw(const HeldRedraw&) = delete;
    HeldRedraw& operator=(const HeldRedraw&) = delete;

private:
    HWND listView_;
    bool held_;
};

}  // namespace

ListViewIcons::ListViewIcons(ShellSession& session, HWND listView) : session_(session), listView_(listView) {
    block_.emplace(session, listView, kBatchItems);
}

ExchangeBlock* ListViewIcons::Block() {
    constexpr int kMaxReopened = 2;
    if (!block_->Ok()) {
        if (++reopened_ > kMaxReopened) return nullptr;
        block_.emplace(session_, listView_, kBatchItems);
        if (!block_->Ok()) return nullptr;
    }
    return &*block_;
}

ReadResult ListViewIcons::ReadAll(std::vector<DesktopIcon>& icons, int32_t& itemCount) {
    icons.assign(1, DesktopIcon{});
    itemCount = 0;
    DesktopFolderChanges& folders = session_.FolderChanges();
    folders.Begin();
    ExchangeBlock& block = *block_;
    const int32_t count = block.Ok() ? GetItemCount(session_, listView_) : -1;
    if (count < 0) return ReadResult::Unreadable;
    itemCount = count;
    if (folders.CalmFor(DesktopFolderChanges::kCalmMs)) {
        const ReadResult quick = ReadItems(session_, block, listView_, count, false, icons);
        if (quick != ReadResult::Changed && folders.Quiet()) return quick;
    }
    // Items may have come or gone: what the batches paired may be wrong, so the whole desktop
    // again, as it is now, or nothing.
    const int32_t now = block.Ok() ? GetItemCount(session_, listView_) : -1;
    if (now < 0) {
        icons.assign(1, DesktopIcon{});
        return ReadResult::Unreadable;
    }
    itemCount = now;
    return ReadItems(session_, block, listView_, now, true, icons);
}

Pass ListViewIcons::ReadPass(std::vector<DesktopIcon>& icons, bool careful) {
    icons.clear();
    DesktopFolderChanges& folders = session_.FolderChanges();
    folders.Begin();
    // Right after a change of the Desktop folders nothing proves a quick pass.
    careful = careful || !folders.CalmFor(DesktopFolderChanges::kCalmMs);
    passCareful_ = careful;
    passCount_ = GetItemCount(session_, listView_);
    if (passCount_ < 0) return Pass::Failed;
    bool incomplete = false;
    for (int32_t i = 0; i < passCount_;) {
        ExchangeBlock* block = Block();
        if (!block) return Pass::Failed;
        std::vector<ItemAnswer> answers =
            careful ? std::vector<ItemAnswer>{ReadItem(*block, i)} : ReadItemBatch(*block, i, passCount_ - i);
        if (answers.empty()) return Pass::Failed;
        for (ItemAnswer& item : answers) {
            const int32_t index = i++;
            incomplete = incomplete || item.name == Answer::NoAnswer;
            if (item.name != Answer::Done) continue;
            DesktopIcon icon;
            icon.text = std::move(item.text);
            icon.index = index;
            icon.at = item.point;
            // An icon whose place cannot be read stays: its place could not be kept for the undo.
            icon.placeKnown = item.position == Answer::Done;
            icons.push_back(std::move(icon));
        }
    }
    return incomplete ? Pass::Incomplete : Pass::Done;
}

IconGeometry ListViewIcons::Geometry(const std::vector<DesktopIcon>& icons) {
    IconGeometry geometry;
    geometry.listView = listView_;
    geometry.autoArrange = (GetWindowLongW(listView_, GWL_STYLE) & LVS_AUTOARRANGE) != 0;
    const bool smallIcons = ShownViewMode(session_, listView_) == kSmallIconsMode;
    LRESULT spacing = 0;
    session_.Send(listView_, LVM_GETITEMSPACING, smallIcons ? TRUE : FALSE, 0, &spacing);
    geometry.spacing = {LOWORD(spacing), HIWORD(spacing)};
    const auto known = std::find_if(icons.begin(), icons.end(), [](const DesktopIcon& i) { return i.placeKnown; });
    geometry.box = known == icons.end() ? ShownIconBox(nullptr, 0, {}, smallIcons)
                                        : ShownIconBox(Block(), known->index, known->at, smallIcons);
    return geometry;
}

RECT ShownIconBox(ExchangeBlock* block, int32_t index, POINT at, bool smallIcons) {
    RECT icon = {};
    if (block && GetItemIconRect(*block, index, icon) == Answer::Done && icon.right > icon.left) {
        return {icon.left - at.x, icon.top - at.y, icon.right - icon.left, icon.bottom - icon.top};
    }
    return {0, 0, GetSystemMetrics(smallIcons ? SM_CXSMICON : SM_CXICON),
            GetSystemMetrics(smallIcons ? SM_CYSMICON : SM_CYICON)};
}

bool ListViewIcons::Unchanged() {
    return GetItemCount(session_, listView_) == passCount_ && session_.FolderChanges().Quiet();
}

Pass ListViewIcons::Move(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves, bool careful,
                         MoveRecord& record) {
    careful = careful || passCareful_;
    // What the batches paired may be wrong once items came or went: a careful pass reads again.
    if (!careful && !Unchanged()) return Pass::Changed;
    record.BeforeMoves();
    int32_t countAfter = passCount_;
    const Pass moved = careful ? MoveCarefully(icons, moves, record) : MoveQuickly(icons, moves, countAfter);
    if (moved == Pass::Failed || moved == Pass::Changed) return moved;
    if (careful) countAfter = GetItemCount(session_, listView_);
    if (countAfter != passCount_ || (!careful && !session_.FolderChanges().Quiet())) return Pass::Changed;
    return moved;
}

Pass ListViewIcons::MoveQuickly(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves,
                                int32_t& countAfter) {
    // Nothing to move: the desktop is neither held nor painted again.
    if (moves.empty()) return Pass::Done;
    std::unique_ptr<RequestCompletion> count;
    {
        // The painting is held only while the moves are queued, which waits for nothing: the hold,
        // the moves and its end reach the list view in that order, and a program ended at any
        // moment after leaves the desktop painting, with one repaint for all the moves.
        const HeldRedraw quiet(listView_);
        for (const IconMove& move : moves) {
            if (!QueueItemPosition(listView_, icons[move.icon].index, RoundToInt16(move.to.x),
                                   RoundToInt16(move.to.y))) {
                return Pass::Incomplete;
            }
        }
        // Lined up behind the moves and ahead of the painting's return: its answer proves every
        // move carried out and counts the items they were made among, and comes before the repaint
        // that the moves cause (a count asked after it would wait for the whole desktop's paint).
        count = session_.SendLater(listView_, LVM_GETITEMCOUNT, 0, 0);
    }
    if (!count || !session_.AwaitCompletion(count, TimeoutForIcons(moves.size()))) return Pass::Incomplete;
    countAfter = ItemCountOf(count->result);
    return Pass::Done;
}

Pass ListViewIcons::MoveCarefully(const std::vector<DesktopIcon>& icons, const std::vector<IconMove>& moves,
                                  MoveRecord& record) {
    // Where each icon read stands as far as this pass knows.
    std::vector<POINT> now;
    for (const DesktopIcon& icon : icons) now.push_back(icon.at);
    const auto nameAt = [this](int32_t index, std::wstring& text) {
        ExchangeBlock* block = Block();
        return block ? GetItemText(*block, index, text) : Answer::NoAnswer;
    };
    bool incomplete = false;
    for (size_t m = 0; m < moves.size(); ++m) {
        const DesktopIcon& icon = icons[moves[m].icon];
        // Before the move, the icon at its index is still the one read there, where it was read
        // (icons that shift between the two requests show as another place); after it, the name
        // is still the same.
        std::wstring there;
        Answer check = nameAt(icon.index, there);
        if (check == Answer::NoAnswer) return Block() ? Pass::Incomplete : Pass::Failed;
        if (check != Answer::Done || there != icon.text) return Pass::Changed;
        POINT standing = {};
        ExchangeBlock* block = Block();
        check = block ? GetItemPosition(*block, icon.index, standing) : Answer::NoAnswer;
        if (check == Answer::NoAnswer) return Block() ? Pass::Incomplete : Pass::Failed;
        const POINT known = now[moves[m].icon];
        if (check != Answer::Done || standing.x != known.x || standing.y != known.y) return Pass::Changed;
        // A move not answered in time may still be carried out: the check after it, queued behind
        // it, tells whether it hit the icon planned.
        if (SetItemPosition(session_, listView_, icon.index, RoundToInt16(moves[m].to.x),
                            RoundToInt16(moves[m].to.y))) {
            now[moves[m].icon] = moves[m].to;
        } else {
            incomplete = true;
        }
        check = nameAt(icon.index, there);
        if (check == Answer::Done && there == icon.text) continue;
        // Not told: the icon checked before the move most likely moved, and keeps its undo place;
        // the next pass sees where it stands.
        if (check == Answer::NoAnswer) return Block() ? Pass::Changed : Pass::Failed;
        // Icons shifted between the check and the move, and the move hit another icon: that one
        // goes back where it stood, when this pass read it; the place kept for the planned one is
        // no place it left.
        const auto named = [&](const DesktopIcon& i) { return i.text == there; };
        const auto other = std::find_if(icons.begin(), icons.end(), named);
        if (check == Answer::Done && other != icons.end() && std::count_if(icons.begin(), icons.end(), named) == 1) {
            const POINT back = now[static_cast<size_t>(other - icons.begin())];
            SetItemPosition(session_, listView_, icon.index, RoundToInt16(back.x), RoundToInt16(back.y));
        }
        record.Forget(m);
        return Pass::Changed;
    }
    return incomplete ? Pass::Incomplete : Pass::Done;
}

ReadResult ReadDesktopItems(ShellSession& session, std::vector<DesktopIcon>& icons, int32_t* itemCount) {
    icons.assign(1, DesktopIcon{});
    int32_t count = 0;
    if (itemCount) *itemCount = 0;
    const HWND listView = FindDesktopWindows(nullptr).ListView;
    if (!listView) return ReadResult::NoListView;
    ListViewIcons way(session, listView);
    const ReadResult read = way.ReadAll(icons, count);
    if (itemCount) *itemCount = count;
    return read;
}

}  // namespace iv
