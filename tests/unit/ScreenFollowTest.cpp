// The settle rule of a change of the screen size, the clamp of a restored icon, and the
// comparison that spares the calm save a write.
#include <gtest/gtest.h>

#include <utility>

#include "desktop/ScreenFollow.h"

namespace iv {
namespace {

TEST(ScreenSettleTest, ChangeBlocksSavesUntilTakenOnceAfterTwoCalmSeconds) {
    ScreenSettle screen;
    screen.Notice({1024, 768}, 0);  // the first size seen is no change
    EXPECT_TRUE(screen.SavesAllowed());
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
    const auto shift = [](RECT bounds) {
        const POINT p = ShiftIntoView(bounds, {0, 0, 800, 600});
        return std::pair{p.x, p.y};
    };
    EXPECT_EQ(shift({100, 100, 175, 170}), std::pair(0L, 0L));
    EXPECT_EQ(shift({900, 650, 975, 720}), std::pair(-175L, -120L));  // past the right and bottom
    EXPECT_EQ(shift({-30, -5, 45, 65}), std::pair(30L, 5L));
    EXPECT_EQ(shift({790, 590, 800, 600}), std::pair(0L, 0L));   // touching the edge is inside
    EXPECT_EQ(shift({500, 0, 1400, 70}), std::pair(-500L, 0L));  // wider than the client: its start shows
}

TEST(LayoutDiffersTest, WholeReadComparesEverythingPartialOnlyWhatWasRead) {
    const LayoutValues stored = {{L"A.X", L"10"}, {L"A.Y", L"20"}, {L"GONE.X", L"1"}, {L"GONE.Y", L"2"}};
    const LayoutValues wanted = {{L"A.X", L"10"}, {L"A.Y", L"20"}};
    EXPECT_TRUE(LayoutDiffers(wanted, stored, true));
    EXPECT_FALSE(LayoutDiffers(wanted, stored, false));
    EXPECT_TRUE(LayoutDiffers({{L"A.X", L"11"}}, stored, false));
    EXPECT_TRUE(LayoutDiffers({{L"B.X", L"10"}}, stored, false));
}

}  // namespace
}  // namespace iv
