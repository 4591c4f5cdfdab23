// The four desktop view modes: list-view type bits and the shell view's own menu commands.
#pragma once
#include <cstdint>

#include "settings/Settings.h"

namespace iv {

inline constexpr uint32_t kViewTypeBits[4] = {0x0800, 0x0002, 0x0803, 0x0C01};
inline constexpr uint16_t kViewCommands[4] = {0x7029, 0x702A, 0x702B, 0x702C};

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
