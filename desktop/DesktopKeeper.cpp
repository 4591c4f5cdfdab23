#include "desktop/DesktopKeeper.h"

#include "desktop/IconPositions.h"
#include "desktop/ScreenFollow.h"

namespace iv {

DesktopKeeper::DesktopKeeper(SharedSettings& settings, ShellSession& session, ViewModeHost& host)
    : settings_(settings), session_(session), host_(host) {}

bool DesktopKeeper::ActiveDesktopOn() const {
    return desktop_.DefView && FindWindowExW(desktop_.DefView, nullptr, L"Internet Explorer_Server", nullptr);
}

void DesktopKeeper::Start(HWND window, UINT folderMessage) {
    RestoreAtStart();
    appliedListView_ = desktop_.ListView;
    session_.Screen().Notice(PrimaryScreenSize(), GetTickCount64());
    SaveFollowedLayout();
    folderWatch_ = std::make_unique<DesktopFolderWatch>(window, folderMessage);
}

void DesktopKeeper::RestoreAtStart() {
    if (settings_.StyleFlags[kRestoreAtStartFlag] == 1 && settings_.InIconView()) RestoreIconPositions(session_);
}

void DesktopKeeper::Tick(ULONGLONG now) {
    // Every look at the shell's desktop is a round trip to another process: each check runs when
    // it is due.
    if (Due(nextScrollCheck_, now, kScrollCheckMs)) watcher_.FollowScroll(desktop_);
    if (Due(nextLabelCheck_, now, kLabelCheckMs)) {
        label_.TryRead(session_, desktop_.ListView, kWatcherTimeoutMs);
        watcher_.KeepTextTransparent(session_, desktop_, settings_.StyleFlags[kTextColorFlag] == 1);
    }
    const bool eager = now < countBurstUntil_ || settlingCount_ >= 0;
    if (Due(nextCountCheck_, now, eager ? kEagerCountCheckMs : kCountCheckMs)) {
        watcher_.CheckItemCount(session_, desktop_);
        WatchForNewDesktop(now);
    }
    if (Due(nextScreenCheck_, now, kScreenCheckMs)) FollowScreen(now);
}

void DesktopKeeper::OnFolderChanged(ULONGLONG now) {
    countBurstUntil_ = now + kEagerCountMs;
    nextCountCheck_ = 0;
}

void DesktopKeeper::ShowViewMode(int16_t mode, int16_t previousMode) {
    watcher_.StopScrollFollow();
    SetDesktopViewMode(session_, desktop_, viewCommands_, mode, previousMode);
    if (mode == kSmallIconsMode) watcher_.StartScrollFollow(desktop_.ListView);
}

void DesktopKeeper::SaveAtExit() {
    if (settings_.StyleFlags[kSaveAtExitFlag] == 1 && settings_.CurrentViewMode == kLargeIconsMode) {
        SaveIconPositions(session_);
    }
}

void DesktopKeeper::WatchForNewDesktop(ULONGLONG now) {
    const HWND listView = desktop_.ListView;
    if (!listView || listView == appliedListView_) {
        settlingCount_ = -1;
        return;
    }
    // A desktop still being built gains items for a while: it is set up once its count holds.
    const int32_t count = watcher_.LastItemCount();
    if (count != settlingCount_) {
        settlingCount_ = count;
        settlingSince_ = now;
        return;
    }
    if (now - settlingSince_ >= kSettleMs) ApplyToNewDesktop();
}

void DesktopKeeper::ApplyToNewDesktop() {
    appliedListView_ = desktop_.ListView;
    settlingCount_ = -1;
    label_ = LabelBackground{};
    viewCommands_ = ViewCommands::Unknown;
    ApplyStyles();
    host_.ChooseViewMode(settings_.CurrentViewMode, ViewModeChoice::ThisOrNextCycling);
    RestoreAtStart();
    InvalidateWindow(desktop_.ListView);
}

void DesktopKeeper::FollowScreen(ULONGLONG now) {
    // Taken with the option off too, so that saves are allowed again once the change settled.
    ScreenSettle& screen = session_.Screen();
    screen.Notice(PrimaryScreenSize(), now);
    const bool following = settings_.ScreenFollow == 1 && settings_.InIconView();
    if (screen.TakeSettled(now)) {
        // The layout kept for the new size, if any; otherwise the shell's arrangement stays and
        // becomes that size's layout at the next calm save.
        if (following) RestoreIconPositions(session_);
        return;
    }
    // Calm: no change of the screen waiting, no burst of folder changes, no new desktop settling.
    if (!following || !screen.SavesAllowed() || now < nextCalmSave_ || now < countBurstUntil_ || settlingCount_ >= 0) {
        return;
    }
    nextCalmSave_ = now + kCalmSaveMs;
    SaveChangedIconPositions(session_);
}

void DesktopKeeper::SaveFollowedLayout() {
    nextCalmSave_ = GetTickCount64() + kCalmSaveMs;
    if (settings_.ScreenFollow == 1 && settings_.InIconView()) SaveIconPositions(session_);
}

}  // namespace iv
