// Layouts a person keeps: named ones, which only a save of that name changes, and each screen's
// history, the arrangements that saves and restores replaced. Each is one REG_BINARY value holding
// a layout file's text (see LayoutFile.h): named ones under the settings key's "Layouts", a
// screen's history under its layout key's "History", by a number that grows with each entry.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "layouts/LayoutFile.h"
#include "layouts/LayoutStore.h"
#include "shell/Screen.h"

namespace iv {

inline constexpr size_t kHistoryLength = 20;

std::wstring NamedLayoutsKey();
std::wstring HistoryKey(const std::wstring& layoutKey);

// The history entry a name stands for: "#" and its number; 0 for any other name.
uint32_t HistoryNumber(std::wstring_view name);
// A name a person may give a layout: one the store can hold, with no double quote (a command line
// drops it), and neither "previous" (the layout before the last save) nor a history entry's name.
bool PersonalLayoutName(std::wstring_view name);

// The time now as ISO 8601 text, in UTC: "2026-12-09T10:04:29Z".
std::wstring TimeNow();

// A layout of the screen's monitors and scale, with the icons' places and identities.
LayoutFile LayoutOfIcons(std::wstring name, const ScreenShape& screen, const std::vector<SavedIcon>& icons);
std::vector<SavedIcon> IconsOf(const LayoutFile& layout);
// The stored places a restore of a kept layout goes by.
StoredLayout StoredLayoutOf(const LayoutFile& layout);

bool WriteNamedLayout(const LayoutFile& layout);
std::optional<LayoutFile> ReadNamedLayout(const std::wstring& name);
// False when there was no layout of that name, or it could not be removed.
bool DeleteNamedLayout(const std::wstring& name);
// In the order a person finds them: without regard to case.
std::vector<std::wstring> NamedLayoutNames();
// Whether a layout of that name is kept, readable or not (case does not count).
bool NamedLayoutKept(const std::wstring& name);

struct HistoryEntry {
    uint32_t number = 0;
    std::wstring kept;        // when, as TimeNow() writes it
    std::wstring replacedBy;  // what replaced it: a save, an automatic save, a restore
};
// Newest first.
std::vector<HistoryEntry> ReadHistory(const std::wstring& layoutKey);
std::optional<LayoutFile> ReadHistoryEntry(const std::wstring& layoutKey, uint32_t number);

// What replaced an arrangement kept in the history.
inline constexpr wchar_t kReplacedBySave[] = L"save";
inline constexpr wchar_t kReplacedByAutomaticSave[] = L"automatic save";
inline constexpr wchar_t kReplacedByRestore[] = L"restore";

// Keeps an arrangement about to be replaced as the newest entry and drops the oldest beyond the
// history's length. `asked`: the arrangement is the layout of the last save a person asked for,
// which no later entry pushes out until the next such save.
bool KeepInHistory(const std::wstring& layoutKey, const ScreenShape& screen, const std::vector<SavedIcon>& icons,
                   const wchar_t* replacedBy, bool asked);
// Which entries a trim drops (by number): all but the newest `keep`, and `pinned`.
std::vector<uint32_t> HistoryToDrop(std::vector<uint32_t> numbers, uint32_t pinned, size_t keep);

// The mark of the last asked-for save: the stamp of the layout it wrote (see LayoutStamp). A new
// mark releases the entry the previous one pinned.
void MarkAskedSave(const std::wstring& layoutKey, const std::wstring& stamp);
std::wstring AskedSaveStamp(const std::wstring& layoutKey);

}  // namespace iv
