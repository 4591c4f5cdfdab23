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

void SaveIconPositions(bool winNT) {
    const std::wstring key = CurrentKey();
    const ReadResult read = ReadDesktopItems(g_iconPositionList, winNT);
    // A desktop that cannot be read must not wipe what is stored.
    if (read == ReadResult::NoListView || read == ReadResult::Unreadable) return;

    // New values first, so that an interrupted save never leaves less than there was.
    std::unordered_set<std::wstring> written;
    for (const IconPosition& item : g_iconPositionList) {
        for (const auto& [suffix, value] : {std::pair{L".X", item.X}, std::pair{L".Y", item.Y}}) {
            const std::wstring name = item.Name + suffix;
            RegKeys::SetRegValue(HKEY_CURRENT_USER, key, name, std::to_wstring(value));
            written.insert(FoldCase(name));
        }
    }
    // Then the values of items that are gone. While some names could not be read, their values
    // may still belong to items on the desktop: keep them.
    if (read != ReadResult::Read) return;
    for (const std::wstring& name : RegKeys::GetValueNames(HKEY_CURRENT_USER, key)) {
        if (!written.contains(FoldCase(name))) RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, name);
    }
}

void RestoreIconPositions(bool winNT) {
    const std::wstring key = CurrentKey();
    const HWND listView = FindDesktopListView();
    if (!listView) return;
    ExchangeBlock block(listView, winNT);
    if (!block.Ok()) return;
    const int32_t count = GetItemCount(listView);
    for (int32_t i = 0; i < count; ++i) {
        std::wstring name;
        if (!GetItemText(listView, block, i, name)) continue;
        const std::wstring x = RegKeys::GetRegValue(HKEY_CURRENT_USER, key, name + L".X");
        const std::wstring y = RegKeys::GetRegValue(HKEY_CURRENT_USER, key, name + L".Y");
        if (x.empty() || y.empty()) continue;
        SetItemPosition(listView, i, NumberValue(x), NumberValue(y));
    }
}

}  // namespace iv
