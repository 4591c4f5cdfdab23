// The settle rule of a change of the screen size, the clamp of a restored icon, and the
// comparison that spares the calm save a write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "desktop/Monitors.h"
#include "desktop/ScreenFollow.h"

namespace iv {
namespace {

// One monitor of a size at 96 dpi.
ScreenShape Screen(LONG width, LONG height) {
    const RECT area = {0, 0, width, height};
    return {{{area, area, true}}, 96};
}

TEST(ScreenSettleTest, ChangeBlocksSavesUntilTakenOnceAfterTwoCalmSeconds) {
    ScreenSettle screen;
    screen.Notice(Screen(1024, 768), 0);  // the first size seen is no change
    EXPECT_TRUE(screen.SavesAllowed());
    screen.Notice(Screen(800, 600), 1000);
    EXPECT_FALSE(screen.SavesAllowed());
    EXPECT_FALSE(screen.TakeSettled(1000 + kScreenSettleMs - 1));
    // Still waiting to be taken after the two seconds: the restore has not run yet.
    EXPECT_FALSE(screen.SavesAllowed());
    EXPECT_TRUE(screen.TakeSettled(1000 + kScreenSettleMs));
    EXPECT_TRUE(screen.SavesAllowed());
    EXPECT_FALSE(screen.TakeSettled(9000));
}

TEST(ScreenSettleTest, FurtherChangeStartsTheWaitAgain) {
    ScreenSettle screen;
    screen.Notice(Screen(1024, 768), 0);
    screen.Notice(Screen(800, 600), 1000);
    screen.Notice(Screen(800, 600), 2500);  // the same size seen again is no change
    screen.Notice(Screen(1024, 768), 2900);
    EXPECT_FALSE(screen.TakeSettled(1000 + kScreenSettleMs));
    EXPECT_TRUE(screen.TakeSettled(2900 + kScreenSettleMs));
}

TEST(ShiftIntoViewTest, NearestPlaceWithTheWholeItemInside) {
    const auto shift = [](RECT bounds) {
        const POINT p = ShiftIntoView(bounds, {0, 0, 800, 600});
        return std::pair{p.x, p.y};
    };
    EXPECT_EQ(shift({100, 100, 175, 170}), std::pair(0L, 0L));
    EXPECT_EQ(shift({900, 650, 975, 720}), std::pair(-175L, -120L));  // past the right and bottom
    EXPECT_EQ(shift({-30, -5, 45, 65}), std::pair(30L, 5L));
    EXPECT_EQ(shift({790, 590, 800, 600}), std::pair(0L, 0L));   // touching the edge is inside
    EXPECT_EQ(shift({500, 0, 1400, 70}), std::pair(-500L, 0L));  // wider than the client: its start shows
}

TEST(LayoutDiffersTest, WholeReadComparesEverythingPartialOnlyWhatWasRead) {
    const LayoutValues stored = {{L"A.X", L"10"}, {L"A.Y", L"20"}, {L"GONE.X", L"1"}, {L"GONE.Y", L"2"}};
    const LayoutValues wanted = {{L"A.X", L"10"}, {L"A.Y", L"20"}};
    EXPECT_TRUE(LayoutDiffers(wanted, stored, true));
    EXPECT_FALSE(LayoutDiffers(wanted, stored, false));
    EXPECT_TRUE(LayoutDiffers({{L"A.X", L"11"}}, stored, false));
    EXPECT_TRUE(LayoutDiffers({{L"B.X", L"10"}}, stored, false));
}

// Monitors by their rectangles; the work area is the area less a taskbar of 40 pixels at its foot.
ScreenShape Monitors(std::vector<RECT> areas, UINT dpi = 96) {
    ScreenShape screen;
    for (const RECT& a : areas)
        screen.monitors.push_back({a, {a.left, a.top, a.right, a.bottom - 40}, !a.left && !a.top});
    screen.dpi = dpi;
    return screen;
}

TEST(LayoutKeyTest, OneMonitorAtTheUsualScaleKeepsItsOldKeyAndEveryOtherScreenNamesItsMonitors) {
    const std::pair<ScreenShape, const wchar_t*> cases[] = {
        {Monitors({{0, 0, 1024, 768}}), L"1024*768"},
        {Monitors({{0, 0, 1920, 1080}}, 144), L"1920*1080 144dpi"},
        {Monitors({{0, 0, 1920, 1080}, {1920, 0, 3200, 1024}}), L"1920*1080@0,0+1280*1024@1920,0"},
        {Monitors({{0, -768, 1024, 0}, {0, 0, 1920, 1080}}, 120), L"1024*768@0,-768+1920*1080@0,0 120dpi"},
        {Monitors({{-1280, 100, 0, 1124}, {0, 0, 1920, 1080}}), L"1280*1024@-1280,100+1920*1080@0,0"},
    };
    for (const auto& [screen, name] : cases) {
        EXPECT_EQ(LayoutKeyName(screen), name);
        const auto decoded = DecodeLayoutKeyName(name);
        ASSERT_TRUE(decoded) << testing::PrintToString(std::wstring(name));
        EXPECT_EQ(LayoutKeyName(*decoded), name);
        EXPECT_EQ(decoded->dpi, screen.dpi);
    }
    EXPECT_EQ(PrimaryKeyName(Monitors({{-1280, 100, 0, 1124}, {0, 0, 1920, 1080}})), L"1920*1080");
    for (const wchar_t* name :
         {L"", L"1024x768", L"1024*768@0,0", L"800*600@0,0+1024*768@-1024,0", L"1024*768 96dpi", L"1024*768 dpi",
          L"1024*768 144", L"Undo", L"Previous", L"0*768", L"1024*768+800*600"}) {
        EXPECT_FALSE(DecodeLayoutKeyName(name)) << testing::PrintToString(std::wstring(name));
    }
}

TEST(LayoutKeyTest, MonitorsAreReadPerMonitorAwareWhereTheSystemOffersIt) {
    EXPECT_EQ(PhysicalPixelsAwareness([](DPI_AWARENESS_CONTEXT) { return true; }),
              DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    EXPECT_EQ(
        PhysicalPixelsAwareness([](DPI_AWARENESS_CONTEXT c) { return c == DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE; }),
        DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    EXPECT_EQ(PhysicalPixelsAwareness([](DPI_AWARENESS_CONTEXT) { return false; }), nullptr);
}

// Icons of 32 x 32 at the item's position, on a grid of 75 x 75.
std::vector<POINT> Place(const std::vector<POINT>& stored, const ScreenShape& screen) {
    std::vector<RECT> work;
    for (const Monitor& m : screen.monitors) work.push_back(m.work);
    return PlaceRestoredIcons(stored, {0, 0, 32, 32}, {75, 75}, work);
}

bool Inside(POINT p, const RECT& r) {
    return p.x >= r.left && p.y >= r.top && p.x + 32 <= r.right && p.y + 32 <= r.bottom;
}

TEST(PlaceRestoredIconsTest, EveryIconLandsWhollyOnTheNearestMonitor) {
    // Side by side, of different heights: the corner below the shorter one is in no monitor.
    const ScreenShape sides = Monitors({{0, 0, 1920, 1080}, {1920, 0, 2944, 768}});
    const auto placed = Place({{2500, 1000}, {5000, 300}, {-300, -300}, {100, 100}}, sides);
    EXPECT_TRUE(Inside(placed[0], sides.monitors[1].work)) << placed[0].x << "," << placed[0].y;
    EXPECT_TRUE(Inside(placed[1], sides.monitors[1].work));
    EXPECT_EQ(placed[2].x, 0);
    EXPECT_EQ(placed[2].y, 0);
    EXPECT_EQ(placed[3].x, 100);  // already on screen: where it was stored

    // Stacked with a negative origin, and two monitors with a gap between them.
    const ScreenShape stacked = Monitors({{0, -1024, 1280, 0}, {0, 0, 1920, 1080}});
    EXPECT_TRUE(Inside(Place({{1400, -500}}, stacked)[0], stacked.monitors[0].work));
    EXPECT_TRUE(Inside(Place({{1800, -300}}, stacked)[0], stacked.monitors[1].work));
    const ScreenShape gap = Monitors({{0, 0, 1024, 768}, {1200, 0, 2224, 768}});
    EXPECT_TRUE(Inside(Place({{1150, 300}}, gap)[0], gap.monitors[1].work));
    EXPECT_TRUE(Inside(Place({{1060, 300}}, gap)[0], gap.monitors[0].work));
}

TEST(PlaceRestoredIconsTest, IconsThatWouldLandOnOneSpotAreSpreadOnTheGrid) {
    const ScreenShape one = Monitors({{0, 0, 1024, 768}});
    const auto placed = Place({{5000, 5000}, {5000, 5000}, {4000, 4000}, {10, 10}}, one);
    for (size_t i = 0; i < placed.size(); ++i) {
        EXPECT_TRUE(Inside(placed[i], one.monitors[0].work)) << i;
        for (size_t j = 0; j < i; ++j) {
            const bool apart = std::abs(placed[i].x - placed[j].x) >= 32 || std::abs(placed[i].y - placed[j].y) >= 32;
            EXPECT_TRUE(apart) << i << " on " << j;
        }
    }
    EXPECT_EQ(placed[1].x % 75, placed[0].x % 75) << "spread off the grid";
    // No room left: the icon stays where it would land.
    const auto full = PlaceRestoredIcons({{0, 0}, {0, 0}}, {0, 0, 32, 32}, {75, 75}, {{0, 0, 40, 40}});
    EXPECT_EQ(full[1].x, 0);
}

}  // namespace
}  // namespace iv
