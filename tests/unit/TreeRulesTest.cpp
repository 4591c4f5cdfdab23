// The node-picture rules of the settings trees.
#include <gtest/gtest.h>

#include "dialogs/TreeRules.h"

namespace iv {
namespace {

TEST(TreeRulesTest, ClickPicturesDifferOnlyForAnOptionThatIsOn) {
    // image before -> right tree, left tree
    const int table[][3] = {{2, 3, 3},    {3, 2, 2}, {4, 4, 5}, {5, 4, 4}, {11, 12, 12},
                            {12, 12, 12}, {1, 1, 1}, {6, 6, 6}, {9, 9, 9}, {10, 10, 10}};
    for (const auto& row : table) {
        EXPECT_EQ(EtcClickImage(row[0]), row[1]) << "image " << row[0];
        EXPECT_EQ(StyleClickImage(row[0]), row[2]) << "image " << row[0];
    }
}

TEST(TreeRulesTest, OnlyOptionPicturesCarryASetting) {
    EXPECT_EQ(FlagOfImage(kImageChecked), 1);
    EXPECT_EQ(FlagOfImage(kImageOptionOn), 1);
    EXPECT_EQ(FlagOfImage(kImageUnchecked), 0);
    EXPECT_EQ(FlagOfImage(kImageOptionOff), 0);
    for (int image : {0, kImageBranch, 6, 9, kImageShortcut, kImageButtonDown, kImageButtonUp}) {
        EXPECT_EQ(FlagOfImage(image), -1) << "image " << image;
    }
}

TEST(TreeRulesTest, ToolPositionKeysAreTheTextAndOneCharacter) {
    EXPECT_EQ(ToolPositionNumber(L"Tool Position1"), 1);
    EXPECT_EQ(ToolPositionNumber(L"Tool Position5"), 5);
    EXPECT_EQ(ToolPositionNumber(L"Tool TopMost"), 0);
    EXPECT_EQ(ToolPositionNumber(L"Tool Position"), 0);
    EXPECT_EQ(ToolPositionNumber(L"Tool Position12"), 0);
    EXPECT_EQ(ToolPositionNumber(L"tool position1"), 0);
    EXPECT_EQ(ToolPositionNumber(L"Tool PositionX"), 0);
    EXPECT_EQ(ToolPositionNumber(L"Change Style1"), 0);
}

TEST(TreeRulesTest, HeldButtonLooksPressedOnlyOverItsNode) {
    EXPECT_EQ(HeldButtonImage(kImageButtonUp, true), kImageButtonDown);
    EXPECT_EQ(HeldButtonImage(kImageButtonDown, true), kImageButtonDown);
    EXPECT_EQ(HeldButtonImage(kImageButtonDown, false), kImageButtonUp);
    EXPECT_EQ(HeldButtonImage(kImageButtonUp, false), kImageButtonUp);
    EXPECT_EQ(HeldButtonImage(kImageChecked, true), kImageChecked);
    EXPECT_EQ(HeldButtonImage(kImageOptionOn, false), kImageOptionOn);
}

TEST(TreeRulesTest, KeyTablesLineUpWithTheSettings) {
    EXPECT_STREQ(kStyleKeys[5], L"One Click");
    EXPECT_STREQ(kStyleKeys[10], L"Text Color");
    EXPECT_STREQ(kStyleKeys[11], L"Icon PosSave");
    EXPECT_STREQ(kStyleKeys[12], L"Icon PosLoad");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(ToolPositionNumber(kEtcKeys[i]), i + 1);
    EXPECT_EQ(ToolPositionNumber(kEtcKeys[13]), 5);
    EXPECT_STREQ(kEtcKeys[4], L"Change Style1");
    EXPECT_STREQ(kEtcKeys[7], L"Change Style4");
}

}  // namespace
}  // namespace iv
