#include "layouts/KeptLayouts.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "settings/RegKeys.h"
#include "settings/Settings.h"

namespace iv {
namespace {

constexpr wchar_t kLayoutsSubkey[] = L"\\Layouts";
constexpr wchar_t kHistorySubkey[] = L"\\History";
constexpr wchar_t kAskedName[] = L"Asked";
constexpr wchar_t kPinnedName[] = L"Pinned";

std::wstring EntryValueName(uint32_t number) {
    wchar_t name[11] = {};
    swprintf(name, 11, L"%010u", number);
    return name;
}

// The number of an entry's value; 0 for the history key's other values.
uint32_t EntryNumber(const std::wstring& valueName) {
    if (valueName.size() != 10 || !std::all_of(valueName.begin(), valueName.end(), iswdigit)) return 0;
    return static_cast<uint32_t>(std::min(wcstoull(valueName.c_str(), nullptr, 10), 0xFFFFFFFFull));
}

std::vector<uint32_t> EntryNumbers(const std::wstring& historyKey) {
    std::vector<uint32_t> numbers;
    for (const std::wstring& name : RegKeys::GetValueNames(HKEY_CURRENT_USER, historyKey)) {
        if (const uint32_t number = EntryNumber(name)) numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::optional<LayoutFile> ReadLayoutValue(const std::wstring& key, const std::wstring& name) {
    const std::optional<std::string> text = RegKeys::GetRegBytes(HKEY_CURRENT_USER, key, name, kLargestLayoutFile);
    LayoutFile layout;
    std::wstring reason;
    if (!text || !ReadLayoutFile(*text, layout, reason)) return std::nullopt;
    return layout;
}

// Only a text its reader takes back is kept: a larger one would be stored and never read again.
bool WriteLayoutValue(const std::wstring& key, const std::wstring& name, const LayoutFile& layout) {
    const std::string text = WriteLayoutFile(layout);
    return text.size() <= kLargestLayoutFile && RegKeys::SetRegBytes(HKEY_CURRENT_USER, key, name, text);
}

int16_t Clamped(int32_t value) { return static_cast<int16_t>(std::clamp<int32_t>(value, INT16_MIN, INT16_MAX)); }

}  // namespace

std::wstring NamedLayoutsKey() { return std::wstring(kSettingsKey) + kLayoutsSubkey; }

std::wstring HistoryKey(const std::wstring& layoutKey) { return layoutKey + kHistorySubkey; }

uint32_t HistoryNumber(std::wstring_view name) {
    if (name.size() < 2 || name.size() > 11 || name[0] != L'#') return 0;
    uint64_t number = 0;
    for (const wchar_t c : name.substr(1)) {
        if (c < L'0' || c > L'9') return 0;
        number = number * 10 + static_cast<uint64_t>(c - L'0');
    }
    return number <= 0xFFFFFFFFull ? static_cast<uint32_t>(number) : 0;
}

bool PersonalLayoutName(std::wstring_view name) {
    if (!LayoutNameAllowed(name) || FoldCase(std::wstring(name)) == L"PREVIOUS") return false;
    // A command line drops its quotes: such a name could never be restored, exported or deleted
    // there, and would stand for another layout's.
    if (name.find(L'"') != std::wstring_view::npos) return false;
    // "#" and digits only names the history, even an entry there is none of.
    return name.size() < 2 || name[0] != L'#' ||
           !std::all_of(name.begin() + 1, name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::wstring TimeNow() {
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    wchar_t text[21] = {};
    swprintf(text, 21, L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return text;
}

LayoutFile LayoutOfIcons(std::wstring name, const ScreenShape& screen, const std::vector<SavedIcon>& icons) {
    LayoutFile layout;
    layout.name = std::move(name);
    layout.saved = TimeNow();
    layout.hasScreen = !screen.monitors.empty();
    for (const Monitor& monitor : screen.monitors) {
        const RECT& area = monitor.area;
        layout.monitors.push_back({area.left, area.top, area.right - area.left, area.bottom - area.top});
    }
    layout.dpi = screen.dpi;
    for (const SavedIcon& icon : icons) layout.icons.push_back({icon.text, icon.id, Clamped(icon.x), Clamped(icon.y)});
    return layout;
}

std::vector<SavedIcon> IconsOf(const LayoutFile& layout) {
    std::vector<SavedIcon> icons;
    for (const FileIcon& icon : layout.icons) icons.push_back({icon.name, icon.id, icon.x, icon.y});
    return icons;
}

StoredLayout StoredLayoutOf(const LayoutFile& layout) {
    StoredLayout stored;
    for (const FileIcon& icon : layout.icons) {
        const StoredPlace place = {icon.x, icon.y};
        std::wstring text = FoldCase(icon.name);
        if (!icon.id.empty()) stored.byId[FoldCase(icon.id)] = {place, text};
        // Of two icons with one text, the later one's place is the text's, as a save keeps it.
        stored.byText[std::move(text)] = place;
    }
    return stored;
}

bool WriteNamedLayout(const LayoutFile& layout) { return WriteLayoutValue(NamedLayoutsKey(), layout.name, layout); }

std::optional<LayoutFile> ReadNamedLayout(const std::wstring& name) {
    std::optional<LayoutFile> layout = ReadLayoutValue(NamedLayoutsKey(), name);
    // The name as the store holds it, whatever the file inside says.
    if (layout) {
        for (std::wstring& stored : NamedLayoutNames()) {
            if (FoldCase(stored) == FoldCase(name)) layout->name = std::move(stored);
        }
    }
    return layout;
}

bool DeleteNamedLayout(const std::wstring& name) {
    return RegKeys::DeleteRegValue(HKEY_CURRENT_USER, NamedLayoutsKey(), name);
}

bool NamedLayoutKept(const std::wstring& name) {
    const std::vector<std::wstring> names = NamedLayoutNames();
    return std::any_of(names.begin(), names.end(),
                       [&](const std::wstring& kept) { return FoldCase(kept) == FoldCase(name); });
}

std::vector<std::wstring> NamedLayoutNames() {
    std::vector<std::wstring> names = RegKeys::GetValueNames(HKEY_CURRENT_USER, NamedLayoutsKey());
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return FoldCase(a) < FoldCase(b); });
    return names;
}

std::vector<HistoryEntry> ReadHistory(const std::wstring& layoutKey) {
    const std::wstring key = HistoryKey(layoutKey);
    std::vector<HistoryEntry> entries;
    const std::vector<uint32_t> numbers = EntryNumbers(key);
    for (auto number = numbers.rbegin(); number != numbers.rend(); ++number) {
        if (const std::optional<LayoutFile> layout = ReadLayoutValue(key, EntryValueName(*number))) {
            entries.push_back({*number, layout->saved, layout->name});
        }
    }
    return entries;
}

std::optional<LayoutFile> ReadHistoryEntry(const std::wstring& layoutKey, uint32_t number) {
    if (number == 0) return std::nullopt;
    return ReadLayoutValue(HistoryKey(layoutKey), EntryValueName(number));
}

bool KeepInHistory(const std::wstring& layoutKey, const ScreenShape& screen, const std::vector<SavedIcon>& icons,
                   const wchar_t* replacedBy, bool asked) {
    const std::wstring key = HistoryKey(layoutKey);
    const std::vector<uint32_t> numbers = EntryNumbers(key);
    const uint32_t number = numbers.empty() ? 1 : numbers.back() + 1;
    // A history that has run through every number keeps what it has rather than wrap around.
    if (number == 0) return false;
    if (!WriteLayoutValue(key, EntryValueName(number), LayoutOfIcons(replacedBy, screen, icons))) return false;
    // Only the first entry after the asked-for save holds its layout: a save that moved only icons
    // whose text shares its place with another's leaves the stamp as it was, and pins nothing more.
    uint32_t pinned =
        static_cast<uint32_t>(wcstoul(RegKeys::GetRegValue(HKEY_CURRENT_USER, key, kPinnedName).c_str(), nullptr, 10));
    if (asked && pinned == 0) {
        pinned = number;
        RegKeys::SetRegValue(HKEY_CURRENT_USER, key, kPinnedName, std::to_wstring(number));
    }
    std::vector<uint32_t> all = numbers;
    all.push_back(number);
    for (const uint32_t old : HistoryToDrop(std::move(all), pinned, kHistoryLength))
        RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, EntryValueName(old));
    return true;
}

std::vector<uint32_t> HistoryToDrop(std::vector<uint32_t> numbers, uint32_t pinned, size_t keep) {
    std::sort(numbers.begin(), numbers.end(), std::greater<>());
    std::vector<uint32_t> dropped;
    for (size_t i = keep; i < numbers.size(); ++i) {
        if (numbers[i] != pinned) dropped.push_back(numbers[i]);
    }
    return dropped;
}

void MarkAskedSave(const std::wstring& layoutKey, const std::wstring& stamp) {
    const std::wstring key = HistoryKey(layoutKey);
    RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, kPinnedName);
    RegKeys::SetRegValue(HKEY_CURRENT_USER, key, kAskedName, stamp);
}

std::wstring AskedSaveStamp(const std::wstring& layoutKey) {
    return RegKeys::GetRegValue(HKEY_CURRENT_USER, HistoryKey(layoutKey), kAskedName);
}

}  // namespace iv
