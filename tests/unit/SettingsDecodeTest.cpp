// Decoding the settings record's texts into the program's state.
#include <gtest/gtest.h>

#include "settings/Settings.h"

namespace iv {
namespace {

TEST(NumberValue, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(NumberValue(L""), 0);
    EXPECT_EQ(NumberValue(L"1"), 1);
    EXPECT_EQ(NumberValue(L"01"), 1);
    EXPECT_EQ(NumberValue(L"   3"), 3);
    EXPECT_EQ(NumberValue(L"\t7x"), 7);
    EXPECT_EQ(NumberValue(L"12abc"), 12);
    EXPECT_EQ(NumberValue(L"abc"), 0);
    EXPECT_EQ(NumberValue(L"-4"), -4);
    EXPECT_EQ(NumberValue(L"+4"), 4);
    EXPECT_EQ(NumberValue(L" "), 0);
}

TEST(NumberValue, RoundsHalfToEven) {
    EXPECT_EQ(NumberValue(L"0.5"), 0);
    EXPECT_EQ(NumberValue(L"1.5"), 2);
    EXPECT_EQ(NumberValue(L"2.5"), 2);
    EXPECT_EQ(NumberValue(L"2.51"), 3);
    EXPECT_EQ(NumberValue(L"-1.5"), -2);
    EXPECT_EQ(NumberValue(L"-2.5"), -2);
    EXPECT_EQ(NumberValue(L"3.49"), 3);
}

TEST(NumberValue, SaturatesOutsideSixteenBits) {
    EXPECT_EQ(NumberValue(L"32767"), 32767);
    EXPECT_EQ(NumberValue(L"32768"), 32767);
    EXPECT_EQ(NumberValue(L"99999999999999999999"), 32767);
    EXPECT_EQ(NumberValue(L"-32768"), -32768);
    EXPECT_EQ(NumberValue(L"-70000"), -32768);
}

TEST(DecodeDesktopIcon, GivesTheStoredModeMinusOne) {
    EXPECT_EQ(DecodeDesktopIcon(L""), 0);
    EXPECT_EQ(DecodeDesktopIcon(L"1"), 0);
    EXPECT_EQ(DecodeDesktopIcon(L"3"), 2);
    EXPECT_EQ(DecodeDesktopIcon(L"4"), 3);
    EXPECT_EQ(DecodeDesktopIcon(L"5"), 4);
    // The subtraction comes before the rounding: 2.5 - 1 = 1.5 rounds to 2.
    EXPECT_EQ(DecodeDesktopIcon(L"2.5"), 2);
}

TEST(DecodeDesktopIcon, TreatsZeroNegativeAndNonNumbersAsAbsent) {
    EXPECT_EQ(DecodeDesktopIcon(L"0"), 0);
    EXPECT_EQ(DecodeDesktopIcon(L"-3"), 0);
    EXPECT_EQ(DecodeDesktopIcon(L"large"), 0);
    EXPECT_EQ(DecodeDesktopIcon(L" "), 0);
}

TEST(DecodeChangeStyle, ReadsOneDigitPerModeForUpToFourPositions) {
    int16_t f[4] = {9, 9, 9, 9};
    DecodeChangeStyle(L"", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{1, 1, 1, 1}));
    DecodeChangeStyle(L"1101", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{1, 1, 0, 1}));
    // Positions beyond the text keep their default of 1.
    DecodeChangeStyle(L"10", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{1, 0, 1, 1}));
    // Only the first four characters count.
    DecodeChangeStyle(L"000011", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{0, 0, 0, 0}));
    // A digit other than 1 is stored as it is (and does not count as cycling).
    DecodeChangeStyle(L"2x19", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{2, 0, 1, 9}));
}

TEST(DecodeChangeStyle, CountsPositionsOfTheTrimmedTextButReadsTheTextAsStored) {
    int16_t f[4] = {};
    // Trimmed length 2, so positions 1 and 2 of the stored text are read: blank then 0.
    DecodeChangeStyle(L" 0 ", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{0, 1, 1, 1}));
    DecodeChangeStyle(L"   ", f);
    EXPECT_EQ((std::vector<int16_t>{f, f + 4}), (std::vector<int16_t>{1, 1, 1, 1}));
}

TEST(DecodeIconPosition, FirstDigitRestoresSecondDigitSaves) {
    int16_t restore = 7;
    int16_t save = 7;
    DecodeIconPosition(L"", restore, save);
    EXPECT_EQ(restore, 0);
    EXPECT_EQ(save, 0);
    DecodeIconPosition(L"1", restore, save);
    EXPECT_EQ(restore, 1);
    EXPECT_EQ(save, 0);
    DecodeIconPosition(L"01", restore, save);
    EXPECT_EQ(restore, 0);
    EXPECT_EQ(save, 1);
    DecodeIconPosition(L"11", restore, save);
    EXPECT_EQ(restore, 1);
    EXPECT_EQ(save, 1);
}

TEST(DecodeNumberSetting, OnlyTheNumberMatters) {
    EXPECT_EQ(DecodeNumberSetting(L""), 0);
    EXPECT_EQ(DecodeNumberSetting(L"01"), 1);
    EXPECT_EQ(DecodeNumberSetting(L"2"), 2);
    EXPECT_EQ(DecodeNumberSetting(L"3"), 3);
}

}  // namespace
}  // namespace iv
