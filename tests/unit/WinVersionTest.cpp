// The operating-system check, fed every platform id.
#include <gtest/gtest.h>

#include "app/WinVersion.h"

namespace iv {
namespace {

TEST(ClassifyWindowsVersion, Win32sIsRefused) {
    const auto v = ClassifyWindowsVersion(true, VER_PLATFORM_WIN32s, 10);
    EXPECT_TRUE(v.refuse);
}

TEST(ClassifyWindowsVersion, NinetyFiveAndNinetyEightAreOldWin9x) {
    for (DWORD minor : {0u, 10u, 89u}) {
        const auto v = ClassifyWindowsVersion(true, VER_PLATFORM_WIN32_WINDOWS, minor);
        EXPECT_FALSE(v.refuse);
        EXPECT_EQ(v.oldWin9x, kTrue) << minor;
        EXPECT_EQ(v.winNT, kFalse);
    }
}

TEST(ClassifyWindowsVersion, MillenniumIsNineXButNotOld) {
    const auto v = ClassifyWindowsVersion(true, VER_PLATFORM_WIN32_WINDOWS, 90);
    EXPECT_EQ(v.oldWin9x, kFalse);
    EXPECT_EQ(v.winNT, kFalse);
}

TEST(ClassifyWindowsVersion, NtFamily) {
    const auto v = ClassifyWindowsVersion(true, VER_PLATFORM_WIN32_NT, 1);
    EXPECT_FALSE(v.refuse);
    EXPECT_EQ(v.oldWin9x, kFalse);
    EXPECT_EQ(v.winNT, kTrue);
}

// The 9x ways run only where the system says it is 9x: an unknown platform or a failed query is
// taken for NT (a failed query used to read as Win32s and refuse to start).
TEST(ClassifyWindowsVersion, UnknownPlatformOrFailedQueryIsNt) {
    for (const auto& v : {ClassifyWindowsVersion(true, 3, 0), ClassifyWindowsVersion(false, 0, 0),
                          ClassifyWindowsVersion(false, VER_PLATFORM_WIN32_WINDOWS, 10)}) {
        EXPECT_FALSE(v.refuse);
        EXPECT_EQ(v.oldWin9x, kFalse);
        EXPECT_EQ(v.winNT, kTrue);
    }
}

TEST(CheckWindowsVersion, OnThisSystemTellsTheNtFamily) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExW(&info);
    const WindowsFamily family = CheckWindowsVersion();
    EXPECT_EQ(family.winNT, info.dwPlatformId == VER_PLATFORM_WIN32_NT);
    EXPECT_FALSE(family.oldWin9x);
}

}  // namespace
}  // namespace iv
