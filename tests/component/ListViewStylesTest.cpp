// Extended styles, the label background and the repaint rules against the stand-in desktop.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "desktop/DesktopWatcher.h"
#include "shell/DesktopWindows.h"
#include "shell/ListViewStyles.h"
#include "shell/ShellSession.h"
#include "shell/ViewModes.h"
#include "settings/Settings.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"
#include "tests/support/StandInLog.h"

namespace iv {
namespace {

using namespace testing_support;
using Lines = std::vector<std::wstring>;

class ListViewStylesTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::Options options;
        for (int i = 0; i < 40; ++i) options.items.push_back({L"Item " + std::to_wstring(i), 10 + 80 * i, 10});
        desktop_ = standin::Desktop::Create(options);
        ASSERT_TRUE(desktop_);
        windows_ = FindDesktopWindows();
        PumpMessages(30);
        desktop_->ClearLog();
    }

    HWND ListView() const { return desktop_->ListView(); }

    // Whether the list view has been invalidated since the last call.
    bool TakeInvalidation() {
        RECT r = {};
        const bool pending = GetUpdateRect(ListView(), &r, FALSE) != FALSE;
        ValidateRect(ListView(), nullptr);
        return pending;
    }

    std::unique_ptr<standin::Desktop> desktop_;
    ShellSession session_;
    SharedSettings settings_;
    DesktopWindowHandles windows_;
    DesktopWatcher watcher_;
    ViewCommands commands_ = ViewCommands::Unknown;
    LabelBackground label_;
};

TEST_F(ListViewStylesTest, EachFlagTurnsOnItsOwnStyleAndOnlyOneCounts) {
    const DWORD expected[10] = {LVS_EX_INFOTIP,          LVS_EX_FULLROWSELECT, LVS_EX_GRIDLINES,
                                LVS_EX_HEADERDRAGDROP,   LVS_EX_SUBITEMIMAGES, LVS_EX_ONECLICKACTIVATE,
                                LVS_EX_TWOCLICKACTIVATE, LVS_EX_TRACKSELECT,   LVS_EX_UNDERLINECOLD,
                                LVS_EX_UNDERLINEHOT};
    for (int i = 0; i < 10; ++i) {
        for (auto& f : settings_.StyleFlags) f = 0;
        settings_.StyleFlags[i] = 1;
        ApplyListViewStyles(session_, windows_, settings_.StyleFlags, label_);
        EXPECT_EQ(static_cast<DWORD>(ListView_GetExtendedListViewStyle(ListView())), expected[i]) << i;
        settings_.StyleFlags[i] = 2;
        ApplyListViewStyles(session_, windows_, settings_.StyleFlags, label_);
        EXPECT_EQ(ListView_GetExtendedListViewStyle(ListView()), 0u) << i;
    }
}

TEST_F(ListViewStylesTest, StylesTheShellHadSetAreCleared) {
    ListView_SetExtendedListViewStyle(ListView(), LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | LVS_EX_GRIDLINES);
    settings_.StyleFlags[0] = 1;
    settings_.StyleFlags[9] = 1;
    desktop_->ClearLog();
    ApplyListViewStyles(session_, windows_, settings_.StyleFlags, label_);
    EXPECT_EQ(static_cast<DWORD>(ListView_GetExtendedListViewStyle(ListView())),
              static_cast<DWORD>(LVS_EX_INFOTIP | LVS_EX_UNDERLINEHOT));
    EXPECT_EQ(ProgramMessages(desktop_->Log())[0], L"LV LVM_SETEXTENDEDLISTVIEWSTYLE mask=0x00000000 style=0x00000C00");
}

TEST_F(ListViewStylesTest, TransparentLabelsAndTheSavedColourBack) {
    ListView_SetTextBkColor(ListView(), RGB(10, 20, 30));
    for (const auto& [flag, colour] :
         {std::pair<int16_t, COLORREF>{1, CLR_NONE}, {0, RGB(10, 20, 30)}, {2, RGB(10, 20, 30)}}) {
        settings_.StyleFlags[10] = flag;
        ApplyListViewStyles(session_, windows_, settings_.StyleFlags, label_);
        EXPECT_EQ(ListView_GetTextBkColor(ListView()), colour) << flag;
    }
    EXPECT_TRUE(TakeInvalidation());
    RECT r = {};
    EXPECT_TRUE(GetUpdateRect(desktop_->DefView(), &r, FALSE));

    // A colour the start-up could not read (no desktop yet, at log-on) is unknown, never black:
    // nothing is set while it stays unknown, and it is read when the desktop answers.
    LabelBackground unknown;
    unknown.TryRead(session_, nullptr);
    ListView_SetTextBkColor(ListView(), RGB(40, 50, 60));
    ApplyListViewStyles(session_, DesktopWindowHandles{}, settings_.StyleFlags, unknown);
    ApplyListViewStyles(session_, windows_, settings_.StyleFlags, unknown);
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), RGB(40, 50, 60));
    EXPECT_EQ(unknown.Saved(), RGB(40, 50, 60));
}

TEST_F(ListViewStylesTest, KeepTextTransparentRestoresTheColourWithoutARepaint) {
    settings_.StyleFlags[10] = 1;
    ApplyListViewStyles(session_, windows_, settings_.StyleFlags, label_);
    TakeInvalidation();
    desktop_->ClearLog();
    watcher_.KeepTextTransparent(session_, windows_, settings_.StyleFlags[kTextColorFlag] == 1);
    EXPECT_TRUE(ProgramMessages(desktop_->Log()).empty()) << "nothing to do while it is transparent";

    // The shell resets the background, as after a wallpaper change.
    ListView_SetTextBkColor(ListView(), RGB(255, 255, 255));
    TakeInvalidation();
    desktop_->ClearLog();
    watcher_.KeepTextTransparent(session_, windows_, settings_.StyleFlags[kTextColorFlag] == 1);
    EXPECT_EQ(ProgramMessages(desktop_->Log()), (Lines{L"LV LVM_SETTEXTBKCOLOR 0xFFFFFFFF"}));
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), CLR_NONE);
    EXPECT_FALSE(TakeInvalidation());

    // Off: the shell's colour is left alone.
    settings_.StyleFlags[10] = 0;
    ListView_SetTextBkColor(ListView(), RGB(255, 255, 255));
    watcher_.KeepTextTransparent(session_, windows_, settings_.StyleFlags[kTextColorFlag] == 1);
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), RGB(255, 255, 255));
}

TEST_F(ListViewStylesTest, OneRepaintPerChangeOfItemCount) {
    // One repaint for the check that sees the count, none for a second check of the same count.
    const auto expectOneRepaint = [&](int count) {
        TakeInvalidation();
        watcher_.CheckItemCount(session_, windows_);
        EXPECT_TRUE(TakeInvalidation()) << count;
        EXPECT_EQ(watcher_.LastItemCount(), count);
        watcher_.CheckItemCount(session_, windows_);
        EXPECT_FALSE(TakeInvalidation()) << count;
    };
    expectOneRepaint(40);  // the first check after start-up always repaints

    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 40;
    item.pszText = const_cast<wchar_t*>(L"New file");
    ListView_InsertItem(ListView(), &item);
    expectOneRepaint(41);

    ListView_DeleteItem(ListView(), 0);
    ListView_DeleteItem(ListView(), 0);
    expectOneRepaint(39);

    // A desktop that is gone counts as empty.
    desktop_.reset();
    watcher_.CheckItemCount(session_, windows_);
    EXPECT_EQ(watcher_.LastItemCount(), 0);
}

TEST_F(ListViewStylesTest, SmallIconsRepaintOncePerHorizontalScroll) {
    SetDesktopViewMode(session_, windows_, commands_, kSmallIconsMode, kLargeIconsMode);
    PumpMessages(30);
    // Squeeze the view so that its icons need scrolling sideways.
    SetWindowPos(desktop_->DefView(), nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    SetWindowPos(ListView(), nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    PumpMessages(30);
    watcher_.StartScrollFollow(ListView());
    TakeInvalidation();
    watcher_.FollowScroll(windows_);
    EXPECT_FALSE(TakeInvalidation());

    ListView_Scroll(ListView(), 200, 0);
    PumpMessages(30);
    ASSERT_NE(GetScrollPos(ListView(), SB_HORZ), watcher_.LastScrollPos()) << "the view did not scroll";
    TakeInvalidation();
    watcher_.FollowScroll(windows_);
    EXPECT_TRUE(TakeInvalidation());
    watcher_.FollowScroll(windows_);
    EXPECT_FALSE(TakeInvalidation());

    // In any other mode scrolling is not followed.
    SetDesktopViewMode(session_, windows_, commands_, kLargeIconsMode, kSmallIconsMode);
    watcher_.StopScrollFollow();
    ListView_Scroll(ListView(), -200, 0);
    PumpMessages(30);
    TakeInvalidation();
    watcher_.FollowScroll(windows_);
    EXPECT_FALSE(TakeInvalidation());
}

TEST_F(ListViewStylesTest, RedrawFindsTheDesktopAndRepaintsIt) {
    windows_ = {};
    TakeInvalidation();
    RedrawDesktop(windows_);
    EXPECT_EQ(windows_.ListView, ListView());
    EXPECT_TRUE(TakeInvalidation());
}

TEST(ListViewStylesWithoutDesktop, NothingHappensAndNothingFails) {
    ShellSession session;
    SharedSettings settings;
    DesktopWindowHandles windows;
    DesktopWatcher watcher;
    settings.StyleFlags[kTextColorFlag] = 1;
    LabelBackground label;
    ApplyListViewStyles(session, windows, settings.StyleFlags, label);
    EXPECT_FALSE(label.Saved());
    watcher.KeepTextTransparent(session, windows, true);
    watcher.StartScrollFollow(nullptr);
    watcher.FollowScroll(windows);
    watcher.CheckItemCount(session, windows);
    EXPECT_EQ(watcher.LastItemCount(), 0);
    RedrawDesktop(windows);
}

}  // namespace
}  // namespace iv
