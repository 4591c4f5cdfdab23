// The settle rule of a change of the screen size, the clamp of a restored icon, and the
// comparison that spares the calm save a write.
#include <gtest/gtest.h>

#include "desktop/ScreenFollow.h"

namespace iv {
namespace {

TEST(ScreenSettleTest, FirstSizeIsNoChange) {
    ScreenSettle screen;
    screen.Notice({1024, 768}, 100);
    EXPECT_TRUE(screen.SavesAllowed());
    EXPECT_FALSE(screen.TakeSettled(100 + kScreenSettleMs));
}

TEST(ScreenSettleTest, ChangeBlocksSavesUntilTakenOnceAfterTwoCalmSeconds) {
    ScreenSettle screen;
    screen.Notice({1024, 768}, 0);
    screen.Notice({800, 600}, 1000);
    EXPECT_FALSE(screen.SavesAllowed());
    EXPECT_FALSE(screen.TakeSettled(1000 + kScreenSettleMs - 1));
    // Still waiting to be taken after the two seconds: the restore has not run yet.
    EXPECT_FALSE(screen.SavesAllowed());
    EXPECT_TRUE(screen.TakeSettled(1000 + kScreenSettleMs));
    EXPECT_TRUE(screen.SavesAllowed());
    EXPECT_FALSE(screen.TakeSettled(9000));
}

TEST(ScreenSettleTest, FurtherChangeStartsTheWaitAgain) {
    ScreenSettle screen;
    screen.Notice({1024, 768}, 0);
    screen.Notice({800, 600}, 1000);
    screen.Notice({800, 600}, 2500);  // the same size seen again is no change
    screen.Notice({1024, 768}, 2900);
    EXPECT_FALSE(screen.TakeSettled(1000 + kScreenSettleMs));
    EXPECT_TRUE(screen.TakeSettled(2900 + kScreenSettleMs));
}

TEST(ShiftIntoViewTest, NearestPlaceWithTheWholeItemInside) {
    const RECT client = {0, 0, 800, 600};
    EXPECT_EQ(ShiftIntoView({100, 100, 175, 170}, client).x, 0);
    EXPECT_EQ(ShiftIntoView({100, 100, 175, 170}, client).y, 0);
    const POINT right = ShiftIntoView({900, 650, 975, 720}, client);  // past the right and bottom
    EXPECT_EQ(right.x, -175);
    EXPECT_EQ(right.y, -120);
    const POINT left = ShiftIntoView({-30, -5, 45, 65}, client);
    EXPECT_EQ(left.x, 30);
    EXPECT_EQ(left.y, 5);
    EXPECT_EQ(ShiftIntoView({790, 0, 800, 10}, client).x, 0);  // touching the edge is inside
    // Wider than the client area: its start shows.
    EXPECT_EQ(ShiftIntoView({500, 0, 1400, 70}, client).x, -500);
}

TEST(LayoutDiffersTest, WholeReadComparesEverythingPartialOnlyWhatWasRead) {
    const LayoutValues stored = {{L"A.X", L"10"}, {L"A.Y", L"20"}, {L"GONE.X", L"1"}, {L"GONE.Y", L"2"}};
    const LayoutValues wanted = {{L"A.X", L"10"}, {L"A.Y", L"20"}};
    EXPECT_TRUE(LayoutDiffers(wanted, stored, true));
    EXPECT_FALSE(LayoutDiffers(wanted, stored, false));
    EXPECT_TRUE(LayoutDiffers({{L"A.X", L"11"}, {L"A.Y", L"20"}}, stored, false));
    EXPECT_TRUE(LayoutDiffers({{L"B.X", L"10"}}, stored, false));
    EXPECT_FALSE(LayoutDiffers(wanted, wanted, true));
}

}  // namespace
}  // namespace iv
