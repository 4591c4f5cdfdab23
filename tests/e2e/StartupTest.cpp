// Start-up and its refusals, as a user meets them.
#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

using namespace testing_support;

class StartupTest : public E2eTest {
protected:
    // Starts Iconvale and expects a refusal: a stop-sign message box, then the program ends
    // without writing its settings.
    void ExpectRefusal(const wchar_t* title, const wchar_t* text) {
        ASSERT_TRUE(app_.Start(iconvalePath_));
        HWND box = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (box = FindProcessWindow(app_.Id(), L"#32770", title)) != nullptr; }, 20000))
            << "no message box titled as expected";
        wchar_t shown[256] = {};
        GetDlgItemTextW(box, 0xFFFF, shown, 256);
        EXPECT_STREQ(shown, text);
        const HWND toolbar = FindProcessWindow(app_.Id(), kToolbarClass);
        EXPECT_FALSE(toolbar && IsWindowVisible(toolbar));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(app_.WaitForExit(10000));
        EXPECT_FALSE(KeyExists(kSettingsKey));
    }
};

TEST_F(StartupTest, ActiveDesktopIsRefused) {
    StartStandIn({L"--scripted", L"--item=Readme@10,10", L"--ie-server"});
    ExpectRefusal(L"Iconvale", L"Active Desktop を無効にしてください！");
    EXPECT_TRUE(ProgramLog().empty());
}

TEST_F(StartupTest, Win32sIsRefused) {
    WriteString(kVersionKey, L"Version", L"win31");
    StartStandIn({L"--scripted", L"--item=Readme@10,10"});
    ExpectRefusal(L"Kivo", L"Windows3.1上では動作しません。");
    EXPECT_TRUE(ProgramLog().empty());
}

TEST_F(StartupTest, ASecondInstanceEndsSilently) {
    StartStandIn({L"--scripted", L"--item=Readme@10,10"});
    StartIconvale();
    ChildProcess second;
    ASSERT_TRUE(second.Start(iconvalePath_));
    DWORD code = 1;
    ASSERT_TRUE(second.WaitForExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(FindProcessWindow(second.Id(), L"#32770"), nullptr);
    EXPECT_TRUE(app_.IsRunning());
    Exit();
}

TEST_F(StartupTest, NinetyEightGetsOnlyTheStyleMessage) {
    WriteString(kVersionKey, L"Version", L"win98");
    StartStandIn({L"--scripted", L"--item=Readme@10,10"});
    StartIconvale();
    EXPECT_EQ(AfterStartupStyles(WaitForProgramLog(3)),
              (std::vector<std::wstring>{L"LV WM_STYLECHANGED new=0x00000A40"}));
    ClearLog();
    Click(1);
    EXPECT_EQ(WaitForProgramLog(1), (std::vector<std::wstring>{L"LV WM_STYLECHANGED new=0x00000242"}));
    Exit();
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"2");
}

TEST_F(StartupTest, StoredModeOutOfTheCycleLandsOnTheNext) {
    WriteString(kSettingsKey, L"Desktop Icon", L"3");
    WriteString(kSettingsKey, L"Change Style", L"1101");
    StartStandIn({L"--scripted", L"--item=Readme@10,10", L"--item=メモ@80,10"});
    StartIconvale();
    EXPECT_TRUE(WaitForType(LVS_REPORT));
    EXPECT_TRUE(WaitUntil([&] { return HeaderVisible(); }, 5000));
    EXPECT_EQ(AfterStartupStyles(WaitForProgramLog(5)),
              (std::vector<std::wstring>{L"LV WM_STYLECHANGED new=0x00000E41", L"VIEW WM_COMMAND 0x702A",
                                         L"VIEW WM_COMMAND 0x702C"}));
    Exit();
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"4");
    EXPECT_EQ(ReadString(kSettingsKey, L"Change Style"), L"1101");
}

// A shell that stops answering must not freeze Iconvale: it starts, and ends on its exit button.
TEST_F(StartupTest, AHungShellDoesNotFreezeIconvale) {
    StartStandIn({L"--scripted", L"--item=Readme@10,10", L"--hang-after=300"});
    const HWND progman = FindProcessWindow(standin_.Id(), L"Progman");
    ASSERT_NE(progman, nullptr);
    ASSERT_TRUE(WaitUntil(
        [&] {
            DWORD_PTR answer = 0;
            return !SendMessageTimeoutW(progman, WM_NULL, 0, 0, SMTO_NORMAL, 100, &answer);
        },
        5000))
        << "the shell does not hang";
    const DWORD start = GetTickCount();
    StartIconvale();
    Exit();
    EXPECT_LT(GetTickCount() - start, 20000u);
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"1");
}

}  // namespace
}  // namespace e2e
