#include "desktop/IconPositions.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include <commctrl.h>

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
using StoredLayout = std::map<std::wstring, Place>;

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The layout under a key, read once; values that are no item's ".X" or ".Y" are ignored.
StoredLayout ReadLayout(const std::wstring& key) {
    std::map<std::wstring, std::wstring> xs;
    std::map<std::wstring, std::wstring> ys;
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

    // True when this is the item's first place kept.
    bool Keep(const std::wstring& name, POINT from) {
        if (!kept_.insert(FoldCase(name)).second) return false;
        if (!cleared_) RegKeys::DeleteRegTree(HKEY_CURRENT_USER, key_);
        cleared_ = true;
        RegKeys::SetRegValues(HKEY_CURRENT_USER, key_,
                              {{name + L".X", std::to_wstring(from.x)}, {name + L".Y", std::to_wstring(from.y)}});
        return true;
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

// Writes the items read under the key, and deletes the values of items that are gone.
void WriteLayout(const std::wstring& key, const IconPositionList& list, bool whole) {
    std::vector<RegKeys::NamedText> values;
    std::unordered_set<std::wstring> written;
    for (const IconPosition& item : list) {
        for (const auto& [suffix, value] : {std::pair{L".X", item.X}, std::pair{L".Y", item.Y}}) {
            values.emplace_back(item.Name + suffix, std::to_wstring(value));
            written.insert(FoldCase(item.Name + suffix));
        }
    }
    // New values first, so that an interrupted save never leaves less than there was.
    RegKeys::SetRegValues(HKEY_CURRENT_USER, key, values);
    // Then the values of items that are gone, but only after a read of the whole desktop: values
    // of items left out of a partial or changing read may still belong to items on the desktop.
    if (!whole) return;
    for (const std::wstring& name : RegKeys::GetValueNames(HKEY_CURRENT_USER, key)) {
        if (!written.contains(FoldCase(name))) RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, name);
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
        block_.emplace(session, listView);
    }
    // Null once the shell has let too many requests go unanswered.
    ExchangeBlock* Get() {
        if (!block_->Ok()) {
            if (++reopened_ > kMaxReopened) return nullptr;
            block_.emplace(session_, listView_);
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

// Reads every item's name, and the place of those with a stored one; an icon whose place cannot
// be read stays (its place could not be kept for the undo).
Pass ReadCandidates(RestoreBlock& blocks, const StoredLayout& layout, const RestoreRequest& request, int32_t count,
                    std::vector<Candidate>& candidates) {
    bool incomplete = false;
    for (int32_t i = 0; i < count; ++i) {
        ExchangeBlock* block = blocks.Get();
        if (!block) return Pass::Failed;
        Candidate item;
        item.index = i;
        const Answer read = GetItemText(*block, i, item.name);
        incomplete = incomplete || read == Answer::NoAnswer;
        if (read != Answer::Done) continue;
        const std::wstring folded = FoldCase(item.name);
        if (request.seen) request.seen->insert(folded);
        if (request.leave && request.leave->contains(folded)) continue;
        const auto stored = layout.find(folded);
        if (stored == layout.end()) continue;
        item.stored = {stored->second.x, stored->second.y};
        const Answer where = GetItemPosition(*block, i, item.from);
        incomplete = incomplete || where == Answer::NoAnswer;
        if (where == Answer::Done) candidates.push_back(std::move(item));
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
std::vector<POINT> Targets(ShellSession& session, ExchangeBlock& block, HWND listView,
                           const std::vector<Candidate>& candidates) {
    std::vector<POINT> stored;
    for (const Candidate& item : candidates) stored.push_back(item.stored);
    if (candidates.empty()) return stored;
    const bool smallIcons = ShownViewMode(session, listView) == kSmallIconsMode;
    LRESULT spacing = 0;
    session.Send(listView, LVM_GETITEMSPACING, smallIcons ? TRUE : FALSE, 0, &spacing);
    const SIZE grid = {LOWORD(spacing), HIWORD(spacing)};
    return PlaceRestoredIcons(stored, ReadIconBox(block, candidates.front(), smallIcons), grid,
                              WorkAreasIn(listView, session.CurrentScreen()));
}

// Moves each candidate that stands elsewhere than its target, and reads the name at its index
// again after the move: another name there means the icons shifted since the read.
Pass MoveCandidates(ShellSession& session, RestoreBlock& blocks, HWND listView,
                    const std::vector<Candidate>& candidates, const std::vector<POINT>& targets, UndoRecord& undo) {
    bool incomplete = false;
    for (size_t k = 0; k < candidates.size(); ++k) {
        const Candidate& item = candidates[k];
        const POINT to = targets[k];
        if (to.x == item.from.x && to.y == item.from.y) continue;
        const bool keptNow = undo.Keep(item.name, item.from);
        if (!SetItemPosition(session, listView, item.index, RoundToInt16(to.x), RoundToInt16(to.y))) {
            incomplete = true;
            continue;
        }
        std::wstring there;
        ExchangeBlock* block = blocks.Get();
        const Answer check = block ? GetItemText(*block, item.index, there) : Answer::NoAnswer;
        if (check == Answer::Done && there == item.name) continue;
        if (check == Answer::NoAnswer && !blocks.Get()) return Pass::Failed;
        // The item moved was another one: the place kept for this one is no place of its, and the
        // moved one's own place is kept when the read found it.
        if (keptNow) undo.Forget(item.name);
        const auto moved = std::find_if(candidates.begin(), candidates.end(),
                                        [&](const Candidate& other) { return other.name == there; });
        if (check == Answer::Done && moved != candidates.end()) undo.Keep(there, moved->from);
        return Pass::Changed;
    }
    return incomplete ? Pass::Incomplete : Pass::Done;
}

Pass RestorePass(ShellSession& session, RestoreBlock& blocks, HWND listView, const StoredLayout& layout,
                 const RestoreRequest& request, UndoRecord& undo, int32_t count) {
    std::vector<Candidate> candidates;
    const Pass read = ReadCandidates(blocks, layout, request, count, candidates);
    if (read == Pass::Failed) return read;
    ExchangeBlock* block = blocks.Get();
    if (!block) return Pass::Failed;
    const Pass moved =
        MoveCandidates(session, blocks, listView, candidates, Targets(session, *block, listView, candidates), undo);
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
    session.NoticeScreen(GetTickCount64());
    if (!screen.SavesAllowed()) return SaveResult::NotSaved;
    const std::wstring key = CurrentLayoutKey(session);
    IconPositionList list;
    int32_t count = 0;
    const ReadResult read = ReadDesktopItems(session, list, &count);
    // A desktop that cannot be read must not wipe what is stored.
    if (read == ReadResult::NoListView || read == ReadResult::Unreadable) return SaveResult::NotSaved;
    // The screen may have changed during the read's waits: what was read then belongs to no screen.
    session.NoticeScreen(GetTickCount64());
    if (!screen.SavesAllowed() || CurrentLayoutKey(session) != key) return SaveResult::NotSaved;
    if (count == 0 && kind != SaveKind::Asked) return SaveResult::NotSaved;

    const bool whole = read == ReadResult::Read && kind != SaveKind::AutomaticUnsettled;
    const std::vector<RegKeys::NamedText> stored = RegKeys::GetValues(HKEY_CURRENT_USER, key);
    const bool changes = LayoutDiffers(WantedValues(list), StoredValues(stored), whole);
    if (changes || kind != SaveKind::AutomaticIfChanged) {
        if (changes && !stored.empty()) KeepAsPrevious(key, stored);
        WriteLayout(key, list, whole);
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
    // there.
    constexpr int kPasses = 3;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int32_t count = GetItemCount(session, listView);
        if (count < 0) return RestoreResult::Failed;
        if (request.seen) request.seen->clear();
        const Pass done = RestorePass(session, blocks, listView, layout, request, undo, count);
        if (done == Pass::Failed) return RestoreResult::Failed;
        if (done == Pass::Changed || GetItemCount(session, listView) != count) continue;
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
