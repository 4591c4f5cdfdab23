// The watcher's tick on the toolbar window in this process, with the real mouse pointer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/ToolbarRules.h"
#include "app/frmMain.h"
#include "settings/Settings.h"
#include "tests/component/FreshDesktop.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"
#include "tests/support/StandInLog.h"

namespace iv {
namespace {

using namespace testing_support;

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = FreshDesktop();
        ASSERT_TRUE(desktop_);
        SetCursorPos(Width() / 2, Height() / 2);
    }
    void TearDown() override {
        form_.reset();
        DeleteKeyTree(kSettingsKey);
    }

    void Load(int16_t corner) {
        WriteString(kSettingsKey, L"Tool Position", std::to_wstring(corner));
        form_ = LoadToolbarWindow();
        ASSERT_TRUE(form_);
    }

    static int Width() { return GetSystemMetrics(SM_CXSCREEN); }
    static int Height() { return GetSystemMetrics(SM_CYSCREEN); }

    RECT WindowRect() const {
        RECT r = {};
        GetWindowRect(form_->Hwnd(), &r);
        return r;
    }
    bool Shown(int16_t corner) const {
        const RECT r = WindowRect();
        return corner < 2 ? r.left == 0 : r.right == Width();
    }
    bool Tucked(int16_t corner) const {
        const RECT r = WindowRect();
        return corner < 2 ? r.right > 0 && r.right <= 4 : r.left < Width() && r.left >= Width() - 4;
    }

    std::unique_ptr<standin::Desktop> desktop_;
    std::unique_ptr<frmMain> form_;
};

TEST_F(WatcherTest, InEveryCornerTheToolbarSlidesOutUnderTheMouseAndTucksAway) {
    for (int16_t corner = 0; corner < 4; ++corner) {
        Load(corner);
        PumpMessages(50);
        ASSERT_TRUE(Tucked(corner)) << corner;
        const RECT r = WindowRect();
        // Onto the strip that stays on screen.
        SetCursorPos(corner < 2 ? 1 : Width() - 2, (r.top + r.bottom) / 2);
        EXPECT_TRUE(WaitUntil([&] { return Shown(corner); }, 3000)) << corner;
        // Moving over the whole toolbar keeps it out.
        SetCursorPos(corner < 2 ? 20 : Width() - 20, (r.top + r.bottom) / 2);
        PumpMessages(50);
        EXPECT_TRUE(Shown(corner)) << corner;
        SetCursorPos(Width() / 2, Height() / 2);
        EXPECT_TRUE(WaitUntil([&] { return Tucked(corner); }, 3000)) << corner;
        form_.reset();
    }
}

TEST_F(WatcherTest, TheRightAndBottomEdgePixelsAreOutside) {
    Load(0);
    const RECT tucked = WindowRect();
    SetCursorPos(tucked.right - 1, tucked.bottom - 1);
    form_->FollowMouse();
    const RECT shown = WindowRect();
    ASSERT_EQ(shown.left, 0);
    SetCursorPos(shown.right, 10);
    form_->FollowMouse();
    EXPECT_EQ(WindowRect().left, tucked.left);

    SetCursorPos(1, tucked.bottom - 1);
    form_->FollowMouse();
    ASSERT_EQ(WindowRect().left, 0);
    SetCursorPos(1, tucked.bottom);
    form_->FollowMouse();
    EXPECT_EQ(WindowRect().left, tucked.left);
}

TEST_F(WatcherTest, AChangeToTheTrayHidesTheToolbarAtTheNextLook) {
    Load(2);
    ASSERT_TRUE(IsWindowVisible(form_->Hwnd()));
    form_->Settings().TaskTray = 1;
    form_->FollowMouse();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    // The hit test keeps using the last rectangle; the window stays hidden.
    SetCursorPos(Width() - 2, 50);
    form_->FollowMouse();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    SetCursorPos(Width() / 2, Height() / 2);
    form_->Settings().TaskTray = 0;
    form_->FollowMouse();
    EXPECT_TRUE(IsWindowVisible(form_->Hwnd()));
    EXPECT_TRUE(Tucked(2));
}

TEST_F(WatcherTest, TheFirstTickRepaintsTheDesktopOnceAndIdleTicksNever) {
    Load(0);
    // Ticks run only from the message loop; none has run yet.
    ValidateRect(desktop_->ListView(), nullptr);
    desktop_->ClearLog();
    form_->Timer1_Timer();
    RECT r = {};
    EXPECT_TRUE(GetUpdateRect(desktop_->ListView(), &r, FALSE));
    ValidateRect(desktop_->ListView(), nullptr);
    for (int i = 0; i < 20; ++i) form_->Timer1_Timer();
    EXPECT_FALSE(GetUpdateRect(desktop_->ListView(), &r, FALSE));
    // Idle ticks ask nothing of the desktop beyond reading it.
    EXPECT_TRUE(ProgramMessages(desktop_->Log()).empty());
}

TEST_F(WatcherTest, ExitStopsTheTicks) {
    Load(0);
    PumpMessages(30);
    form_->Unload();
    ValidateRect(desktop_->ListView(), nullptr);
    desktop_->ClearLog();
    const int32_t counted = form_->Keeper().Watcher().LastItemCount();
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 2;
    item.pszText = const_cast<wchar_t*>(L"New file");
    ASSERT_EQ(ListView_InsertItem(desktop_->ListView(), &item), 2);
    PumpMessages(100);
    EXPECT_EQ(form_->Keeper().Watcher().LastItemCount(), counted);
}

}  // namespace
}  // namespace iv
