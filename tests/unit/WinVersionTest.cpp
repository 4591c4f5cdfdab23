// The operating-system check, fed every platform id.
#include <gtest/gtest.h>

#include "app/WinVersion.h"

namespace iv {
namespace {

TEST(ClassifyWindowsVersion, Win32sIsRefused) {
    const auto v = ClassifyWindowsVersion(VER_PLATFORM_WIN32s, 10);
    EXPECT_TRUE(v.refuse);
}

TEST(ClassifyWindowsVersion, NinetyFiveAndNinetyEightAreOldWin9x) {
    for (DWORD minor : {0u, 10u, 89u}) {
        const auto v = ClassifyWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, minor);
        EXPECT_FALSE(v.refuse);
        EXPECT_EQ(v.oldWin9x, kTrue) << minor;
        EXPECT_TRUE(v.setsWinNT);
        EXPECT_EQ(v.winNT, kFalse);
    }
}

TEST(ClassifyWindowsVersion, MillenniumIsNineXButNotOld) {
    const auto v = ClassifyWindowsVersion(VER_PLATFORM_WIN32_WINDOWS, 90);
    EXPECT_EQ(v.oldWin9x, kFalse);
    EXPECT_TRUE(v.setsWinNT);
    EXPECT_EQ(v.winNT, kFalse);
}

TEST(ClassifyWindowsVersion, NtFamily) {
    const auto v = ClassifyWindowsVersion(VER_PLATFORM_WIN32_NT, 1);
    EXPECT_FALSE(v.refuse);
    EXPECT_EQ(v.oldWin9x, kFalse);
    EXPECT_TRUE(v.setsWinNT);
    EXPECT_EQ(v.winNT, kTrue);
}

TEST(ClassifyWindowsVersion, UnknownPlatformLeavesIsWinNTAlone) {
    const auto v = ClassifyWindowsVersion(3, 0);
    EXPECT_FALSE(v.refuse);
    EXPECT_EQ(v.oldWin9x, kFalse);
    EXPECT_FALSE(v.setsWinNT);
}

TEST(CheckWindowsVersion, OnThisSystemSetsIsWinNT) {
    Flag isWinNT = kFalse;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExW(&info);
    const Flag old = CheckWindowsVersion(isWinNT);
    EXPECT_EQ(isWinNT, info.dwPlatformId == VER_PLATFORM_WIN32_NT ? kTrue : kFalse);
    EXPECT_EQ(old, kFalse);
}

}  // namespace
}  // namespace iv
