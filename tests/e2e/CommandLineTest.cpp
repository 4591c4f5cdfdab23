// The command line, with and without a running instance: exit codes and what each command does
// to the desktop and the registry.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

#include "layouts/IconPositions.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/support/Remote.h"
#include "tests/support/StandInLog.h"

namespace e2e {
namespace {

using namespace testing_support;

class CommandLineTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        key_ = iv::IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }

    void StartDesktop() {
        StartStandIn({L"--scripted", L"--log-paint", L"--item=Readme@40,40", L"--item=Data@140,40"});
    }
    // Starts the program with a command line and returns its exit code.
    DWORD Run(const std::vector<std::wstring>& args) const {
        ChildProcess command;
        DWORD code = 99;
        if (!command.Start(iconvalePath_, args) || !command.WaitForExit(40000, &code)) return 99;
        return code;
    }
    // Starts the program with a command line that shows a message box and returns the box.
    HWND StartForBox(ChildProcess& process, const std::vector<std::wstring>& args) const {
        HWND box = nullptr;
        EXPECT_TRUE(process.Start(iconvalePath_, args));
        EXPECT_TRUE(WaitUntil(
            [&] { return (box = FindProcessWindow(process.Id(), L"#32770", L"Iconvale")) != nullptr; }, 20000));
        return box;
    }

    bool At(int index, int x, int y) const {
        POINT p = {-1, -1};
        RemoteItemPosition(listView_, index, p);
        return p.x == x && p.y == y;
    }
    void Move(int index, int x, int y) const {
        SendMessageW(listView_, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), MAKELPARAM(x, y));
    }

    std::wstring key_;
};

TEST_F(CommandLineTest, WithoutAnInstanceTheCallerActsAndWritesNoSettings) {
    StartDesktop();
    WriteString(key_, L"Readme.X", L"300");
    WriteString(key_, L"Readme.Y", L"200");
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(0, 300, 200));
    Move(1, 220, 120);
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
    Move(0, 300, 200);
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    Move(0, 40, 40);
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(0, 300, 200));

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
    Move(0, 300, 200);
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(0, 40, 40));
    EXPECT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(0, 300, 200));
    EXPECT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(0, 40, 40));

    Move(0, 300, 200);
    ASSERT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(Run({L"/restore:previous"}), 0u);
    EXPECT_TRUE(At(0, 40, 40));
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    EXPECT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(0, 300, 200));
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
            for (const auto& line : ReadLogFile(logPath_)) {
                if (line.rfind(L"LV SLOW ", 0) == 0) return true;
            }
            return false;
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

TEST_F(CommandLineTest, HelpShowsTheUsage) {
    ChildProcess help;
    const HWND box = StartForBox(help, {L"/?"});
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    EXPECT_EQ(std::wstring(text).rfind(L"使い方: iconvale.exe", 0), 0u) << text;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 99;
    EXPECT_TRUE(help.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
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
