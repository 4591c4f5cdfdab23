// The settings dialog of the running program, opened and used with the real mouse.
#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

using namespace testing_support;

constexpr int kStyleTree = 102;
constexpr int kEtcTree = 103;

// Rows of the trees as the dialog opens with the default settings, counted from the top.
constexpr int kRowGridLine = 2;
constexpr int kRowToolTips = 6;
constexpr int kRowTopRight = 3;
constexpr int kRowFirstViewMode = 8;  // large icons, small icons, list, details

class SettingsDialogTest : public E2eTest {
protected:
    HWND OpenFromToolbar() {
        Click(3);
        HWND dialog = nullptr;
        WaitUntil(
            [&] { return (dialog = FindProcessWindow(app_.Id(), L"#32770", L"設定")) && IsWindowVisible(dialog); },
            10000);
        return dialog;
    }

    // A real click on a row of a tree; whole rows select, so the row's left part is enough.
    static void ClickRow(HWND dialog, int tree, int row) {
        const HWND control = GetDlgItem(dialog, tree);
        const auto height = static_cast<int>(SendMessageW(control, TVM_GETITEMHEIGHT, 0, 0));
        POINT p = {60, row * height + height / 2};
        ClientToScreen(control, &p);
        LeftClickAt(p.x, p.y);
    }
    static void ClickButton(HWND dialog, int id) {
        RECT r = {};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        LeftClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
};

TEST_F(SettingsDialogTest, OkChangesTheDesktopAndTheToolbarAtOnceAndExitStoresIt) {
    StartStandIn({L"--shell"});
    StartIconvale();
    ASSERT_TRUE(WaitForType(LVS_ICON));
    const HWND dialog = OpenFromToolbar();
    ASSERT_NE(dialog, nullptr) << "the settings dialog did not open";

    ClickRow(dialog, kStyleTree, kRowGridLine);
    ClickRow(dialog, kStyleTree, kRowToolTips);
    ClickRow(dialog, kEtcTree, kRowTopRight);
    ClickRow(dialog, kEtcTree, kRowFirstViewMode);  // large icons, the current mode, stops cycling
    // Nothing is applied before OK.
    PumpMessages(200);
    EXPECT_EQ(SendMessageW(listView_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0);
    ClickButton(dialog, IDOK);

    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "OK did not close the dialog";
    EXPECT_TRUE(WaitForType(LVS_SMALLICON));
    EXPECT_EQ(static_cast<DWORD>(SendMessageW(listView_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)),
              static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_INFOTIP));
    // The toolbar moves to the top-right corner as the settings are applied.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_TRUE(WaitUntil(
        [&] {
            RECT r = {};
            GetWindowRect(main_, &r);
            return r.top == 0 && r.left >= width - 4 && r.left < width;
        },
        5000));

    Exit();
    EXPECT_EQ(ReadString(kSettingsKey, L"Grid Line"), L"1");
    EXPECT_EQ(ReadString(kSettingsKey, L"Tool Tips"), L"1");
    EXPECT_EQ(ReadString(kSettingsKey, L"Tool Position"), L"2");
    EXPECT_EQ(ReadString(kSettingsKey, L"Change Style"), L"0111");
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"2");
}

TEST_F(SettingsDialogTest, NoViewModeToCycleIsRefusedWithAMessage) {
    StartStandIn({L"--shell"});
    StartIconvale();
    const HWND dialog = OpenFromToolbar();
    ASSERT_NE(dialog, nullptr) << "the settings dialog did not open";
    for (int i = 0; i < 4; ++i) ClickRow(dialog, kEtcTree, kRowFirstViewMode + i);
    ClickButton(dialog, IDOK);

    HWND message = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (message = FindProcessWindow(app_.Id(), L"#32770", L"設定ｴﾗｰ")) != nullptr; }, 5000))
        << "no validation message";
    wchar_t text[128] = {};
    GetDlgItemTextW(message, 0xFFFF, text, 128);
    EXPECT_STREQ(text, L"切替えるｽﾀｲﾙの選択を行って下さい！");
    ClickButton(message, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(message); }, 5000));
    EXPECT_TRUE(IsWindow(dialog)) << "a refused OK closed the dialog";

    // Esc is Cancel: closed, and nothing changed.
    SetForegroundWindow(dialog);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "Esc did not close the dialog";
    Exit();
    EXPECT_EQ(ReadString(kSettingsKey, L"Change Style"), L"1111");
}

}  // namespace
}  // namespace e2e
