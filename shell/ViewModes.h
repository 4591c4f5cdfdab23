// The four desktop view modes, numbered 1..4 as CurrentViewMode holds them: what each means to
// the list view and the shell view, both ways, and the switch.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>

#include "shell/DesktopWindows.h"
#include "shell/ShellSession.h"
#include "settings/Settings.h"

namespace iv {

inline constexpr int16_t kListMode = kList + 1;
inline constexpr int16_t kDetailsMode = kDetails + 1;

constexpr bool IsViewMode(int16_t mode) { return mode >= kLargeIconsMode && mode <= kDetailsMode; }

// Indexed by mode - 1: the list view's type bits; the shell view's commands before Vista, and
// those of later shell views (which also have tiles, extra large, medium and content, not used).
inline constexpr uint32_t kViewTypeBits[4] = {0x0800, 0x0002, 0x0803, 0x0C01};
inline constexpr uint16_t kViewCommands[4] = {0x7029, 0x702A, 0x702B, 0x702C};
inline constexpr uint16_t kLaterViewCommands[4] = {0x704F, 0x7050, 0x7051, 0x704B};

// LVM_GETVIEW / LVM_SETVIEW values (LV_VIEW_*) of a mode, and the mode of one (0 for any other).
inline constexpr uint32_t kListViewViews[4] = {0, 2, 3, 1};
constexpr uint32_t ListViewViewOf(int16_t mode) { return kListViewViews[mode - 1]; }
constexpr int16_t ViewModeOfListView(LRESULT view) {
    for (int16_t mode = kLargeIconsMode; mode <= kDetailsMode; ++mode) {
        if (view == static_cast<LRESULT>(ListViewViewOf(mode))) return mode;
    }
    return 0;
}

inline constexpr uint32_t kShareImageListsEditLabels = 0x0240;  // LVS_SHAREIMAGELISTS | LVS_EDITLABELS
inline constexpr uint32_t kNoColumnHeader = 0x4000;             // LVS_NOCOLUMNHEADER

// The new style the list view is told about for a switch to mode.
constexpr uint32_t ViewModeNewStyle(int16_t mode, bool oldWin9x) {
    const uint32_t style = kViewTypeBits[mode - 1] | kShareImageListsEditLabels;
    if (oldWin9x || mode == kDetailsMode) return style & ~kNoColumnHeader;
    return style | kNoColumnHeader;
}

// Before details, the shell view first gets the command of the mode it leaves (large icons for
// anything but small icons and list); previousMode may be any number.
constexpr uint16_t PreviousModeCommand(int16_t previousMode) {
    return previousMode == kSmallIconsMode ? kViewCommands[kSmallIcons]
           : previousMode == kListMode     ? kViewCommands[kList]
                                           : kViewCommands[kLargeIcons];
}

// How a desktop's shell view takes a view switch: the shell view before Vista answers the classic
// commands, later ones their own; where neither acts the list view is told directly. Learnt on a
// desktop's first switch that shows, and kept until the desktop is a new one.
enum class ViewCommands { Unknown, Classic, Later, Direct };

// What the list view shows (LVM_GETVIEW); nothing when it did not answer in time.
std::optional<DWORD> ReadListViewView(ShellSession& session, HWND listView);

// The mode the list view shows, whoever switched it; 0 when it does not answer or shows another
// view.
int16_t ShownViewMode(ShellSession& session, HWND listView);

// Switches the desktop to a mode (1..4) after finding its windows afresh: tells the shell view
// and the list view, and shows or hides the details header. previousMode is the mode the choice
// stepped back from. The shell view's command is checked by what the list view shows right after
// it (before the program's own style step, which would change that behind the shell view's
// back); when it did not act, the later command and then the list view itself are tried. The
// family's oldWin9x selects the reduced switch of Windows 95 and 98. Callers invalidate.
void SetDesktopViewMode(ShellSession& session, DesktopWindowHandles& windows, ViewCommands& commands, int16_t mode,
                        int16_t previousMode);

}  // namespace iv
