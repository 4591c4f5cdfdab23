// Where the desktop itself holds its icons to be: since Windows 10 1809 the shell keeps a record of
// its own, by item ID list, follows the moves made through its folder view and inside its own
// process, and at a refresh puts back icons that list-view messages from elsewhere moved.
#include <windows.h>
#include <commctrl.h>

#include "DesktopImpl.h"

namespace standin {

using namespace detail;

std::string Desktop::Impl::IdListOf(int index) {
    const Quiet quietly(*this);
    return IdListBytes(ItemIdList(listView, index));
}

std::wstring Desktop::Impl::TextOf(int index) {
    const Quiet quietly(*this);
    return itemIndex.Text(listView, index);
}

void Desktop::Impl::RecordPlaces() {
    places.clear();
    RecordNewPlaces();
}

void Desktop::Impl::RecordNewPlaces() {
    if (!options.since1809 || listView == nullptr) return;
    const Quiet quietly(*this);
    std::unordered_map<std::string, POINT> now;
    for (int i = 0, count = ListView_GetItemCount(listView); i < count; ++i) {
        std::string key = IdListOf(i);
        const auto known = places.find(key);
        POINT at = {};
        if (known != places.end()) {
            at = known->second;
        } else if (!ListView_GetItemPosition(listView, i, &at)) {
            continue;
        }
        now.emplace(std::move(key), at);
    }
    places.swap(now);
}

void Desktop::Impl::Remember(int index) {
    POINT at = {};
    const Quiet quietly(*this);
    if (options.since1809 && listView != nullptr &&
        ListViewCall(listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&at)))
        places[IdListOf(index)] = at;
}

void Desktop::Impl::Refresh() {
    int putBack = 0;
    if (options.since1809 && listView != nullptr) {
        const Quiet quietly(*this);
        for (int i = 0, count = ListView_GetItemCount(listView); i < count; ++i) {
            const auto known = places.find(IdListOf(i));
            POINT at = {};
            if (known == places.end() || !ListView_GetItemPosition(listView, i, &at)) continue;
            if (at.x == known->second.x && at.y == known->second.y) continue;
            ListView_SetItemPosition32(listView, i, known->second.x, known->second.y);
            ++putBack;
        }
    }
    Append(L"FV REFRESH " + std::to_wstring(putBack));
}

void Desktop::Impl::MoveIcon(int index, POINT to) {
    const Quiet quietly(*this);
    if (listView == nullptr || index < 0 || index >= ListView_GetItemCount(listView)) {
        Append(L"MOVE " + std::to_wstring(index) + L" missing");
        return;
    }
    ListView_SetItemPosition32(listView, index, to.x, to.y);
    Remember(index);
    Append(L"MOVE " + TextOf(index) + L" " + std::to_wstring(to.x) + L" " + std::to_wstring(to.y));
}

}  // namespace standin
