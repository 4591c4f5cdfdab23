#include "shortcuts/Shortcuts.h"

#include <shlobj.h>

#include "base/MessageBox.h"
#include "base/ModulePath.h"
#include "base/ScopedWin.h"
#include "res/texts.h"

namespace iv {
namespace {

struct PidlFreer {
    void operator()(LPITEMIDLIST pidl) const { CoTaskMemFree(pidl); }
};
using ScopedPidl = Scoped<LPITEMIDLIST, nullptr, PidlFreer>;

// The program's executable, always under its ".exe" name even when started under another one.
std::wstring ProgramTarget() {
    const std::wstring module = ModulePath();
    if (module.empty()) return {};
    const size_t slash = module.rfind(L'\\');
    const size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const size_t dot = module.rfind(L'.');
    const size_t nameEnd = dot == std::wstring::npos || dot < nameStart ? module.size() : dot;
    return module.substr(0, nameEnd) + L".exe";
}

bool WriteProgramShortcut(int folder, HWND owner) {
    const std::wstring target = ProgramTarget();
    return WriteShortcut(ShortcutPath(folder, owner), target, text::kShortcutDescription, L"", L"", target, 0,
                         SW_SHOWNORMAL);
}

void ShowFailure(HWND owner, const wchar_t* text) {
    ShowMessage(owner, text, text::kCreateFailedTitle, MB_OK | MB_ICONSTOP);
}

}  // namespace

std::wstring GetSpecialFolder(int folder, HWND owner) {
    ScopedPidl pidl;
    if (SHGetSpecialFolderLocation(owner, folder, pidl.Receive()) != S_OK) return {};
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(pidl.Get(), path)) return {};
    return path;
}

std::wstring ShortcutPath(int folder, HWND owner) {
    std::wstring path = GetSpecialFolder(folder, owner);
    if (path.empty()) return {};
    if (path.back() != L'\\') path += L'\\';  // a drive root already ends in one
    return path + text::kShortcutFile;
}

bool ShortcutExists(const std::wstring& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteShortcut(const std::wstring& path) {
    if (!ShortcutExists(path)) return true;
    return DeleteFileW(path.c_str()) || !ShortcutExists(path);
}

bool WriteShortcut(const std::wstring& linkPath, const std::wstring& targetPath, const std::wstring& description,
                   const std::wstring& arguments, const std::wstring& workingDirectory, const std::wstring& iconFile,
                   int16_t iconIndex, int32_t windowStyle) {
    if (linkPath.empty()) return false;
    if (ShortcutExists(linkPath)) return true;
    if (targetPath.empty()) return false;

    ComApartment apartment;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.Put())))) {
        return false;
    }
    if (FAILED(link->SetPath(targetPath.c_str())) || FAILED(link->SetDescription(description.c_str())) ||
        FAILED(link->SetArguments(arguments.c_str())) || FAILED(link->SetWorkingDirectory(workingDirectory.c_str())) ||
        FAILED(link->SetIconLocation(iconFile.c_str(), iconIndex)) || FAILED(link->SetShowCmd(windowStyle))) {
        return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_PPV_ARGS(file.Put())))) return false;
    if (FAILED(file->Save(linkPath.c_str(), TRUE))) {
        // No file was there before: whatever is left is a broken link that would pass for a good one.
        DeleteFileW(linkPath.c_str());
        return false;
    }
    return true;
}

void CreateShortcuts(bool desktop, bool startup, HWND owner) {
    if (startup && !WriteProgramShortcut(kCsidlStartup, owner)) {
        ShowFailure(owner, text::kStartupCreateFailed);
        return;
    }
    if (desktop && !WriteProgramShortcut(kCsidlDesktop, owner)) {
        ShowFailure(owner, text::kDesktopCreateFailed);
    }
}

}  // namespace iv
