#include "app/State.h"

namespace iv {

int16_t CurrentViewMode = 0;
int16_t StyleFlags[kStyleFlagCount] = {};
int16_t ChangeStyleFlags[kViewModeCount] = {1, 1, 1, 1};
int16_t ToolPosition = 0;
int16_t ToolTopMost = 0;
int16_t TaskTray = 0;

COLORREF SavedTextBkColor = 0;
Flag IsOldWin9x = kFalse;
Flag IsWinNT = kFalse;
int32_t LastItemCount = 0;
Flag ScrollWatch = kFalse;
int32_t LastScrollPos = 0;

DesktopWindowHandles DesktopWindows;
HWND ModelessDialog = nullptr;

void ResetState() {
    CurrentViewMode = 0;
    for (auto& f : StyleFlags) f = 0;
    for (auto& f : ChangeStyleFlags) f = 1;
    ToolPosition = 0;
    ToolTopMost = 0;
    TaskTray = 0;
    SavedTextBkColor = 0;
    IsOldWin9x = kFalse;
    IsWinNT = kFalse;
    LastItemCount = 0;
    ScrollWatch = kFalse;
    LastScrollPos = 0;
    DesktopWindows = {};
    ModelessDialog = nullptr;
}

}  // namespace iv
