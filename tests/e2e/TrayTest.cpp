// The notification-area icon in a Wine desktop that has a taskbar, used with the real mouse.
#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

using namespace testing_support;

constexpr wchar_t kDesktopName[] = L"IconvaleTray";

class TrayTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        EnterWineDesktop(kDesktopName, {L"--shell"});
    }

    void TearDown() override {
        // A stand-in that never came up far enough to be attached still goes with the test.
        if (!standin_.IsRunning()) {
            DWORD pid = 0;
            if (HWND progman = FindWindowW(L"Progman", nullptr)) GetWindowThreadProcessId(progman, &pid);
            if (pid) standin_.Attach(pid);
        }
        E2eTest::TearDown();
        LeaveWineDesktop();
    }

    // A window's own visible style (from a thread on another desktop, IsWindowVisible also looks
    // at that desktop's root window).
    static bool Shown(HWND w) { return w && (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) != 0; }

    static HWND FindVisibleTray() {
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"Shell_TrayWnd", nullptr)) != nullptr;) {
            if (Shown(w)) return w;
        }
        return nullptr;
    }

    void StartIconvaleInTray() {
        ASSERT_TRUE(app_.Start(iconvalePath_, {}, kDesktopName));
        ASSERT_TRUE(WaitUntil(
            [&] {
                main_ = FindProcessWindow(app_.Id(), kToolbarClass);
                // The taskbar shows once it has something on it.
                tray_ = FindVisibleTray();
                return main_ && tray_ && FindProcessWindow(app_.Id(), L"IconvaleTaskWindow");
            },
            20000))
            << "toolbar window " << main_ << " taskbar " << tray_;
    }

    // The only icon of the notification area sits at the right end of the taskbar.
    POINT IconPoint() const {
        RECT r = {};
        GetWindowRect(tray_, &r);
        return {r.right - 11, (r.top + r.bottom) / 2};
    }
    // The blue of the program's icon (res/iconvale.ico, 16 x 16), somewhere in the icon's place.
    bool IconShown() const {
        const POINT p = IconPoint();
        HDC dc = GetDC(nullptr);
        bool blue = false;
        for (int dy = -8; dy <= 8 && !blue; dy += 2) {
            for (int dx = -8; dx <= 8 && !blue; ++dx) blue = GetPixel(dc, p.x + dx, p.y + dy) == RGB(47, 127, 216);
        }
        ReleaseDC(nullptr, dc);
        return blue;
    }
    HWND OpenMenu() {
        const POINT p = IconPoint();
        RightClickAt(p.x, p.y);
        HWND menu = nullptr;
        WaitUntil([&] { return Shown(menu = FindWindowW(L"#32768", nullptr)); }, 5000);
        return menu;
    }

    HWND tray_ = nullptr;
};

TEST_F(TrayTest, IconMenuSwitchesTheViewAndExitRemovesTheIcon) {
    WriteString(kSettingsKey, L"Task Tray", L"1");
    WriteString(kSettingsKey, L"Change Style", L"1001");
    StartIconvaleInTray();
    EXPECT_TRUE(WaitUntil([&] { return IconShown(); }, 5000)) << "no icon in the notification area";
    EXPECT_FALSE(Shown(main_));

    ASSERT_NE(OpenMenu(), nullptr) << "the menu did not open";
    PressKey('D');
    EXPECT_TRUE(WaitForType(LVS_REPORT));
    EXPECT_FALSE(Shown(main_));

    ASSERT_NE(OpenMenu(), nullptr);
    PressKey('X');
    DWORD code = 1;
    ASSERT_TRUE(app_.WaitForExit(10000, &code));
    EXPECT_TRUE(WaitUntil([&] { return !IconShown(); }, 5000)) << "the icon stayed";
    EXPECT_EQ(ReadString(kSettingsKey, L"Task Tray"), L"1");
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"4");
}

TEST_F(TrayTest, MenuItemAndDoubleClickOpenTheSettingsDialog) {
    WriteString(kSettingsKey, L"Task Tray", L"1");
    StartIconvaleInTray();
    ASSERT_TRUE(WaitUntil([&] { return IconShown(); }, 5000)) << "no icon in the notification area";
    const auto dialog = [&] { return FindProcessWindow(app_.Id(), L"#32770", L"設定"); };

    ASSERT_NE(OpenMenu(), nullptr) << "the menu did not open";
    PressKey('S');
    ASSERT_TRUE(WaitUntil([&] { return Shown(dialog()); }, 5000)) << "the menu item did not open the dialog";
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return !dialog(); }, 5000)) << "Esc did not close the dialog";

    const POINT p = IconPoint();
    LeftClickAt(p.x, p.y);
    LeftClickAt(p.x, p.y);
    EXPECT_TRUE(WaitUntil([&] { return Shown(dialog()); }, 5000)) << "a double click did not open the dialog";

    ASSERT_NE(OpenMenu(), nullptr);
    PressKey('X');
    ASSERT_TRUE(app_.WaitForExit(10000));
}

}  // namespace
}  // namespace e2e
