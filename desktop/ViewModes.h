// The four desktop view modes: list-view type bits and the shell view's own menu commands.
#pragma once
#include <cstdint>

#include "settings/Settings.h"

namespace iv {

inline constexpr uint32_t kViewTypeBits[4] = {0x0800, 0x0002, 0x0803, 0x0C01};
// The shell view's commands before Vista, and those of later shell views (large, small, list,
// details; the later views also have tiles, extra large, medium and content, not used here).
inline constexpr uint16_t kViewCommands[4] = {0x7029, 0x702A, 0x702B, 0x702C};
inline constexpr uint16_t kLaterViewCommands[4] = {0x704F, 0x7050, 0x7051, 0x704B};

// LVM_GETVIEW / LVM_SETVIEW values: LV_VIEW_ICON, LV_VIEW_SMALLICON, LV_VIEW_LIST, LV_VIEW_DETAILS.
inline constexpr uint32_t kListViewViews[4] = {0, 2, 3, 1};

inline constexpr uint32_t kShareImageListsEditLabels = 0x0240;  // LVS_SHAREIMAGELISTS | LVS_EDITLABELS
inline constexpr uint32_t kNoColumnHeader = 0x4000;             // LVS_NOCOLUMNHEADER

// The new style the list view is told about for a switch to mode.
constexpr uint32_t ViewModeNewStyle(int16_t mode, bool oldWin9x) {
    const uint32_t style = kViewTypeBits[mode] | kShareImageListsEditLabels;
    if (oldWin9x || mode == kDetails) return style & ~kNoColumnHeader;
    return style | kNoColumnHeader;
}

// Before details, the shell view first gets the command of the mode it leaves (large icons for
// anything but small icons and list).
constexpr uint16_t PreviousModeCommand(int16_t previousMode) {
    return previousMode == kSmallIcons ? kViewCommands[kSmallIcons]
           : previousMode == kList     ? kViewCommands[kList]
                                       : kViewCommands[kLargeIcons];
}

}  // namespace iv
