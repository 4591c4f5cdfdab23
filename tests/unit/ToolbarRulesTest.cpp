// View-mode cycling and the toolbar's corner geometry.
#include <gtest/gtest.h>

#include "app/ToolbarRules.h"

namespace iv {
namespace {

TEST(AdvanceViewMode, StepsToTheNextCyclingModeAndWraps) {
    const int16_t all[4] = {1, 1, 1, 1};
    EXPECT_EQ(AdvanceViewMode(0, all), 1);
    EXPECT_EQ(AdvanceViewMode(1, all), 2);
    EXPECT_EQ(AdvanceViewMode(4, all), 1);
    // A stored mode above 4 wraps to large icons.
    EXPECT_EQ(AdvanceViewMode(5, all), 1);
    EXPECT_EQ(AdvanceViewMode(99, all), 1);

    const int16_t ends[4] = {1, 0, 0, 1};
    EXPECT_EQ(AdvanceViewMode(1, ends), 4);
    EXPECT_EQ(AdvanceViewMode(4, ends), 1);

    const int16_t noList[4] = {1, 1, 0, 1};
    EXPECT_EQ(AdvanceViewMode(2, noList), 4);  // stored "3" decodes to 2

    // Only 1 counts as cycling.
    const int16_t twos[4] = {2, 1, 2, 2};
    EXPECT_EQ(AdvanceViewMode(2, twos), 2);
}

TEST(AdvanceViewMode, WithOneCyclingModeReappliesIt) {
    const int16_t onlyDetails[4] = {0, 0, 0, 1};
    EXPECT_EQ(AdvanceViewMode(4, onlyDetails), 4);
    EXPECT_EQ(AdvanceViewMode(0, onlyDetails), 4);
    EXPECT_EQ(NextButtonMode(4, onlyDetails), 4);
}

TEST(AdvanceViewMode, WithNoCyclingModeMovesOnePlace) {
    const int16_t none[4] = {0, 0, 0, 0};
    EXPECT_EQ(AdvanceViewMode(1, none), 2);
    EXPECT_EQ(AdvanceViewMode(4, none), 1);
    // The button shows the mode two places on.
    EXPECT_EQ(NextButtonMode(2, none), 4);
    EXPECT_EQ(NextButtonMode(3, none), 1);
}

TEST(NextButtonMode, ShowsTheModeTheNextClickSwitchesTo) {
    const int16_t all[4] = {1, 1, 1, 1};
    EXPECT_EQ(NextButtonMode(1, all), 2);
    EXPECT_EQ(NextButtonMode(4, all), 1);
    const int16_t ends[4] = {1, 0, 0, 1};
    EXPECT_EQ(NextButtonMode(4, ends), 1);
    EXPECT_EQ(NextButtonMode(1, ends), 4);
    const int16_t noSmall[4] = {1, 0, 1, 1};
    EXPECT_EQ(NextButtonMode(1, noSmall), 3);
}

TEST(PlaceToolbarGeometry, CornersOnA1024By768Screen) {
    // 1024 x 768 pixels at 15 twips per pixel, window 360 x 1740 twips: shown left, tucked left and top.
    const int32_t corners[4][3] = {{0, -310, 0}, {0, -310, 9780}, {15000, 15310, 0}, {15000, 15310, 9780}};
    for (int16_t corner = 0; corner < 4; ++corner) {
        const auto p = PlaceToolbarGeometry(corner, 15360, 11520, 360, 1740);
        EXPECT_EQ(p.shownLeft, corners[corner][0]) << "corner " << corner;
        EXPECT_EQ(p.tuckedLeft, corners[corner][1]) << "corner " << corner;
        EXPECT_EQ(p.top, corners[corner][2]) << "corner " << corner;
    }
}

TEST(PlaceToolbarGeometry, LeavesTheTuckedStripOnScreenAtEveryEdge) {
    for (int16_t corner = 0; corner < 4; ++corner) {
        const auto p = PlaceToolbarGeometry(corner, 19200, 14400, 360, 1740);
        const int32_t visible = corner < 2 ? p.tuckedLeft + 360 : 19200 - p.tuckedLeft;
        EXPECT_EQ(visible, kTuckedStripTwips) << "corner " << corner;
    }
}

TEST(TwipsConversion, RoundsToWholePixels) {
    EXPECT_DOUBLE_EQ(TwipsPerPixel(96), 15.0);
    EXPECT_DOUBLE_EQ(TwipsPerPixel(120), 12.0);
    EXPECT_DOUBLE_EQ(TwipsPerPixel(144), 10.0);
    EXPECT_EQ(TwipsToPixels(15310, 15), 1021);
    EXPECT_EQ(TwipsToPixels(-310, 15), -21);
    EXPECT_EQ(TwipsToPixels(9780, 15), 652);
    EXPECT_EQ(PixelsToTwips(1024, 15), 15360);
    EXPECT_EQ(PixelsToTwips(1280, 12), 15360);
}

TEST(IsPointOverWindow, RightAndBottomEdgesAreOutside) {
    // Tucked at the top right of 1024 x 768: pixels 1021..1044 x 0..115.
    EXPECT_TRUE(IsPointOverWindow(1021, 0, 15310, 0, 360, 1740, 15, 15));
    EXPECT_TRUE(IsPointOverWindow(1023, 115, 15310, 0, 360, 1740, 15, 15));
    EXPECT_FALSE(IsPointOverWindow(1020, 10, 15310, 0, 360, 1740, 15, 15));
    EXPECT_FALSE(IsPointOverWindow(1022, 116, 15310, 0, 360, 1740, 15, 15));
    // Shown at the top left: x = 24 is the right edge pixel, outside.
    EXPECT_TRUE(IsPointOverWindow(23, 50, 0, 0, 360, 1740, 15, 15));
    EXPECT_FALSE(IsPointOverWindow(24, 50, 0, 0, 360, 1740, 15, 15));
    EXPECT_FALSE(IsPointOverWindow(-1, 50, 0, 0, 360, 1740, 15, 15));
}

}  // namespace
}  // namespace iv
