#include "layouts/IconPositions.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "layouts/KeptLayouts.h"
#include "layouts/RestorePlan.h"
#include "settings/Settings.h"
#include "shell/DesktopFolders.h"
#include "shell/DesktopIcons.h"

namespace iv {
namespace {

// Identities are relative to the two Desktop folders, read once per operation.
class Identities {
public:
    explicit Identities(bool known)
        : known_(known),
          user_(known ? DesktopFolderPath(false) : L""),
          common_(known ? DesktopFolderPath(true) : L"") {}
    std::wstring Of(const DesktopIcon& icon) const {
        return known_ ? IconIdentity(icon.parsingName, user_, common_) : std::wstring();
    }
    SavedIcon Saved(const DesktopIcon& icon) const { return {icon.text, Of(icon), icon.at.x, icon.at.y}; }

private:
    bool known_;
    std::wstring user_;
    std::wstring common_;
};

std::wstring SourceKey(LayoutSource source, const std::wstring& key) {
    switch (source) {
        case LayoutSource::Previous: return PreviousLayoutKey(key);
        case LayoutSource::Undo: return UndoKey(key);
        case LayoutSource::Current: break;
    }
    return key;
}

// The arrangement a restore replaces, kept in the history once, before its first move.
struct RestoreHistory {
    std::wstring layoutKey;
    ScreenShape screen;
    bool kept = false;
    void Keep(const std::vector<SavedIcon>& arrangement) {
        if (kept) return;
        kept = true;
        KeepInHistory(layoutKey, screen, arrangement, kReplacedByRestore, false);
    }
};

// A restore's layout: the one given, or the stored one, read beside the desktop's first read. A
// screen with no layout of its own yet takes what earlier versions kept for its primary's size.
class LayoutToRestore {
public:
    LayoutToRestore(const RestoreRequest& request, const std::wstring& key, const ScreenShape& screen)
        : older_(request.source == LayoutSource::Current && !request.layout
                     ? std::wstring(kSettingsKey) + L"\\" + PrimaryKeyName(screen)
                     : std::wstring()) {
        if (request.layout) {
            layout_ = *request.layout;
        } else if (const std::wstring from = SourceKey(request.source, key);
                   RegKeys::HasValues(HKEY_CURRENT_USER, from)) {
            ahead_.emplace(from);
        } else {
            TakeOlder();
        }
    }
    // Nothing is stored for the restore (known before the desktop is read).
    bool NothingStored() const { return !ahead_ && layout_.Empty(); }
    const StoredLayout& Get() {
        if (ahead_) {
            layout_ = ahead_->Layout();
            ahead_.reset();
            if (layout_.Empty()) TakeOlder();
        }
        return layout_;
    }

private:
    void TakeOlder() {
        if (!older_.empty() && !WrittenByThisVersion(older_)) layout_ = ReadStoredLayout(older_);
    }

    std::wstring older_;
    std::optional<LayoutReadAhead> ahead_;
    StoredLayout layout_;
};

// The undo record's side of the moves: the places of the icons about to move are kept, and a
// place kept for an icon that a move did not reach is forgotten.
class UndoMoves final : public MoveRecord {
public:
    UndoMoves(UndoRecord& undo, std::vector<SavedIcon> moving, RestoreHistory& history,
              std::vector<SavedIcon> arrangement, bool keeps)
        : undo_(undo),
          moving_(std::move(moving)),
          history_(history),
          arrangement_(std::move(arrangement)),
          keeps_(keeps) {}

    void BeforeMoves() override {
        keptNow_.assign(moving_.size(), false);
        if (!keeps_) return;
        if (!moving_.empty()) history_.Keep(arrangement_);
        keptNow_ = undo_.Keep(moving_);
    }
    void Forget(size_t move) override {
        if (keptNow_[move]) undo_.Forget(moving_[move]);
    }

private:
    UndoRecord& undo_;
    std::vector<SavedIcon> moving_;
    RestoreHistory& history_;
    std::vector<SavedIcon> arrangement_;
    bool keeps_;
    std::vector<bool> keptNow_;
};

// The icons a pass moves into view, in place of what was held of those it plans for: of every
// icon when it restores the whole layout (one of another screen's layout is held no more).
void Hold(HeldIcons& held, const std::wstring& layout, const std::vector<PlanIcon>& planned, const RestorePlan& plan,
          const IconKeySet* leave) {
    if (!leave || held.layout != layout) {
        held = {layout, {}};
    } else {
        for (const PlanIcon& icon : planned) {
            if (HasIconKeys(*leave, icon.text, icon.id)) continue;
            held.byKey.erase(IconKey(icon.text, icon.id));
            held.byKey.erase(IconKey(icon.text, L""));
        }
    }
    for (const RestorePlan::Held& icon : plan.held) {
        const PlanIcon& moved = planned[icon.icon];
        held.byKey[IconKey(moved.text, moved.id)] = {icon.to, icon.stored};
        held.byKey[IconKey(moved.text, L"")] = {icon.to, icon.stored};
    }
}

// A put-back that moves a held icon into view anew (by another view's icon size) keeps it held,
// for the same stored place, where it goes now.
void CarryHolds(HeldIcons& held, const std::wstring& layout, const std::vector<PlanIcon>& planned,
                const RestorePlan& plan) {
    if (held.layout != layout) return;
    for (const RestorePlan::Held& icon : plan.held) {
        const PlanIcon& moved = planned[icon.icon];
        for (const std::wstring& key : {IconKey(moved.text, moved.id), IconKey(moved.text, L"")}) {
            const auto found = held.byKey.find(key);
            if (found != held.byKey.end() && found->second.at.x == icon.stored.x &&
                found->second.at.y == icon.stored.y) {
                found->second.at = icon.to;
            }
        }
    }
}

// Where an automatic save writes the icon: the place it stands for while a restore holds it (by
// its identity, else by its text: the restore may have taken the other way to the icons).
void TakeHeldPlace(const HeldIcons& held, SavedIcon& icon) {
    auto found = held.byKey.find(IconKey(icon.text, icon.id));
    if (found == held.byKey.end()) found = held.byKey.find(IconKey(icon.text, L""));
    if (found == held.byKey.end() || found->second.at.x != icon.x || found->second.at.y != icon.y) return;
    icon.x = found->second.stored.x;
    icon.y = found->second.stored.y;
}

PlanGeometry PlanGeometryOf(const IconGeometry& geometry, const ScreenShape& screen) {
    return {{geometry.box.left, geometry.box.top, geometry.box.right, geometry.box.bottom},
            geometry.spacing,
            WorkAreasIn(geometry.listView, screen)};
}

// One pass: read, plan, move. A first pass reads in batches and moves without reading names again
// (each way proves that its pairing held); any later pass is careful.
Pass RestorePass(DesktopIcons& way, const ScreenShape& screen, LayoutToRestore& stored, const RestoreRequest& request,
                 const Identities& identities, UndoRecord& undo, RestoreHistory& history, HeldIcons& held,
                 bool careful) {
    std::vector<DesktopIcon> icons;
    const Pass read = way.ReadPass(icons, careful);
    if (read == Pass::Failed) return read;
    const StoredLayout& layout = stored.Get();
    std::vector<PlanIcon> planned;
    for (const DesktopIcon& icon : icons) planned.push_back({icon.text, identities.Of(icon), icon.at, icon.placeKnown});
    if (request.seen) {
        request.seen->clear();
        for (const PlanIcon& icon : planned) AddIconKeys(*request.seen, icon.text, icon.id);
    }
    // The geometry costs requests to the shell: asked only when some icon has a place to go to.
    RestorePlan plan = PlanRestore(planned, layout, {}, request.leave);
    if (!plan.moves.empty() || plan.inPlace > 0) {
        const IconGeometry geometry = way.Geometry(icons);
        plan = PlanRestore(planned, layout, PlanGeometryOf(geometry, screen), request.leave);
        // A desktop that arranges its icons itself puts every moved one back on its grid.
        if (geometry.autoArrange && !plan.moves.empty()) return Pass::Failed;
    }
    if (request.counts) {
        *request.counts = {plan.moves.size(), plan.inPlace, plan.noPlace, plan.unclaimed};
        return plan.placeUnknown > 0 ? Pass::Incomplete : read;
    }
    if (request.keepsRecords) {
        Hold(held, history.layoutKey, planned, plan, request.leave);
    } else {
        CarryHolds(held, history.layoutKey, planned, plan);
    }
    std::vector<IconMove> moves;
    std::vector<SavedIcon> moving;
    for (const RestorePlan::Move& move : plan.moves) {
        moves.push_back({move.icon, move.to});
        moving.push_back(identities.Saved(icons[move.icon]));
    }
    // Before any icon moves (once the way proved its read): where each icon stood whose place the shell told.
    std::vector<SavedIcon> arrangement;
    if (request.keepsRecords && !history.kept && !moves.empty()) {
        for (const DesktopIcon& icon : icons) {
            if (icon.placeKnown) arrangement.push_back(identities.Saved(icon));
        }
    }
    UndoMoves record(undo, std::move(moving), history, std::move(arrangement), request.keepsRecords);
    const Pass moved = way.Move(icons, moves, careful, record);
    if (moved != Pass::Done) return moved;
    return plan.placeUnknown > 0 ? Pass::Incomplete : read;
}

}  // namespace

std::wstring CurrentLayoutKey(ShellSession& session) { return LayoutKey(session.CurrentScreen()); }

SaveResult SaveIconPositions(ShellSession& session, const SaveRequest& request) {
    // The save itself may be the first to see a new screen, before the watcher does.
    ScreenSettle& screen = session.Screen();
    const ScreenShape shape = session.NoticeScreen(GetTickCount64());
    const std::wstring key = LayoutKey(shape);
    if (!screen.SavesAllowed()) return SaveResult::NotSaved;
    LayoutReadAhead storedNow(key);
    const std::unique_ptr<DesktopIcons> way = OpenDesktopIcons(session, request.listView);
    if (!way) return SaveResult::NotSaved;
    std::vector<DesktopIcon> icons;
    int32_t count = 0;
    const ReadResult read = way->ReadAll(icons, count);
    // A desktop that cannot be read, or was read only in part, must not change what is stored.
    if (read == ReadResult::NoListView || read == ReadResult::Unreadable || read == ReadResult::Cut) {
        return SaveResult::NotSaved;
    }
    // The screen may have changed during the read's waits: what was read then belongs to no screen.
    const std::wstring keyNow = LayoutKey(session.NoticeScreen(GetTickCount64()));
    if (!screen.SavesAllowed() || keyNow != key) return SaveResult::NotSaved;
    if (count == 0 && !request.asked) return SaveResult::NotSaved;

    const Identities identities(way->KnowsItems());
    const StoredLayout stored = request.known ? storedNow.Layout() : StoredLayout{};
    const bool holds = !request.asked && session.Held().layout == key;
    std::vector<SavedIcon> saved;
    IconKeySet keys;
    // An icon due at its stored place is left as stored: it is on the desktop, not gone.
    IconKeySet due;
    for (const DesktopIcon& icon : icons) {
        SavedIcon kept = identities.Saved(icon);
        if (request.known && !HasIconKeys(*request.known, kept.text, kept.id) &&
            (stored.byId.contains(FoldCase(kept.id)) || stored.byText.contains(FoldCase(kept.text)))) {
            AddIconKeys(due, kept.text, kept.id);
            continue;
        }
        AddIconKeys(keys, kept.text, kept.id);
        // An icon whose place the shell did not tell is on the desktop, with no place to write.
        if (!icon.placeKnown) continue;
        if (holds) TakeHeldPlace(session.Held(), kept);
        saved.push_back(std::move(kept));
    }
    Deletions deletions;
    if (read == ReadResult::Read) {
        deletions.allNotRead = request.asked;
        if (!request.asked && request.seenBefore) {
            for (const std::wstring& seen : *request.seenBefore) {
                if (!keys.contains(seen) && !due.contains(seen)) deletions.gone.insert(seen);
            }
        }
    }
    if (SaveLayout(storedNow, saved, deletions, way->KnowsItems(), {&shape, request.asked}) == LayoutWrite::Failed) {
        return SaveResult::Failed;
    }
    if (request.asked) session.Held() = {};
    if (request.seen) *request.seen = std::move(keys);
    return read == ReadResult::Read ? SaveResult::Saved : SaveResult::Partial;
}

namespace {

// Every icon of the desktop, read to the end while the screen, received in `shape`, stood settled.
// With `namesOnly`, an icon whose place the shell did not tell counts as read: it is there, by name.
std::optional<std::vector<SavedIcon>> ReadWholeDesktop(ShellSession& session, ScreenShape& shape,
                                                       bool namesOnly = false) {
    shape = session.NoticeScreen(GetTickCount64());
    if (!session.Screen().SavesAllowed()) return std::nullopt;
    const std::unique_ptr<DesktopIcons> way = OpenDesktopIcons(session);
    if (!way) return std::nullopt;
    std::vector<DesktopIcon> icons;
    int32_t count = 0;
    const ReadResult read = way->ReadAll(icons, count);
    const bool named = std::none_of(icons.begin(), icons.end(),
                                    [](const DesktopIcon& icon) { return icon.text == kUnreadableItemName; });
    if (read != ReadResult::Read && !(namesOnly && read == ReadResult::Partial && named)) return std::nullopt;
    if (!session.Screen().SavesAllowed() || !SameScreen(session.NoticeScreen(GetTickCount64()), shape)) {
        return std::nullopt;
    }
    const Identities identities(way->KnowsItems());
    std::vector<SavedIcon> saved;
    for (const DesktopIcon& icon : icons) saved.push_back(identities.Saved(icon));
    return saved;
}

}  // namespace

SaveResult SaveNamedLayout(ShellSession& session, const std::wstring& name) {
    ScreenShape shape;
    const std::optional<std::vector<SavedIcon>> saved = ReadWholeDesktop(session, shape);
    if (!saved) return SaveResult::NotSaved;
    if (const std::optional<LayoutFile> old = ReadNamedLayout(name)) {
        KeepInHistory(LayoutKey(shape), shape, IconsOf(*old), kReplacedBySave, false);
    }
    return WriteNamedLayout(LayoutOfIcons(name, shape, *saved)) ? SaveResult::Saved : SaveResult::Failed;
}

std::optional<IconKeySet> ReadIconKeys(ShellSession& session) {
    ScreenShape shape;
    // A key is a name: an icon that refuses its place (one a placement gave up on) is known all the same.
    const std::optional<std::vector<SavedIcon>> shown = ReadWholeDesktop(session, shape, true);
    if (!shown) return std::nullopt;
    IconKeySet keys;
    for (const SavedIcon& icon : *shown) AddIconKeys(keys, icon.text, icon.id);
    return keys;
}

std::optional<StoredLayout> ReadShownArrangement(ShellSession& session) {
    ScreenShape shape;
    const std::optional<std::vector<SavedIcon>> shown = ReadWholeDesktop(session, shape);
    if (!shown) return std::nullopt;
    return StoredLayoutOf(LayoutOfIcons(L"", shape, *shown));
}

RestoreResult RestoreIconPositions(ShellSession& session, const RestoreRequest& request) {
    const ScreenShape screen = session.CurrentScreen();
    const std::wstring key = LayoutKey(screen);
    LayoutToRestore layout(request, key, screen);
    if (layout.NothingStored() && !request.seen && !request.counts) return RestoreResult::NothingStored;
    const ShellSession::RestoreScope restoring(session);
    const std::unique_ptr<DesktopIcons> way = OpenDesktopIcons(session);
    if (!way) return RestoreResult::Failed;
    const Identities identities(way->KnowsItems());
    const RestoreTries tries = request.tries ? *request.tries : RestoreTries{};
    UndoRecord undo(UndoKey(key), tries.undoStarted);
    RestoreHistory history{key, screen, tries.historyKept};
    HeldIcons& held = session.Held();
    // When icons came or went, the pass starts again, so that every icon with a stored place ends
    // there: the quick pass, then up to three careful ones.
    const auto passes = [&] {
        constexpr int kPasses = 4;
        for (int pass = 0; pass < kPasses; ++pass) {
            const Pass done = RestorePass(*way, screen, layout, request, identities, undo, history, held, pass > 0);
            if (done == Pass::Failed) return RestoreResult::Failed;
            if (done == Pass::Changed) continue;
            if (done == Pass::Incomplete) return RestoreResult::Partial;
            return layout.Get().Empty() ? RestoreResult::NothingStored : RestoreResult::Done;
        }
        return RestoreResult::Failed;
    };
    const RestoreResult result = passes();
    if (request.tries) *request.tries = {undo.Started(), history.kept};
    return result;
}

bool SaveCommand(ShellSession& session, bool inIconView) {
    return inIconView && SaveIconPositions(session) == SaveResult::Saved;
}

bool RestoreCommand(ShellSession& session, bool inIconView, LayoutSource source, RestoreCounts* counts) {
    if (!inIconView) return false;
    RestoreRequest request;
    request.source = source;
    request.counts = counts;
    const RestoreResult result = RestoreIconPositions(session, request);
    return result == RestoreResult::Done || (result == RestoreResult::NothingStored && source == LayoutSource::Current);
}

bool RestoreKeptCommand(ShellSession& session, bool inIconView, const StoredLayout& layout, RestoreCounts* counts) {
    if (!inIconView) return false;
    RestoreRequest request;
    request.layout = &layout;
    request.counts = counts;
    return RestoreIconPositions(session, request) == RestoreResult::Done;
}

}  // namespace iv
