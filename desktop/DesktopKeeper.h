// The desktop's upkeep: everything the program does to the desktop without being asked each time
// — the watcher's schedule, setting up a desktop the shell built anew, following the screen and
// keeping its layout saved. The answer to "why did my icons move?" is in this class.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/DesktopFolders.h"
#include "desktop/DesktopEvents.h"
#include "desktop/DesktopWatcher.h"
#include "desktop/KeeperRules.h"
#include "desktop/UpkeepRules.h"
#include "shell/DesktopWindows.h"
#include "layouts/IconPositions.h"
#include "shell/ListViewStyles.h"
#include "shell/ShellSession.h"
#include "shell/ViewModes.h"
#include "settings/Settings.h"

namespace iv {

// How a caller wants a view mode: that mode when it takes part in cycling, otherwise the next
// that does (the way a mode is chosen from the toolbar, the tray menu and the settings); or
// exactly that mode (a command names it).
enum class ViewModeChoice { ThisOrNextCycling, Exactly };

// What the keeper asks of the program around it.
class ViewModeHost {
public:
    // Sets CurrentViewMode as asked, shows it on the toolbar and in the tray menu, and switches
    // the desktop to it. A cycling choice steps back one mode and advances, so that the shell
    // view is told the mode stepped back from as the one it leaves.
    virtual void ChooseViewMode(int16_t mode, ViewModeChoice how) = 0;

protected:
    ~ViewModeHost() = default;
};

// Whether a check that runs every `every` ms is due; moves its next time on when it is.
inline bool Due(ULONGLONG& next, ULONGLONG now, UINT every) {
    if (now < next) return false;
    next = now + every;
    return true;
}

class DesktopKeeper {
public:
    DesktopKeeper(SharedSettings& settings, ShellSession& session, ViewModeHost& host);
    DesktopKeeper(const DesktopKeeper&) = delete;
    DesktopKeeper& operator=(const DesktopKeeper&) = delete;

    // The desktop as the program starts: its windows and whether Active Desktop draws it (the
    // program cannot manage it then).
    void FindDesktop() { desktop_ = FindDesktopWindows(); }
    bool ActiveDesktopOn() const;
    // Taken before the styles make it transparent, so that turning that off can give it back. A
    // shell too busy to answer (at log-on) leaves it unknown, to be read later: never black.
    void ReadLabelBackground() { label_.TryRead(session_, desktop_.ListView); }
    // Once the load has set the styles and the view mode: the desktop is watched (a change of the
    // Desktop folders posts folderMessage to window, an event of the shell's desktop sends
    // eventMessage with a DesktopEvent, when given), and settles like a new one before its layout
    // is restored or saved (at log-on the shell may still be filling it).
    void Start(HWND window, UINT folderMessage, UINT eventMessage = 0);
    // Nothing more is due: the folders and the desktop are no longer watched.
    void Stop() {
        folderWatch_.reset();
        events_.reset();
    }

    // Runs the duties that are due at `now`.
    void Tick(ULONGLONG now);
    // When the next duty is due (kNeverDue when none is pending); nothing needs to run before.
    ULONGLONG NextDue(ULONGLONG now) const;
    // An entry of a Desktop folder came, went or was renamed: the count is looked at often for a
    // while, and an icon known whose entry was removed is known no more (one of its name that
    // comes is placed like any icon that came).
    void OnFolderChanged(ULONGLONG now);
    // What the shell's desktop told of itself (see DesktopEvents).
    void OnDesktopEvent(DesktopEvent event, ULONGLONG now);
    // The shell announced its taskbar anew (TaskbarCreated): it restarted, and builds a desktop.
    void OnShellRestarted(ULONGLONG now) { LookForDesktop(now); }
    // The colours, the theme, the display or a system setting changed: the shell may reset the
    // label background, now or a little later.
    void OnLookMayHaveChanged(ULONGLONG now);
    // The monitors, the work area or the scale may have changed (WM_DISPLAYCHANGE, a work area
    // setting, WM_DPICHANGED, resume from sleep, a session connected again): when they did, saves
    // wait from now until the change has settled.
    void OnScreenMayHaveChanged(ULONGLONG now) { session_.NoticeScreen(now); }

    // Applies the extended styles and the label background of the settings and repaints.
    void ApplyStyles() { ApplyListViewStyles(session_, desktop_, settings_.StyleFlags, label_); }
    // Switches the desktop to a mode (see SetDesktopViewMode) and follows the scroll position in
    // small icons. While icon positions are kept, the icons' places are read as an icon view is
    // left and put back as one comes.
    void ShowViewMode(int16_t mode, int16_t previousMode);
    // Finds the desktop afresh and repaints it; the count is looked at next, in case it is
    // another desktop.
    void Redraw() {
        RedrawDesktop(desktop_);
        countAsked_ = GetTickCount64();
    }
    // The screen-follow option was just turned on: the current layout is saved now (or once the
    // desktop has settled).
    void StartFollowingScreen();
    // The icon positions, when so configured, in large icons only, and only while what is on
    // screen is the user's arrangement (not while the desktop settles, waits for its layout, or
    // is half moved by a restore the session's end came into).
    void SaveAtExit(ULONGLONG now);
    // A save or restore a person asked for ran (`done`: in full): what is on screen is theirs from
    // now on, so nothing due is tried any more and the calm and exit saves keep it. A desktop
    // still being built settles first.
    void PositionsAsked(bool done);

    DesktopWindowHandles& Desktop() { return desktop_; }
    const DesktopWatcher& Watcher() const { return watcher_; }
    std::optional<COLORREF> SavedTextBkColor() const { return label_.Saved(); }
    DesktopPhase Phase() const { return phase_; }
    // Whether the desktop is still being built (at start or after the shell built it anew).
    bool IsSettling() const { return phase_ == DesktopPhase::Settling; }

private:
    // What a settled desktop is set up for: the one found at start (styles and view already set)
    // or one the shell built anew.
    enum class Settling { Start, New };
    // What made the restore due: the start's option, the followed screen, either for a new desktop,
    // or a switch of the view mode (any option that keeps positions).
    enum class RestoreAsker { Start, Screen, NewDesktop, ViewMode };

    KeeperMoment Moment(bool optionOn, bool viewFits) const;
    UpkeepFacts Facts(ULONGLONG now) const;
    ScreenDuties Duties() const;
    ULONGLONG CountDue(const UpkeepFacts& facts) const;
    ULONGLONG LabelDue(const UpkeepFacts& facts) const;
    ULONGLONG ScrollDue(const UpkeepFacts& facts) const;
    // The desktop may be gone or rebuilt: the count, which finds it, is looked at often for a
    // while.
    void LookForDesktop(ULONGLONG now);
    void WatchForNewDesktop(ULONGLONG now, bool answered, int32_t countBefore);
    void BeginSettling(Settling kind, ULONGLONG now);
    void SetUpAtStart(ULONGLONG now);
    // A shell that restarted built its desktop with its own styles, view and label background:
    // they are brought back to the settings as the program has them now, once per desktop, and
    // its layout with them.
    void ApplyToNewDesktop(ULONGLONG now);
    // Items came: those with a stored place are put there (once the shell stopped adding for a
    // moment) before a calm save can store where the shell put them.
    void NoticeItemsAdded(ULONGLONG now);
    void ForgetRemoved(const std::vector<std::wstring>& paths);
    // The icons on the desktop now are known where they stand (unread, those known stay).
    void TakeIconsShown();
    void BeginPlacing(ULONGLONG now);
    void PlaceNewItems();
    // Whether icons that come go to their stored places (once an icon view shows them): while the
    // screen is followed, and with the restore at start while the desktop still fills.
    bool PlacesNewIcons(ULONGLONG now) const {
        return settings_.ScreenFollow == 1 || (settings_.StyleFlags[kRestoreAtStartFlag] == 1 && now < fillUntil_);
    }
    // Restores the layout of a new screen once the change has settled, and keeps the current
    // layout up to date while the desktop is calm.
    void FollowScreen(ULONGLONG now);
    // What `asker` asked for is due: a restore of its own, whose tries share one undo record.
    void BeginRestore(RestoreAsker asker);
    // Restores the current layout: the desktop is Owned once it is on screen (or nothing was
    // stored), else the restore stays due.
    void RestoreLayout(ULONGLONG now);
    // Tries again what is due, while the option that asked for it is still on.
    void RetryDue(ULONGLONG now);
    // Whether the option that made the due restore due is still on.
    bool RestoreStillAsked() const;
    // Whether a restore left the layout on screen as stored.
    static bool Restored(RestoreResult result);
    // An automatic save, as the phase permits; keeps the icons it read.
    SaveResult SaveAutomatically(KeeperAction action, bool optionOn);
    // With the screen-follow option on, in large icons: the layout on screen under its key now.
    void SaveFollowedLayout();
    bool Following() const { return settings_.ScreenFollow == 1 && settings_.InIconView(); }
    bool RestoresAtStart() const { return settings_.StyleFlags[kRestoreAtStartFlag] == 1 && settings_.InIconView(); }
    bool KeepsPositions() const {
        return settings_.StyleFlags[kRestoreAtStartFlag] == 1 || settings_.StyleFlags[kSaveAtExitFlag] == 1 ||
               settings_.ScreenFollow == 1;
    }

    SharedSettings& settings_;
    ShellSession& session_;
    ViewModeHost& host_;
    DesktopWindowHandles desktop_;
    DesktopWatcher watcher_;
    LabelBackground label_;
    ViewCommands viewCommands_ = ViewCommands::Unknown;
    std::unique_ptr<DesktopFolderWatch> folderWatch_;

    // After a change of the Desktop folders, a restarted shell or a change of the look, the count
    // or the label background is looked at often for this long.
    static constexpr UINT kEagerMs = 2000;
    // A desktop whose item count has held this long (as the shell answered it) has settled.
    static constexpr UINT kSettleMs = 1000;
    // With only the restore at start on, items that come this soon after the last ones (a desktop
    // that fills slowly at log-on) are still put at their stored places.
    static constexpr UINT kFillQuietMs = 10000;
    static constexpr UINT kPlacementQuietMs = 300;
    // A restore that failed is tried again after this long, then twice as long each time. A calm
    // desktop's positions are read at most every CalmSaveSeconds (about 1.5 ms per item here).
    static constexpr UINT kRetryMs = 1000;
    static constexpr UINT kLongestRetryMs = 30000;
    UINT CalmSaveMs() const { return static_cast<UINT>(settings_.CalmSaveSeconds) * 1000; }

    // Each look ran last at its time, and is asked for sooner by an event at its asked time.
    ULONGLONG lastScrollLook_ = 0;
    ULONGLONG scrollAsked_ = kNeverDue;
    ULONGLONG lastLabelLook_ = 0;
    ULONGLONG labelAsked_ = kNeverDue;
    ULONGLONG labelBurstUntil_ = 0;
    ULONGLONG lastCountLook_ = 0;
    ULONGLONG countAsked_ = kNeverDue;
    ULONGLONG countBurstUntil_ = 0;
    // The list view told of an item of its own: its events tell of items from now on.
    bool itemEventsRaised_ = false;
    bool countUnanswered_ = false;
    std::unique_ptr<DesktopEvents> events_;
    ULONGLONG nextCalmSave_ = 0;
    ULONGLONG nextRetry_ = 0;
    UINT retryMs_ = kRetryMs;
    ULONGLONG fillUntil_ = 0;
    // The restore due is a settled desktop's first: the fill counts from its success.
    bool fillsAfterRestore_ = false;
    // The list view the settings were applied to; any other is a new desktop.
    HWND appliedListView_ = nullptr;
    // The view mode the desktop was last switched to (0 before the first switch), and the
    // arrangement read as it left an icon view, with its screen's key, until an icon view has it
    // back.
    int16_t shownMode_ = 0;
    std::optional<StoredLayout> arrangement_;
    std::wstring arrangementKey_;
    DesktopPhase phase_ = DesktopPhase::Settling;
    Settling settlingKind_ = Settling::Start;
    RestoreAsker restoreAsker_ = RestoreAsker::Start;
    RestoreTries tries_;
    int32_t settlingCount_ = -1;
    ULONGLONG settlingSince_ = 0;
    // The icons on the desktop at the last read, those whose place the shell did not tell among
    // them, or as icons came with no placement to follow (an icon not among them is new; none are
    // known before a read), and every icon seen since the start (an automatic save deletes the
    // place only of one of those that left).
    IconKeySet knownKeys_;
    bool keysKnown_ = false;
    // An icon known was taken off a Desktop folder since the last count.
    bool knownRemoved_ = false;
    IconKeySet seenKeys_;
};

}  // namespace iv
