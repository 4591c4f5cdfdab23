// Extended styles, the label background and the repaint rules against the stand-in desktop.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "app/State.h"
#include "desktop/DesktopWindows.h"
#include "desktop/ListViewStyles.h"
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
        ResetState();
        IsWinNT = kTrue;
        standin::Options options;
        for (int i = 0; i < 40; ++i) options.items.push_back({L"Item " + std::to_wstring(i), 10 + 80 * i, 10});
        desktop_ = standin::Desktop::Create(options);
        ASSERT_TRUE(desktop_);
        FindDesktopWindows();
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
};

TEST_F(ListViewStylesTest, EachFlagTurnsOnItsOwnStyleAndOnlyOneCounts) {
    const DWORD expected[10] = {LVS_EX_INFOTIP,      LVS_EX_FULLROWSELECT,     LVS_EX_GRIDLINES,
                                LVS_EX_HEADERDRAGDROP, LVS_EX_SUBITEMIMAGES,   LVS_EX_ONECLICKACTIVATE,
                                LVS_EX_TWOCLICKACTIVATE, LVS_EX_TRACKSELECT,   LVS_EX_UNDERLINECOLD,
                                LVS_EX_UNDERLINEHOT};
    for (int i = 0; i < 10; ++i) {
        for (auto& f : StyleFlags) f = 0;
        StyleFlags[i] = 1;
        ApplyListViewStyles();
        EXPECT_EQ(static_cast<DWORD>(ListView_GetExtendedListViewStyle(ListView())), expected[i]) << i;
        StyleFlags[i] = 2;
        ApplyListViewStyles();
        EXPECT_EQ(ListView_GetExtendedListViewStyle(ListView()), 0u) << i;
    }
}

TEST_F(ListViewStylesTest, StylesTheShellHadSetAreCleared) {
    ListView_SetExtendedListViewStyle(ListView(), LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | LVS_EX_GRIDLINES);
    StyleFlags[0] = 1;
    StyleFlags[9] = 1;
    desktop_->ClearLog();
    ApplyListViewStyles();
    EXPECT_EQ(static_cast<DWORD>(ListView_GetExtendedListViewStyle(ListView())),
              static_cast<DWORD>(LVS_EX_INFOTIP | LVS_EX_UNDERLINEHOT));
    EXPECT_EQ(ProgramMessages(desktop_->Log())[0], L"LV LVM_SETEXTENDEDLISTVIEWSTYLE mask=0x00000000 style=0x00000C00");
}

TEST_F(ListViewStylesTest, TransparentLabelsAndTheSavedColourBack) {
    SavedTextBkColor = RGB(10, 20, 30);
    StyleFlags[10] = 1;
    ApplyListViewStyles();
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), CLR_NONE);
    StyleFlags[10] = 0;
    ApplyListViewStyles();
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), RGB(10, 20, 30));
    StyleFlags[10] = 2;
    ApplyListViewStyles();
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), RGB(10, 20, 30));
    EXPECT_TRUE(TakeInvalidation());
    RECT r = {};
    EXPECT_TRUE(GetUpdateRect(desktop_->DefView(), &r, FALSE));
}

TEST_F(ListViewStylesTest, KeepTextTransparentRestoresTheColourWithoutARepaint) {
    StyleFlags[10] = 1;
    ApplyListViewStyles();
    TakeInvalidation();
    desktop_->ClearLog();
    KeepTextTransparent();
    EXPECT_TRUE(ProgramMessages(desktop_->Log()).empty()) << "nothing to do while it is transparent";

    // The shell resets the background, as after a wallpaper change.
    ListView_SetTextBkColor(ListView(), RGB(255, 255, 255));
    TakeInvalidation();
    desktop_->ClearLog();
    KeepTextTransparent();
    EXPECT_EQ(ProgramMessages(desktop_->Log()), (Lines{L"LV LVM_SETTEXTBKCOLOR 0xFFFFFFFF"}));
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), CLR_NONE);
    EXPECT_FALSE(TakeInvalidation());

    // Off: the shell's colour is left alone.
    StyleFlags[10] = 0;
    ListView_SetTextBkColor(ListView(), RGB(255, 255, 255));
    KeepTextTransparent();
    EXPECT_EQ(ListView_GetTextBkColor(ListView()), RGB(255, 255, 255));
}

TEST_F(ListViewStylesTest, OneRepaintPerChangeOfItemCount) {
    TakeInvalidation();
    CheckDesktopItemCount();  // the first check after start-up always repaints
    EXPECT_TRUE(TakeInvalidation());
    EXPECT_EQ(LastItemCount, 40);
    CheckDesktopItemCount();
    EXPECT_FALSE(TakeInvalidation());

    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 40;
    item.pszText = const_cast<wchar_t*>(L"New file");
    ListView_InsertItem(ListView(), &item);
    TakeInvalidation();
    CheckDesktopItemCount();
    EXPECT_TRUE(TakeInvalidation());
    EXPECT_EQ(LastItemCount, 41);
    CheckDesktopItemCount();
    EXPECT_FALSE(TakeInvalidation());

    ListView_DeleteItem(ListView(), 0);
    ListView_DeleteItem(ListView(), 0);
    TakeInvalidation();
    CheckDesktopItemCount();
    EXPECT_TRUE(TakeInvalidation());
    EXPECT_EQ(LastItemCount, 39);
}

TEST_F(ListViewStylesTest, SmallIconsRepaintOncePerHorizontalScroll) {
    SetDesktopViewMode(1, 0);
    PumpMessages(30);
    ASSERT_EQ(ScrollWatch, kTrue);
    // Squeeze the view so that its icons need scrolling sideways.
    SetWindowPos(desktop_->DefView(), nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    SetWindowPos(ListView(), nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    PumpMessages(30);
    LastScrollPos = GetScrollPos(ListView(), SB_HORZ);
    TakeInvalidation();
    FollowScroll();
    EXPECT_FALSE(TakeInvalidation());

    ListView_Scroll(ListView(), 200, 0);
    PumpMessages(30);
    ASSERT_NE(GetScrollPos(ListView(), SB_HORZ), LastScrollPos) << "the view did not scroll";
    TakeInvalidation();
    FollowScroll();
    EXPECT_TRUE(TakeInvalidation());
    FollowScroll();
    EXPECT_FALSE(TakeInvalidation());

    // In any other mode scrolling is not followed.
    SetDesktopViewMode(0, 1);
    ListView_Scroll(ListView(), -200, 0);
    PumpMessages(30);
    TakeInvalidation();
    FollowScroll();
    EXPECT_FALSE(TakeInvalidation());
}

TEST_F(ListViewStylesTest, RedrawFindsTheDesktopAndRepaintsIt) {
    DesktopWindows = {};
    TakeInvalidation();
    RedrawDesktop();
    EXPECT_EQ(DesktopWindows.ListView, ListView());
    EXPECT_TRUE(TakeInvalidation());
}

TEST(ListViewStylesWithoutDesktop, NothingHappensAndNothingFails) {
    ResetState();
    StyleFlags[10] = 1;
    ApplyListViewStyles();
    KeepTextTransparent();
    ScrollWatch = kTrue;
    FollowScroll();
    LastItemCount = 5;
    CheckDesktopItemCount();
    EXPECT_EQ(LastItemCount, 0);
    RedrawDesktop();
}

}  // namespace
}  // namespace iv
