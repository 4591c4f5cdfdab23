#include "desktop/IconPositions.h"

#include <windows.h>

#include <unordered_set>

#include "desktop/DesktopWindows.h"
#include "desktop/ScreenFollow.h"
#include "settings/RegKeys.h"
#include "settings/Settings.h"

namespace iv {
namespace {

// Value names match the way the registry matches them: without regard to case.
std::wstring FoldCase(std::wstring name) {
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

// Moves an item to a stored place, then, when its icon there leaves the list view's client area
// (a layout kept for a larger screen, or edited by hand), on to the nearest place where the whole
// icon shows. The icon's rectangle comes from the shell, so its real size and place count; the
// label is left out: a long one is wider than the grid, and the shell's own first column cuts it.
bool PlaceItem(ShellSession& session, ExchangeBlock& block, HWND listView, int32_t index, int16_t x, int16_t y) {
    if (!SetItemPosition(session, listView, index, x, y)) return false;
    RECT client = {};
    RECT bounds = {};
    if (!GetClientRect(listView, &client)) return true;
    const Answer answer = GetItemIconRect(block, index, bounds);
    if (answer == Answer::NoAnswer) return false;
    if (answer == Answer::Refused) return true;
    const POINT shift = ShiftIntoView(bounds, client);
    if (shift.x == 0 && shift.y == 0) return true;
    return SetItemPosition(session, listView, index, RoundToInt16(x + shift.x), RoundToInt16(y + shift.y));
}

std::wstring CurrentKey() { return IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)); }

}  // namespace

std::wstring IconPositionKey(int width, int height) {
    return std::wstring(kSettingsKey) + L"\\" + std::to_wstring(width) + L"*" + std::to_wstring(height);
}

namespace {

LayoutValues WantedValues(const IconPositionList& list) {
    LayoutValues wanted;
    for (const IconPosition& item : list) {
        wanted[FoldCase(item.Name + L".X")] = std::to_wstring(item.X);
        wanted[FoldCase(item.Name + L".Y")] = std::to_wstring(item.Y);
    }
    return wanted;
}

LayoutValues StoredValues(const std::wstring& key) {
    LayoutValues stored;
    for (const std::wstring& name : RegKeys::GetValueNames(HKEY_CURRENT_USER, key)) {
        stored[FoldCase(name)] = RegKeys::GetRegValue(HKEY_CURRENT_USER, key, name);
    }
    return stored;
}

SaveResult Save(ShellSession& session, bool onlyChanged) {
    // The save itself may be the first to see a new size, before the watcher does.
    session.Screen().Notice(PrimaryScreenSize(), GetTickCount64());
    if (!session.Screen().SavesAllowed()) return SaveResult::NotSaved;
    const std::wstring key = CurrentKey();
    IconPositionList list;
    const ReadResult read = ReadDesktopItems(session, list);
    // A desktop that cannot be read must not wipe what is stored.
    if (read == ReadResult::NoListView || read == ReadResult::Unreadable) return SaveResult::NotSaved;
    if (onlyChanged && !LayoutDiffers(WantedValues(list), StoredValues(key), read == ReadResult::Read)) {
        return read == ReadResult::Read ? SaveResult::Saved : SaveResult::Partial;
    }

    // New values first, so that an interrupted save never leaves less than there was.
    std::unordered_set<std::wstring> written;
    for (const IconPosition& item : list) {
        for (const auto& [suffix, value] : {std::pair{L".X", item.X}, std::pair{L".Y", item.Y}}) {
            const std::wstring name = item.Name + suffix;
            RegKeys::SetRegValue(HKEY_CURRENT_USER, key, name, std::to_wstring(value));
            written.insert(FoldCase(name));
        }
    }
    // Then the values of items that are gone, but only after a read of the whole desktop: values
    // of items left out of a partial or changing read may still belong to items on the desktop.
    if (read != ReadResult::Read) return SaveResult::Partial;
    for (const std::wstring& name : RegKeys::GetValueNames(HKEY_CURRENT_USER, key)) {
        if (!written.contains(FoldCase(name))) RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, name);
    }
    return SaveResult::Saved;
}

}  // namespace

SaveResult SaveIconPositions(ShellSession& session) { return Save(session, false); }

SaveResult SaveChangedIconPositions(ShellSession& session) { return Save(session, true); }

bool RestoreIconPositions(ShellSession& session) {
    const std::wstring key = CurrentKey();
    const HWND listView = FindDesktopWindows(nullptr).ListView;
    if (!listView) return false;
    ExchangeBlock block(session, listView);
    if (!block.Ok()) return false;
    // An item moves only right after its name was read at its index. When the name there is another
    // one after the move, an item came or went in between and the move may have hit the wrong item:
    // the pass starts again, so that every item with a stored place ends there.
    constexpr int kPasses = 3;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int32_t count = GetItemCount(session, listView);
        if (count < 0) return false;
        bool changed = false;
        for (int32_t i = 0; i < count && !changed; ++i) {
            std::wstring name;
            const Answer read = GetItemText(block, i, name);
            if (read == Answer::NoAnswer) return false;
            if (read == Answer::Refused) continue;
            const std::wstring x = RegKeys::GetRegValue(HKEY_CURRENT_USER, key, name + L".X");
            const std::wstring y = RegKeys::GetRegValue(HKEY_CURRENT_USER, key, name + L".Y");
            if (x.empty() || y.empty()) continue;
            if (!PlaceItem(session, block, listView, i, NumberValue(x), NumberValue(y))) return false;
            std::wstring again;
            const Answer check = GetItemText(block, i, again);
            if (check == Answer::NoAnswer) return false;
            changed = check == Answer::Refused || again != name;
        }
        if (!changed && GetItemCount(session, listView) == count) return true;
    }
    return false;
}

bool SaveCommand(ShellSession& session, bool inIconView) {
    return inIconView && SaveIconPositions(session) == SaveResult::Saved;
}

bool RestoreCommand(ShellSession& session, bool inIconView) { return inIconView && RestoreIconPositions(session); }

}  // namespace iv
