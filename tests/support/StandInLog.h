// Reading the stand-in's message log.
#pragma once
#include <string>
#include <vector>

namespace testing_support {

// The lines that the program under test caused directly: view commands, the WM_STYLECHANGED
// records it sends (old style 0; the list view's own style changes carry the real old style),
// extended-style, colour and position requests. Header lines are left out.
std::vector<std::wstring> ProgramMessages(const std::vector<std::wstring>& log);

}  // namespace testing_support
