// Record layouts and packing for the list view in the shell's process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstddef>

#include "shell/ExchangeBlock.h"
#include "layouts/IconPositions.h"

namespace iv {
namespace {

uint64_t Field(const std::vector<uint8_t>& bytes, size_t offset, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value |= static_cast<uint64_t>(bytes[offset + i]) << (8 * i);
    return value;
}

TEST(ItemTextRequest, ThirtyTwoBitShellGetsTenFieldsAndTheTextAtForty) {
    const auto bytes = BuildItemTextRequest(kItemRecord32, 7, 0x00A10000);
    ASSERT_EQ(bytes.size(), 40u + 520u);
    EXPECT_EQ(Field(bytes, 0, 4), 1u);            // mask LVIF_TEXT
    EXPECT_EQ(Field(bytes, 4, 4), 7u);            // iItem
    EXPECT_EQ(Field(bytes, 8, 12), 0u);           // iSubItem, state, stateMask
    EXPECT_EQ(Field(bytes, 20, 4), 0x00A10028u);  // pszText: block + 40
    EXPECT_EQ(Field(bytes, 24, 4), 260u);         // cchTextMax
    EXPECT_EQ(Field(bytes, 28, 8), 0u);
    EXPECT_EQ(Field(bytes, 36, 4), 0u);
    for (size_t i = 40; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(ItemTextRequest, SixtyFourBitShellGetsTheNativeRecordWithAWidePointer) {
    const uint64_t block = 0x000001234A5B0000ull;
    const auto bytes = BuildItemTextRequest(kItemRecord64, 300, block);
    ASSERT_EQ(bytes.size(), 88u + 520u);
    EXPECT_EQ(Field(bytes, 0, 4), 1u);
    EXPECT_EQ(Field(bytes, 4, 4), 300u);
    EXPECT_EQ(Field(bytes, 20, 4), 0u);          // padding before the pointer
    EXPECT_EQ(Field(bytes, 24, 8), block + 88);  // pszText
    EXPECT_EQ(Field(bytes, 32, 4), 260u);        // cchTextMax
    for (size_t i = 36; i < bytes.size(); ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(ItemTextRequest, RecordsMatchThisBuildsOwnLayout) {
    const ItemRecordLayout& own = sizeof(void*) == 8 ? kItemRecord64 : kItemRecord32;
    EXPECT_EQ(own.textField, offsetof(LVITEMW, pszText));
    EXPECT_EQ(own.maxField, offsetof(LVITEMW, cchTextMax));
    EXPECT_GE(own.size, offsetof(LVITEMW, iIndent) + sizeof(int));
}

TEST(TextFromArea, StopsAtTheFirstNulAndNeverPastTheArea) {
    wchar_t area[kItemTextChars] = L"予定表.txt";
    EXPECT_EQ(TextFromArea(reinterpret_cast<uint8_t*>(area), sizeof area), L"予定表.txt");
    for (auto& c : area) c = L'x';
    EXPECT_EQ(TextFromArea(reinterpret_cast<uint8_t*>(area), sizeof area), std::wstring(kItemTextChars, L'x'));
}

TEST(PackItemPosition, SixteenBitTwosComplementHalves) {
    EXPECT_EQ(PackItemPosition(-5, 10), static_cast<LPARAM>(0x000AFFFB));
    EXPECT_EQ(PackItemPosition(10, -5), static_cast<LPARAM>(0xFFFB000A));
    EXPECT_EQ(PackItemPosition(32767, -32768), static_cast<LPARAM>(0x80007FFF));
    EXPECT_EQ(PackItemPosition(0, 0), 0);
}

TEST(ShellIs64Bit, FromBothProcessesBitness) {
    EXPECT_TRUE(ShellIs64Bit(true, false, false));    // x64 with a 64-bit shell
    EXPECT_FALSE(ShellIs64Bit(true, false, true));    // x64 with a 32-bit shell on 64-bit Windows
    EXPECT_TRUE(ShellIs64Bit(false, true, false));    // x86 on 64-bit Windows, 64-bit shell
    EXPECT_FALSE(ShellIs64Bit(false, true, true));    // x86 with a 32-bit shell on 64-bit Windows
    EXPECT_FALSE(ShellIs64Bit(false, false, false));  // 32-bit Windows
}

// A block the shell or the message cannot name is refused rather than cut to a wrong address.
TEST(BlockAddressFits, TheShellsPointersAndTheMessagesParameter) {
    constexpr uint64_t kLow = 0x10000;
    constexpr uint64_t kHigh = 0x7FF612340000;
    constexpr uint64_t kBatch = uint64_t{kBatchItems} * SlotBytes(kItemRecord64);
    EXPECT_TRUE(BlockAddressFits(kLow, kBatch, false, false));
    EXPECT_TRUE(BlockAddressFits(kLow, kBatch, true, true));
    EXPECT_TRUE(BlockAddressFits(kHigh, kBatch, true, true));
    EXPECT_FALSE(BlockAddressFits(kHigh, 1, true, false));  // x86 on 64-bit Windows: lParam is 32 bits
    // ... and it reaches a 64-bit window sign-extended (as Wine 8 and Windows do): 0x80000000 and
    // above arrive as 0xFFFFFFFF8xxxxxxx.
    EXPECT_TRUE(BlockAddressFits(0x7FFF0000, 0x10000, true, false));
    EXPECT_FALSE(BlockAddressFits(0x7FFF0000, 0x10001, true, false));
    EXPECT_FALSE(BlockAddressFits(0x9ABC0000, 1, true, false));
    EXPECT_FALSE(BlockAddressFits(kHigh, 1, false, true));               // a 32-bit shell's pointers
    EXPECT_TRUE(BlockAddressFits(0xFFFFFF00, 0xFF, false, true));        // ends just under 4 GB
    EXPECT_FALSE(BlockAddressFits(0xFFFFFF00, 0x100, false, true));      // the last slot would pass 4 GB
    EXPECT_FALSE(BlockAddressFits(UINT64_MAX - 8, kBatch, true, true));  // nor wrap around
    EXPECT_FALSE(BlockAddressFits(0, 1, true, true));
}

TEST(IconPositionKey, SettingsKeyThenWidthStarHeight) {
    EXPECT_EQ(IconPositionKey(1024, 768), L"Software\\Marun soft\\Kivo\\1024*768");
    EXPECT_EQ(IconPositionKey(3840, 2160), L"Software\\Marun soft\\Kivo\\3840*2160");
}

}  // namespace
}  // namespace iv
