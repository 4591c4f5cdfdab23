// The node-picture rules of the settings trees.
#include <gtest/gtest.h>

#include "dialogs/TreeRules.h"

namespace iv {
namespace {

TEST(TreeRulesTest, AClickTurnsAnOptionThatIsOnOffOnlyInTheLeftTree) {
    SharedSettings draft = DraftWithOptionsOff(SharedSettings{});
    // Left tree: boxes and circles toggle; a circle turned on turns its partner off.
    for (const wchar_t* key : {L"Tool Tips", L"One Click", L"Under Line Cool"}) {
        ASSERT_TRUE(ClickStyleOption(draft, key));
        EXPECT_EQ(OptionImage(draft, key) % 2, 0) << "on after one click";
    }
    ASSERT_TRUE(ClickStyleOption(draft, L"Under Line Hot"));
    EXPECT_EQ(draft.StyleFlags[kUnderLineCoolFlag], 0);
    ASSERT_TRUE(ClickStyleOption(draft, L"Two Click"));
    EXPECT_EQ(draft.StyleFlags[kOneClickFlag], 0);
    EXPECT_EQ(draft.StyleFlags[kUnderLineHotFlag], 1);  // the hover options carry over
    ASSERT_TRUE(ClickStyleOption(draft, L"Two Click"));
    EXPECT_EQ(draft.StyleFlags[kUnderLineHotFlag], 0);  // ... and go with the last activation option
    ASSERT_TRUE(ClickStyleOption(draft, L"Tool Tips"));
    EXPECT_EQ(OptionImage(draft, L"Tool Tips"), kImageUnchecked);

    // Right tree: a box toggles, a place stays chosen, and the tray keeps the corner.
    ASSERT_TRUE(ClickEtcOption(draft, L"Tool TopMost"));
    EXPECT_EQ(draft.ToolTopMost, 1);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(ClickEtcOption(draft, L"Tool Position3"));
    EXPECT_EQ(OptionImage(draft, L"Tool Position3"), kImageOptionOn);
    EXPECT_EQ(draft.ToolPosition, 2);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(ClickEtcOption(draft, L"Tool Position5"));
    EXPECT_EQ(draft.TaskTray, 1);
    EXPECT_EQ(draft.ToolPosition, 2);
    EXPECT_EQ(OptionImage(draft, L"Tool Position3"), kImageOptionOff);

    // Nodes that are no option of that tree.
    for (const wchar_t* key : {L"Detail", L"Icon NowSave", L"Tool TopMost", L"Pos"})
        EXPECT_FALSE(ClickStyleOption(draft, key)) << testing::PrintToString(std::wstring(key));
    for (const wchar_t* key : {L"Desktop Create", L"Tool Tips", L"Icon Follow", L"Short"})
        EXPECT_FALSE(ClickEtcOption(draft, key)) << testing::PrintToString(std::wstring(key));
}

TEST(TreeRulesTest, OnlyOptionNodesShowTheDraft) {
    SharedSettings draft = DraftWithOptionsOff(SharedSettings{});
    draft.ChangeStyleFlags[3] = 1;
    draft.ScreenFollow = 1;
    EXPECT_EQ(OptionImage(draft, L"Change Style4"), kImageChecked);
    EXPECT_EQ(OptionImage(draft, L"Change Style1"), kImageUnchecked);
    EXPECT_EQ(OptionImage(draft, L"Icon Follow"), kImageChecked);
    EXPECT_EQ(OptionImage(draft, L"One Click"), kImageOptionOff);
    EXPECT_EQ(OptionImage(draft, L"Tool Position1"), kImageOptionOn);
    for (const wchar_t* key : {L"Detail", L"Pos", L"Short", L"Icon NowLoad", L"Startup Delete", L"Tool Position6"})
        EXPECT_EQ(OptionImage(draft, key), 0) << testing::PrintToString(std::wstring(key));
}

TEST(TreeRulesTest, ToolPositionKeysAreTheTextAndOneCharacter) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"Tool Position1", 1},  {L"Tool Position5", 5}, {L"Tool TopMost", 0},   {L"Tool Position", 0},
        {L"Tool Position12", 0}, {L"tool position1", 0}, {L"Tool PositionX", 0}, {L"Change Style1", 0},
    };
    for (const auto& [key, number] : cases)
        EXPECT_EQ(ToolPositionNumber(key), number) << testing::PrintToString(std::wstring(key));
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
