// What the keeper may do to the desktop by itself, said once: the phase the desktop is in, and for
// each automatic action, whether it runs in that phase, and whether a save then writes and deletes.
#pragma once

namespace iv {

// Where the desktop stands as far as its layout goes.
enum class DesktopPhase {
    Settling,   // being built (at start, or anew after a restart of the shell): its count has not held
    Restoring,  // its layout is due to be put back and has not been yet (tried again, less often)
    Placing,    // icons came that have stored places: they go there before anything is saved
    Foreign,    // what is on screen is not known to be the user's arrangement, and nothing is due
    Owned,      // what is on screen is the stored layout, or the user's own arrangement
};

enum class KeeperAction {
    CalmSave,  // the layout of a followed screen kept up to date
    ExitSave,  // the positions saved as the program ends, or at log-off
    Restore,   // the layout put back at start, on a new desktop or screen, or tried again
    PlaceNew,  // icons that came put at their stored places
};

struct KeeperMoment {
    DesktopPhase phase = DesktopPhase::Settling;
    bool screenSettled = true;  // no change of the monitors, work area or scale waits to settle
    bool optionOn = false;      // the setting that asks for the action is still on
    bool viewFits = false;      // the view it needs is shown: large icons to save, an icon view to move
    bool inRestore = false;     // a restore is half done (the session ends inside its wait)
};

struct KeeperPermission {
    bool runs = false;
    bool writes = false;   // a save writes the values that change
    bool deletes = false;  // a save deletes the stored places of icons it saw go, and no others
};

constexpr KeeperPermission Permitted(KeeperAction action, const KeeperMoment& at) {
    if (!at.optionOn || !at.viewFits || at.inRestore || !at.screenSettled) return {};
    switch (action) {
        case KeeperAction::CalmSave:
        case KeeperAction::ExitSave:
            if (at.phase == DesktopPhase::Owned) return {true, true, true};
            return {};
        case KeeperAction::Restore: return {at.phase == DesktopPhase::Restoring, false, false};
        case KeeperAction::PlaceNew: return {at.phase == DesktopPhase::Placing, false, false};
    }
    return {};
}

}  // namespace iv
