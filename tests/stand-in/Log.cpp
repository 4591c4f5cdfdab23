#include "Log.h"

#include <cstdio>

namespace standin::detail {

std::wstring Hex32(DWORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::wstring Hex16(WORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%04X", static_cast<unsigned>(value));
    return text;
}

std::wstring HexPointer(ULONG_PTR value) {
    wchar_t text[24];
    swprintf(text, 24, L"0x%0*llX", static_cast<int>(sizeof value * 2), static_cast<unsigned long long>(value));
    return text;
}

DWORD Low32(WPARAM value) { return static_cast<DWORD>(value & 0xFFFFFFFFu); }

const wchar_t* RequestName(Request kind) {
    switch (kind) {
        case Request::GetText: return L"gettext";
        case Request::GetPos: return L"getpos";
        case Request::Count: return L"count";
        case Request::SetPos: return L"setpos";
        case Request::TextBk: return L"textbk";
        case Request::Header: return L"header";
    }
    return L"?";
}

namespace {

std::wstring StyleWhich(WPARAM which) {
    const LONG index = static_cast<LONG>(Low32(which));
    if (index == GWL_STYLE) return L"GWL_STYLE";
    if (index == GWL_EXSTYLE) return L"GWL_EXSTYLE";
    return Hex32(Low32(which));
}

}  // namespace

std::wstring StyleChangedLine(const wchar_t* prefix, WPARAM which, LPARAM lParam) {
    std::wstring line = prefix;
    line += L" WM_STYLECHANGED ";
    line += StyleWhich(which);
    const auto* change = reinterpret_cast<const STYLESTRUCT*>(lParam);
    if (change == nullptr) return line + L" old=? new=?";
    line += L" old=" + Hex32(change->styleOld) + L" new=" + Hex32(change->styleNew);
    return line;
}

void AppendUtf8Lines(const std::wstring& path, const std::vector<std::wstring>& lines) {
    std::string bytes;
    for (const std::wstring& line : lines) {
        if (!line.empty()) {
            const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                                 nullptr, nullptr);
            if (size > 0) {
                const size_t at = bytes.size();
                bytes.resize(at + static_cast<size_t>(size));
                WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data() + at, size,
                                    nullptr, nullptr);
            }
        }
        bytes += '\n';
    }
    // Opened per write so readers may truncate or replace the file between writes.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace standin::detail
