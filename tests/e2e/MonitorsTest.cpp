// Layouts that belong to their monitors and their scale. Each test needs the screen that
// tests/support/monitors-run.sh starts for it (an X server with one or two screens, a scale).
#include <windows.h>
#include <commctrl.h>

#include "layouts/IconPositions.h"
#include "layouts/LayoutKeys.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/support/Remote.h"

namespace e2e {
namespace {

using namespace testing_support;

const wchar_t* const kNames[3] = {L"Readme", L"Data", L"Notes"};

class MonitorsTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        StartStandIn({L"--scripted", L"--item=Readme@40,40", L"--item=Data@140,40", L"--item=Notes@40,140"});
    }
    static std::wstring Key(const std::wstring& name) { return L"Software\\Marun soft\\Kivo\\" + name; }
    static std::wstring CurrentKey() { return iv::LayoutKey(iv::ReadScreenShape()); }
    static void Store(const std::wstring& key, LONG x) {
        for (int i = 0; i < 3; ++i) WritePlace(key, kNames[i], std::to_wstring(x + 100 * i), L"300");
    }
};

TEST_F(MonitorsTest, OneMonitorKeepsItsLayoutUnderItsSize) {
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
    ASSERT_EQ(CurrentKey(), Key(L"1024*768"));
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(ReadString(Key(L"1024*768"), L"Data.X"), L"140");
}

TEST_F(MonitorsTest, BackToOneMonitorItsOwnLayoutComesBack) {
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
    Store(Key(L"1024*768"), 200);
    Store(Key(L"800*600@0,0+1024*768@0,0"), 500);
    EXPECT_EQ(Run({L"/restore"}), 0u);
    EXPECT_EQ(Position(1).x, 300);
}

TEST_F(MonitorsTest, TwoMonitorsSaveUnderTheirOwnKey) {
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    Store(Key(L"1024*768"), 200);
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(ReadString(Key(L"1024*768"), L"Data.X"), L"300");
    EXPECT_EQ(ReadString(CurrentKey(), L"Data.X"), L"140");
    EXPECT_NE(CurrentKey(), Key(L"1024*768"));
}

// Places far off screen, two of them on one spot: each icon lands wholly on a monitor, apart.
TEST_F(MonitorsTest, FarOffPlacesLandOnAMonitorAndApart) {
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    const std::wstring key = CurrentKey();
    for (const auto& [name, x, y] :
         {std::tuple{L"Readme", 5000, 5000}, {L"Data", 5000, 5000}, {L"Notes", -3000, 200}}) {
        WritePlace(key, name, std::to_wstring(x), std::to_wstring(y));
    }
    EXPECT_EQ(Run({L"/restore"}), 0u);
    const iv::ScreenShape screen = iv::ReadScreenShape();
    std::vector<RECT> icons;
    for (int i = 0; i < 3; ++i) {
        RECT icon = {LVIR_ICON, 0, 0, 0};
        ASSERT_TRUE(RemoteItemRect(listView_, i, icon));
        MapWindowPoints(listView_, nullptr, reinterpret_cast<POINT*>(&icon), 2);
        bool onOne = false;
        for (const iv::Monitor& m : screen.monitors) {
            onOne = onOne || (icon.left >= m.work.left && icon.top >= m.work.top && icon.right <= m.work.right &&
                              icon.bottom <= m.work.bottom);
        }
        EXPECT_TRUE(onOne) << kNames[i] << " at " << icon.left << "," << icon.top;
        for (const RECT& other : icons) {
            RECT common = {};
            EXPECT_FALSE(IntersectRect(&common, &icon, &other)) << kNames[i] << " on another icon";
        }
        icons.push_back(icon);
    }
}

TEST_F(MonitorsTest, AtAnotherScaleTheUsualLayoutStays) {
    const HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 144);
    ReleaseDC(nullptr, screen);
    Store(Key(L"1024*768"), 200);
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(ReadString(Key(L"1024*768"), L"Data.X"), L"300");
    EXPECT_EQ(ReadString(Key(L"1024*768 144dpi"), L"Data.X"), L"140");
}

}  // namespace
}  // namespace e2e
