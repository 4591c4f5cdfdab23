// Shell links written through the platform's own link object and read back through it, in a
// temporary folder and in the Wine prefix's real Desktop and Startup folders.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "base/MessageBox.h"
#include "base/ScopedWin.h"
#include "shortcuts/Shortcuts.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;

const wchar_t kCaption[] = L"ｼｮｰﾄｶｯﾄ作成";
const wchar_t kStartupFailed[] = L"ｽﾀｰﾄｱｯﾌﾟへの登録に失敗しました！！";
const wchar_t kDesktopFailed[] = L"ﾃﾞｽｸﾄｯﾌﾟへの作成に失敗しました！！";
const wchar_t kDescription[] = L"デスクトップのアイコン表示方法等を変更します。";

struct Link {
    std::wstring path, description, arguments, workingDirectory, iconFile;
    int iconIndex = -1;
    int32_t showCmd = -1;
};

std::string ReadBytes(const std::wstring& file) {
    std::ifstream in(std::filesystem::path(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The show command's place in a link file's fixed-size header.
constexpr size_t kShowCmdOffset = 0x3C;

// Reads a link file through the shell's link object; nothing when it cannot be loaded.
std::optional<Link> ReadLink(const std::wstring& file) {
    ComPtr<IShellLinkW> shellLink;
    ComPtr<IPersistFile> persist;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(shellLink.Put()))) ||
        FAILED(shellLink->QueryInterface(IID_PPV_ARGS(persist.Put()))) ||
        FAILED(persist->Load(file.c_str(), STGM_READ))) {
        return std::nullopt;
    }
    Link link;
    wchar_t text[INFOTIPSIZE] = {};
    if (SUCCEEDED(shellLink->GetPath(text, MAX_PATH, nullptr, 0))) link.path = text;
    if (SUCCEEDED(shellLink->GetDescription(text, INFOTIPSIZE))) link.description = text;
    if (SUCCEEDED(shellLink->GetArguments(text, INFOTIPSIZE))) link.arguments = text;
    if (SUCCEEDED(shellLink->GetWorkingDirectory(text, MAX_PATH))) link.workingDirectory = text;
    if (SUCCEEDED(shellLink->GetIconLocation(text, MAX_PATH, &link.iconIndex))) link.iconFile = text;
    // Wine's link object does not load the show command (GetShowCmd then always gives 1), so it
    // is read from its place in the file's header.
    const std::string bytes = ReadBytes(file);
    if (bytes.size() < kShowCmdOffset + sizeof(int32_t)) return std::nullopt;
    memcpy(&link.showCmd, bytes.data() + kShowCmdOffset, sizeof(int32_t));
    return link;
}

void WriteBytes(const std::wstring& file, const std::string& bytes) {
    std::ofstream(std::filesystem::path(file), std::ios::binary) << bytes;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ModulePath() {
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return path;
}

struct Shown {
    HWND owner;
    std::wstring text, caption;
    UINT type;
};

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override {
        comResult_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        dir_ = TempFileName(L"ivs");
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
        previous_ = SetMessageBoxHandler([this](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
            shown_.push_back({owner, text, caption, type});
            return IDOK;
        });
    }
    void TearDown() override {
        SetMessageBoxHandler(std::move(previous_));
        RemoveTree(dir_);
        if (SUCCEEDED(comResult_)) CoUninitialize();
    }

    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = dir + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(path);
                } else {
                    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(path.c_str());
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(dir.c_str());
    }

    Link Read(const std::wstring& file) {
        const std::optional<Link> link = ReadLink(file);
        EXPECT_TRUE(link) << "cannot load " << testing::PrintToString(file);
        return link.value_or(Link{});
    }
    // Every property of the link a file holds.
    void ExpectLink(const std::wstring& file, const Link& expected) {
        SCOPED_TRACE(testing::PrintToString(file));
        const Link link = Read(file);
        EXPECT_EQ(link.path, expected.path);
        EXPECT_EQ(link.description, expected.description);
        EXPECT_EQ(link.arguments, expected.arguments);
        EXPECT_EQ(link.workingDirectory, expected.workingDirectory);
        EXPECT_EQ(link.iconFile, expected.iconFile);
        EXPECT_EQ(link.iconIndex, expected.iconIndex);
        EXPECT_EQ(link.showCmd, expected.showCmd);
    }
    // The program's own properties: empty arguments and folder, icon 0 of the target, a normal window.
    void ExpectProgramLink(const std::wstring& file) {
        ExpectLink(file, {ModulePath(), kDescription, L"", L"", ModulePath(), 0, SW_SHOWNORMAL});
    }

    HRESULT comResult_ = E_FAIL;
    std::wstring dir_;
    MessageBoxHandler previous_;
    std::vector<Shown> shown_;
};

TEST_F(ShortcutsTest, EveryPropertyIsWrittenAndReadsBack) {
    const std::wstring target = ModulePath();
    const std::wstring link = dir_ + L"\\予定 ｼｮｰﾄｶｯﾄ.lnk";
    ASSERT_TRUE(WriteShortcut(link, target, L"説明 ﾃｽﾄ", L"/a \"b c\"", dir_, L"C:\\windows\\system32\\shell32.dll", 3,
                              SW_SHOWMINNOACTIVE));
    ASSERT_TRUE(ShortcutExists(link));
    ExpectLink(
        link, {target, L"説明 ﾃｽﾄ", L"/a \"b c\"", dir_, L"C:\\windows\\system32\\shell32.dll", 3, SW_SHOWMINNOACTIVE});

    const std::wstring plain = dir_ + L"\\plain.lnk";
    ASSERT_TRUE(WriteShortcut(plain, target, kDescription, L"", L"", target, 0, SW_SHOWNORMAL));
    ExpectProgramLink(plain);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(ShortcutsTest, AnExistingFileIsLeftAsItIsAndCountsAsSuccess) {
    const std::wstring target = ModulePath();

    const std::wstring other = dir_ + L"\\other.lnk";
    ASSERT_TRUE(WriteShortcut(other, L"C:\\windows\\notepad.exe", L"old", L"x", L"", L"", 0, SW_SHOWNORMAL));
    const std::string before = ReadBytes(other);
    ASSERT_FALSE(before.empty());
    EXPECT_TRUE(WriteShortcut(other, target, L"new", L"", L"", target, 0, SW_SHOWNORMAL));
    EXPECT_EQ(ReadBytes(other), before);
    EXPECT_EQ(Read(other).path, L"C:\\windows\\notepad.exe");

    const std::wstring junk = dir_ + L"\\junk.lnk";
    const std::string bytes("not a link\0\r\n\xff", 14);
    WriteBytes(junk, bytes);
    EXPECT_TRUE(WriteShortcut(junk, target, L"new", L"", L"", target, 0, SW_SHOWNORMAL));
    EXPECT_EQ(ReadBytes(junk), bytes);
}

TEST_F(ShortcutsTest, NothingIsWrittenWhereNoLinkCanBe) {
    const std::wstring target = ModulePath();

    const std::wstring missing = dir_ + L"\\no such folder";
    EXPECT_FALSE(WriteShortcut(missing + L"\\a.lnk", target, L"", L"", L"", target, 0, SW_SHOWNORMAL));
    EXPECT_FALSE(Exists(missing));

    // A folder in the link's place is not a link: the save fails and the folder stays.
    const std::wstring folder = dir_ + L"\\Iconvale.lnk";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_FALSE(WriteShortcut(folder, target, L"", L"", L"", target, 0, SW_SHOWNORMAL));
    EXPECT_TRUE(IsDirectory(folder));
    EXPECT_TRUE(RemoveDirectoryW(folder.c_str())) << "something was written into the folder";

    EXPECT_FALSE(WriteShortcut(L"", target, L"", L"", L"", target, 0, SW_SHOWNORMAL));
    EXPECT_FALSE(WriteShortcut(dir_ + L"\\no target.lnk", L"", L"", L"", L"", L"", 0, SW_SHOWNORMAL));
    EXPECT_FALSE(Exists(dir_ + L"\\no target.lnk"));
}

TEST_F(ShortcutsTest, DeletingLeavesNoFileUnlessTheUserProtectedIt) {
    const std::wstring file = dir_ + L"\\Iconvale.lnk";
    EXPECT_FALSE(ShortcutExists(file));
    EXPECT_TRUE(DeleteShortcut(file));
    EXPECT_TRUE(DeleteShortcut(L""));
    EXPECT_FALSE(ShortcutExists(L""));

    WriteBytes(file, "x");
    EXPECT_TRUE(ShortcutExists(file));
    EXPECT_TRUE(DeleteShortcut(file));
    EXPECT_FALSE(Exists(file));

    WriteBytes(file, "kept");
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(DeleteShortcut(file));
    EXPECT_EQ(ReadBytes(file), "kept");
    EXPECT_NE(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());

    // A folder of that name is no shortcut: nothing to delete, and it stays.
    ASSERT_TRUE(CreateDirectoryW(file.c_str(), nullptr));
    EXPECT_FALSE(ShortcutExists(file));
    EXPECT_TRUE(DeleteShortcut(file));
    EXPECT_TRUE(IsDirectory(file));
    EXPECT_TRUE(shown_.empty());
}

TEST_F(ShortcutsTest, SpecialFoldersAndTheirShortcutPaths) {
    for (int folder : {kCsidlDesktop, kCsidlStartup}) {
        const std::wstring path = GetSpecialFolder(folder, nullptr);
        ASSERT_FALSE(path.empty()) << folder;
        EXPECT_TRUE(IsDirectory(path)) << folder;
        EXPECT_NE(path.back(), L'\\') << folder;
        EXPECT_EQ(ShortcutPath(folder, nullptr), path + L"\\Iconvale.lnk") << folder;
    }
    EXPECT_NE(GetSpecialFolder(kCsidlDesktop, nullptr), GetSpecialFolder(kCsidlStartup, nullptr));
    EXPECT_EQ(GetSpecialFolder(0x7fff, nullptr), L"");
    EXPECT_EQ(ShortcutPath(0x7fff, nullptr), L"");
}

// Wine hands every link its shell saves to its menu builder, which a moment later turns a link on
// the desktop into a .desktop file beside it. The builder stays switched off until every one this
// process started has ended, so that a late one cannot miss the override.
class MenuBuilderOff {
public:
    MenuBuilderOff() {
        if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")) return;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                            key_.Receive(), &disposition_) != ERROR_SUCCESS) {
            return;
        }
        DWORD size = 0;
        had_ = RegQueryValueExW(key_.Get(), kBuilder, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
        if (had_) {
            old_.resize(size);
            RegQueryValueExW(key_.Get(), kBuilder, nullptr, &type_, old_.data(), &size);
        }
        const wchar_t disabled[] = L"";
        RegSetValueExW(key_.Get(), kBuilder, 0, REG_SZ, reinterpret_cast<const BYTE*>(disabled), sizeof disabled);
    }
    ~MenuBuilderOff() {
        if (!key_) return;
        WaitUntil([] { return !HasChild(L"winemenubuilder.exe"); }, 10000);
        if (had_) {
            RegSetValueExW(key_.Get(), kBuilder, 0, type_, old_.data(), static_cast<DWORD>(old_.size()));
        } else {
            RegDeleteValueW(key_.Get(), kBuilder);
        }
        key_.Reset();
        if (disposition_ == REG_CREATED_NEW_KEY) RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    }
    MenuBuilderOff(const MenuBuilderOff&) = delete;
    MenuBuilderOff& operator=(const MenuBuilderOff&) = delete;

private:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\DllOverrides";
    static constexpr wchar_t kBuilder[] = L"winemenubuilder.exe";

    static bool HasChild(const wchar_t* exe) {
        const HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (processes == INVALID_HANDLE_VALUE) return false;
        ScopedHandle snapshot(processes);
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
            if (entry.th32ParentProcessID == GetCurrentProcessId() && lstrcmpiW(entry.szExeFile, exe) == 0) return true;
        }
        return false;
    }

    ScopedRegKey key_;
    DWORD disposition_ = 0;
    bool had_ = false;
    DWORD type_ = REG_SZ;
    std::vector<BYTE> old_;
};

// The prefix's own Desktop and Startup folders, each put back as it was found.
class ShortcutsPlacesTest : public ShortcutsTest {
protected:
    void SetUp() override {
        ShortcutsTest::SetUp();
        owner_.Reset(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        ASSERT_TRUE(owner_);
        desktop_ = ShortcutPath(kCsidlDesktop, nullptr);
        startup_ = ShortcutPath(kCsidlStartup, nullptr);
        ASSERT_FALSE(desktop_.empty());
        ASSERT_FALSE(startup_.empty());
        // Whatever the places already hold waits outside the test's own folder, so that it
        // survives a failure to put it back.
        ASSERT_TRUE(SetAside(desktop_, savedDesktop_));
        ASSERT_TRUE(SetAside(startup_, savedStartup_));
    }
    void TearDown() override {
        PutBack(desktop_, savedDesktop_);
        PutBack(startup_, savedStartup_);
        owner_.Reset();
        ShortcutsTest::TearDown();
    }

    static bool SetAside(const std::wstring& place, const std::wstring& saved) {
        return !Exists(place) || MoveFileExW(place.c_str(), saved.c_str(), MOVEFILE_COPY_ALLOWED);
    }
    static void PutBack(const std::wstring& place, const std::wstring& saved) {
        if (place.empty()) return;
        SetFileAttributesW(place.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(place.c_str());
        RemoveDirectoryW(place.c_str());
        EXPECT_FALSE(Exists(place)) << "cannot clear " << testing::PrintToString(place);
        if (Exists(saved)) {
            EXPECT_TRUE(MoveFileExW(saved.c_str(), place.c_str(), MOVEFILE_COPY_ALLOWED))
                << "left at " << testing::PrintToString(saved);
        }
    }

    void ExpectShownOnce(const wchar_t* text) {
        ASSERT_EQ(shown_.size(), 1u);
        EXPECT_EQ(shown_[0].owner, owner_.Get());
        EXPECT_EQ(shown_[0].text, text);
        EXPECT_EQ(shown_[0].caption, kCaption);
        EXPECT_EQ(shown_[0].type, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    }

    MenuBuilderOff menuBuilderOff_;
    ScopedWindow owner_;
    std::wstring desktop_, startup_;
    const std::wstring savedDesktop_ = TempFileName(L"ivd");
    const std::wstring savedStartup_ = TempFileName(L"ivu");
};

TEST_F(ShortcutsPlacesTest, TheDesktopAloneGetsALinkToThisProgram) {
    CreateShortcuts(true, false, owner_.Get());
    EXPECT_TRUE(shown_.empty());
    ASSERT_TRUE(ShortcutExists(desktop_));
    ExpectProgramLink(desktop_);
    EXPECT_FALSE(Exists(startup_));
}

TEST_F(ShortcutsPlacesTest, BothPlacesGetTheSameLink) {
    CreateShortcuts(true, true, owner_.Get());
    EXPECT_TRUE(shown_.empty());
    ASSERT_TRUE(ShortcutExists(startup_));
    ASSERT_TRUE(ShortcutExists(desktop_));
    ExpectProgramLink(startup_);
    ExpectProgramLink(desktop_);
}

TEST_F(ShortcutsPlacesTest, AStartupFailureIsShownAndTheDesktopIsNotTried) {
    ASSERT_TRUE(CreateDirectoryW(startup_.c_str(), nullptr));
    CreateShortcuts(true, true, owner_.Get());
    ExpectShownOnce(kStartupFailed);
    EXPECT_FALSE(Exists(desktop_));
    EXPECT_TRUE(IsDirectory(startup_));
}

TEST_F(ShortcutsPlacesTest, ADesktopFailureIsShownAfterTheStartupLinkIsMade) {
    ASSERT_TRUE(CreateDirectoryW(desktop_.c_str(), nullptr));
    CreateShortcuts(true, true, owner_.Get());
    ExpectShownOnce(kDesktopFailed);
    EXPECT_TRUE(ShortcutExists(startup_));
    EXPECT_TRUE(IsDirectory(desktop_));
}

TEST_F(ShortcutsPlacesTest, NeitherPlaceAsked) {
    CreateShortcuts(false, false, owner_.Get());
    EXPECT_TRUE(shown_.empty());
    EXPECT_FALSE(Exists(desktop_));
    EXPECT_FALSE(Exists(startup_));
}

}  // namespace
}  // namespace iv
