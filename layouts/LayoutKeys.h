// Where a layout is kept: the name of a screen's layout key, both ways, and the keys of a layout
// and of what is kept beside it.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "shell/Screen.h"

namespace iv {

// The name of a screen's layout key. One monitor at 96 dpi: "W*H", as layouts have always been
// kept. Otherwise every monitor as "W*H@X,Y", joined by "+", then " <dpi>dpi" when the scale is
// not 96 dpi; one monitor elsewhere than 96 dpi is "W*H <dpi>dpi". For example
// "1920*1080@0,0+1280*1024@1920,0", "1920*1080 144dpi", "1280*1024@-1280,0+1920*1080@0,0 120dpi".
// A name longer than a registry key takes keeps the monitors that fit and ends in "+#" and a
// digest of the whole name before the scale, "1920*1080@0,0+...+#1a2b3c4d 120dpi": unique, and the
// same for the same screen.
inline constexpr size_t kLongestKeyName = 255;
std::wstring LayoutKeyName(const ScreenShape& screen);
// The primary monitor's plain "W*H": the key earlier versions kept every layout under.
std::wstring PrimaryKeyName(const ScreenShape& screen);
// The screen a key name stands for (areas only: the work areas are the areas, the monitor at 0,0
// is primary; of a shortened name, the monitors it still names); nothing for a name that is no
// layout key.
std::optional<ScreenShape> DecodeLayoutKeyName(std::wstring_view name);

// The key of a one-monitor screen's size at 96 dpi: the settings key, "\", width, "*", height.
std::wstring IconPositionKey(int width, int height);
// The key of a screen's layout: the settings key, "\", the screen's layout key name.
std::wstring LayoutKey(const ScreenShape& screen);
// Beside a layout (subkeys, which readers of the layout's values never see): the layout that its
// last changing save replaced, and the places the last restore moved icons from.
std::wstring PreviousLayoutKey(const std::wstring& layoutKey);
std::wstring UndoKey(const std::wstring& layoutKey);

}  // namespace iv
