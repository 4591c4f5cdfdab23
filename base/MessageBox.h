// Every message box the program shows goes through here, so that tests can answer them.
#pragma once
#include <windows.h>

#include <functional>

namespace iv {

using MessageBoxHandler = std::function<int(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)>;

// Shows a message box, or hands it to the handler a test installed.
int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Replaces the handler (an empty one restores the real message box); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace iv
