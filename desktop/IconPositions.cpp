#include "desktop/IconPositions.h"

#include <windows.h>

#include <unordered_set>

#include "settings/RegKeys.h"
#include "settings/Settings.h"

namespace iv {
namespace {

IconPositionList g_iconPositionList;

// Value names match the way the registry matches them: without regard to case.
std::wstring FoldCase(std::wstring name) {
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

std::wstring CurrentKey() { return IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)); }

}  // namespace

std::wstring IconPositionKey(int width, int height) {
    return std::wstring(kSettingsKey) + L"\\" + std::to_wstring(width) + L"*" + std::to_wstring(height);
}

const IconPositionList& LastIconPositionList() { return g_iconPositionList; }

SaveResult SaveIconPositions(bool winNT) {
    const std::wstring key = CurrentKey();
    const ReadResult read = ReadDesktopItems(g_iconPositionList, winNT);
    // A desktop that cannot be read must not wipe what is stored.
    if (read == ReadResult::NoListView || read == ReadResult::Unreadable) return SaveResult::NotSaved;

    // New values first, so that an interrupted save never leaves less than there was.
    std::unordered_set<std::wstring> written;
    for (const IconPosition& item : g_iconPositionList) {
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

bool RestoreIconPositions(bool winNT) {
    const std::wstring key = CurrentKey();
    const HWND listView = FindDesktopListView();
    if (!listView) return false;
    ExchangeBlock block(listView, winNT);
    if (!block.Ok()) return false;
    // An item moves only right after its name was read at its index. When the name there is another
    // one after the move, an item came or went in between and the move may have hit the wrong item:
    // the pass starts again, so that every item with a stored place ends there.
    constexpr int kPasses = 3;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int32_t count = GetItemCount(listView);
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
            if (!SetItemPosition(listView, i, NumberValue(x), NumberValue(y))) return false;
            std::wstring again;
            const Answer check = GetItemText(block, i, again);
            if (check == Answer::NoAnswer) return false;
            changed = check == Answer::Refused || again != name;
        }
        if (!changed && GetItemCount(listView) == count) return true;
    }
    return false;
}

}  // namespace iv
