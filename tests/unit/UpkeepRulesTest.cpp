// When the desktop's upkeep looks at the shell by itself, and what the shell's events mean.
#include <gtest/gtest.h>

#include "desktop/DesktopEvents.h"
#include "desktop/UpkeepRules.h"

namespace iv {
namespace {

TEST(UpkeepRulesTest, EachLookRunsOnlyWhileItCanMatter) {
    struct Case {
        UpkeepFacts facts;
        UINT count, label, scroll;
    };
    const UpkeepFacts idle = {.desktopFound = true};
    const auto with = [&](auto change) {
        UpkeepFacts f = idle;
        change(f);
        return f;
    };
    const Case cases[] = {
        {idle, kSlowCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.itemEventsRaised = true; }), 0, 0, 0},
        {with([](UpkeepFacts& f) { f.itemEventsRaised = f.countUnanswered = true; }), kSlowCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.itemEventsRaised = f.countBurst = true; }), kEagerCountCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.itemEventsRaised = f.settling = true; }), kEagerCountCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.desktopFound = false, f.settling = f.transparentLabels = f.smallIcons = true; }),
         kSlowCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.desktopFound = false, f.countBurst = true; }), kEagerCountCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.transparentLabels = true; }), kSlowCheckMs, kSlowCheckMs, 0},
        {with([](UpkeepFacts& f) { f.labelToRead = f.labelBurst = true; }), kSlowCheckMs, kEagerLabelCheckMs, 0},
        {with([](UpkeepFacts& f) { f.labelBurst = true; }), kSlowCheckMs, 0, 0},
        {with([](UpkeepFacts& f) { f.smallIcons = true; }), kSlowCheckMs, 0, kSlowCheckMs},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(CountCheckPeriod(cases[i].facts), cases[i].count) << i;
        EXPECT_EQ(LabelCheckPeriod(cases[i].facts), cases[i].label) << i;
        EXPECT_EQ(ScrollCheckPeriod(cases[i].facts), cases[i].scroll) << i;
    }
    EXPECT_EQ(NextLook(500, 0), kNeverDue);
    EXPECT_EQ(NextLook(500, kSlowCheckMs), 1500u);
}

TEST(UpkeepRulesTest, TheScreensDutiesAreDueAtTheirOwnTimes) {
    struct Case {
        ScreenDuties duties;
        ULONGLONG due;
    };
    const ScreenDuties calm = {.nextRetry = 3000, .nextCalmSave = 5000, .burstUntil = 6000};
    const auto with = [&](auto change) {
        ScreenDuties d = calm;
        change(d);
        return d;
    };
    const Case cases[] = {
        {calm, kNeverDue},
        {with([](ScreenDuties& d) { d.calmSaves = true; }), 6000},
        {with([](ScreenDuties& d) { d.calmSaves = true, d.burstUntil = 0; }), 5000},
        {with([](ScreenDuties& d) { d.calmSaves = d.layoutDue = true; }), 3000},
        {with([](ScreenDuties& d) { d.layoutDue = true, d.screenSettlesAt = 2000; }), 2000},
        {with([](ScreenDuties& d) { d.layoutDue = true, d.savesAllowed = false, d.screenSettlesAt = 4000; }), 4000},
        {with([](ScreenDuties& d) { d.calmSaves = d.desktopSettling = true; }), kNeverDue},
        {with([](ScreenDuties& d) { d.desktopSettling = true, d.screenSettlesAt = 7000; }), kNeverDue},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(ScreenDutiesDue(cases[i].duties), cases[i].due) << i;
}

TEST(UpkeepRulesTest, OnlyTheDesktopsOwnItemsWindowsAndScrollCount) {
    const HWND list = reinterpret_cast<HWND>(0x10);
    const HWND view = reinterpret_cast<HWND>(0x20);
    const HWND other = reinterpret_cast<HWND>(0x30);
    const DesktopWindowHandles desktop = {view, list};
    struct Case {
        DWORD event;
        HWND hwnd;
        LONG object, child;
        std::optional<DesktopEvent> meaning;
    };
    const Case cases[] = {
        {EVENT_OBJECT_CREATE, list, OBJID_CLIENT, 3, DesktopEvent::Items},
        {EVENT_OBJECT_DESTROY, list, OBJID_CLIENT, 1, DesktopEvent::Items},
        {EVENT_OBJECT_REORDER, list, OBJID_CLIENT, CHILDID_SELF, DesktopEvent::Items},
        {EVENT_OBJECT_CREATE, other, OBJID_CLIENT, 3, std::nullopt},
        {EVENT_OBJECT_CREATE, list, OBJID_WINDOW, CHILDID_SELF, std::nullopt},
        {EVENT_OBJECT_DESTROY, list, OBJID_WINDOW, CHILDID_SELF, DesktopEvent::Gone},
        {EVENT_OBJECT_DESTROY, view, OBJID_WINDOW, CHILDID_SELF, DesktopEvent::Gone},
        {EVENT_OBJECT_DESTROY, other, OBJID_WINDOW, CHILDID_SELF, std::nullopt},
        {EVENT_OBJECT_VALUECHANGE, list, OBJID_HSCROLL, CHILDID_SELF, DesktopEvent::Scrolled},
        {EVENT_OBJECT_VALUECHANGE, list, OBJID_VSCROLL, CHILDID_SELF, std::nullopt},
        {EVENT_OBJECT_VALUECHANGE, other, OBJID_HSCROLL, CHILDID_SELF, std::nullopt},
        {EVENT_OBJECT_CREATE, nullptr, OBJID_CLIENT, 3, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MeaningOf(c.event, c.hwnd, c.object, c.child, desktop), c.meaning) << &c - cases;
}

}  // namespace
}  // namespace iv
