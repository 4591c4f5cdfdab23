// A restore's plan, decided without the shell: which icon goes where. Each icon is matched to its
// stored place by who it is, put wholly on a monitor, and kept off the icons placed before it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "layouts/Identity.h"
#include "layouts/LayoutStore.h"

namespace iv {

// How far an item whose bounds are `bounds` must move so that all of it lies inside `client`
// (the nearest such place); an item larger than the client area shows its top-left part.
POINT ShiftIntoView(const RECT& bounds, const RECT& client);

// An icon's rectangle relative to its item's position, the same for every icon of a view.
struct IconBox {
    LONG dx = 0;
    LONG dy = 0;
    LONG width = 0;
    LONG height = 0;
};

// Where restored icons go, in the order given: each wholly inside the work area of the monitor
// nearest its stored place (the one holding the icon's middle, else the closest); one that would
// overlap an icon placed before it goes to the nearest free place on the grid of `spacing` inside
// that work area, when there is one. Places, areas and results in the list view's coordinates.
std::vector<POINT> PlaceRestoredIcons(const std::vector<POINT>& stored, const IconBox& box, SIZE spacing,
                                      const std::vector<RECT>& workAreas);

// An icon on the desktop as a restore found it.
struct PlanIcon {
    std::wstring text;
    std::wstring id;  // empty when not known
    POINT at = {};
    bool placeKnown = true;  // the shell told where it stands
};

struct PlanGeometry {
    IconBox box;
    SIZE spacing = {};
    std::vector<RECT> workAreas;
};

struct RestorePlan {
    struct Move {
        size_t icon;  // index into the icons planned for
        POINT to;
    };
    std::vector<Move> moves;
    // Icons that cannot go to their stored place (it does not show), and where they go instead.
    struct Held {
        size_t icon;
        POINT to;
        POINT stored;
    };
    std::vector<Held> held;
    size_t inPlace = 0;       // icons with a stored place that stand there already
    size_t noPlace = 0;       // icons without a stored place of their own
    size_t unclaimed = 0;     // stored places that no icon on the desktop takes
    size_t placeUnknown = 0;  // icons with a stored place whose own place the shell did not tell
};

// Matches each icon to a stored place: by its identity first; by its display text when the layout
// does not know its identity, unless another icon shows the same text (nothing tells the two
// apart then: both stay) or that text's place is known to be another icon's. Icons whose key is in
// `leave` stay and count as nothing; so does a layout's place that one of them would take.
RestorePlan PlanRestore(const std::vector<PlanIcon>& icons, const StoredLayout& layout, const PlanGeometry& geometry,
                        const IconKeySet* leave = nullptr);

}  // namespace iv
