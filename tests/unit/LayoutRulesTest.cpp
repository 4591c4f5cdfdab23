// The rules of layouts: the settle of a change of the screen, the layout keys, who an icon is,
// where a restore puts each icon, the comparison that spares the calm save a write, and what the
// keeper may do to a layout by itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "desktop/KeeperRules.h"
#include "layouts/Identity.h"
#include "layouts/LayoutKeys.h"
#include "layouts/LayoutStore.h"
#include "layouts/RestorePlan.h"
#include "shell/FolderView.h"
#include "shell/Screen.h"

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

// A taskbar moved or resized changes the work area alone: that too holds saves until it settles.
TEST(ScreenSettleTest, AChangeOfTheWorkAreaAloneHoldsSaves) {
    ScreenSettle screen;
    ScreenShape shape = Screen(1024, 768);
    screen.Notice(shape, 0);
    shape.monitors[0].work.bottom -= 40;
    screen.Notice(shape, 500);
    EXPECT_FALSE(screen.SavesAllowed());
    EXPECT_TRUE(screen.TakeSettled(500 + kScreenSettleMs));
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

TEST(LayoutDiffersTest, AValueMissingOrDifferentIsAChangeAValueNotWantedIsNone) {
    const LayoutValues stored = {{L"A.X", L"10"}, {L"A.Y", L"20"}, {L"GONE.X", L"1"}, {L"GONE.Y", L"2"}};
    EXPECT_FALSE(LayoutDiffers({{L"A.X", L"10"}, {L"A.Y", L"20"}}, stored));
    EXPECT_TRUE(LayoutDiffers({{L"A.X", L"11"}}, stored));
    EXPECT_TRUE(LayoutDiffers({{L"B.X", L"10"}}, stored));
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
    for (const wchar_t* name : {L"", L"1024x768", L"1024*768@0,0", L"800*600@0,0+1024*768@-1024,0", L"1024*768 96dpi",
                                L"1024*768 dpi", L"1024*768 144", L"Undo", L"Previous", L"0*768", L"1024*768+800*600"})
        EXPECT_FALSE(DecodeLayoutKeyName(name)) << testing::PrintToString(std::wstring(name));
}

// A dozen monitors name a key longer than the registry takes: the name keeps the monitors that fit
// and a digest of all, the same for the same screen and another for another.
TEST(LayoutKeyTest, ANameTooLongForTheRegistryIsShortenedUniquelyAndStillDecodes) {
    std::vector<RECT> areas;
    for (LONG i = 0; i < 14; ++i) areas.push_back({i * 1920 - 3840, -1080, i * 1920 - 1920, 0});
    const std::wstring name = LayoutKeyName(Monitors(areas, 144));
    EXPECT_LE(name.size(), kLongestKeyName);
    EXPECT_EQ(name, LayoutKeyName(Monitors(areas, 144)));
    areas.back().right += 1;
    EXPECT_NE(name, LayoutKeyName(Monitors(areas, 144)));
    const auto decoded = DecodeLayoutKeyName(name);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->dpi, 144u);
    EXPECT_GE(decoded->monitors.size(), 10u);
    EXPECT_EQ(decoded->monitors[0].area.left, -3840);
    EXPECT_FALSE(DecodeLayoutKeyName(L"1024*768@0,0+#1234 144dpi"));
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
    // An icon that shows wholly is never moved, however near the edge; one that does not is moved
    // only as far as its own rectangle needs.
    const ScreenShape one = Monitors({{0, 0, 1024, 768}});
    for (const auto& [want, got] :
         {std::pair(POINT{880, 620}, POINT{880, 620}), std::pair(POINT{992, 696}, POINT{992, 696}),
          std::pair(POINT{993, 697}, POINT{992, 696})}) {
        const POINT at = Place({want}, one)[0];
        EXPECT_EQ(std::pair(at.x, at.y), std::pair(got.x, got.y)) << want.x << "," << want.y;
    }
    // Icons that show stay where they were stored, overlapping or not; one moved into view gives
    // way to them, though it comes first.
    const std::vector<POINT> stored = {{1100, 620}, {880, 620}, {890, 630}, {992, 620}};
    const auto kept = Place(stored, one);
    for (size_t i = 1; i < stored.size(); ++i) EXPECT_TRUE(kept[i].x == stored[i].x && kept[i].y == stored[i].y) << i;
    EXPECT_FALSE(kept[0].x == 992 && kept[0].y == 620) << "moved into view onto an icon that shows";

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
    const auto full = PlaceRestoredIcons({{0, 0}, {100, 100}}, {0, 0, 32, 32}, {75, 75}, {{0, 0, 40, 40}});
    EXPECT_EQ(full[1].x, 8);
}

TEST(IconIdentityTest, RelativeToTheDesktopFoldersAndNeverAUsersOwnPath) {
    const wchar_t* user = L"C:\\Users\\Aiko\\Desktop";
    const wchar_t* common = L"C:\\Users\\Public\\Desktop\\";
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Users\\Aiko\\Desktop\\same.txt", L"Desktop\\same.txt"},
        {L"c:\\users\\aiko\\desktop\\予定表.xlsx", L"Desktop\\予定表.xlsx"},
        {L"C:\\Users\\Public\\Desktop\\same.txt", L"Public\\same.txt"},
        {L"::{645FF040-5081-101B-9F08-00AA002F954E}", L"::{645FF040-5081-101B-9F08-00AA002F954E}"},
        {L"C:\\Users\\Aiko\\Desktop", L""},
        {L"C:\\Users\\Aiko\\Desktop2\\same.txt", L""},
        {L"D:\\Elsewhere\\same.txt", L""},
        {L"", L""},
    };
    for (const auto& [parsing, identity] : cases)
        EXPECT_EQ(IconIdentity(parsing, user, common), identity) << testing::PrintToString(std::wstring(parsing));
    EXPECT_EQ(IconIdentity(L"C:\\x\\a", L"", L""), L"");
    // A removed entry's icon, known by either way to the icons.
    const auto keysOf = [&](const wchar_t* path) { return KeysOfEntry(path, user, common); };
    EXPECT_EQ(
        keysOf(L"C:\\Users\\Aiko\\Desktop\\Report.txt"),
        (std::vector{IconKey(L"Report.txt", L""), IconKey(L"Report", L""), IconKey(L"", L"Desktop\\report.txt")}));
    EXPECT_EQ(keysOf(L"C:\\Users\\Public\\Desktop\\.profile"),
              (std::vector{IconKey(L".profile", L""), IconKey(L"", L"Public\\.profile")}));
    EXPECT_EQ(IconKey(L"Same", L"Desktop\\same.txt"), IconKey(L"other", L"DESKTOP\\SAME.TXT"));
    EXPECT_NE(IconKey(L"Same", L""), IconKey(L"Same", L"Desktop\\same.txt"));
    // Icons seen by one way to the icons, looked for by the other.
    IconKeySet byFolderView, byListView = {IconKey(L"Same", L"")};
    AddIconKeys(byFolderView, L"Same", L"Desktop\\same.txt");
    EXPECT_TRUE(HasIconKeys(byFolderView, L"same", L"DESKTOP\\SAME.TXT") && HasIconKeys(byFolderView, L"Same", L""));
    EXPECT_FALSE(HasIconKeys(byFolderView, L"Same", L"Desktop\\same.bat"));
    EXPECT_TRUE(HasIconKeys(byListView, L"Same", L"Desktop\\same.bat"));
    // A twin of one text is a new icon to a set that holds identities, not to one of texts alone.
    IconKeySet twins = byFolderView;
    AddIconKeys(twins, L"Same", L"Desktop\\same.bat");
    EXPECT_TRUE(HoldsNewIcon(twins, byFolderView));
    EXPECT_FALSE(HoldsNewIcon(twins, byListView) || HoldsNewIcon(byFolderView, byFolderView));
}

TEST(ItemIdListBytesTest, AWholeListEndsAtItsTerminatorAndABrokenOneIsNone) {
    const uint8_t one[] = {5, 0, 'a', 'b', 'c', 0, 0, 0xFF};
    EXPECT_EQ(ItemIdListBytes(one, sizeof one), 7u);
    const uint8_t empty[] = {0, 0};
    EXPECT_EQ(ItemIdListBytes(empty, sizeof empty), 2u);
    EXPECT_EQ(ItemIdListBytes(one, 6), 0u);   // the terminator lies past the limit
    const uint8_t tooShort[] = {1, 0, 0, 0};  // an item shorter than its own size field
    EXPECT_EQ(ItemIdListBytes(tooShort, sizeof tooShort), 0u);
    const uint8_t past[] = {200, 0, 1, 2};  // an item running past the limit
    EXPECT_EQ(ItemIdListBytes(past, sizeof past), 0u);
}

// One 1024 x 768 monitor, icons of 32 x 32 on a grid of 75 x 75.
RestorePlan Plan(const std::vector<PlanIcon>& icons, const StoredLayout& layout, const IconKeySet* leave = nullptr) {
    return PlanRestore(icons, layout, {{0, 0, 32, 32}, {75, 75}, {{0, 0, 1024, 768}}}, leave);
}

// Where the plan sends each icon; the icon's own place when it stays.
std::vector<std::pair<LONG, LONG>> Targets(const std::vector<PlanIcon>& icons, const RestorePlan& plan) {
    std::vector<std::pair<LONG, LONG>> to;
    for (const PlanIcon& icon : icons) to.emplace_back(icon.at.x, icon.at.y);
    for (const RestorePlan::Move& move : plan.moves) to[move.icon] = {move.to.x, move.to.y};
    return to;
}

TEST(PlanRestoreTest, IconsAreMatchedByWhoTheyAreThenByAnUnsharedText) {
    StoredLayout withIds;
    withIds.byText = {{L"SAME", {300, 300}}, {L"README", {400, 100}}, {L"NOTES", {600, 100}}};
    withIds.byId = {{L"DESKTOP\\SAME.TXT", {{100, 100}, L"SAME"}},
                    {L"DESKTOP\\SAME.BAT", {{300, 300}, L"SAME"}},
                    {L"PUBLIC\\NOTES.TXT", {{500, 100}, L"NOTES"}},
                    {L"DESKTOP\\NOTES.TXT", {{600, 100}, L"NOTES"}}};
    StoredLayout textOnly;
    textOnly.byText = {{L"SAME", {300, 300}}, {L"README", {400, 100}}, {L"NOTES", {500, 100}}};
    const std::vector<PlanIcon> known = {{L"same", L"Desktop\\same.txt", {10, 10}},
                                         {L"same", L"Desktop\\same.bat", {10, 90}},
                                         {L"Notes", L"Public\\Notes.txt", {10, 170}},
                                         {L"Notes", L"Desktop\\Notes.txt", {10, 250}},
                                         {L"Readme", L"Desktop\\Readme.txt", {10, 330}}};
    const std::vector<PlanIcon> unknown = {
        {L"same", L"", {10, 10}}, {L"same", L"", {10, 90}}, {L"Readme", L"", {10, 330}}, {L"Notes", L"", {10, 170}}};
    const std::vector<PlanIcon> renamed = {{L"Notes", L"Desktop\\Notes2.txt", {10, 170}}};
    struct Case {
        const char* what;
        const std::vector<PlanIcon>& icons;
        const StoredLayout& layout;
        std::vector<std::pair<LONG, LONG>> to;
        size_t noPlace;
    };
    const Case cases[] = {
        // Each of two "same" and each of two "Notes" (the user's and the Public Desktop's) to its
        // own place; Readme, whose identity the layout does not know, by its text.
        {"identities", known, withIds, {{100, 100}, {300, 300}, {500, 100}, {600, 100}, {400, 100}}, 0},
        // A layout of an earlier version, or the list view's way: one text, one place.
        {"texts", known, textOnly, {{10, 10}, {10, 90}, {10, 170}, {10, 250}, {400, 100}}, 4},
        {"no identities", unknown, withIds, {{10, 10}, {10, 90}, {400, 100}, {600, 100}}, 2},
        // The text's place is known to be another icon's: an icon of another identity stays.
        {"another's place", renamed, withIds, {{10, 170}}, 1},
    };
    for (const Case& c : cases) {
        const RestorePlan plan = Plan(c.icons, c.layout);
        EXPECT_EQ(Targets(c.icons, plan), c.to) << c.what;
        EXPECT_EQ(plan.noPlace, c.noPlace) << c.what;
    }
}

TEST(PlanRestoreTest, CountsWhatWouldMoveWhatStandsWhatHasNoPlaceAndWhatNoIconTakes) {
    StoredLayout layout;
    layout.byText = {{L"A", {100, 100}}, {L"B", {200, 100}}, {L"GONE", {300, 100}}, {L"LEFT", {400, 100}}};
    layout.byId = {{L"DESKTOP\\C.TXT", {{500, 100}, L"C"}}, {L"DESKTOP\\LOST.TXT", {{600, 100}, L"LOST"}}};
    const std::vector<PlanIcon> icons = {
        {L"A", L"", {100, 100}},  {L"B", L"", {200, 10}},    {L"C", L"Desktop\\C.txt", {10, 90}},
        {L"New", L"", {10, 170}}, {L"Left", L"", {10, 250}}, {L"Unplaced", L"", {}, false},
        {L"GONE", L"", {}, false}};
    IconKeySet leave = {IconKey(L"Left", L"")};
    const RestorePlan plan = Plan(icons, layout, &leave);
    EXPECT_EQ(plan.moves.size(), 2u);  // B (off its place along one axis only) and C
    EXPECT_EQ(plan.inPlace, 1u);       // A
    EXPECT_EQ(plan.noPlace, 2u);       // New, Unplaced
    EXPECT_EQ(plan.placeUnknown, 1u);  // GONE: stored, but the shell did not say where it stands
    EXPECT_EQ(plan.unclaimed, 1u);     // LOST; Left's place is taken by an icon left where it is
    EXPECT_EQ(Targets(icons, plan)[4], std::pair(10L, 250L));
    // Icons to leave that the list view's way saw, known by their texts: C, seen so, stays too.
    AddIconKeys(leave, L"C", L"");
    EXPECT_EQ(Plan(icons, layout, &leave).moves.size(), 1u);
}

// What the keeper may do by itself, by phase: a save writes only an arrangement that is the user's,
// and deletes only places of icons it saw go; what is due runs only while its option is still on.
TEST(KeeperRulesTest, EachAutomaticActionInEachPhase) {
    using enum DesktopPhase;
    using enum KeeperAction;
    struct Row {
        KeeperAction action;
        KeeperMoment at;
        bool runs;
    };
    const Row rows[] = {
        {ExitSave, {Owned, true, true, true, false}, true},
        {CalmSave, {Owned, true, true, true, false}, true},
        {ExitSave, {Settling, true, true, true, false}, false},   // the desktop still fills
        {ExitSave, {Restoring, true, true, true, false}, false},  // the start's restore not done
        {ExitSave, {Placing, true, true, true, false}, false},    // late icons not yet placed
        {ExitSave, {Foreign, true, true, true, false}, false},    // a restore was dropped
        {ExitSave, {Owned, true, true, true, true}, false},       // the session ends inside a restore
        {CalmSave, {Owned, false, true, true, false}, false},     // the work area alone changed
        {CalmSave, {Owned, true, true, false, false}, false},     // small icons: no layout to keep
        {Restore, {Restoring, true, true, true, false}, true},
        {Restore, {Restoring, true, false, true, false}, false},  // the option turned off meanwhile
        {Restore, {Restoring, true, true, false, false}, false},  // no icon view any more
        {Restore, {Owned, true, true, true, false}, false},
        {PlaceNew, {Placing, true, true, true, false}, true},
        {PlaceNew, {Placing, false, true, true, false}, false},
    };
    for (const Row& row : rows) {
        const KeeperPermission permission = Permitted(row.action, row.at);
        EXPECT_EQ(permission.runs, row.runs)
            << static_cast<int>(row.action) << " in " << static_cast<int>(row.at.phase);
        const bool save = row.action == CalmSave || row.action == ExitSave;
        EXPECT_EQ(permission.writes, save && row.runs);
        EXPECT_EQ(permission.deletes, save && row.runs);
    }
}

}  // namespace
}  // namespace iv
