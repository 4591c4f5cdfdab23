#include "layouts/RestorePlan.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <unordered_map>
#include <utility>

namespace iv {
namespace {

// The shift along one axis that brings [lo, hi) inside [min, max), its start first.
LONG ShiftAxis(LONG lo, LONG hi, LONG min, LONG max) {
    if (lo < min || hi - lo > max - min) return min - lo;
    if (hi > max) return max - hi;
    return 0;
}

RECT BoxAt(POINT place, const IconBox& box) {
    const LONG left = place.x + box.dx;
    const LONG top = place.y + box.dy;
    return {left, top, left + box.width, top + box.height};
}

// How far a point lies from a rectangle (0 inside), squared.
long long DistanceSquared(POINT p, const RECT& r) {
    const long long dx = p.x < r.left ? r.left - p.x : p.x >= r.right ? p.x - r.right + 1 : 0;
    const long long dy = p.y < r.top ? r.top - p.y : p.y >= r.bottom ? p.y - r.bottom + 1 : 0;
    return dx * dx + dy * dy;
}

const RECT& NearestArea(const RECT& icon, const std::vector<RECT>& areas) {
    const POINT middle = {(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
    size_t nearest = 0;
    for (size_t i = 1; i < areas.size(); ++i) {
        if (DistanceSquared(middle, areas[i]) < DistanceSquared(middle, areas[nearest])) nearest = i;
    }
    return areas[nearest];
}

POINT Clamped(POINT place, const IconBox& box, const RECT& area) {
    const POINT shift = ShiftIntoView(BoxAt(place, box), area);
    return {place.x + shift.x, place.y + shift.y};
}

// The icons placed so far, found by the grid cell of their top-left corner: an icon no larger
// than a cell can only overlap those of its own and the eight cells around it.
class PlacedIcons {
public:
    PlacedIcons(const IconBox& box, SIZE cell) : box_(box), cell_(cell) {}

    bool Overlaps(POINT place) const {
        const RECT icon = BoxAt(place, box_);
        const auto [cx, cy] = CellOf(place);
        for (long long x = cx - 1; x <= cx + 1; ++x) {
            for (long long y = cy - 1; y <= cy + 1; ++y) {
                const auto found = cells_.find(Key(x, y));
                if (found == cells_.end()) continue;
                for (const POINT other : found->second) {
                    RECT common = {};
                    const RECT theirs = BoxAt(other, box_);
                    if (IntersectRect(&common, &icon, &theirs)) return true;
                }
            }
        }
        return false;
    }
    void Add(POINT place) {
        const auto [cx, cy] = CellOf(place);
        cells_[Key(cx, cy)].push_back(place);
    }

private:
    std::pair<long long, long long> CellOf(POINT p) const {
        const auto floorDiv = [](long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
        return {floorDiv(p.x, cell_.cx), floorDiv(p.y, cell_.cy)};
    }
    static long long Key(long long x, long long y) { return (x << 32) ^ (y & 0xFFFFFFFF); }

    IconBox box_;
    SIZE cell_;
    std::unordered_map<long long, std::vector<POINT>> cells_;
};

// The nearest place on the grid around `start` inside the area where the icon overlaps none.
std::optional<POINT> FreePlace(POINT start, const IconBox& box, SIZE spacing, const RECT& area,
                               const PlacedIcons& placed) {
    const long rings = std::max((area.right - area.left) / spacing.cx, (area.bottom - area.top) / spacing.cy) + 1;
    for (long ring = 1; ring <= rings; ++ring) {
        std::optional<POINT> best;
        long long bestDistance = 0;
        for (long i = -ring; i <= ring; ++i) {
            for (long j = -ring; j <= ring; ++j) {
                if (std::max(std::labs(i), std::labs(j)) != ring) continue;
                const POINT candidate = {start.x + i * spacing.cx, start.y + j * spacing.cy};
                const POINT inside = Clamped(candidate, box, area);
                if (inside.x != candidate.x || inside.y != candidate.y) continue;
                const long long distance = static_cast<long long>(i) * i * spacing.cx * spacing.cx +
                                           static_cast<long long>(j) * j * spacing.cy * spacing.cy;
                if ((!best || distance < bestDistance) && !placed.Overlaps(candidate)) {
                    best = candidate;
                    bestDistance = distance;
                }
            }
        }
        if (best) return best;
    }
    return std::nullopt;
}

}  // namespace

std::vector<POINT> PlaceRestoredIcons(const std::vector<POINT>& stored, const IconBox& box, SIZE spacing,
                                      const std::vector<RECT>& workAreas) {
    if (workAreas.empty() || spacing.cx <= 0 || spacing.cy <= 0) return stored;
    const SIZE cell = {std::max(spacing.cx, box.width), std::max(spacing.cy, box.height)};
    PlacedIcons placed(box, cell);
    std::vector<POINT> places;
    std::vector<const RECT*> areas;
    places.reserve(stored.size());
    // An icon that shows goes exactly where it was stored, overlapping others or not; only one
    // moved into view gives way, to every icon that shows and to those moved before it.
    for (const POINT want : stored) {
        areas.push_back(&NearestArea(BoxAt(want, box), workAreas));
        places.push_back(Clamped(want, box, *areas.back()));
        if (places.back().x == want.x && places.back().y == want.y) placed.Add(want);
    }
    for (size_t i = 0; i < places.size(); ++i) {
        POINT& place = places[i];
        if (place.x == stored[i].x && place.y == stored[i].y) continue;
        if (placed.Overlaps(place)) place = FreePlace(place, box, spacing, *areas[i], placed).value_or(place);
        placed.Add(place);
    }
    return places;
}

POINT ShiftIntoView(const RECT& bounds, const RECT& client) {
    return {ShiftAxis(bounds.left, bounds.right, client.left, client.right),
            ShiftAxis(bounds.top, bounds.bottom, client.top, client.bottom)};
}

RestorePlan PlanRestore(const std::vector<PlanIcon>& icons, const StoredLayout& layout, const PlanGeometry& geometry,
                        const IconKeySet* leave) {
    std::unordered_map<std::wstring, size_t> shown;
    for (const PlanIcon& icon : icons) ++shown[FoldCase(icon.text)];
    IconKeySet claimed;  // texts whose places belong to known identities
    for (const auto& [id, entry] : layout.byId) claimed.insert(entry.text);

    RestorePlan plan;
    IconKeySet usedIds;
    IconKeySet usedTexts;
    std::vector<size_t> placed;
    std::vector<POINT> stored;
    for (size_t i = 0; i < icons.size(); ++i) {
        const PlanIcon& icon = icons[i];
        const std::wstring id = FoldCase(icon.id);
        const std::wstring text = FoldCase(icon.text);
        const StoredPlace* place = nullptr;
        if (const auto found = id.empty() ? layout.byId.end() : layout.byId.find(id); found != layout.byId.end()) {
            place = &found->second.place;
            usedIds.insert(id);
            usedTexts.insert(found->second.text);
        } else if (const auto byText = layout.byText.find(text);
                   byText != layout.byText.end() && shown[text] == 1 && (id.empty() || !claimed.contains(text))) {
            place = &byText->second;
            usedTexts.insert(text);
        }
        if (leave && HasIconKeys(*leave, icon.text, icon.id)) continue;
        if (!place) {
            ++plan.noPlace;
        } else if (!icon.placeKnown) {
            ++plan.placeUnknown;
        } else {
            placed.push_back(i);
            stored.push_back({place->x, place->y});
        }
    }
    for (const auto& [id, entry] : layout.byId) {
        if (!usedIds.contains(id)) ++plan.unclaimed;
    }
    for (const auto& [text, place] : layout.byText) {
        if (!usedTexts.contains(text) && !claimed.contains(text)) ++plan.unclaimed;
    }

    const std::vector<POINT> targets = PlaceRestoredIcons(stored, geometry.box, geometry.spacing, geometry.workAreas);
    for (size_t k = 0; k < placed.size(); ++k) {
        const POINT at = icons[placed[k]].at;
        if (targets[k].x != stored[k].x || targets[k].y != stored[k].y)
            plan.held.push_back({placed[k], targets[k], stored[k]});
        if (targets[k].x == at.x && targets[k].y == at.y) {
            ++plan.inPlace;
        } else {
            plan.moves.push_back({placed[k], targets[k]});
        }
    }
    return plan;
}

}  // namespace iv
