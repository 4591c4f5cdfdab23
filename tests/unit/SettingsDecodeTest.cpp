// Decoding the settings record's texts into the program's state.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "settings/Settings.h"

namespace iv {
namespace {

// Texts and the number each decodes to.
using Numbers = std::pair<const wchar_t*, int16_t>[];

TEST(NumberValue, ReadsTheLeadingDecimalNumber) {
    const Numbers cases = {{L"", 0},       {L"1", 1},   {L"01", 1},  {L"   3", 3}, {L"\t7x", 7},
                           {L"12abc", 12}, {L"abc", 0}, {L"-4", -4}, {L"+4", 4},   {L" ", 0}};
    for (const auto& [text, number] : cases) EXPECT_EQ(NumberValue(text), number) << text;
}

TEST(NumberValue, RoundsHalfToEven) {
    const Numbers cases = {{L"0.5", 0},   {L"1.5", 2},   {L"2.5", 2}, {L"2.51", 3},
                           {L"-1.5", -2}, {L"-2.5", -2}, {L"3.49", 3}};
    for (const auto& [text, number] : cases) EXPECT_EQ(NumberValue(text), number) << text;
}

TEST(NumberValue, SaturatesOutsideSixteenBits) {
    const Numbers cases = {
        {L"32767", 32767},   {L"32768", 32767},   {L"99999999999999999999", 32767},
        {L"-32768", -32768}, {L"-70000", -32768},
    };
    for (const auto& [text, number] : cases) EXPECT_EQ(NumberValue(text), number) << text;
}

TEST(DecodeDesktopIcon, GivesTheStoredModeMinusOne) {
    // The subtraction comes before the rounding: 2.5 - 1 = 1.5 rounds to 2.
    const Numbers cases = {{L"", 0}, {L"1", 0}, {L"3", 2}, {L"4", 3}, {L"5", 4}, {L"2.5", 2}};
    for (const auto& [text, number] : cases) EXPECT_EQ(DecodeDesktopIcon(text), number) << text;
}

TEST(DecodeDesktopIcon, TreatsZeroNegativeAndNonNumbersAsAbsent) {
    for (const wchar_t* text : {L"0", L"-3", L"large", L" "}) EXPECT_EQ(DecodeDesktopIcon(text), 0) << text;
}

// The four flags after a text is decoded over what they held.
std::vector<int16_t> ChangeStyle(const wchar_t* text, int16_t (&flags)[4]) {
    DecodeChangeStyle(text, flags);
    return {flags, flags + 4};
}

TEST(DecodeChangeStyle, ReadsOneDigitPerModeForUpToFourPositions) {
    int16_t f[4] = {9, 9, 9, 9};
    EXPECT_EQ(ChangeStyle(L"", f), (std::vector<int16_t>{1, 1, 1, 1}));
    EXPECT_EQ(ChangeStyle(L"1101", f), (std::vector<int16_t>{1, 1, 0, 1}));
    // Positions beyond the text keep their default of 1.
    EXPECT_EQ(ChangeStyle(L"10", f), (std::vector<int16_t>{1, 0, 1, 1}));
    // Only the first four characters count.
    EXPECT_EQ(ChangeStyle(L"000011", f), (std::vector<int16_t>{0, 0, 0, 0}));
    // A digit other than 1 is stored as it is (and does not count as cycling).
    EXPECT_EQ(ChangeStyle(L"2x19", f), (std::vector<int16_t>{2, 0, 1, 9}));
}

TEST(DecodeChangeStyle, CountsPositionsOfTheTrimmedTextButReadsTheTextAsStored) {
    int16_t f[4] = {};
    // Trimmed length 2, so positions 1 and 2 of the stored text are read: blank then 0.
    EXPECT_EQ(ChangeStyle(L" 0 ", f), (std::vector<int16_t>{0, 1, 1, 1}));
    EXPECT_EQ(ChangeStyle(L"   ", f), (std::vector<int16_t>{1, 1, 1, 1}));
}

TEST(DecodeIconPosition, FirstDigitRestoresSecondDigitSaves) {
    int16_t restore = 7;
    int16_t save = 7;
    const std::tuple<const wchar_t*, int16_t, int16_t> steps[] = {
        {L"", 0, 0}, {L"1", 1, 0}, {L"01", 0, 1}, {L"11", 1, 1}};
    for (const auto& [text, restoreWanted, saveWanted] : steps) {
        DecodeIconPosition(text, restore, save);
        EXPECT_EQ(restore, restoreWanted) << text;
        EXPECT_EQ(save, saveWanted) << text;
    }
}

TEST(DecodeNumberSetting, OnlyTheNumberMatters) {
    const Numbers cases = {{L"", 0}, {L"01", 1}, {L"2", 2}, {L"3", 3}};
    for (const auto& [text, number] : cases) EXPECT_EQ(DecodeNumberSetting(text), number) << text;
}

}  // namespace
}  // namespace iv
