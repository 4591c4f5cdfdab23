#include "desktop/IconPositions.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <unordered_map>
#include <optional>
#include <utility>
#include <vector>

#include <commctrl.h>

#include "desktop/DesktopFolders.h"
#include "desktop/DesktopWindows.h"
#include "desktop/ViewModes.h"
#include "desktop/ScreenFollow.h"
#include "settings/RegKeys.h"
#include "settings/Settings.h"

namespace iv {
namespace {

struct Place {
    int16_t x = 0;
    int16_t y = 0;
};
// A stored layout by folded item name: the items with both values stored.
using StoredLayout = std::unordered_map<std::wstring, Place>;

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The layout under a key, read once; values that are no item's ".X" or ".Y" are ignored.
StoredLayout ReadLayout(const std::wstring& key) {
    std::unordered_map<std::wstring, std::wstring> xs;
    std::unordered_map<std::wstring, std::wstring> ys;
    for (const auto& [name, text] : RegKeys::GetValues(HKEY_CURRENT_USER, key)) {
        const std::wstring folded = FoldCase(name);
        if (text.empty()) continue;
        if (EndsWith(folded, L".X")) xs[folded.substr(0, folded.size() - 2)] = text;
        if (EndsWith(folded, L".Y")) ys[folded.substr(0, folded.size() - 2)] = text;
    }
    StoredLayout layout;
    for (const auto& [name, x] : xs) {
        const auto y = ys.find(name);
        if (y != ys.end()) layout[name] = {NumberValue(x), NumberValue(y->second)};
    }
    return layout;
}

// The places a restore moves icons from, kept under the undo key before each icon moves: the
// first one replaces what was kept there, and an icon moved twice keeps its first place.
class UndoRecord {
public:
    explicit UndoRecord(std::wstring key) : key_(std::move(key)) {}

    // Keeps the places of icons about to move (an icon's first place only) in one write; whether
    // each was kept now.
    std::vector<bool> Keep(const std::vector<std::pair<std::wstring, POINT>>& places) {
        std::vector<bool> keptNow;
        std::vector<RegKeys::NamedText> values;
        for (const auto& [name, from] : places) {
            keptNow.push_back(kept_.insert(FoldCase(name)).second);
            if (!keptNow.back()) continue;
            values.emplace_back(name + L".X", std::to_wstring(from.x));
            values.emplace_back(name + L".Y", std::to_wstring(from.y));
        }
        if (values.empty()) return keptNow;
        if (!cleared_) RegKeys::DeleteRegTree(HKEY_CURRENT_USER, key_);
        cleared_ = true;
        RegKeys::SetRegValues(HKEY_CURRENT_USER, key_, values);
        return keptNow;
    }

    // A place that turned out to be another item's: the item's next move keeps its own.
    void Forget(const std::wstring& name) {
        kept_.erase(FoldCase(name));
        RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key_, name + L".X");
        RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key_, name + L".Y");
    }

private:
    std::wstring key_;
    NameSet kept_;
    bool cleared_ = false;
};

LayoutValues WantedValues(const IconPositionList& list) {
    LayoutValues wanted;
    for (const IconPosition& item : list) {
        wanted[FoldCase(item.Name + L".X")] = std::to_wstring(item.X);
        wanted[FoldCase(item.Name + L".Y")] = std::to_wstring(item.Y);
    }
    return wanted;
}

LayoutValues StoredValues(const std::vector<RegKeys::NamedText>& values) {
    LayoutValues stored;
    for (const auto& [name, text] : values) stored[FoldCase(name)] = text;
    return stored;
}

// Keeps a layout that a save is about to change as the previous one, replacing that.
void KeepAsPrevious(const std::wstring& key, const std::vector<RegKeys::NamedText>& values) {
    const std::wstring previous = PreviousLayoutKey(key);
    RegKeys::DeleteRegTree(HKEY_CURRENT_USER, previous);
    RegKeys::SetRegValues(HKEY_CURRENT_USER, previous, values);
}

// Writes the items read under the key (the values that differ from the stored ones, `before`), and deletes
// the values of items that are gone.
void WriteLayout(const std::wstring& key, const IconPositionList& list, bool whole,
                 const std::vector<RegKeys::NamedText>& stored, const LayoutValues& before,
                 const LayoutValues& wanted) {
    std::vector<RegKeys::NamedText> values;
    for (const IconPosition& item : list) {
        for (const auto& [suffix, value] : {std::pair{L".X", item.X}, std::pair{L".Y", item.Y}}) {
            std::wstring text = std::to_wstring(value);
            const auto found = before.find(FoldCase(item.Name + suffix));
            if (found == before.end() || found->second != text)
                values.emplace_back(item.Name + suffix, std::move(text));
        }
    }
    // New values first, so that an interrupted save never leaves less than there was.
    RegKeys::SetRegValues(HKEY_CURRENT_USER, key, values);
    // Then the values of items that are gone, but only after a read of the whole desktop: values
    // of items left out of a partial or changing read may still belong to items on the desktop.
    if (!whole) return;
    for (const auto& [name, text] : stored) {
        if (!wanted.contains(FoldCase(name))) RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, name);
    }
}

std::wstring SourceKey(LayoutSource source, const std::wstring& key) {
    switch (source) {
        case LayoutSource::Previous: return PreviousLayoutKey(key);
        case LayoutSource::Undo: return UndoKey(key);
        case LayoutSource::Current: break;
    }
    return key;
}

// The exchange block of a restore: one set aside after a late answer is replaced by a fresh
// one, a few times at most, so that one slow item does not keep the others where they are.
class RestoreBlock {
public:
    RestoreBlock(ShellSession& session, HWND listView) : session_(session), listView_(listView) {
        block_.emplace(session, listView, kBatchItems);
    }
    // Null once the shell has let too many requests go unanswered.
    ExchangeBlock* Get() {
        if (!block_->Ok()) {
            if (++reopened_ > kMaxReopened) return nullptr;
            block_.emplace(session_, listView_, kBatchItems);
            if (!block_->Ok()) return nullptr;
        }
        return &*block_;
    }

private:
    static constexpr int kMaxReopened = 2;
    ShellSession& session_;
    HWND listView_;
    std::optional<ExchangeBlock> block_;
    int reopened_ = 0;
};

// An item with a stored place, as the read found it.
struct Candidate {
    int32_t index = 0;
    std::wstring name;
    POINT from = {};
    POINT stored = {};
};

// A pass over the desktop. Changed: the name at an index is another one than the pass read there
// (an item came or went meanwhile, and a move may have hit the wrong item). Incomplete: some item
// was left where it is because the shell did not answer about it in time.
enum class Pass { Done, Incomplete, Changed, Failed };

// Reads every item's name and place, and keeps those with a stored place as candidates; an icon
// whose place cannot be read stays (its place could not be kept for the undo). Careful: item by
// item; otherwise in batches.
Pass ReadCandidates(RestoreBlock& blocks, const StoredLayout& layout, const RestoreRequest& request, int32_t count,
                    bool careful, std::vector<Candidate>& candidates) {
    bool incomplete = false;
    for (int32_t i = 0; i < count;) {
        ExchangeBlock* block = blocks.Get();
        if (!block) return Pass::Failed;
        std::vector<ItemAnswer> answers =
            careful ? std::vector<ItemAnswer>{ReadItem(*block, i)} : ReadItemBatch(*block, i, count - i);
        if (answers.empty()) return Pass::Failed;
        for (ItemAnswer& item : answers) {
            const int32_t index = i++;
            incomplete = incomplete || item.name == Answer::NoAnswer;
            if (item.name != Answer::Done) continue;
            const std::wstring folded = FoldCase(item.text);
            if (request.seen) request.seen->insert(folded);
            if (request.leave && request.leave->contains(folded)) continue;
            const auto stored = layout.find(folded);
            if (stored == layout.end()) continue;
            incomplete = incomplete || item.position == Answer::NoAnswer;
            if (item.position != Answer::Done) continue;
            candidates.push_back({index, std::move(item.text), item.point, {stored->second.x, stored->second.y}});
        }
    }
    return incomplete ? Pass::Incomplete : Pass::Done;
}

// The icon's rectangle relative to its item's position, as the shell draws it; the system's icon
// size where the shell does not tell.
IconBox ReadIconBox(ExchangeBlock& block, const Candidate& item, bool smallIcons) {
    RECT icon = {};
    if (GetItemIconRect(block, item.index, icon) == Answer::Done && icon.right > icon.left) {
        return {icon.left - item.from.x, icon.top - item.from.y, icon.right - icon.left, icon.bottom - icon.top};
    }
    return {0, 0, GetSystemMetrics(smallIcons ? SM_CXSMICON : SM_CXICON),
            GetSystemMetrics(smallIcons ? SM_CYSMICON : SM_CYICON)};
}

// Where each candidate goes: on a monitor, wholly inside its work area, and on no other.
std::vector<POINT> Targets(ShellSession& session, ExchangeBlock& block, HWND listView, const ScreenShape& screen,
                           const std::vector<Candidate>& candidates) {
    std::vector<POINT> stored;
    for (const Candidate& item : candidates) stored.push_back(item.stored);
    if (candidates.empty()) return stored;
    const bool smallIcons = ShownViewMode(session, listView) == kSmallIconsMode;
    LRESULT spacing = 0;
    session.Send(listView, LVM_GETITEMSPACING, smallIcons ? TRUE : FALSE, 0, &spacing);
    const SIZE grid = {LOWORD(spacing), HIWORD(spacing)};
    return PlaceRestoredIcons(stored, ReadIconBox(block, candidates.front(), smallIcons), grid,
                              WorkAreasIn(listView, screen));
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

// After a careful move, whether the moved item was the one named: Done when the name at its index
// is still the one read there; Changed otherwise, and then the place kept for this one is no place
// of its, and the moved one's own place is kept when the read found it.
Pass CheckMovedItem(RestoreBlock& blocks, const std::vector<Candidate>& candidates, const Candidate& item, bool keptNow,
                    UndoRecord& undo) {
    std::wstring there;
    ExchangeBlock* block = blocks.Get();
    const Answer check = block ? GetItemText(*block, item.index, there) : Answer::NoAnswer;
    if (check == Answer::Done && there == item.name) return Pass::Done;
    if (check == Answer::NoAnswer && !blocks.Get()) return Pass::Failed;
    if (keptNow) undo.Forget(item.name);
    const auto moved =
        std::find_if(candidates.begin(), candidates.end(), [&](const Candidate& other) { return other.name == there; });
    if (check == Answer::Done && moved != candidates.end()) undo.Keep({{there, moved->from}});
    return Pass::Changed;
}

// Quick moves go without a wait for each answer, in runs of this many, each ended by a request the
// list view must answer: the shell's queue stays short, and a shell that stopped answering is not
// sent the rest.
constexpr size_t kMovesPerRun = 256;

// Moves each candidate that stands elsewhere than its target. Careful: one move at a time, and the
// name at its index read again after it (another name there means the icons shifted since the
// read). Quick: the list view carries the moves out in the order sent while the next ones are
// sent, and the caller proves that no item came or went (its check waits for the last move).
Pass MoveCandidates(ShellSession& session, RestoreBlock& blocks, HWND listView,
                    const std::vector<Candidate>& candidates, const std::vector<POINT>& targets, UndoRecord& undo,
                    bool careful, std::optional<HeldRedraw>& quiet) {
    std::vector<size_t> moving;
    std::vector<std::pair<std::wstring, POINT>> places;
    for (size_t k = 0; k < candidates.size(); ++k) {
        if (targets[k].x == candidates[k].from.x && targets[k].y == candidates[k].from.y) continue;
        moving.push_back(k);
        places.emplace_back(candidates[k].name, candidates[k].from);
    }
    if (moving.empty()) return Pass::Done;
    // Before any icon moves: where each one stood.
    const std::vector<bool> keptNow = undo.Keep(places);
    bool incomplete = false;
    quiet.emplace(listView);
    for (size_t m = 0; m < moving.size(); ++m) {
        const Candidate& item = candidates[moving[m]];
        const int16_t x = RoundToInt16(targets[moving[m]].x);
        const int16_t y = RoundToInt16(targets[moving[m]].y);
        if (!careful) {
            if (!QueueItemPosition(listView, item.index, x, y)) return Pass::Incomplete;
            if ((m + 1) % kMovesPerRun == 0 && !session.Responds(listView)) return Pass::Incomplete;
        } else if (!SetItemPosition(session, listView, item.index, x, y)) {
            incomplete = true;
        } else if (const Pass check = CheckMovedItem(blocks, candidates, item, keptNow[m], undo); check != Pass::Done) {
            return check;
        }
    }
    return incomplete ? Pass::Incomplete : Pass::Done;
}

// One pass: read, place, move. A first pass reads in batches and moves without reading names
// again, when the count held and no Desktop folder changed from the read's start to the moves (and
// checks both again after them); any later pass is careful.
Pass RestorePass(ShellSession& session, RestoreBlock& blocks, HWND listView, const ScreenShape& screen,
                 const StoredLayout& layout, const RestoreRequest& request, UndoRecord& undo, bool careful) {
    DesktopFolderChanges& folders = session.FolderChanges();
    folders.Begin();
    const int32_t count = GetItemCount(session, listView);
    if (count < 0) return Pass::Failed;
    if (request.seen) request.seen->clear();
    std::vector<Candidate> candidates;
    const Pass read = ReadCandidates(blocks, layout, request, count, careful, candidates);
    if (read == Pass::Failed) return read;
    ExchangeBlock* block = blocks.Get();
    if (!block) return Pass::Failed;
    const std::vector<POINT> targets = Targets(session, *block, listView, screen, candidates);
    const auto unchanged = [&] { return GetItemCount(session, listView) == count && folders.Quiet(); };
    // What the batches paired may be wrong once items came or went: a careful pass reads again.
    if (!careful && !unchanged()) return Pass::Changed;
    std::optional<HeldRedraw> quiet;
    const Pass moved = MoveCandidates(session, blocks, listView, candidates, targets, undo, careful, quiet);
    if (moved == Pass::Failed || moved == Pass::Changed) return moved;
    // Checked while the list view still paints nothing: a request after its painting came back
    // would wait for the whole desktop's repaint.
    if (careful ? GetItemCount(session, listView) != count : !unchanged()) return Pass::Changed;
    return moved == Pass::Done ? read : moved;
}

}  // namespace

std::wstring FoldCase(std::wstring name) {
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

std::wstring IconPositionKey(int width, int height) {
    return std::wstring(kSettingsKey) + L"\\" + std::to_wstring(width) + L"*" + std::to_wstring(height);
}

std::wstring LayoutKey(const ScreenShape& screen) { return std::wstring(kSettingsKey) + L"\\" + LayoutKeyName(screen); }

std::wstring CurrentLayoutKey(ShellSession& session) { return LayoutKey(session.CurrentScreen()); }

std::wstring PreviousLayoutKey(const std::wstring& layoutKey) { return layoutKey + L"\\Previous"; }

std::wstring UndoKey(const std::wstring& layoutKey) { return layoutKey + L"\\Undo"; }

SaveResult SaveIconPositions(ShellSession& session, SaveKind kind, NameSet* seen) {
    // The save itself may be the first to see a new screen, before the watcher does.
    ScreenSettle& screen = session.Screen();
    const std::wstring key = LayoutKey(session.NoticeScreen(GetTickCount64()));
    if (!screen.SavesAllowed()) return SaveResult::NotSaved;
    IconPositionList list;
    int32_t count = 0;
    const ReadResult read = ReadDesktopItems(session, list, &count);
    // A desktop that cannot be read must not wipe what is stored.
    if (read == ReadResult::NoListView || read == ReadResult::Unreadable) return SaveResult::NotSaved;
    // The screen may have changed during the read's waits: what was read then belongs to no screen.
    const std::wstring keyNow = LayoutKey(session.NoticeScreen(GetTickCount64()));
    if (!screen.SavesAllowed() || keyNow != key) return SaveResult::NotSaved;
    if (count == 0 && kind != SaveKind::Asked) return SaveResult::NotSaved;

    const bool whole = read == ReadResult::Read && kind != SaveKind::AutomaticUnsettled;
    const std::vector<RegKeys::NamedText> stored = RegKeys::GetValues(HKEY_CURRENT_USER, key);
    const LayoutValues wanted = WantedValues(list);
    const LayoutValues before = StoredValues(stored);
    if (LayoutDiffers(wanted, before, whole)) {
        if (!stored.empty()) KeepAsPrevious(key, stored);
        WriteLayout(key, list, whole, stored, before, wanted);
    }
    if (seen) {
        seen->clear();
        for (const IconPosition& item : list) seen->insert(FoldCase(item.Name));
    }
    return read == ReadResult::Read ? SaveResult::Saved : SaveResult::Partial;
}

RestoreResult RestoreIconPositions(ShellSession& session, const RestoreRequest& request) {
    const ScreenShape screen = session.CurrentScreen();
    const std::wstring key = LayoutKey(screen);
    StoredLayout layout = ReadLayout(SourceKey(request.source, key));
    // A screen with no layout of its own yet takes what earlier versions kept for its primary's size.
    if (layout.empty() && request.source == LayoutSource::Current) {
        layout = ReadLayout(std::wstring(kSettingsKey) + L"\\" + PrimaryKeyName(screen));
    }
    if (layout.empty() && !request.seen) return RestoreResult::NothingStored;
    const HWND listView = FindDesktopWindows(nullptr).ListView;
    if (!listView) return RestoreResult::Failed;
    RestoreBlock blocks(session, listView);
    if (!blocks.Get()) return RestoreResult::Failed;
    UndoRecord undo(UndoKey(key));
    // When items came or went, the pass starts again, so that every item with a stored place ends
    // there: the quick pass, then up to three careful ones.
    constexpr int kPasses = 4;
    for (int pass = 0; pass < kPasses; ++pass) {
        const Pass done = RestorePass(session, blocks, listView, screen, layout, request, undo, pass > 0);
        if (done == Pass::Failed) return RestoreResult::Failed;
        if (done == Pass::Changed) continue;
        if (done == Pass::Incomplete) return RestoreResult::Partial;
        return layout.empty() ? RestoreResult::NothingStored : RestoreResult::Done;
    }
    return RestoreResult::Failed;
}

bool SaveCommand(ShellSession& session, bool inIconView) {
    return inIconView && SaveIconPositions(session) == SaveResult::Saved;
}

bool RestoreCommand(ShellSession& session, bool inIconView, LayoutSource source) {
    if (!inIconView) return false;
    RestoreRequest request;
    request.source = source;
    const RestoreResult result = RestoreIconPositions(session, request);
    return result == RestoreResult::Done || (result == RestoreResult::NothingStored && source == LayoutSource::Current);
}

}  // namespace iv
