#include "desktop/DesktopKeeper.h"

#include <algorithm>

#include "shell/Screen.h"

namespace iv {

DesktopKeeper::DesktopKeeper(SharedSettings& settings, ShellSession& session, ViewModeHost& host)
    : settings_(settings), session_(session), host_(host) {}

bool DesktopKeeper::ActiveDesktopOn() const {
    return desktop_.DefView && FindWindowExW(desktop_.DefView, nullptr, L"Internet Explorer_Server", nullptr);
}

void DesktopKeeper::Start(HWND window, UINT folderMessage) {
    const ULONGLONG now = GetTickCount64();
    appliedListView_ = desktop_.ListView;
    session_.NoticeScreen(now);
    BeginSettling(Settling::Start, now);
    folderWatch_ = std::make_unique<DesktopFolderWatch>(window, folderMessage);
}

void DesktopKeeper::Tick(ULONGLONG now) {
    // Every look at the shell's desktop is a round trip to another process: each check runs when
    // it is due.
    if (Due(nextScrollCheck_, now, kScrollCheckMs)) watcher_.FollowScroll(desktop_);
    if (Due(nextLabelCheck_, now, kLabelCheckMs)) {
        label_.TryRead(session_, desktop_.ListView, kWatcherTimeoutMs);
        watcher_.KeepTextTransparent(session_, desktop_, settings_.StyleFlags[kTextColorFlag] == 1);
    }
    const bool eager = now < countBurstUntil_ || settling_ != Settling::None;
    if (Due(nextCountCheck_, now, eager ? kEagerCountCheckMs : kCountCheckMs)) {
        const int32_t before = watcher_.LastItemCount();
        const bool answered = watcher_.CheckItemCount(session_, desktop_);
        WatchForNewDesktop(now, answered, before);
    }
    if (Due(nextScreenCheck_, now, kScreenCheckMs)) FollowScreen(now);
}

void DesktopKeeper::OnFolderChanged(ULONGLONG now) {
    if (folderWatch_) folderWatch_->Acknowledge();
    countBurstUntil_ = now + kEagerCountMs;
    nextCountCheck_ = 0;
}

void DesktopKeeper::ShowViewMode(int16_t mode, int16_t previousMode) {
    watcher_.StopScrollFollow();
    SetDesktopViewMode(session_, desktop_, viewCommands_, mode, previousMode);
    if (mode == kSmallIconsMode) watcher_.StartScrollFollow(desktop_.ListView);
}

void DesktopKeeper::StartFollowingScreen() {
    // A desktop still settling saves its layout once it has settled.
    if (settling_ == Settling::None) SaveFollowedLayout();
}

void DesktopKeeper::SaveAtExit() {
    if (settings_.StyleFlags[kSaveAtExitFlag] != 1 || settings_.CurrentViewMode != kLargeIconsMode) return;
    SaveIconPositions(session_, settling_ == Settling::None ? SaveKind::Automatic : SaveKind::AutomaticUnsettled);
}

void DesktopKeeper::BeginSettling(Settling kind, ULONGLONG now) {
    settling_ = kind;
    settlingCount_ = -1;
    settlingSince_ = now;
    layoutOwned_ = false;
    restoreDue_ = false;
    placementDue_ = false;
    namesKnown_ = false;
}

void DesktopKeeper::WatchForNewDesktop(ULONGLONG now, bool answered, int32_t countBefore) {
    const HWND listView = desktop_.ListView;
    if (!listView) return;
    if (listView != appliedListView_ && settling_ != Settling::New) BeginSettling(Settling::New, now);
    if (settling_ == Settling::None) {
        if (answered && watcher_.LastItemCount() > countBefore) NoticeItemsAdded(now);
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
    const Settling kind = settling_;
    settling_ = Settling::None;
    if (kind == Settling::Start) {
        SetUpAtStart(now);
    } else {
        ApplyToNewDesktop(now);
    }
}

void DesktopKeeper::SetUpAtStart(ULONGLONG now) {
    fillUntil_ = now + kFillQuietMs;
    if (RestoresAtStart()) {
        restoreDue_ = !RestoreLayout();
        if (restoreDue_) return;
    }
    SaveFollowedLayout();
}

void DesktopKeeper::ApplyToNewDesktop(ULONGLONG now) {
    appliedListView_ = desktop_.ListView;
    label_ = LabelBackground{};
    viewCommands_ = ViewCommands::Unknown;
    ApplyStyles();
    host_.ChooseViewMode(settings_.CurrentViewMode, ViewModeChoice::ThisOrNextCycling);
    // A new desktop lost the layout (a restarted shell puts the icons on its own grid): with the
    // screen followed it comes back like a new screen's.
    fillUntil_ = now + kFillQuietMs;
    if (RestoresAtStart() || Following()) restoreDue_ = !RestoreLayout();
    InvalidateWindow(desktop_.ListView);
}

void DesktopKeeper::NoticeItemsAdded(ULONGLONG now) {
    const bool filling = RestoresAtStart() && now < fillUntil_;
    if (!namesKnown_ || !(Following() || filling)) return;
    if (filling) fillUntil_ = now + kFillQuietMs;
    // Placed once the shell has stopped adding for a moment; no calm save runs before.
    placementDue_ = true;
    nextRetry_ = now + kPlacementQuietMs;
}

void DesktopKeeper::PlaceNewItems() {
    IconKeySet seen;
    RestoreRequest request;
    request.leave = &knownNames_;
    request.seen = &seen;
    if (!Restored(RestoreIconPositions(session_, request))) return;
    knownNames_ = std::move(seen);
    placementDue_ = false;
}

bool DesktopKeeper::RestoreLayout() {
    IconKeySet seen;
    RestoreRequest request;
    request.seen = &seen;
    if (!Restored(RestoreIconPositions(session_, request))) return false;
    knownNames_ = std::move(seen);
    namesKnown_ = true;
    layoutOwned_ = true;
    return true;
}

void DesktopKeeper::FollowScreen(ULONGLONG now) {
    // Taken with the option off too, so that saves are allowed again once the change settled.
    ScreenSettle& screen = session_.Screen();
    session_.NoticeScreen(now);
    if (screen.TakeSettled(now)) {
        // The layout kept for the new size, if any; otherwise the shell's arrangement stays and
        // becomes that size's layout at the next calm save.
        layoutOwned_ = !Following();
        restoreDue_ = Following();
        nextRetry_ = now;
        retryMs_ = kRetryMs;
    }
    if (settling_ != Settling::None || !screen.SavesAllowed()) return;
    if ((restoreDue_ || placementDue_) && Due(nextRetry_, now, retryMs_)) {
        if (restoreDue_) restoreDue_ = !RestoreLayout();
        if (placementDue_) PlaceNewItems();
        // A shell that keeps failing is asked less and less often: each try may wait for it.
        retryMs_ = restoreDue_ || placementDue_ ? std::min(retryMs_ * 2, kLongestRetryMs) : kRetryMs;
        return;
    }
    // Calm: the layout on screen is the stored one, no burst of folder changes, nothing waiting to
    // be put back; and the layout is a large-icon layout, as the exit save keeps it.
    if (!Following() || settings_.CurrentViewMode != kLargeIconsMode || !layoutOwned_ || restoreDue_ || placementDue_ ||
        now < nextCalmSave_ || now < countBurstUntil_) {
        return;
    }
    nextCalmSave_ = now + CalmSaveMs();
    IconKeySet seen;
    if (SaveIconPositions(session_, SaveKind::Automatic, &seen) != SaveResult::NotSaved) {
        knownNames_ = std::move(seen);
    }
}

void DesktopKeeper::SaveFollowedLayout() {
    nextCalmSave_ = GetTickCount64() + CalmSaveMs();
    if (settings_.ScreenFollow != 1 || settings_.CurrentViewMode != kLargeIconsMode) return;
    IconKeySet seen;
    if (SaveIconPositions(session_, SaveKind::Automatic, &seen) == SaveResult::NotSaved) return;
    knownNames_ = std::move(seen);
    namesKnown_ = true;
    layoutOwned_ = true;
}

bool DesktopKeeper::Restored(RestoreResult result) {
    return result == RestoreResult::Done || result == RestoreResult::NothingStored;
}

}  // namespace iv
