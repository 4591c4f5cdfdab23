// The desktops of current Windows: raised desktops, other programs' views, shell views that take
// other commands or none, and a shell that restarts.
#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/E2eFixture.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/StandInLog.h"

namespace e2e {
namespace {

using namespace testing_support;

class ModernDesktopTest : public E2eTest {
protected:
    void TearDown() override {
        decoy_.Kill();
        E2eTest::TearDown();
    }

    COLORREF LabelBackground(HWND listView) const {
        return static_cast<COLORREF>(SendMessageW(listView, LVM_GETTEXTBKCOLOR, 0, 0));
    }
    DWORD View() const { return static_cast<DWORD>(SendMessageW(listView_, LVM_GETVIEW, 0, 0)); }
    // The shell restarts and builds a desktop of its own.
    void RestartShell() {
        const HWND before = listView_;
        PostMessageW(GetAncestor(defView_, GA_ROOT), standin::kRestartMessage, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return FindStandInDesktop(), listView_ && listView_ != before; }, 5000));
    }

    // The key of this screen's icon places, spelled out.
    const std::wstring screenKey_ = L"Software\\Marun soft\\Kivo\\" + std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) +
                                    L"*" + std::to_wstring(GetSystemMetrics(SM_CYSCREEN));
    ChildProcess decoy_;
};

// A file dialog's view and a wallpaper tool's "WorkerW" view in another process are never taken;
// the shell's desktop is found in each of its trees.
TEST_F(ModernDesktopTest, EveryTreeIsFoundAndTheDecoyNever) {
    WriteString(kSettingsKey, L"Text Color", L"1");
    const std::wstring decoyLog = TempFileName(L"ivd");
    ASSERT_TRUE(decoy_.Start(standinPath_, {L"--decoy", L"--log=" + decoyLog}));
    ASSERT_TRUE(WaitUntil([&] { return FindProcessWindow(decoy_.Id(), L"WorkerW") != nullptr; }, 20000));
    for (const wchar_t* tree : {L"classic", L"raised", L"24h2"}) {
        StartStandIn({L"--scripted", std::wstring(L"--tree=") + tree, L"--items=3"});
        StartIconvale();
        EXPECT_TRUE(WaitUntil([&] { return LabelBackground(listView_) == CLR_NONE; }, 5000)) << tree;
        Exit();
        StopStandIn();
    }
    for (const auto& line : ProgramMessages(ReadLogFile(decoyLog))) ADD_FAILURE() << "the decoy was taken: " << line;
    DeleteFileW(decoyLog.c_str());
}

// One click switches the view whether the shell view answers the classic commands, only its own,
// or none at all.
TEST_F(ModernDesktopTest, TheViewButtonSwitchesEveryKindOfShellView) {
    for (const wchar_t* commands : {L"classic", L"later", L"none"}) {
        DeleteKeyTree(kSettingsKey);  // the exit stored the mode it left
        StartStandIn({L"--scripted", std::wstring(L"--commands=") + commands, L"--items=3"});
        StartIconvale();
        WaitForProgramLog(4);
        Click(1);
        EXPECT_TRUE(WaitUntil([&] { return View() == LV_VIEW_SMALLICON; }, 5000)) << commands;
        PointAway();
        Exit();
        StopStandIn();
    }
}

// The shell restarts and builds a desktop of its own: without a click it gets the stored styles,
// transparent labels, the view mode and the icons' places back.
TEST_F(ModernDesktopTest, ARestartedDesktopGetsTheSettingsBack) {
    for (const wchar_t* name : {L"Tool Tips", L"Grid Line", L"Text Color"}) WriteString(kSettingsKey, name, L"1");
    WriteString(kSettingsKey, L"Desktop Icon", L"2");
    WriteString(kSettingsKey, L"Icon Position", L"10");
    WritePlace(screenKey_, L"Readme", L"300", L"200");
    StartStandIn({L"--scripted", L"--item=Readme@10,10", L"--item=Data@90,10"});
    StartIconvale();
    ASSERT_TRUE(WaitUntil([&] { return View() == LV_VIEW_SMALLICON && At(0, {300, 200}); }, 5000));

    ASSERT_NO_FATAL_FAILURE(RestartShell());
    ASSERT_NE(View(), static_cast<DWORD>(LV_VIEW_SMALLICON)) << "the new desktop is not a default one";
    const DWORD styles = LVS_EX_INFOTIP | LVS_EX_GRIDLINES;
    EXPECT_TRUE(WaitUntil(
        [&] {
            return (static_cast<DWORD>(SendMessageW(listView_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)) & styles) ==
                       styles &&
                   LabelBackground(listView_) == CLR_NONE && View() == LV_VIEW_SMALLICON && At(0, {300, 200});
        },
        5000));
    Exit();
}

// With the screen followed, a restarted shell's desktop (icons on its own grid) gets the layout
// back without the restore at start, and no calm save stores the grid meanwhile.
TEST_F(ModernDesktopTest, ARestartedShellGetsTheFollowedLayoutBackAndKeepsIt) {
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    WriteString(kSettingsKey, L"Calm Save", L"1");
    StartStandIn({L"--scripted", L"--item=Readme@10,10", L"--item=Data@90,10"});
    StartIconvale();
    WaitForProgramLog(4);
    Move(0, {300, 200});
    ASSERT_EQ(Run({L"/save"}, nullptr, 20000), 0u);

    ASSERT_NO_FATAL_FAILURE(RestartShell());
    EXPECT_TRUE(WaitUntil([&] { return At(0, {300, 200}); }, 8000));
    PumpMessages(2500);
    EXPECT_EQ(ReadString(screenKey_, L"Readme.X"), L"300");
    EXPECT_EQ(ReadString(screenKey_, L"Readme.Y"), L"200");
    Exit();
}

}  // namespace
}  // namespace e2e
