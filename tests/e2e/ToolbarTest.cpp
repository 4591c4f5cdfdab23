// The toolbar's view and exit buttons over the platform's own shell view.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <cstdio>

#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

using namespace testing_support;

class ToolbarTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        wchar_t desktop[MAX_PATH] = {};
        ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop)));
        for (const wchar_t* name : {L"Readme.txt", L"予定表.txt", L"Notes.txt"}) {
            const std::wstring path = std::wstring(desktop) + L"\\" + name;
            if (FILE* f = _wfopen(path.c_str(), L"wb")) fclose(f);
        }
    }
};

TEST_F(ToolbarTest, ViewButtonCyclesTheShellViewAndExitStoresTheMode) {
    StartStandIn({L"--shell"});
    StartIconvale();
    EXPECT_TRUE(WaitForType(LVS_ICON));
    EXPECT_EQ(AfterStartupStyles(WaitForProgramLog(4)),
              (std::vector<std::wstring>{L"VIEW WM_COMMAND 0x7029", L"LV WM_STYLECHANGED new=0x00004A40"}));

    // Tucked at the top-left corner with a thin strip on screen.
    RECT r = {};
    GetWindowRect(main_, &r);
    EXPECT_EQ(r.top, 0);
    EXPECT_GE(r.right, 3);
    EXPECT_LE(r.right, 4);

    Click(1);
    EXPECT_TRUE(WaitForType(LVS_SMALLICON));
    Click(1);
    EXPECT_TRUE(WaitForType(LVS_LIST));
    // The view command changes the type before the style message arrives: wait for both.
    EXPECT_EQ(WaitForProgramLog(8).size(), 8u);
    ClearLog();
    Click(1);
    EXPECT_TRUE(WaitForType(LVS_REPORT));
    EXPECT_TRUE(WaitUntil([&] { return HeaderVisible(); }, 3000));
    EXPECT_EQ(WaitForProgramLog(3), (std::vector<std::wstring>{L"LV WM_STYLECHANGED new=0x00000E41",
                                                               L"VIEW WM_COMMAND 0x702B", L"VIEW WM_COMMAND 0x702C"}));
    Exit();

    EXPECT_EQ(ValueNames(kSettingsKey).size(), 18u);
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"4");
    EXPECT_EQ(ReadString(kSettingsKey, L"Change Style"), L"1111");
    EXPECT_EQ(ReadString(kSettingsKey, L"Icon Position"), L"00");
    // Nothing done to the desktop is undone at exit.
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_REPORT));

    // The next start comes back in the stored mode, from wherever the desktop was left.
    SendMessageW(defView_, WM_COMMAND, 0x7029, 0);
    ASSERT_TRUE(WaitForType(LVS_ICON));
    StartIconvale();
    EXPECT_TRUE(WaitForType(LVS_REPORT));
    Click(1);
    EXPECT_TRUE(WaitForType(LVS_ICON));
    EXPECT_TRUE(WaitUntil([&] { return !HeaderVisible(); }, 3000));
    Exit();
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"1");
}

TEST_F(ToolbarTest, RedrawButtonLeavesTheViewAsItIs) {
    WriteString(kSettingsKey, L"Desktop Icon", L"2");
    StartStandIn({L"--shell", L"--log-paint"});
    StartIconvale();
    ASSERT_TRUE(WaitForType(LVS_SMALLICON));
    PumpMessages(500);
    ClearLog();
    Click(11);
    // The list view repaints, and nothing else is asked of the desktop.
    EXPECT_TRUE(WaitUntil([&] { return Logged(L"LV WM_PAINT"); }, 5000));
    EXPECT_TRUE(ProgramLog().empty());
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_SMALLICON));
    Exit();
}

TEST_F(ToolbarTest, StoredStylesAndTransparentLabelsStayOnTheDesktop) {
    WriteString(kSettingsKey, L"Tool Tips", L"1");
    WriteString(kSettingsKey, L"Grid Line", L"1");
    WriteString(kSettingsKey, L"Under Line Hot", L"2");
    WriteString(kSettingsKey, L"Text Color", L"1");
    StartStandIn({L"--shell"});
    StartIconvale();
    EXPECT_TRUE(WaitUntil(
        [&] { return static_cast<COLORREF>(SendMessageW(listView_, LVM_GETTEXTBKCOLOR, 0, 0)) == CLR_NONE; }, 5000));
    EXPECT_EQ(static_cast<DWORD>(SendMessageW(listView_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)),
              static_cast<DWORD>(LVS_EX_INFOTIP | LVS_EX_GRIDLINES));

    // The shell puts a background back by itself, and tells no one: the slow check removes it.
    SendMessageW(listView_, LVM_SETTEXTBKCOLOR, 0, RGB(255, 255, 255));
    EXPECT_TRUE(WaitUntil(
        [&] { return static_cast<COLORREF>(SendMessageW(listView_, LVM_GETTEXTBKCOLOR, 0, 0)) == CLR_NONE; }, 5000));
    Exit();
    EXPECT_EQ(ReadString(kSettingsKey, L"Text Color"), L"1");
    EXPECT_EQ(ReadString(kSettingsKey, L"Under Line Hot"), L"2");
}

TEST_F(ToolbarTest, SlidesOutUnderTheMouseInEveryCornerAndTucksAway) {
    StartStandIn({L"--shell"});
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    for (int corner = 0; corner < 4; ++corner) {
        WriteString(kSettingsKey, L"Tool Position", std::to_wstring(corner));
        StartIconvale();
        RECT r = {};
        GetWindowRect(main_, &r);
        EXPECT_EQ(corner == 0 || corner == 2 ? r.top : r.bottom, corner == 0 || corner == 2 ? 0 : height) << corner;
        EXPECT_FALSE(ToolbarShown()) << corner;
        PointAtToolbar();
        GetWindowRect(main_, &r);
        EXPECT_EQ(corner < 2 ? r.left : r.right, corner < 2 ? 0 : width) << corner;
        PointAway();
        EXPECT_TRUE(WaitUntil([&] { return !ToolbarShown(); }, 5000)) << corner;
        Exit();
        EXPECT_EQ(ReadString(kSettingsKey, L"Tool Position"), std::to_wstring(corner));
    }
}

}  // namespace
}  // namespace e2e
