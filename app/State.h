// Program-wide state: filled by the main window's load, written back by its unload.
#pragma once
#include <windows.h>

#include <cstdint>

namespace iv {

// Flags the program computes hold True as -1 and False as 0.
using Flag = int16_t;
inline constexpr Flag kTrue = -1;
inline constexpr Flag kFalse = 0;

inline constexpr int kStyleFlagCount = 13;
inline constexpr int kViewModeCount = 4;

// Current view mode, 1 large icons, 2 small icons, 3 list, 4 details.
extern int16_t CurrentViewMode;
// 0..10: "Tool Tips" .. "Text Color"; 11: restore icon positions at start; 12: save them at exit.
extern int16_t StyleFlags[kStyleFlagCount];
// Indexed by desktop view mode (CurrentViewMode - 1); 1 = the mode takes part in cycling.
extern int16_t ChangeStyleFlags[kViewModeCount];
extern int16_t ToolPosition;  // 0 top-left, 1 bottom-left, 2 top-right, 3 bottom-right
extern int16_t ToolTopMost;   // 1 = toolbar stays above other windows
extern int16_t TaskTray;      // 1 = notification area instead of the toolbar

extern COLORREF SavedTextBkColor;
extern Flag IsOldWin9x;
extern Flag IsWinNT;
extern int32_t LastItemCount;
extern Flag ScrollWatch;
extern int32_t LastScrollPos;

// The shell's default view window and the desktop list view, as last found.
struct DesktopWindowHandles {
    HWND DefView = nullptr;
    HWND ListView = nullptr;
};
extern DesktopWindowHandles DesktopWindows;

// The open modeless dialog, if any: the message loop lets it handle Enter, Esc and Tab.
extern HWND ModelessDialog;

// Puts every item above back to its value at program start.
void ResetState();

}  // namespace iv
