// The registry operations against the real registry.
#include <gtest/gtest.h>

#include <windows.h>

#include <tuple>

#include "settings/RegKeys.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;
using RegKeys::DeleteRegKey;
using RegKeys::GetRegValue;
using RegKeys::SetRegValue;

const std::wstring kRoot = L"Software\\Iconvale Tests\\RegKeys";

class RegKeysTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(kRoot); }
    void TearDown() override { DeleteKeyTree(kRoot); }

    void WriteRaw(const std::wstring& name, DWORD type, const void* data, DWORD size) {
        ScopedRegKey key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kRoot.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(),
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegKeysTest, WritesAndReadsTextCreatingEveryParentKey) {
    const std::wstring deep = kRoot + L"\\a\\b\\c";
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, deep, L"Name", L"value 1"));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, deep, L"Name"), L"value 1");
    DWORD type = 0;
    EXPECT_EQ(ReadString(deep, L"Name", &type), L"value 1");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
}

// A long list goes in slices side by side: every value once, whatever the count, and a write that
// fails in any slice makes the whole call fail while the others still land.
TEST_F(RegKeysTest, ManyValuesAreEachWrittenOnceAndAFailureInAnySliceCounts) {
    for (const size_t count : {size_t{1}, size_t{127}, size_t{128}, size_t{257}, size_t{1000}}) {
        DeleteKeyTree(kRoot);
        std::vector<RegKeys::NamedText> values;
        for (size_t i = 0; i < count; ++i) values.emplace_back(L"V" + std::to_wstring(i), L"t" + std::to_wstring(i));
        ASSERT_TRUE(RegKeys::SetRegValues(HKEY_CURRENT_USER, kRoot, values)) << count;
        EXPECT_EQ(RegKeys::GetValueNames(HKEY_CURRENT_USER, kRoot).size(), count);
        for (const size_t i : {size_t{0}, count / 2, count - 1})
            EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, values[i].first), values[i].second) << count;
        // A name longer than any the registry takes, last of all.
        values.emplace_back(std::wstring(20000, L'n'), L"x");
        EXPECT_FALSE(RegKeys::SetRegValues(HKEY_CURRENT_USER, kRoot, values)) << count;
    }
}

TEST_F(RegKeysTest, EmptyTextIsStoredAsOneSpace) {
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, L"Empty", L""));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"Empty"), L" ");
}

TEST_F(RegKeysTest, MissingKeyOrValueReadsEmpty) {
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot + L"\\nowhere", L"x"), L"");
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, L"There", L"1"));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"Missing"), L"");
}

TEST_F(RegKeysTest, DwordReadsAsDecimalText) {
    const std::tuple<const wchar_t*, DWORD, const wchar_t*> values[] = {
        {L"D258", 258, L"258"}, {L"D0", 0, L"0"}, {L"DMax", 0xFFFFFFFF, L"4294967295"}};
    for (const auto& [name, n, text] : values) WriteRaw(name, REG_DWORD, &n, sizeof n);
    for (const auto& [name, n, text] : values) EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, name), text) << name;
}

TEST_F(RegKeysTest, ExpandStringIsNotExpanded) {
    const wchar_t text[] = L"%SystemRoot%\\x";
    WriteRaw(L"Expand", REG_EXPAND_SZ, text, sizeof text);
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"Expand"), L"%SystemRoot%\\x");
}

TEST_F(RegKeysTest, UnsupportedTypesReadEmpty) {
    const BYTE bytes[] = {'4', 0, '2', 0};
    WriteRaw(L"Binary", REG_BINARY, bytes, sizeof bytes);
    const wchar_t multi[] = L"one\0two\0";
    WriteRaw(L"Multi", REG_MULTI_SZ, multi, sizeof multi);
    WriteRaw(L"None", REG_NONE, bytes, sizeof bytes);
    for (const wchar_t* name : {L"Binary", L"Multi", L"None"}) {
        EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, name), L"") << name;
    }
}

TEST_F(RegKeysTest, TextIsCutAtAnEmbeddedNul) {
    const wchar_t text[] = L"ab\0cd";
    WriteRaw(L"Nul", REG_SZ, text, sizeof text);
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"Nul"), L"ab");
}

TEST_F(RegKeysTest, LongestReadableValueAndOneBeyond) {
    const std::wstring longest(RegKeys::kMaxValueChars, L'x');
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, L"Longest", longest));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"Longest"), longest);
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, L"TooLong", longest + L"yy"));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"TooLong"), L"");
}

TEST_F(RegKeysTest, NamesAndTextOutsideAnyCodePageRoundTrip) {
    const std::wstring name = L"デスクトップ \U0001F600 Ωμέγα.X";
    const std::wstring text = L"日本語 \U0001F4C1 ελληνικά";
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, name, text));
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, name), text);
    // A name differing only in a character outside the ANSI code page is a different value.
    EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, kRoot, L"デスクトップ \U0001F601 Ωμέγα.X"), L"");
}

TEST_F(RegKeysTest, DeletesAKeyOnlyWhenItExists) {
    const std::wstring sub = kRoot + L"\\1024*768";
    EXPECT_FALSE(DeleteRegKey(HKEY_CURRENT_USER, sub));
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, sub, L"a.X", L"1"));
    EXPECT_TRUE(DeleteRegKey(HKEY_CURRENT_USER, sub));
    EXPECT_FALSE(KeyExists(sub));
    EXPECT_TRUE(KeyExists(kRoot));
}

// A key that a policy made read-only for the user still yields its values and their names.
TEST_F(RegKeysTest, AReadOnlyKeyIsStillRead) {
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, L"Name", L"kept"));
    ASSERT_TRUE(SetKeyAccess(kRoot, KEY_READ));
    ScopedRegKey writable;
    const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRoot.c_str(), 0, KEY_SET_VALUE, writable.Receive());
    const std::wstring value = GetRegValue(HKEY_CURRENT_USER, kRoot, L"Name");
    const std::vector<std::wstring> names = RegKeys::GetValueNames(HKEY_CURRENT_USER, kRoot);
    ASSERT_TRUE(SetKeyAccess(kRoot, KEY_ALL_ACCESS));
    EXPECT_EQ(opened, ERROR_ACCESS_DENIED) << "the key was not read-only";
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(names, std::vector<std::wstring>{L"Name"});
}

TEST_F(RegKeysTest, ATreeGoesWhole) {
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot + L"\\Kivo", L"Tool Tips", L"1"));
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot + L"\\Kivo\\1024*768", L"Readme.X", L"40"));
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot + L"\\Kivo\\800*600\\deeper", L"x", L"1"));
    EXPECT_TRUE(RegKeys::DeleteRegTree(HKEY_CURRENT_USER, kRoot + L"\\Kivo"));
    EXPECT_FALSE(KeyExists(kRoot + L"\\Kivo"));
    EXPECT_TRUE(KeyExists(kRoot));
    // Gone already counts as gone.
    EXPECT_TRUE(RegKeys::DeleteRegTree(HKEY_CURRENT_USER, kRoot + L"\\Kivo"));
}

TEST_F(RegKeysTest, OnlyAnEmptyKeyIsDeletedAsEmpty) {
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot, L"Other", L"1"));
    EXPECT_FALSE(RegKeys::DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, kRoot));
    RegKeys::DeleteRegValue(HKEY_CURRENT_USER, kRoot, L"Other");
    ASSERT_TRUE(SetRegValue(HKEY_CURRENT_USER, kRoot + L"\\Sub", L"x", L"1"));
    EXPECT_FALSE(RegKeys::DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, kRoot));
    EXPECT_TRUE(KeyExists(kRoot + L"\\Sub"));
    RegKeys::DeleteRegTree(HKEY_CURRENT_USER, kRoot + L"\\Sub");
    EXPECT_TRUE(RegKeys::DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, kRoot));
    EXPECT_FALSE(KeyExists(kRoot));
}

}  // namespace
}  // namespace iv
