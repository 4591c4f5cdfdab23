#include "desktop/DesktopKeeper.h"

#include <algorithm>
#include <utility>

#include "shell/Screen.h"

namespace iv {

DesktopKeeper::DesktopKeeper(SharedSettings& settings, ShellSession& session, ViewModeHost& host)
    : settings_(settings), session_(session), host_(host) {}

bool DesktopKeeper::ActiveDesktopOn() const {
    return desktop_.DefView && FindWindowExW(desktop_.DefView, nullptr, L"Internet Explorer_Server", nullptr);
}

void DesktopKeeper::Start(HWND window, UINT folderMessage, UINT eventMessage) {
    const ULONGLONG now = GetTickCount64();
    appliedListView_ = desktop_.ListView;
    session_.NoticeScreen(now);
    // Watched from now, so that the proof of a quick read knows what came before it.
    session_.FolderChanges().Begin(now);
    BeginSettling(Settling::Start, now);
    folderWatch_ = std::make_unique<DesktopFolderWatch>(window, folderMessage);
    if (eventMessage) {
        events_ = std::make_unique<DesktopEvents>(window, eventMessage);
        events_->Watch(desktop_);
    }
}

UpkeepFacts DesktopKeeper::Facts(ULONGLONG now) const {
    UpkeepFacts facts;
    facts.desktopFound = desktop_.ListView != nullptr;
    facts.settling = IsSettling();
    facts.countBurst = now < countBurstUntil_;
    facts.itemEventsRaised = itemEventsRaised_;
    facts.countUnanswered = countUnanswered_;
    facts.labelBurst = now < labelBurstUntil_;
    facts.transparentLabels = settings_.StyleFlags[kTextColorFlag] == 1;
    facts.labelToRead = label_.ToRead();
    facts.smallIcons = watcher_.ScrollWatch();
    return facts;
}

ScreenDuties DesktopKeeper::Duties() const {
    ScreenDuties duties;
    duties.screenSettlesAt = session_.Screen().SettlesAt().value_or(kNeverDue);
    duties.desktopSettling = IsSettling();
    duties.savesAllowed = session_.Screen().SavesAllowed();
    duties.layoutDue = phase_ == DesktopPhase::Restoring || phase_ == DesktopPhase::Placing;
    duties.nextRetry = nextRetry_;
    duties.calmSaves = Following() && phase_ == DesktopPhase::Owned;
    duties.nextCalmSave = nextCalmSave_;
    duties.burstUntil = countBurstUntil_;
    return duties;
}

ULONGLONG DesktopKeeper::CountDue(const UpkeepFacts& facts) const {
    return EarliestDue({NextLook(lastCountLook_, CountCheckPeriod(facts)), countAsked_});
}

ULONGLONG DesktopKeeper::LabelDue(const UpkeepFacts& facts) const {
    const ULONGLONG asked = LabelCheckPeriod(facts) ? labelAsked_ : kNeverDue;
    return EarliestDue({NextLook(lastLabelLook_, LabelCheckPeriod(facts)), asked});
}

ULONGLONG DesktopKeeper::ScrollDue(const UpkeepFacts& facts) const {
    const ULONGLONG asked = ScrollCheckPeriod(facts) ? scrollAsked_ : kNeverDue;
    return EarliestDue({NextLook(lastScrollLook_, ScrollCheckPeriod(facts)), asked});
}

ULONGLONG DesktopKeeper::NextDue(ULONGLONG now) const {
    const UpkeepFacts facts = Facts(now);
    return EarliestDue({ScrollDue(facts), LabelDue(facts), CountDue(facts), ScreenDutiesDue(Duties())});
}

void DesktopKeeper::Tick(ULONGLONG now) {
    // Every look at the shell's desktop is a round trip to another process: each runs only when
    // it is due.
    // A look due within half its period runs with the one that woke the program: the slow looks
    // share one wake-up.
    const UpkeepFacts facts = Facts(now);
    if (DueSoon(ScrollDue(facts), ScrollCheckPeriod(facts), now)) {
        lastScrollLook_ = now;
        scrollAsked_ = kNeverDue;
        watcher_.FollowScroll(desktop_);
    }
    if (DueSoon(LabelDue(facts), LabelCheckPeriod(facts), now)) {
        lastLabelLook_ = now;
        labelAsked_ = kNeverDue;
        label_.TryRead(session_, desktop_.ListView, kWatcherTimeoutMs);
        watcher_.KeepTextTransparent(session_, desktop_, facts.transparentLabels);
    }
    if (DueSoon(CountDue(facts), CountCheckPeriod(facts), now)) {
        lastCountLook_ = now;
        countAsked_ = kNeverDue;
        const int32_t before = watcher_.LastItemCount();
        const bool answered = watcher_.CheckItemCount(session_, desktop_);
        countUnanswered_ = !answered;
        if (events_) events_->Watch(desktop_);
        WatchForNewDesktop(now, answered, before);
    }
    if (now >= ScreenDutiesDue(Duties())) FollowScreen(now);
}

void DesktopKeeper::OnFolderChanged(ULONGLONG now) {
    if (folderWatch_) {
        folderWatch_->Acknowledge();
        ForgetRemoved(folderWatch_->TakeRemoved());
    }
    countBurstUntil_ = now + kEagerMs;
    countAsked_ = now;
}

void DesktopKeeper::ForgetRemoved(const std::vector<std::wstring>& paths) {
    if (paths.empty()) return;
    const std::wstring user = DesktopFolderPath(false);
    const std::wstring common = DesktopFolderPath(true);
    for (const std::wstring& path : paths) {
        for (const std::wstring& key : KeysOfEntry(path, user, common)) {
            knownRemoved_ = knownKeys_.erase(key) > 0 || knownRemoved_;
        }
    }
}

void DesktopKeeper::OnDesktopEvent(DesktopEvent event, ULONGLONG now) {
    switch (event) {
        case DesktopEvent::Items:
            itemEventsRaised_ = true;
            // Items come in runs: one look once the run has paused, not one per item.
            countAsked_ = std::min(countAsked_, now + kEagerCountCheckMs);
            break;
        case DesktopEvent::Gone: LookForDesktop(now); break;
        case DesktopEvent::Scrolled: scrollAsked_ = now; break;
    }
}

void DesktopKeeper::LookForDesktop(ULONGLONG now) {
    countBurstUntil_ = now + kEagerMs;
    countAsked_ = now;
}

void DesktopKeeper::OnLookMayHaveChanged(ULONGLONG now) {
    labelBurstUntil_ = now + kEagerMs;
    labelAsked_ = now;
}

void DesktopKeeper::ShowViewMode(int16_t mode, int16_t previousMode) {
    // The list view lays its icons out afresh at every switch, to the same view too (Apply in the
    // settings): while icon positions are kept, the arrangement shown as an icon view is left comes
    // back with the next one, and icons that came and wait for their stored places go there after.
    const bool keep = KeepsPositions() && (phase_ == DesktopPhase::Owned || phase_ == DesktopPhase::Placing);
    if (keep && IsIconViewMode(shownMode_)) {
        arrangement_ = ReadShownArrangement(session_);
        arrangementKey_ = CurrentLayoutKey(session_);
    }
    if (keep) phase_ = DesktopPhase::Owned;
    shownMode_ = mode;
    watcher_.StopScrollFollow();
    SetDesktopViewMode(session_, desktop_, viewCommands_, mode, previousMode);
    if (mode == kSmallIconsMode) watcher_.StartScrollFollow(desktop_.ListView);
    if (!(keep || phase_ == DesktopPhase::Foreign) || !IsIconViewMode(mode)) return;
    // Out of an icon view a followed screen's change, or a desktop built anew, was not followed:
    // what comes back is the layout stored for the screen as it is now. So it does, with the
    // restore at start on, when nothing shown is held (a start in list or details, a read that
    // failed, a restore dropped out of an icon view): the view's fresh grid is nobody's layout,
    // and the exit save would keep it.
    if (Following() && !(arrangement_ && arrangementKey_ == CurrentLayoutKey(session_))) {
        BeginRestore(RestoreAsker::Screen);
    } else if (!arrangement_ && RestoresAtStart()) {
        BeginRestore(RestoreAsker::Start);
    } else if (arrangement_) {
        BeginRestore(RestoreAsker::ViewMode);
    } else {
        return;
    }
    nextRetry_ = GetTickCount64();
    retryMs_ = kRetryMs;
}

void DesktopKeeper::StartFollowingScreen() {
    // A desktop still settling or being restored saves its layout once that is done.
    if (phase_ == DesktopPhase::Owned) SaveFollowedLayout();
}

void DesktopKeeper::PositionsAsked(bool done) {
    if (!done || IsSettling()) return;
    phase_ = DesktopPhase::Owned;
    // Icons that came while something was due are theirs too, not icons waiting for a place.
    TakeIconsShown();
    retryMs_ = kRetryMs;
    nextCalmSave_ = GetTickCount64() + CalmSaveMs();
}

void DesktopKeeper::BeginRestore(RestoreAsker asker) {
    phase_ = DesktopPhase::Restoring;
    restoreAsker_ = asker;
    fillsAfterRestore_ = false;
    tries_ = {};
    if (asker != RestoreAsker::ViewMode) arrangement_.reset();
}

void DesktopKeeper::SaveAtExit(ULONGLONG now) {
    // A placement whose fill has ended is dropped at its next try, which the end does not wait for:
    // the icons are the user's where they stand.
    if (phase_ == DesktopPhase::Placing && !PlacesNewIcons(now)) {
        phase_ = DesktopPhase::Owned;
        TakeIconsShown();
    }
    SaveAutomatically(KeeperAction::ExitSave, settings_.StyleFlags[kSaveAtExitFlag] == 1);
}

KeeperMoment DesktopKeeper::Moment(bool optionOn, bool viewFits) const {
    return {phase_, session_.Screen().SavesAllowed(), optionOn, viewFits, session_.InRestore()};
}

SaveResult DesktopKeeper::SaveAutomatically(KeeperAction action, bool optionOn) {
    // Automatic saves keep a large-icon layout: a small-icon arrangement is no layout to keep.
    if (!Permitted(action, Moment(optionOn, settings_.CurrentViewMode == kLargeIconsMode)).runs) {
        return SaveResult::NotSaved;
    }
    IconKeySet seen;
    SaveRequest request;
    request.asked = false;
    request.seenBefore = &seenKeys_;
    request.known = keysKnown_ ? &knownKeys_ : nullptr;
    request.seen = &seen;
    // Until a look has seen that the shell built the desktop anew, a save would take every icon
    // not rebuilt yet for gone.
    request.listView = appliedListView_;
    const SaveResult saved = SaveIconPositions(session_, request);
    if (saved == SaveResult::Saved || saved == SaveResult::Partial) {
        seenKeys_.insert(seen.begin(), seen.end());
        knownKeys_ = std::move(seen);
        keysKnown_ = true;
    }
    return saved;
}

void DesktopKeeper::BeginSettling(Settling kind, ULONGLONG now) {
    phase_ = DesktopPhase::Settling;
    arrangement_.reset();
    // A desktop built anew has none of the icons seen so far: one not there yet has not gone.
    seenKeys_.clear();
    knownKeys_.clear();
    keysKnown_ = false;
    knownRemoved_ = false;
    session_.Held() = {};
    settlingKind_ = kind;
    settlingCount_ = -1;
    settlingSince_ = now;
}

void DesktopKeeper::WatchForNewDesktop(ULONGLONG now, bool answered, int32_t countBefore) {
    const HWND listView = desktop_.ListView;
    if (!listView) return;
    if (listView != appliedListView_ && !(IsSettling() && settlingKind_ == Settling::New)) {
        BeginSettling(Settling::New, now);
    }
    if (!IsSettling()) {
        // An icon known that was taken off may be back before this look (an installer replacing its
        // shortcut): what came is looked for, though the count did not rise.
        const bool removed = answered && std::exchange(knownRemoved_, false);
        if (answered && (watcher_.LastItemCount() > countBefore || removed)) NoticeItemsAdded(now);
        return;
    }
    // A desktop still being built gains items for a while: it is set up once its count, as the
    // shell answers it, has held. A read that timed out starts the wait again.
    const int32_t count = watcher_.LastItemCount();
    if (!answered || count != settlingCount_) {
        settlingCount_ = answered ? count : -1;
        settlingSince_ = now;
        return;
    }
    if (now - settlingSince_ < kSettleMs) return;
    if (settlingKind_ == Settling::Start) {
        SetUpAtStart(now);
    } else {
        ApplyToNewDesktop(now);
    }
}

void DesktopKeeper::SetUpAtStart(ULONGLONG now) {
    fillUntil_ = now + kFillQuietMs;
    if (RestoresAtStart()) {
        BeginRestore(RestoreAsker::Start);
        fillsAfterRestore_ = true;
        RestoreLayout(now);
        return;
    }
    phase_ = DesktopPhase::Owned;
    SaveFollowedLayout();
    // Out of large icons nothing was saved: the icons known are read, so that those that come go
    // to their stored places.
    if (Following() && !keysKnown_) TakeIconsShown();
}

void DesktopKeeper::ApplyToNewDesktop(ULONGLONG now) {
    appliedListView_ = desktop_.ListView;
    label_ = LabelBackground{};
    viewCommands_ = ViewCommands::Unknown;
    ApplyStyles();
    // A shell still building its desktop may reset the background once more.
    OnLookMayHaveChanged(now);
    host_.ChooseViewMode(settings_.CurrentViewMode, ViewModeChoice::ThisOrNextCycling);
    // A new desktop lost the layout (a restarted shell puts the icons on its own grid): with the
    // screen followed it comes back like a new screen's.
    fillUntil_ = now + kFillQuietMs;
    nextCalmSave_ = now + CalmSaveMs();
    phase_ = DesktopPhase::Owned;
    if (RestoresAtStart() || Following()) {
        BeginRestore(RestoreAsker::NewDesktop);
        fillsAfterRestore_ = true;
        RestoreLayout(now);
    }
    InvalidateWindow(desktop_.ListView);
}

void DesktopKeeper::NoticeItemsAdded(ULONGLONG now) {
    if (!keysKnown_ || phase_ != DesktopPhase::Owned) return;
    // With no placement to follow, the icons that came are the user's where they stand.
    if (!PlacesNewIcons(now)) {
        TakeIconsShown();
        return;
    }
    // Out of an icon view they are placed after the put-back, as one comes.
    if (settings_.InIconView()) BeginPlacing(now);
}

void DesktopKeeper::TakeIconsShown() {
    std::optional<IconKeySet> shown = ReadIconKeys(session_);
    if (!shown) return;
    seenKeys_.insert(shown->begin(), shown->end());
    knownKeys_ = std::move(*shown);
    keysKnown_ = true;
}

void DesktopKeeper::BeginPlacing(ULONGLONG now) {
    // Placed once the shell has stopped adding for a moment; no calm save runs before. A desktop
    // that still fills is given as long again for its next icons.
    if (now < fillUntil_) fillUntil_ = now + kFillQuietMs;
    phase_ = DesktopPhase::Placing;
    tries_ = {};
    nextRetry_ = now + kPlacementQuietMs;
    retryMs_ = kRetryMs;
}

void DesktopKeeper::PlaceNewItems() {
    IconKeySet seen;
    RestoreRequest request;
    request.leave = &knownKeys_;
    request.seen = &seen;
    request.tries = &tries_;
    if (!Restored(RestoreIconPositions(session_, request))) return;
    seenKeys_.insert(seen.begin(), seen.end());
    knownKeys_ = std::move(seen);
    phase_ = DesktopPhase::Owned;
}

void DesktopKeeper::RestoreLayout(ULONGLONG now) {
    IconKeySet seen;
    RestoreRequest request;
    request.seen = &seen;
    request.tries = &tries_;
    request.layout = arrangement_ ? &*arrangement_ : nullptr;
    // A put-back restores what was on screen, icons moved into view among it: they stay held.
    request.keepsRecords = !arrangement_;
    if (!Restored(RestoreIconPositions(session_, request))) {
        nextRetry_ = now + retryMs_;
        return;
    }
    seenKeys_.insert(seen.begin(), seen.end());
    // A shell too busy to be restored at once may still be filling its desktop: its fill counts
    // from the restore that put the layout back.
    if (std::exchange(fillsAfterRestore_, false)) fillUntil_ = std::max(fillUntil_, now + kFillQuietMs);
    // An icon that came since the arrangement was read has no place in it: it goes to its stored
    // place now, or, with no placement to follow, is the user's where it stands.
    const bool putBack = arrangement_.has_value();
    arrangement_.reset();
    if (putBack && PlacesNewIcons(now) && keysKnown_ && HoldsNewIcon(seen, knownKeys_)) {
        BeginPlacing(now);
        return;
    }
    if (!putBack || !PlacesNewIcons(now)) {
        knownKeys_ = std::move(seen);
        keysKnown_ = true;
    }
    phase_ = DesktopPhase::Owned;
    retryMs_ = kRetryMs;
    SaveFollowedLayout();
}

void DesktopKeeper::RetryDue(ULONGLONG now) {
    const bool placing = phase_ == DesktopPhase::Placing;
    // The option that asked may have been turned off, or the icons taken out of an icon view,
    // since: what was due is dropped, and the undo record stays as it was.
    const bool optionOn = placing ? PlacesNewIcons(now) : RestoreStillAsked();
    const KeeperAction action = placing ? KeeperAction::PlaceNew : KeeperAction::Restore;
    if (!Permitted(action, Moment(optionOn, settings_.InIconView())).runs) {
        if (optionOn && settings_.InIconView()) return;
        // Out of an icon view, what a put-back holds is the user's still, for the next icon view.
        if (!optionOn) arrangement_.reset();
        phase_ = placing ? DesktopPhase::Owned : DesktopPhase::Foreign;
        // The icons that were not placed are the user's where they stand, when no placement follows.
        if (placing && !optionOn) TakeIconsShown();
        return;
    }
    if (placing) {
        PlaceNewItems();
    } else {
        RestoreLayout(now);
    }
    // A shell that keeps failing is asked less and less often: each try may wait for it.
    const bool stillDue = phase_ == DesktopPhase::Restoring || phase_ == DesktopPhase::Placing;
    retryMs_ = stillDue ? std::min(retryMs_ * 2, kLongestRetryMs) : kRetryMs;
}

void DesktopKeeper::FollowScreen(ULONGLONG now) {
    // Taken with the option off too, so that saves are allowed again once the change settled.
    ScreenSettle& screen = session_.Screen();
    session_.NoticeScreen(now);
    if (screen.TakeSettled(now) && !IsSettling()) {
        // The layout kept for the new screen, if any; otherwise the shell's arrangement stays and
        // becomes that screen's layout at the next calm save. Unfollowed, the phase stays: a
        // restore still due is still due, and an arrangement not the user's does not become it.
        if (Following()) BeginRestore(RestoreAsker::Screen);
        nextRetry_ = now;
        retryMs_ = kRetryMs;
    }
    if (IsSettling() || !screen.SavesAllowed()) return;
    if (phase_ == DesktopPhase::Restoring || phase_ == DesktopPhase::Placing) {
        if (Due(nextRetry_, now, retryMs_)) RetryDue(now);
        return;
    }
    // Calm: the layout on screen is the stored one, no burst of folder changes, nothing waiting to
    // be put back.
    if (!Following() || now < nextCalmSave_ || now < countBurstUntil_) return;
    nextCalmSave_ = now + CalmSaveMs();
    SaveAutomatically(KeeperAction::CalmSave, true);
}

void DesktopKeeper::SaveFollowedLayout() {
    nextCalmSave_ = GetTickCount64() + CalmSaveMs();
    SaveAutomatically(KeeperAction::CalmSave, settings_.ScreenFollow == 1);
}

bool DesktopKeeper::RestoreStillAsked() const {
    switch (restoreAsker_) {
        case RestoreAsker::Start: return RestoresAtStart();
        case RestoreAsker::Screen: return Following();
        case RestoreAsker::ViewMode: return KeepsPositions();
        case RestoreAsker::NewDesktop: break;
    }
    return RestoresAtStart() || Following();
}

bool DesktopKeeper::Restored(RestoreResult result) {
    return result == RestoreResult::Done || result == RestoreResult::NothingStored;
}

}  // namespace iv
