// The styles and shell commands of a view switch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "shell/ViewModes.h"

namespace iv {
namespace {

TEST(ViewModeNewStyle, NtAndMillennium) {
    EXPECT_EQ(ViewModeNewStyle(1, false), 0x4A40u);
    EXPECT_EQ(ViewModeNewStyle(2, false), 0x4242u);
    EXPECT_EQ(ViewModeNewStyle(3, false), 0x4A43u);
    EXPECT_EQ(ViewModeNewStyle(4, false), 0x0E41u);
}

TEST(ViewModeNewStyle, NinetyFiveAndNinetyEight) {
    EXPECT_EQ(ViewModeNewStyle(1, true), 0x0A40u);
    EXPECT_EQ(ViewModeNewStyle(2, true), 0x0242u);
    EXPECT_EQ(ViewModeNewStyle(3, true), 0x0A43u);
    EXPECT_EQ(ViewModeNewStyle(4, true), 0x0E41u);
}

TEST(PreviousModeCommand, OnlySmallIconsAndListAreToldApart) {
    EXPECT_EQ(PreviousModeCommand(2), 0x702A);
    EXPECT_EQ(PreviousModeCommand(3), 0x702B);
    EXPECT_EQ(PreviousModeCommand(1), 0x7029);
    EXPECT_EQ(PreviousModeCommand(4), 0x7029);
    EXPECT_EQ(PreviousModeCommand(0), 0x7029);
    EXPECT_EQ(PreviousModeCommand(40), 0x7029);
}

TEST(ViewModeOfListView, TheFourViewsBothWaysAndNoOther) {
    EXPECT_EQ(ViewModeOfListView(LV_VIEW_ICON), 1);
    EXPECT_EQ(ViewModeOfListView(LV_VIEW_SMALLICON), 2);
    EXPECT_EQ(ViewModeOfListView(LV_VIEW_LIST), 3);
    EXPECT_EQ(ViewModeOfListView(LV_VIEW_DETAILS), 4);
    EXPECT_EQ(ViewModeOfListView(LV_VIEW_TILE), 0);
    EXPECT_EQ(ViewModeOfListView(-1), 0);
    for (int16_t mode = 1; mode <= 4; ++mode) {
        EXPECT_EQ(ViewModeOfListView(static_cast<LRESULT>(ListViewViewOf(mode))), mode);
    }
}

}  // namespace
}  // namespace iv
