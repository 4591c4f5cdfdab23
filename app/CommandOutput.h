// What a command prints: UTF-8 text on its standard output when that is a pipe or a file (as
// scripts read it, and the only way it shows under Wine, where AttachConsole fails), else on the
// console it was started from. Started from the desktop, with neither, nothing shows.
#pragma once
#include <string_view>

namespace iv {

// Lines end in CR LF. False when the text went nowhere.
bool PrintOutput(std::wstring_view text);

}  // namespace iv
