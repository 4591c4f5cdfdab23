// The stand-in's log lines: how values are written in them, and the log file.
// Test fixture only; never shipped.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "StandIn.h"

namespace standin::detail {

std::wstring Hex32(DWORD value);
std::wstring Hex16(WORD value);
std::wstring HexPointer(ULONG_PTR value);
DWORD Low32(WPARAM value);

// A request kind as it appears in the log and on the command line: "gettext", "getpos", ...
const wchar_t* RequestName(Request kind);

// "<prefix> WM_STYLECHANGED GWL_STYLE old=0x... new=0x..."
std::wstring StyleChangedLine(const wchar_t* prefix, WPARAM which, LPARAM lParam);

// Appends the lines, each with a newline, to the file as UTF-8, in one write.
void AppendUtf8Lines(const std::wstring& path, const std::vector<std::wstring>& lines);

}  // namespace standin::detail
