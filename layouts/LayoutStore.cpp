#include "layouts/LayoutStore.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <utility>

#include "layouts/LayoutKeys.h"
#include "settings/Settings.h"

namespace iv {
namespace {

constexpr wchar_t kStampName[] = L"Stamp";

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
    const size_t n = wcslen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool IsPlaceValue(const std::wstring& folded) { return EndsWith(folded, L".X") || EndsWith(folded, L".Y"); }

// A key's values by folded name: the ".X" and ".Y" ones, and all of them.
struct KeyValues {
    std::vector<RegKeys::NamedText> all;
    LayoutValues places;
    LayoutValues folded;
};

KeyValues ReadKeyValues(const std::wstring& key) {
    KeyValues values;
    values.all = RegKeys::GetValues(HKEY_CURRENT_USER, key);
    for (const auto& [name, text] : values.all) {
        std::wstring folded = FoldCase(name);
        if (IsPlaceValue(folded)) values.places[folded] = text;
        values.folded[std::move(folded)] = text;
    }
    return values;
}

// Whether a layout's identities belong to its display-text values as they are.
bool IdsCurrent(const LayoutValues& places, const LayoutValues& ids) {
    const auto stamp = ids.find(FoldCase(kStampName));
    return stamp != ids.end() && stamp->second == LayoutStamp(places);
}

// The places of ".X"/".Y" pairs (both stored and not empty), by the folded name before them.
std::unordered_map<std::wstring, StoredPlace> Pairs(const LayoutValues& values) {
    std::unordered_map<std::wstring, StoredPlace> places;
    for (const auto& [name, x] : values) {
        if (x.empty() || !EndsWith(name, L".X")) continue;
        const std::wstring base = name.substr(0, name.size() - 2);
        const auto y = values.find(base + L".Y");
        if (y != values.end() && !y->second.empty()) places[base] = {NumberValue(x), NumberValue(y->second)};
    }
    return places;
}

void AddPlace(std::vector<RegKeys::NamedText>& values, const std::wstring& name, int32_t x, int32_t y) {
    values.emplace_back(name + L".X", std::to_wstring(x));
    values.emplace_back(name + L".Y", std::to_wstring(y));
}

// The values a save wants, in the order written (a later icon with the same name wins), and the
// same by folded name.
struct Wanted {
    std::vector<RegKeys::NamedText> values;
    LayoutValues folded;
    void Add(std::vector<RegKeys::NamedText> more) {
        for (auto& [name, text] : more) {
            folded[FoldCase(name)] = text;
            values.emplace_back(std::move(name), std::move(text));
        }
    }
};

Wanted TextValues(const std::vector<SavedIcon>& icons) {
    Wanted wanted;
    for (const SavedIcon& icon : icons) {
        std::vector<RegKeys::NamedText> values;
        AddPlace(values, icon.text, icon.x, icon.y);
        wanted.Add(std::move(values));
    }
    return wanted;
}

Wanted IdValues(const std::vector<SavedIcon>& icons) {
    Wanted wanted;
    for (const SavedIcon& icon : icons) {
        if (icon.id.empty()) continue;
        std::vector<RegKeys::NamedText> values;
        AddPlace(values, icon.id, icon.x, icon.y);
        values.emplace_back(icon.id + L".Text", icon.text);
        wanted.Add(std::move(values));
    }
    return wanted;
}

// Writes the wanted values that differ from the stored ones, then (whole) deletes the stored
// values no longer wanted.
void WriteValues(const std::wstring& key, const Wanted& wanted, const std::vector<RegKeys::NamedText>& stored,
                 const LayoutValues& before, bool whole) {
    std::vector<RegKeys::NamedText> changed;
    for (const auto& [name, text] : wanted.values) {
        const auto found = before.find(FoldCase(name));
        if (found == before.end() || found->second != text) changed.emplace_back(name, text);
    }
    RegKeys::SetRegValues(HKEY_CURRENT_USER, key, changed);
    if (!whole) return;
    for (const auto& [name, text] : stored) {
        const std::wstring folded = FoldCase(name);
        if (!wanted.folded.contains(folded)) RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, name);
    }
}

// Keeps a layout that a save is about to change as the previous one, identities and all.
void KeepAsPrevious(const std::wstring& key, const std::vector<RegKeys::NamedText>& values,
                    const std::vector<RegKeys::NamedText>& ids) {
    const std::wstring previous = PreviousLayoutKey(key);
    RegKeys::DeleteRegTree(HKEY_CURRENT_USER, previous);
    RegKeys::SetRegValues(HKEY_CURRENT_USER, previous, values);
    if (!ids.empty()) RegKeys::SetRegValues(HKEY_CURRENT_USER, IdsKey(previous), ids);
}

}  // namespace

bool LayoutDiffers(const LayoutValues& wanted, const LayoutValues& stored, bool whole) {
    if (whole) return wanted != stored;
    for (const auto& [name, value] : wanted) {
        const auto found = stored.find(name);
        if (found == stored.end() || found->second != value) return true;
    }
    return false;
}

std::wstring LayoutStamp(const LayoutValues& values) {
    std::vector<std::pair<std::wstring, std::wstring>> sorted;
    for (const auto& [name, text] : values) {
        if (IsPlaceValue(name)) sorted.emplace_back(name, text);
    }
    std::sort(sorted.begin(), sorted.end());
    // FNV-1a over the UTF-16 units of every "name\tvalue\n".
    uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](const std::wstring& text) {
        for (const wchar_t unit : text) {
            hash ^= static_cast<uint16_t>(unit);
            hash *= 1099511628211ull;
        }
    };
    for (const auto& [name, text] : sorted) {
        mix(name);
        mix(L"\t");
        mix(text);
        mix(L"\n");
    }
    wchar_t digits[17] = {};
    swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

std::wstring IdsKey(const std::wstring& layoutKey) { return layoutKey + L"\\Ids"; }

StoredLayout ReadStoredLayout(const std::wstring& key, bool identities) {
    const KeyValues values = ReadKeyValues(key);
    StoredLayout layout;
    layout.byText = Pairs(values.places);
    if (!identities) return layout;
    const KeyValues ids = ReadKeyValues(IdsKey(key));
    if (!IdsCurrent(values.places, ids.folded)) return layout;
    for (const auto& [id, place] : Pairs(ids.places)) {
        const auto text = ids.folded.find(id + L".TEXT");
        layout.byId[id] = {place, text == ids.folded.end() ? std::wstring() : FoldCase(text->second)};
    }
    return layout;
}

bool SaveLayout(const std::wstring& key, const std::vector<SavedIcon>& icons, bool whole, bool withIds) {
    const KeyValues stored = ReadKeyValues(key);
    const KeyValues storedIds = ReadKeyValues(IdsKey(key));
    const bool idsCurrent = IdsCurrent(stored.places, storedIds.folded);
    const Wanted text = TextValues(icons);
    const Wanted ids = withIds ? IdValues(icons) : Wanted{};
    LayoutValues idsBefore = storedIds.folded;
    idsBefore.erase(FoldCase(kStampName));
    const bool textChanges = LayoutDiffers(text.folded, stored.folded, whole);
    const bool idsChange = withIds && (!idsCurrent || LayoutDiffers(ids.folded, idsBefore, whole));
    if (!textChanges && !idsChange) return false;

    if (!stored.all.empty()) KeepAsPrevious(key, stored.all, storedIds.all);
    WriteValues(key, text, stored.all, stored.folded, whole);
    if (!withIds) return true;
    // Identities that no longer belong to the display-text values are no one's: all anew.
    const std::wstring idsKey = IdsKey(key);
    if (!idsCurrent) RegKeys::DeleteRegTree(HKEY_CURRENT_USER, idsKey);
    WriteValues(idsKey, ids, idsCurrent ? storedIds.all : std::vector<RegKeys::NamedText>{},
                idsCurrent ? idsBefore : LayoutValues{}, whole);
    LayoutValues after = whole ? text.folded : stored.places;
    if (!whole) {
        for (const auto& [name, value] : text.folded) after[name] = value;
    }
    RegKeys::SetRegValue(HKEY_CURRENT_USER, idsKey, kStampName, LayoutStamp(after));
    return true;
}

std::vector<bool> UndoRecord::Keep(const std::vector<SavedIcon>& places) {
    std::vector<bool> keptNow;
    std::vector<RegKeys::NamedText> text;
    std::vector<RegKeys::NamedText> ids;
    for (const SavedIcon& icon : places) {
        keptNow.push_back(kept_.insert(IconKey(icon.text, icon.id)).second);
        if (!keptNow.back()) continue;
        AddPlace(text, icon.text, icon.x, icon.y);
        if (!icon.id.empty()) {
            AddPlace(ids, icon.id, icon.x, icon.y);
            ids.emplace_back(icon.id + L".Text", icon.text);
        }
    }
    if (text.empty()) return keptNow;
    if (!cleared_) RegKeys::DeleteRegTree(HKEY_CURRENT_USER, key_);
    cleared_ = true;
    Write(text, ids);
    return keptNow;
}

void UndoRecord::Forget(const SavedIcon& icon) {
    kept_.erase(IconKey(icon.text, icon.id));
    for (const wchar_t* suffix : {L".X", L".Y"}) {
        RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key_, icon.text + suffix);
        text_.erase(FoldCase(icon.text + suffix));
    }
    if (!icon.id.empty()) {
        for (const wchar_t* suffix : {L".X", L".Y", L".Text"})
            RegKeys::DeleteRegValue(HKEY_CURRENT_USER, IdsKey(key_), icon.id + suffix);
    }
    Write({}, {});
}

void UndoRecord::Write(const std::vector<RegKeys::NamedText>& text, const std::vector<RegKeys::NamedText>& ids) {
    if (!text.empty()) RegKeys::SetRegValues(HKEY_CURRENT_USER, key_, text);
    for (const auto& [name, value] : text) text_[FoldCase(name)] = value;
    if (!ids.empty()) RegKeys::SetRegValues(HKEY_CURRENT_USER, IdsKey(key_), ids);
    hasIds_ = hasIds_ || !ids.empty();
    if (hasIds_) RegKeys::SetRegValue(HKEY_CURRENT_USER, IdsKey(key_), kStampName, LayoutStamp(text_));
}

}  // namespace iv
