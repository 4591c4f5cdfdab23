#include "desktop/UpkeepRules.h"

#include <algorithm>

namespace iv {

UINT CountCheckPeriod(const UpkeepFacts& facts) {
    // A desktop missing keeps nothing settling: a shell that builds one announces it, or the slow
    // check finds it.
    if (!facts.desktopFound) return facts.countBurst ? kEagerCountCheckMs : kSlowCheckMs;
    if (facts.settling || facts.countBurst) return kEagerCountCheckMs;
    return facts.itemEventsRaised && !facts.countUnanswered ? 0 : kSlowCheckMs;
}

UINT LabelCheckPeriod(const UpkeepFacts& facts) {
    if (!facts.desktopFound || !(facts.transparentLabels || facts.labelToRead)) return 0;
    return facts.labelBurst ? kEagerLabelCheckMs : kSlowCheckMs;
}

UINT ScrollCheckPeriod(const UpkeepFacts& facts) { return facts.desktopFound && facts.smallIcons ? kSlowCheckMs : 0; }

ULONGLONG ScreenDutiesDue(const ScreenDuties& duties) {
    // A change of the screen that settles while the desktop is being built is taken once it is set
    // up: the set-up's save would keep the shell's arrangement as the new screen's layout, and a
    // followed screen gets its own layout back then.
    if (duties.desktopSettling) return kNeverDue;
    if (!duties.savesAllowed) return duties.screenSettlesAt;
    if (duties.layoutDue) return EarliestDue({duties.screenSettlesAt, duties.nextRetry});
    if (duties.calmSaves) {
        return EarliestDue({duties.screenSettlesAt, std::max(duties.nextCalmSave, duties.burstUntil)});
    }
    return duties.screenSettlesAt;
}

}  // namespace iv
