// How the desktop settles after a change, as a busy shell does it: the items of a new desktop
// coming in one by one, and the icons a smaller screen left outside pulled back in.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "DesktopImpl.h"

namespace standin {

using namespace detail;

namespace {

// How often a squeeze over time moves the icons on.
constexpr UINT kSqueezeStepMs = 100;

// `from` moved `done` of `total` of the way to `to`.
LONG Between(LONG from, LONG to, ULONGLONG done, ULONGLONG total) {
    return static_cast<LONG>(from + (static_cast<long long>(to) - from) * static_cast<long long>(done) /
                                        static_cast<long long>(total));
}

}  // namespace

void Desktop::Impl::StartFill() {
    fillStart = GetTickCount64();
    filled = 0;
    const UINT each = static_cast<UINT>(options.fillMs) / static_cast<UINT>(std::max<size_t>(1, options.items.size()));
    SetTimer(mainWindow, kFillTimer, std::max<UINT>(USER_TIMER_MINIMUM, each), nullptr);
}

void Desktop::Impl::Fill() {
    const size_t count = options.items.size();
    const ULONGLONG elapsed = GetTickCount64() - fillStart;
    const auto total = static_cast<ULONGLONG>(options.fillMs);
    // Evenly over the time: item k (from 1) comes at k / count of it.
    const size_t due = elapsed >= total ? count : static_cast<size_t>(elapsed * count / total);
    if (listView != nullptr) {
        Quiet quietly(*this);
        for (; filled < due; ++filled) {
            const int at = InsertScriptedItem(listView, filled, ListView_GetItemCount(listView));
            const POINT place = ScriptedPlace(filled);
            if (at >= 0) ListView_SetItemPosition32(listView, at, place.x, place.y);
        }
    }
    if (due < count) return;
    KillTimer(mainWindow, kFillTimer);
    Append(L"LV FILLED " + std::to_wstring(count));
}

void Desktop::Impl::PullIconsIn() {
    RECT client = {};
    if (listView == nullptr || !GetClientRect(listView, &client)) return;
    const bool overTime = options.squeezeMs > 0;
    if (overTime) pulls.clear();
    for (int i = 0, count = ListView_GetItemCount(listView); i < count; ++i) {
        RECT icon = {};
        POINT at = {};
        if (!ListView_GetItemRect(listView, i, &icon, LVIR_ICON) || !ListView_GetItemPosition(listView, i, &at))
            continue;
        if (icon.right <= client.right && icon.bottom <= client.bottom) continue;
        const POINT to = {at.x + std::min(0L, client.right - icon.right),
                          at.y + std::min(0L, client.bottom - icon.bottom)};
        if (overTime) {
            pulls.push_back({i, at, to});
        } else {
            ListView_SetItemPosition(listView, i, to.x, to.y);
            Remember(i);
        }
    }
    if (!overTime) return;
    squeezeStart = GetTickCount64();
    Append(L"LV SQUEEZE " + std::to_wstring(pulls.size()) + L" " + std::to_wstring(options.squeezeMs));
    SetTimer(progman, kSqueezeTimer, std::min(kSqueezeStepMs, static_cast<UINT>(options.squeezeMs)), nullptr);
}

void Desktop::Impl::Squeeze() {
    const auto total = static_cast<ULONGLONG>(options.squeezeMs);
    const ULONGLONG done = std::min(GetTickCount64() - squeezeStart, total);
    if (listView != nullptr) {
        Quiet quietly(*this);
        for (const Pull& pull : pulls) {
            ListView_SetItemPosition32(listView, pull.index, Between(pull.from.x, pull.to.x, done, total),
                                       Between(pull.from.y, pull.to.y, done, total));
        }
    }
    if (done < total) return;
    for (const Pull& pull : pulls) Remember(pull.index);
    KillTimer(progman, kSqueezeTimer);
    Append(L"LV SQUEEZED " + std::to_wstring(pulls.size()));
    pulls.clear();
}

}  // namespace standin
