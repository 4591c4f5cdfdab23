// The settings record on the real registry.
#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;

class SettingsRecordTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(kSettingsKey); }
    void TearDown() override { DeleteKeyTree(kSettingsKey); }

    SharedSettings s_;
};

TEST_F(SettingsRecordTest, ReadSettingAddressesValuesByIndex) {
    WriteString(kSettingsKey, L"Desktop Icon", L"3");
    WriteString(kSettingsKey, L"Change Style", L"1101");
    WriteString(kSettingsKey, L"Task Tray", L"1");
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    const std::pair<int16_t, const wchar_t*> read[] = {{0, L"3"},  {13, L"1101"}, {16, L"1"},
                                                       {17, L"1"}, {15, L""},     {18, L""}};
    for (const auto& [index, text] : read) EXPECT_EQ(ReadSetting(index), text) << index;
}

TEST_F(SettingsRecordTest, SaveWritesAllEighteenAsPlainDecimalText) {
    s_.CurrentViewMode = 4;
    for (int flag : {0, 10, 11}) s_.StyleFlags[flag] = 1;
    s_.StyleFlags[12] = 0;
    s_.ChangeStyleFlags[1] = 0;
    s_.ToolPosition = 3;
    s_.ToolTopMost = 1;
    s_.TaskTray = 0;
    s_.ScreenFollow = 1;
    ASSERT_TRUE(SaveSettings(s_));

    EXPECT_EQ(ValueNames(kSettingsKey).size(), 18u);
    const wchar_t* expected[18] = {L"4", L"1", L"0", L"0", L"0",    L"0",  L"0", L"0", L"0",
                                   L"0", L"0", L"1", L"3", L"1011", L"10", L"1", L"0", L"1"};
    for (int16_t i = 0; i < kSettingCount; ++i) {
        DWORD type = 0;
        EXPECT_EQ(ReadString(kSettingsKey, kSettingNames[i], &type), expected[i]) << kSettingNames[i];
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    }
}

TEST_F(SettingsRecordTest, SavedTextDecodesBackToTheSameState) {
    s_.CurrentViewMode = 2;
    s_.ChangeStyleFlags[2] = 0;
    s_.StyleFlags[5] = 1;
    s_.StyleFlags[12] = 1;
    s_.ToolPosition = 2;
    ASSERT_TRUE(SaveSettings(s_));

    int16_t flags[4] = {};
    DecodeChangeStyle(ReadSetting(kChangeStyle), flags);
    EXPECT_EQ((std::vector<int16_t>{flags, flags + 4}), (std::vector<int16_t>{1, 1, 0, 1}));
    EXPECT_EQ(DecodeDesktopIcon(ReadSetting(kDesktopIcon)), 1);
    EXPECT_EQ(DecodeNumberSetting(ReadSetting(6)), 1);
    EXPECT_EQ(DecodeNumberSetting(ReadSetting(kToolPosition)), 2);
    int16_t restore = 9;
    int16_t save = 9;
    DecodeIconPosition(ReadSetting(kIconPosition), restore, save);
    EXPECT_EQ(restore, 0);
    EXPECT_EQ(save, 1);
}

}  // namespace
}  // namespace iv
