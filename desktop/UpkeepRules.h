// When the desktop's upkeep looks at the shell by itself. Events tell of most changes; what no
// event tells is looked at by a slow check, and only while it can matter. Each duty is due at a
// time of its own, and nothing runs between.
#pragma once
#include <windows.h>

#include <initializer_list>

namespace iv {

// No duty of this kind is pending.
inline constexpr ULONGLONG kNeverDue = ~0ULL;
// What no event tells is looked at this often, at most.
inline constexpr UINT kSlowCheckMs = 1000;
// After an event that announces more to come (a change of the Desktop folders, a restarted shell,
// a desktop still filling), the count is looked at this often.
inline constexpr UINT kEagerCountCheckMs = 25;
// After a change of the colours, the theme or the display, which the shell answers by resetting
// the label background some time later, the background is looked at this often.
inline constexpr UINT kEagerLabelCheckMs = 100;

struct UpkeepFacts {
    bool desktopFound = false;      // a list view to look at
    bool settling = false;          // its count has not held yet
    bool countBurst = false;        // an event just said that items or the desktop may change
    bool itemEventsRaised = false;  // the list view has told of an item of its own
    bool countUnanswered = false;   // the last count went unanswered: no event may tell again
    bool labelBurst = false;        // an event just said that the shell may reset the background
    bool transparentLabels = false;
    bool labelToRead = false;  // the desktop's own background is still to be read
    bool smallIcons = false;   // the scroll position is followed
};

// How long after one look the next is due; 0 while the look cannot matter (it arms nothing).
// A desktop whose list view tells of its items is counted on those events alone; one that does
// not (Wine's), that is missing, or whose last count went unanswered, by the slow check.
UINT CountCheckPeriod(const UpkeepFacts& facts);
// Only with transparent labels on, or the desktop's own colour still to be read.
UINT LabelCheckPeriod(const UpkeepFacts& facts);
// Only in small icons, where a scroll leaves stale pixels.
UINT ScrollCheckPeriod(const UpkeepFacts& facts);

// The next due time of a look that ran last at `last`; kNeverDue for a period of 0.
constexpr ULONGLONG NextLook(ULONGLONG last, UINT period) { return period ? last + period : kNeverDue; }

// Whether a look of this period that is due at `due` runs at `now`: once due, or when it would be
// due within half its period, so that looks due close together share one wake-up.
constexpr bool DueSoon(ULONGLONG due, UINT period, ULONGLONG now) { return due <= now || due - now <= period / 2; }

// What the screen's duties wait for: the settle of a change of the screen, a retry of a layout
// still due, the next calm save.
struct ScreenDuties {
    ULONGLONG screenSettlesAt = kNeverDue;
    bool desktopSettling = false;
    bool savesAllowed = true;  // no change of the screen waits to settle
    bool layoutDue = false;    // a restore or a placement of new icons is still to be done
    ULONGLONG nextRetry = 0;
    bool calmSaves = false;  // the screen is followed in an icon view
    ULONGLONG nextCalmSave = 0;
    ULONGLONG burstUntil = 0;  // calm saves wait out a burst of folder changes
};

// When they are next due, kNeverDue when none is pending.
ULONGLONG ScreenDutiesDue(const ScreenDuties& duties);

constexpr ULONGLONG EarliestDue(std::initializer_list<ULONGLONG> times) {
    ULONGLONG earliest = kNeverDue;
    for (const ULONGLONG t : times) earliest = t < earliest ? t : earliest;
    return earliest;
}

}  // namespace iv
