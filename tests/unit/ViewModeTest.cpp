// The styles and shell commands of a view switch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "shell/ViewModes.h"

namespace iv {
namespace {

TEST(ViewModeNewStyle, NtAndMillennium) {
    const uint32_t styles[] = {0x4A40, 0x4242, 0x4A43, 0x0E41};
    for (int16_t mode = 1; mode <= 4; ++mode) EXPECT_EQ(ViewModeNewStyle(mode, false), styles[mode - 1]) << mode;
}

TEST(ViewModeNewStyle, NinetyFiveAndNinetyEight) {
    const uint32_t styles[] = {0x0A40, 0x0242, 0x0A43, 0x0E41};
    for (int16_t mode = 1; mode <= 4; ++mode) EXPECT_EQ(ViewModeNewStyle(mode, true), styles[mode - 1]) << mode;
}

TEST(PreviousModeCommand, OnlySmallIconsAndListAreToldApart) {
    EXPECT_EQ(PreviousModeCommand(2), 0x702A);
    EXPECT_EQ(PreviousModeCommand(3), 0x702B);
    for (const int16_t mode : {int16_t{1}, int16_t{4}, int16_t{0}, int16_t{40}})
        EXPECT_EQ(PreviousModeCommand(mode), 0x7029) << mode;
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
