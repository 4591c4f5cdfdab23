// The command line, with and without a running instance: exit codes and what each command does
// to the desktop and the registry.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "layouts/KeptLayouts.h"
#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

using namespace testing_support;

class CommandLineTest : public E2eTest {
protected:
    void StartDesktop() {
        StartStandIn({L"--scripted", L"--log-paint", L"--item=Readme@40,40", L"--item=Data@140,40"});
    }
    // Run with the program's standard output in a file, which `printed` receives.
    DWORD RunPrinting(const std::vector<std::wstring>& args, std::string& printed) const {
        const std::wstring path = TempFile(L"output.txt");
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        iv::ScopedHandle out(iv::FileOrNull(
            CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS, 0, nullptr)));
        const DWORD code = out ? Run(args, out.Get()) : 99;
        printed = ReadFileText(path);
        return code;
    }
    // An output the program cannot write to: a file open for reading only.
    static iv::ScopedHandle UnwritableOutput() {
        const std::wstring path = TempFile(L"unwritable.txt");
        WriteFileText(path, "");
        SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
        return iv::ScopedHandle(iv::FileOrNull(
            CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherited, OPEN_EXISTING, 0, nullptr)));
    }
    static std::wstring TempFile(const wchar_t* name) {
        return (std::filesystem::temp_directory_path() / name).wstring();
    }
    static std::string ReadFileText(const std::wstring& path) {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void WriteFileText(const std::wstring& path, const std::string& text) {
        std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
    }
    // Starts the program with a command line that shows a message box and returns the box.
    HWND StartForBox(ChildProcess& process, const std::vector<std::wstring>& args, HANDLE output = nullptr) const {
        HWND box = nullptr;
        EXPECT_TRUE(process.Start(iconvalePath_, args, nullptr, output));
        EXPECT_TRUE(WaitUntil(
            [&] { return (box = FindProcessWindow(process.Id(), L"#32770", L"Iconvale")) != nullptr; }, 20000));
        return box;
    }
};

TEST_F(CommandLineTest, WithoutAnInstanceTheCallerActsAndWritesNoSettings) {
    StartDesktop();
    WritePlace(key_, L"Readme", L"300", L"200");
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(0, {300, 200}));
    Move(1, {220, 120});
    EXPECT_EQ(Run({L"-SAVE"}), 0u);
    EXPECT_EQ(ReadString(key_, L"Data.X"), L"220");
    EXPECT_EQ(ReadString(key_, L"Readme.Y"), L"200");

    EXPECT_EQ(Run({L"/view:details"}), 0u);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_REPORT));
    // Positions are icon places only in the icon views.
    EXPECT_EQ(Run({L"/save"}), 1u);
    EXPECT_EQ(Run({L"/restore"}), 1u);
    EXPECT_EQ(Run({L"/view:2"}), 0u);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_SMALLICON));
    // Nothing runs to end.
    EXPECT_EQ(Run({L"/exit"}), 1u);
    EXPECT_TRUE(ValueNames(kSettingsKey).empty());
}

TEST_F(CommandLineTest, ARunningInstanceCarriesOutEachCommandAndEndsOnExit) {
    WriteString(kSettingsKey, L"Change Style", L"1101");
    StartDesktop();
    StartIconvaleAndWait();
    Move(0, {300, 200});
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    Move(0, {40, 40});
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(0, {300, 200}));

    // A mode left out of the cycle is set all the same; the view button offers the next cycling
    // mode (details, image 3).
    EXPECT_EQ(Run({L"/view:list"}), 0u);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_LIST));
    EXPECT_EQ(SendMessageW(toolbar_, TB_GETBITMAP, 1, 0), 3);
    EXPECT_EQ(Run({L"/save"}), 1u);

    EXPECT_EQ(Run({L"/exit"}), 0u);
    EXPECT_FALSE(app_.IsRunning());
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"3");
}

// No arrangement is lost by a user's own command: a restore is undone (and redone), and the layout
// a save replaced comes back without changing any stored one.
TEST_F(CommandLineTest, UndoAndThePreviousLayoutBringEveryArrangementBack) {
    StartDesktop();
    ASSERT_EQ(Run({L"/save"}), 0u);
    Move(0, {300, 200});
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(0, {40, 40}));
    EXPECT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(0, {300, 200}));
    EXPECT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(0, {40, 40}));

    Move(0, {300, 200});
    ASSERT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(Run({L"/restore:previous"}), 0u);
    EXPECT_TRUE(At(0, {40, 40}));
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    EXPECT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(0, {300, 200}));
}

// A command that arrives while the instance waits for the shell is answered "busy" and sent again
// until the instance is free: both commands are carried out.
TEST_F(CommandLineTest, ACommandDuringAWaitForTheShellIsCarriedOutAfterIt) {
    // The save's first name read is slow; the restore's first position read is marked slow too.
    StartStandIn({L"--scripted", L"--item=Readme@40,40", L"--item=Data@140,40", L"--slow=gettext:600#1",
                  L"--slow=getpos:100#3"});
    StartIconvale();
    ChildProcess save;
    ASSERT_TRUE(save.Start(iconvalePath_, {L"/save"}));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto log = ReadLogFile(logPath_);
            return std::any_of(log.begin(), log.end(), [](const auto& l) { return l.rfind(L"LV SLOW ", 0) == 0; });
        },
        10000));
    EXPECT_EQ(Run({L"/restore"}), 0u);
    DWORD code = 99;
    EXPECT_TRUE(save.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
    // The restore ran after the save had answered and stored the icons, not inside its wait.
    const auto log = ReadLogFile(logPath_);
    const auto late = std::find_if(log.begin(), log.end(), [](const auto& l) { return l.rfind(L"LV LATE ", 0) == 0; });
    EXPECT_TRUE(std::any_of(late, log.end(), [](const auto& l) { return l.rfind(L"LV SLOW getpos", 0) == 0; }));
}

TEST_F(CommandLineTest, ABadCommandLineGivesTwoAndChangesNothing) {
    StartDesktop();
    EXPECT_EQ(Run({L"/view:huge"}), 2u);
    EXPECT_TRUE(ProgramLog().empty());
    EXPECT_FALSE(KeyExists(kSettingsKey));

    StartIconvaleAndWait();
    ClearLog();
    EXPECT_EQ(Run({L"/bogus"}), 2u);
    EXPECT_EQ(Run({L"/save", L"/restore"}), 2u);
    EXPECT_EQ(Run({L"/quiet"}), 2u);
    EXPECT_TRUE(ProgramLog().empty());
    EXPECT_FALSE(KeyExists(key_));
    EXPECT_TRUE(app_.IsRunning());
}

// In a file or a pipe the usage is UTF-8 text for scripts; where nothing prints, a box shows it.
TEST_F(CommandLineTest, HelpShowsTheUsage) {
    std::string printed;
    EXPECT_EQ(RunPrinting({L"/?"}, printed), 0u);
    EXPECT_EQ(printed.rfind("\xE4\xBD\xBF\xE3\x81\x84\xE6\x96\xB9: iconvale.exe", 0), 0u) << printed;  // 使い方
    EXPECT_NE(printed.find("/export[:NAME] FILE\t"), std::string::npos);
    EXPECT_NE(printed.find("\r\n"), std::string::npos);

    ChildProcess help;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    iv::ScopedHandle nul(CreateFileW(L"NUL", GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr));
    const HWND box = StartForBox(help, {L"/?"}, nul.Get());
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    EXPECT_EQ(std::wstring(text).rfind(L"使い方: iconvale.exe", 0), 0u) << text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 99;
    EXPECT_TRUE(help.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

// Named layouts keep their names (Japanese too, compared without regard to case), cross to a
// running instance, and every restore keeps the arrangement it replaced in the history.
TEST_F(CommandLineTest, NamedLayoutsAndTheHistoryComeBackByName) {
    StartDesktop();
    Move(0, {300, 200});
    ASSERT_EQ(Run({L"/save:Work"}), 0u);
    // The instance's start sets the view, which arranges the stand-in's icons: the moves follow it.
    StartIconvaleAndWait();
    Move(0, {40, 40});
    Move(1, {500, 300});
    ASSERT_EQ(Run({L"/save:仕事 用"}), 0u);
    EXPECT_EQ(Run({L"/restore:WORK"}), 0u);
    EXPECT_TRUE(At(0, {300, 200}) && At(1, {140, 40}));
    EXPECT_EQ(Run({L"/restore:仕事 用"}), 0u);
    EXPECT_TRUE(At(0, {40, 40}) && At(1, {500, 300}));

    std::string list;
    ASSERT_EQ(RunPrinting({L"/layouts"}, list), 0u);
    EXPECT_EQ(Run({L"/layouts"}, UnwritableOutput().Get()), 1u) << "a list that could not be printed";
    EXPECT_NE(list.find("Work\tlayout, saved 20"), std::string::npos) << list;
    EXPECT_NE(list.find("\xE4\xBB\x95\xE4\xBA\x8B \xE7\x94\xA8\tlayout"), std::string::npos) << list;  // 仕事 用
    // The newest entry first: the arrangement the last restore replaced.
    const size_t entry = list.find("\r\n#");
    ASSERT_NE(entry, std::string::npos) << list;
    const std::string newest = list.substr(entry + 2, list.find('\t', entry) - entry - 2);
    EXPECT_NE(list.find("history entry, kept 20", entry), std::string::npos) << list;
    EXPECT_EQ(Run({L"/restore:" + std::wstring(newest.begin(), newest.end())}), 0u) << newest;
    EXPECT_TRUE(At(0, {300, 200}) && At(1, {140, 40}));

    EXPECT_EQ(Run({L"/delete:work"}), 0u);
    EXPECT_EQ(Run({L"/delete:work"}), 1u);
    EXPECT_EQ(Run({L"/restore:Work"}), 1u);
    EXPECT_EQ(Run({L"/save:previous"}), 2u);
    EXPECT_EQ(Run({L"/save:a\\b"}), 2u);
    EXPECT_EQ(ValueNames(iv::NamedLayoutsKey()), std::vector<std::wstring>{L"仕事 用"});
}

// Each count non-zero: one icon to move, one in place, one without a stored place, and one stored
// place without an icon; nothing moves.
TEST_F(CommandLineTest, ADryRunCountsWhatARestoreWouldDo) {
    StartStandIn({L"--scripted", L"--item=Readme@40,40", L"--item=Data@140,40", L"--item=New@240,40"});
    WritePlace(key_, L"Readme", L"300", L"200");
    WritePlace(key_, L"Data", L"140", L"40");
    WritePlace(key_, L"Gone", L"400", L"300");
    std::string counts;
    EXPECT_EQ(RunPrinting({L"/restore", L"/dry-run"}, counts), 0u);
    EXPECT_EQ(counts, "move 1\r\ninplace 1\r\nunstored 1\r\nmissing 1\r\n");
    EXPECT_TRUE(At(0, {40, 40}));
    EXPECT_FALSE(KeyExists(iv::UndoKey(key_)));
    EXPECT_FALSE(KeyExists(iv::HistoryKey(key_)));
    EXPECT_EQ(Run({L"/restore", L"/dry-run"}, UnwritableOutput().Get()), 1u);
    // Nothing to restore: the restore could not run.
    EXPECT_EQ(RunPrinting({L"/restore:previous", L"/dry-run"}, counts), 1u);
    EXPECT_EQ(counts, "move 0\r\ninplace 0\r\nunstored 3\r\nmissing 0\r\n");
    ASSERT_EQ(Run({L"/view:details"}), 0u);
    EXPECT_EQ(RunPrinting({L"/restore", L"/dry-run"}, counts), 1u);
}

// A layout taken along: written as a file, read into an empty store with its names and Japanese
// text intact, and restored to the same places; a file that is no such layout is refused with a
// one-line reason and nothing is stored.
TEST_F(CommandLineTest, AnExportedLayoutImportsIntoAnEmptyStoreAndAForeignFileIsRefused) {
    StartStandIn({L"--scripted", L"--item=Readme@40,40", L"--item=日本語@140,40"});
    Move(0, {300, 200});
    Move(1, {400, 100});
    ASSERT_EQ(Run({L"/save:配置 A"}), 0u);
    const std::wstring file = TempFile(L"layout.json");
    ASSERT_EQ(Run({L"/export:配置 A", file}), 0u);
    const std::string text = ReadFileText(file);
    EXPECT_EQ(text.rfind("{\n  \"format\": \"iconvale-layout\",\n  \"version\": 1,\n", 0), 0u) << text;
    EXPECT_NE(text.find("\"name\": \"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\""), std::string::npos) << text;
    DeleteKeyTree(kSettingsKey);
    Move(0, {40, 40});
    Move(1, {140, 40});
    EXPECT_EQ(Run({L"/import", file}), 0u);
    EXPECT_EQ(Run({L"/restore:配置 a"}), 0u);
    EXPECT_TRUE(At(0, {300, 200}) && At(1, {400, 100}));

    const std::wstring foreign = TempFile(L"foreign.json");
    const std::string head = "{\"format\": \"iconvale-layout\", \"version\": ";
    const std::string refused[] = {
        "{\"format\": \"iconvale-layout\", \"version\": 1,",
        "{\"format\": \"other\", \"version\": 1, \"name\": \"x\", \"icons\": []}",
        head + "2, \"name\": \"x\", \"icons\": []}",
        head + "1, \"name\": \"x\", \"icons\": [{\"name\": \"a\", \"x\": 40000, \"y\": 0}]}",
        head + "1, \"name\": \"a\\\\b\", \"icons\": []}",
        head + "1, \"name\": \"#4\", \"icons\": []}",
        head + "1, \"name\": \"damaged\", \"icons\": []}",  // kept, though it cannot be read
        head + "1, \"name\": \"y\", \"saved\": \"2026\\n#1\", \"icons\": []}",
        text,
    };
    WriteString(iv::NamedLayoutsKey(), L"Damaged", L"?");
    const auto names = ValueNames(iv::NamedLayoutsKey());
    for (const std::string& bad : refused) {
        WriteFileText(foreign, bad);
        std::string reason;
        EXPECT_EQ(RunPrinting({L"/import", foreign}, reason), 1u) << bad;
        EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1) << reason;
    }
    std::string reason;
    EXPECT_EQ(RunPrinting({L"/import", TempFile(L"none.json")}, reason), 1u);
    EXPECT_EQ(ValueNames(iv::NamedLayoutsKey()), names);
    // Without a name: the current screen's layout, which the import then keeps as a new one.
    ASSERT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(Run({L"/export", file}), 0u);
    EXPECT_EQ(Run({L"/import:Here", file}), 0u);
    EXPECT_EQ(ValueNames(iv::NamedLayoutsKey()).size(), 3u);
}

TEST_F(CommandLineTest, UninstallEndsTheInstanceFirstThenRemovesShortcutsAndKeys) {
    WriteString(key_, L"Readme.X", L"40");
    std::vector<std::wstring> links;
    for (const int folder : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTUP}) {
        wchar_t path[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathW(nullptr, folder | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
        links.push_back(std::wstring(path) + L"\\Iconvale.lnk");
        iv::ScopedHandle file(CreateFileW(links.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_NE(file.Get(), INVALID_HANDLE_VALUE);
    }
    StartDesktop();
    StartIconvaleAndWait();

    // "No" keeps everything.
    ChildProcess asked;
    PostMessageW(StartForBox(asked, {L"/uninstall"}), WM_COMMAND, IDNO, 0);
    DWORD code = 99;
    EXPECT_TRUE(asked.WaitForExit(10000, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(app_.IsRunning());
    EXPECT_TRUE(KeyExists(key_));

    // A shortcut that cannot be deleted is no success. The instance writes its settings as it
    // ends: the key is gone only if it went first.
    SetFileAttributesW(links[1].c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Run({L"/uninstall", L"/quiet"}), 1u);
    EXPECT_FALSE(app_.IsRunning());
    EXPECT_FALSE(KeyExists(kSettingsKey));
    EXPECT_NE(GetFileAttributesW(links[1].c_str()), INVALID_FILE_ATTRIBUTES);
    SetFileAttributesW(links[1].c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Run({L"/uninstall", L"/quiet"}), 0u);
    EXPECT_FALSE(KeyExists(L"Software\\Marun soft"));
    for (const auto& link : links) {
        EXPECT_EQ(GetFileAttributesW(link.c_str()), INVALID_FILE_ATTRIBUTES) << link.c_str();
        DeleteFileW(link.c_str());
    }
}

}  // namespace
}  // namespace e2e
