// The styles and shell commands of a view switch.
#include <gtest/gtest.h>

#include "desktop/ViewModes.h"

namespace iv {
namespace {

TEST(ViewModeNewStyle, NtAndMillennium) {
    EXPECT_EQ(ViewModeNewStyle(0, false), 0x4A40u);
    EXPECT_EQ(ViewModeNewStyle(1, false), 0x4242u);
    EXPECT_EQ(ViewModeNewStyle(2, false), 0x4A43u);
    EXPECT_EQ(ViewModeNewStyle(3, false), 0x0E41u);
}

TEST(ViewModeNewStyle, NinetyFiveAndNinetyEight) {
    EXPECT_EQ(ViewModeNewStyle(0, true), 0x0A40u);
    EXPECT_EQ(ViewModeNewStyle(1, true), 0x0242u);
    EXPECT_EQ(ViewModeNewStyle(2, true), 0x0A43u);
    EXPECT_EQ(ViewModeNewStyle(3, true), 0x0E41u);
}

TEST(PreviousModeCommand, OnlySmallIconsAndListAreToldApart) {
    EXPECT_EQ(PreviousModeCommand(1), 0x702A);
    EXPECT_EQ(PreviousModeCommand(2), 0x702B);
    EXPECT_EQ(PreviousModeCommand(0), 0x7029);
    EXPECT_EQ(PreviousModeCommand(3), 0x7029);
    EXPECT_EQ(PreviousModeCommand(-1), 0x7029);
    EXPECT_EQ(PreviousModeCommand(40), 0x7029);
}

}  // namespace
}  // namespace iv
