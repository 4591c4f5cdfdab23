#include "layouts/LayoutStore.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <utility>

#include "base/SideThread.h"
#include "layouts/KeptLayouts.h"
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

// The values a save wants, each once (a later icon with the same name wins), and the same by
// folded name.
struct Wanted {
    std::vector<RegKeys::NamedText> values;
    LayoutValues folded;
    void Add(std::vector<RegKeys::NamedText> more) {
        for (auto& [name, text] : more) {
            std::wstring key = FoldCase(name);
            if (const auto at = index_.find(key); at != index_.end()) {
                values[at->second].second = text;
            } else {
                index_.emplace(key, values.size());
                values.emplace_back(std::move(name), text);
            }
            folded[std::move(key)] = std::move(text);
        }
    }

private:
    std::unordered_map<std::wstring, size_t> index_;
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

// Writes the wanted values that differ from the stored ones; false when one could not be.
bool WriteChanged(const std::wstring& key, const Wanted& wanted, const LayoutValues& before) {
    std::vector<RegKeys::NamedText> changed;
    for (const auto& [name, text] : wanted.values) {
        const auto found = before.find(FoldCase(name));
        if (found == before.end() || found->second != text) changed.emplace_back(name, text);
    }
    return changed.empty() || RegKeys::SetRegValues(HKEY_CURRENT_USER, key, changed);
}

bool DeleteValues(const std::wstring& key, const std::vector<std::wstring>& names) {
    bool all = true;
    for (const std::wstring& name : names) all = RegKeys::DeleteRegValue(HKEY_CURRENT_USER, key, name) && all;
    return all;
}

// The name before a suffix (".X", ".Y", ".TEXT"), folded; empty for a name with none of them.
std::wstring BaseOf(const std::wstring& folded) {
    for (const wchar_t* suffix : {L".X", L".Y", L".TEXT"}) {
        if (EndsWith(folded, suffix)) return folded.substr(0, folded.size() - wcslen(suffix));
    }
    return {};
}

// The stored values a save deletes, by their stored names: those of the layout and those of its
// identities.
struct Doomed {
    std::vector<std::wstring> text;
    std::vector<std::wstring> ids;
};

Doomed DoomedValues(const KeyValues& stored, const KeyValues& storedIds, const LayoutValues& idsBefore,
                    const Wanted& text, const Wanted& ids, const Deletions& deletions, bool withIds) {
    Doomed doomed;
    IconKeySet texts;
    IconKeySet identities;
    for (const std::wstring& key : deletions.gone) {
        if (key.rfind(L"T:", 0) == 0) texts.insert(key.substr(2));
        if (key.rfind(L"I:", 0) != 0 || !withIds) continue;
        identities.insert(key.substr(2));
        if (const auto shown = idsBefore.find(key.substr(2) + L".TEXT"); shown != idsBefore.end()) {
            texts.insert(FoldCase(shown->second));
        }
    }
    for (const auto& [name, value] : stored.all) {
        const std::wstring folded = FoldCase(name);
        if (text.folded.contains(folded)) continue;
        if (deletions.allNotRead || (IsPlaceValue(folded) && texts.contains(BaseOf(folded))))
            doomed.text.push_back(name);
    }
    if (!withIds) return doomed;
    for (const auto& [name, value] : storedIds.all) {
        const std::wstring folded = FoldCase(name);
        if (folded == FoldCase(kStampName) || ids.folded.contains(folded)) continue;
        if (deletions.allNotRead || identities.contains(BaseOf(folded))) doomed.ids.push_back(name);
    }
    return doomed;
}

// Writes a layout's display-text values and its identities' values, the two keys side by side: a
// registry write spends most of its time waiting for its answer. False when one could not be.
bool WriteBoth(const std::wstring& key, const std::vector<RegKeys::NamedText>& text,
               const std::vector<RegKeys::NamedText>& ids) {
    const std::wstring idsKey = IdsKey(key);
    bool idsWritten = true;
    std::optional<SideThread> side;
    if (!ids.empty()) side.emplace([&] { idsWritten = RegKeys::SetRegValues(HKEY_CURRENT_USER, idsKey, ids); });
    const bool textWritten = text.empty() || RegKeys::SetRegValues(HKEY_CURRENT_USER, key, text);
    side.reset();
    return textWritten && idsWritten;
}

// Keeps a layout that a save is about to change as the previous one, identities and all.
bool KeepAsPrevious(const std::wstring& key, const std::vector<RegKeys::NamedText>& values,
                    const std::vector<RegKeys::NamedText>& ids) {
    const std::wstring previous = PreviousLayoutKey(key);
    return RegKeys::DeleteRegTree(HKEY_CURRENT_USER, previous) && WriteBoth(previous, values, ids);
}

// The icons of a layout's values, with their names as stored: those known by identity (and the
// text each showed), then those of the texts that no identity accounts for.
std::vector<SavedIcon> IconsOfValues(const KeyValues& text, const KeyValues& ids, bool idsCurrent) {
    struct Named {
        std::wstring name;
        std::wstring x;
        std::wstring y;
        std::wstring text;
    };
    const auto byBase = [](const KeyValues& values) {
        std::unordered_map<std::wstring, Named> found;
        for (const auto& [name, value] : values.all) {
            const std::wstring folded = FoldCase(name);
            const std::wstring base = BaseOf(folded);
            if (base.empty()) continue;
            Named& named = found[base];
            named.name = name.substr(0, base.size());
            if (EndsWith(folded, L".X")) named.x = value;
            if (EndsWith(folded, L".Y")) named.y = value;
            if (EndsWith(folded, L".TEXT")) named.text = value;
        }
        return found;
    };
    std::vector<SavedIcon> icons;
    IconKeySet shown;
    if (idsCurrent) {
        for (const auto& [base, id] : byBase(ids)) {
            if (id.x.empty() || id.y.empty()) continue;
            icons.push_back({id.text, id.name, NumberValue(id.x), NumberValue(id.y)});
            shown.insert(FoldCase(id.text));
        }
    }
    for (const auto& [base, place] : byBase(text)) {
        if (place.x.empty() || place.y.empty() || shown.contains(base)) continue;
        icons.push_back({place.name, L"", NumberValue(place.x), NumberValue(place.y)});
    }
    return icons;
}

}  // namespace

bool LayoutDiffers(const LayoutValues& wanted, const LayoutValues& stored) {
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

bool WrittenByThisVersion(const std::wstring& key) {
    return IdsCurrent(ReadKeyValues(key).places, ReadKeyValues(IdsKey(key)).folded);
}

struct LayoutReadAhead::Values {
    KeyValues text;
    KeyValues ids;
};

namespace {

LayoutReadAhead::Values ReadLayoutValues(const std::wstring& key) {
    return {ReadKeyValues(key), ReadKeyValues(IdsKey(key))};
}

StoredLayout LayoutOfValues(const LayoutReadAhead::Values& stored, bool identities) {
    const KeyValues& values = stored.text;
    StoredLayout layout;
    layout.byText = Pairs(values.places);
    if (!identities) return layout;
    const KeyValues& ids = stored.ids;
    if (!IdsCurrent(values.places, ids.folded)) return layout;
    for (const auto& [id, place] : Pairs(ids.places)) {
        const auto text = ids.folded.find(id + L".TEXT");
        layout.byId[id] = {place, text == ids.folded.end() ? std::wstring() : FoldCase(text->second)};
    }
    return layout;
}

}  // namespace

StoredLayout ReadStoredLayout(const std::wstring& key, bool identities) {
    if (!identities) return LayoutOfValues({ReadKeyValues(key), {}}, false);
    return LayoutOfValues(ReadLayoutValues(key), true);
}

LayoutReadAhead::LayoutReadAhead(std::wstring key) : key_(std::move(key)), values_(std::make_unique<Values>()) {
    // Read ahead only what a change since would be told of.
    changed_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!changed_ ||
        RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_NOTIFY, watched_.Receive()) != ERROR_SUCCESS ||
        RegNotifyChangeKeyValue(watched_.Get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                changed_.Get(), TRUE) != ERROR_SUCCESS) {
        watched_.Reset();
        return;
    }
    reader_ = std::make_unique<SideThread>([this] { *values_ = ReadLayoutValues(key_); });
}

LayoutReadAhead::~LayoutReadAhead() = default;

const LayoutReadAhead::Values& LayoutReadAhead::Now() {
    if (reader_) reader_->Join();
    if (!watched_ || WaitForSingleObject(changed_.Get(), 0) != WAIT_TIMEOUT) *values_ = ReadLayoutValues(key_);
    return *values_;
}

StoredLayout LayoutReadAhead::Layout(bool identities) { return LayoutOfValues(Now(), identities); }

std::vector<SavedIcon> StoredIcons(const std::wstring& key) {
    const KeyValues stored = ReadKeyValues(key);
    const KeyValues ids = ReadKeyValues(IdsKey(key));
    return IconsOfValues(stored, ids, IdsCurrent(stored.places, ids.folded));
}

namespace {

LayoutWrite SaveOver(const std::wstring& key, const LayoutReadAhead::Values& values,
                     const std::vector<SavedIcon>& icons, const Deletions& deletions, bool withIds,
                     const HistoryNote& history) {
    const KeyValues& stored = values.text;
    const KeyValues& storedIds = values.ids;
    const bool idsCurrent = IdsCurrent(stored.places, storedIds.folded);
    const Wanted text = TextValues(icons);
    const Wanted ids = withIds ? IdValues(icons) : Wanted{};
    LayoutValues idsBefore = storedIds.folded;
    idsBefore.erase(FoldCase(kStampName));
    // Identities that no longer belong to the display-text values are no one's: all anew.
    const LayoutValues& idsKept = idsCurrent ? idsBefore : LayoutValues{};
    const Doomed doomed =
        DoomedValues(stored, idsCurrent ? storedIds : KeyValues{}, idsKept, text, ids, deletions, withIds);
    const bool textChanges = LayoutDiffers(text.folded, stored.folded) || !doomed.text.empty();
    // An icon that moved may change only its identity's place (its text's is another icon's).
    const bool placesChange =
        textChanges || (withIds && idsCurrent && (LayoutDiffers(ids.folded, idsBefore) || !doomed.ids.empty()));
    if (!placesChange && idsCurrent) {
        if (history.screen && history.asked) MarkAskedSave(key, LayoutStamp(stored.places));
        return LayoutWrite::Unchanged;
    }
    // The arrangement it replaces is kept, or nothing is replaced; a save that only stamps the
    // values replaces none.
    if (placesChange && !stored.all.empty()) {
        if (!KeepAsPrevious(key, stored.all, storedIds.all)) return LayoutWrite::Failed;
        if (history.screen) {
            // Until the next asked-for save, the layout of the last one outlives what follows it.
            const bool pin = !history.asked && AskedSaveStamp(key) == LayoutStamp(stored.places);
            KeepInHistory(key, *history.screen, IconsOfValues(stored, storedIds, idsCurrent),
                          history.asked ? kReplacedBySave : kReplacedByAutomaticSave, pin);
        }
    }
    bool written = WriteChanged(key, text, stored.folded);
    written = DeleteValues(key, doomed.text) && written;
    const std::wstring idsKey = IdsKey(key);
    // Identities a save cannot tell anew no longer belong to the values it writes.
    if (!idsCurrent || (!withIds && textChanges)) {
        written = RegKeys::DeleteRegTree(HKEY_CURRENT_USER, idsKey) && written;
    }
    if (withIds) {
        written = WriteChanged(idsKey, ids, idsKept) && written;
        written = DeleteValues(idsKey, doomed.ids) && written;
    }
    LayoutValues after = stored.places;
    for (const auto& [name, value] : text.folded) after[name] = value;
    for (const std::wstring& name : doomed.text) after.erase(FoldCase(name));
    written = RegKeys::SetRegValue(HKEY_CURRENT_USER, idsKey, kStampName, LayoutStamp(after)) && written;
    if (history.screen && history.asked) MarkAskedSave(key, LayoutStamp(after));
    return written ? LayoutWrite::Written : LayoutWrite::Failed;
}

}  // namespace

LayoutWrite SaveLayout(const std::wstring& key, const std::vector<SavedIcon>& icons, const Deletions& deletions,
                       bool withIds, const HistoryNote& history) {
    return SaveOver(key, ReadLayoutValues(key), icons, deletions, withIds, history);
}

LayoutWrite SaveLayout(LayoutReadAhead& stored, const std::vector<SavedIcon>& icons, const Deletions& deletions,
                       bool withIds, const HistoryNote& history) {
    return SaveOver(stored.Key(), stored.Now(), icons, deletions, withIds, history);
}

UndoRecord::UndoRecord(std::wstring key, bool carriedOn) : key_(std::move(key)), cleared_(carriedOn) {
    if (!carriedOn) return;
    const KeyValues text = ReadKeyValues(key_);
    const KeyValues ids = ReadKeyValues(IdsKey(key_));
    for (const SavedIcon& icon : IconsOfValues(text, ids, IdsCurrent(text.places, ids.folded))) {
        kept_.insert(IconKey(icon.text, icon.id));
    }
    text_ = text.places;
    hasIds_ = !ids.all.empty();
}

std::vector<bool> UndoRecord::Keep(const std::vector<SavedIcon>& places) {
    std::vector<bool> keptNow;
    std::vector<SavedIcon> kept;
    for (const SavedIcon& icon : places) {
        keptNow.push_back(kept_.insert(IconKey(icon.text, icon.id)).second);
        if (keptNow.back()) kept.push_back(icon);
    }
    if (kept.empty()) return keptNow;
    if (!cleared_) RegKeys::DeleteRegTree(HKEY_CURRENT_USER, key_);
    cleared_ = true;
    // Each value once, as a save writes them: a long list is written in slices side by side, and
    // two places of one text would race there.
    Write(TextValues(kept).values, IdValues(kept).values);
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
    WriteBoth(key_, text, ids);
    for (const auto& [name, value] : text) text_[FoldCase(name)] = value;
    hasIds_ = hasIds_ || !ids.empty();
    if (hasIds_) RegKeys::SetRegValue(HKEY_CURRENT_USER, IdsKey(key_), kStampName, LayoutStamp(text_));
}

}  // namespace iv
