// The desktop's upkeep: everything the program does to the desktop without being asked each time
// — the watcher's schedule, setting up a desktop the shell built anew, following the screen and
// keeping its layout saved. The answer to "why did my icons move?" is in this class.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "desktop/DesktopFolders.h"
#include "desktop/DesktopWatcher.h"
#include "desktop/DesktopWindows.h"
#include "desktop/ListViewStyles.h"
#include "desktop/ShellSession.h"
#include "desktop/ViewModes.h"
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
    // Once the load has set the styles and the view mode: the layout kept for the screen comes
    // back when so configured, the desktop counts as set up, and the Desktop folders are watched
    // (a change posts folderMessage to window).
    void Start(HWND window, UINT folderMessage);
    // No more ticks follow: the folders are no longer watched.
    void Stop() { folderWatch_.reset(); }

    // The watcher's checks, each when it is due.
    void Tick(ULONGLONG now);
    // An entry of a Desktop folder came, went or was renamed: the count is looked at often for a
    // while.
    void OnFolderChanged(ULONGLONG now);
    // WM_DISPLAYCHANGE: saves wait from now until the new size has settled.
    void OnDisplayChange(ULONGLONG now) { session_.Screen().Notice(PrimaryScreenSize(), now); }

    // Applies the extended styles and the label background of the settings and repaints.
    void ApplyStyles() { ApplyListViewStyles(session_, desktop_, settings_.StyleFlags, label_); }
    // Switches the desktop to a mode (see SetDesktopViewMode) and follows the scroll position in
    // small icons.
    void ShowViewMode(int16_t mode, int16_t previousMode);
    // Finds the desktop afresh and repaints it.
    void Redraw() { RedrawDesktop(desktop_); }
    // The screen-follow option was just turned on: the current size's layout is saved now.
    void StartFollowingScreen() { SaveFollowedLayout(); }
    // The icon positions, when so configured, in large icons only.
    void SaveAtExit();

    DesktopWindowHandles& Desktop() { return desktop_; }
    const DesktopWatcher& Watcher() const { return watcher_; }
    std::optional<COLORREF> SavedTextBkColor() const { return label_.Saved(); }

private:
    void WatchForNewDesktop(ULONGLONG now);
    // A shell that restarted built its desktop with its own styles, view and label background:
    // they are brought back to the settings as the program has them now, once per desktop.
    void ApplyToNewDesktop();
    // Restores the layout of a new screen size once the change has settled, and keeps the current
    // size's layout up to date while the desktop is calm.
    void FollowScreen(ULONGLONG now);
    // With the screen-follow option on, in the icon views: the layout under the size's key now.
    void SaveFollowedLayout();
    void RestoreAtStart();

    SharedSettings& settings_;
    ShellSession& session_;
    ViewModeHost& host_;
    DesktopWindowHandles desktop_;
    DesktopWatcher watcher_;
    LabelBackground label_;
    ViewCommands viewCommands_ = ViewCommands::Unknown;
    std::unique_ptr<DesktopFolderWatch> folderWatch_;

    // How often each check runs, in ms.
    static constexpr UINT kScrollCheckMs = 50;
    static constexpr UINT kLabelCheckMs = 100;
    static constexpr UINT kCountCheckMs = 500;
    // After a change of the Desktop folders, and while a new desktop settles, the count is checked
    // this often, for this long.
    static constexpr UINT kEagerCountCheckMs = 25;
    static constexpr UINT kEagerCountMs = 2000;
    // A new desktop whose item count has held this long has settled.
    static constexpr UINT kSettleMs = 1000;
    // The screen size is looked at this often (a change also arrives as WM_DISPLAYCHANGE), and a
    // calm desktop's positions are read at most this often (about 1.5 ms per item here).
    static constexpr UINT kScreenCheckMs = 250;
    static constexpr UINT kCalmSaveMs = 30000;

    ULONGLONG nextScrollCheck_ = 0;
    ULONGLONG nextLabelCheck_ = 0;
    ULONGLONG nextCountCheck_ = 0;
    ULONGLONG countBurstUntil_ = 0;
    ULONGLONG nextScreenCheck_ = 0;
    ULONGLONG nextCalmSave_ = 0;
    // The list view the settings were applied to; any other is a new desktop.
    HWND appliedListView_ = nullptr;
    int32_t settlingCount_ = -1;
    ULONGLONG settlingSince_ = 0;
};

}  // namespace iv
