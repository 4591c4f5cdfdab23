#include "app/CommandOutput.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "base/ScopedWin.h"

namespace iv {
namespace {

std::wstring WithCrLf(std::wstring_view text) {
    std::wstring lines;
    for (const wchar_t c : text) {
        if (c == L'\n' && (lines.empty() || lines.back() != L'\r')) lines += L'\r';
        lines += c;
    }
    if (!lines.empty() && lines.back() != L'\n') lines += L"\r\n";
    return lines;
}

std::string Utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                            nullptr);
    }
    return bytes;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

bool PrintOutput(std::wstring_view text) {
    const std::wstring lines = WithCrLf(text);
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE) {
        const DWORD type = GetFileType(out);
        if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK) return WriteAll(out, Utf8(lines));
    }
    // A program of the GUI subsystem has no console of its own: it borrows the one it was started
    // from, which shows UTF-16 as it is.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    bool shown = false;
    {
        ScopedHandle console(
            FileOrNull(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)));
        DWORD written = 0;
        shown =
            console && WriteConsoleW(console.Get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    }
    FreeConsole();
    return shown;
}

}  // namespace iv
