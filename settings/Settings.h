// The settings record: eighteen string values under one key, read at start-up and written at
// shutdown, and the rules that turn their text into the settings the program works with.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace iv {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Marun soft\\Kivo";
// The key above it; the removal deletes it too when nothing else is left in it.
inline constexpr wchar_t kCompanyKey[] = L"Software\\Marun soft";
inline constexpr int16_t kSettingCount = 18;

// Value names by setting index.
inline constexpr const wchar_t* kSettingNames[kSettingCount] = {
    L"Desktop Icon",  L"Tool Tips",    L"Row Select",    L"Grid Line",       L"Header Move",    L"All Item Icon",
    L"One Click",     L"Two Click",    L"Mouse Active",  L"Under Line Cool", L"Under Line Hot", L"Text Color",
    L"Tool Position", L"Change Style", L"Icon Position", L"Tool TopMost",    L"Task Tray",      L"Screen Follow",
};

enum SettingIndex : int16_t {
    kDesktopIcon = 0,
    kToolTips = 1,
    kTextColor = 11,
    kToolPosition = 12,
    kChangeStyle = 13,
    kIconPosition = 14,
    kToolTopMost = 15,
    kTaskTray = 16,
    kScreenFollow = 17,
};

// Desktop view mode (CurrentViewMode - 1): the index of ChangeStyleFlags and of the tray menu's
// view items.
enum DesktopViewMode : int16_t { kLargeIcons = 0, kSmallIcons = 1, kList = 2, kDetails = 3, kViewModeCount = 4 };

// CurrentViewMode numbers, 1..4.
inline constexpr int16_t kLargeIconsMode = kLargeIcons + 1;
inline constexpr int16_t kSmallIconsMode = kSmallIcons + 1;
// Large or small icons, where the list view's positions are icon places.
constexpr bool IsIconViewMode(int16_t mode) { return mode == kLargeIconsMode || mode == kSmallIconsMode; }

// Indexes of StyleFlags: 0..10 "Tool Tips" .. "Text Color" in setting order, then the two
// icon-position flags of "Icon Position".
enum StyleFlag : int16_t {
    kToolTipsFlag = 0,
    kRowSelectFlag,
    kGridLineFlag,
    kHeaderMoveFlag,
    kAllItemIconFlag,
    kOneClickFlag,
    kTwoClickFlag,
    kMouseActiveFlag,
    kUnderLineCoolFlag,
    kUnderLineHotFlag,
    kTextColorFlag,
    kRestoreAtStartFlag,
    kSaveAtExitFlag,
    kStyleFlagCount
};

inline constexpr int32_t kDefaultCalmSaveSeconds = 30;
inline constexpr wchar_t kCalmSaveName[] = L"Calm Save";

// The settings as the program works with them: filled from the record at start-up, changed by
// the toolbar, the tray menu and the settings dialog, written back at shutdown. Values decoded
// from the record hold 1 for on; only 1 counts as on.
struct SharedSettings {
    int16_t CurrentViewMode = 0;  // 1 large icons, 2 small icons, 3 list, 4 details
    int16_t StyleFlags[kStyleFlagCount] = {};
    int16_t ChangeStyleFlags[kViewModeCount] = {1, 1, 1, 1};  // 1 = the mode takes part in cycling
    int16_t ToolPosition = 0;                                 // 0 top-left, 1 bottom-left, 2 top-right, 3 bottom-right
    int16_t ToolTopMost = 0;                                  // 1 = the toolbar stays above other windows
    int16_t TaskTray = 0;                                     // 1 = the notification area instead of the toolbar
    int16_t ScreenFollow = 0;  // 1 = the layout of the screen size is kept up to date and follows size changes
    // How often a calm desktop's layout is read while the screen is followed, in seconds: "Calm Save",
    // read but never written (an expert's setting; tests shorten it).
    int32_t CalmSaveSeconds = kDefaultCalmSaveSeconds;

    bool InIconView() const { return IsIconViewMode(CurrentViewMode); }
};

// The stored text of one value; empty when the key or the value is missing or unreadable.
std::wstring ReadSetting(int16_t index);

// Writes all eighteen values in index order; stops at the first failed write and returns false.
bool SaveSettings(const SharedSettings& settings);

// The text SaveSettings writes for one index.
std::wstring SettingText(int16_t index, const SharedSettings& settings);

// Reads every value and decodes it into the settings, each missing value taking its default.
void ReadAllSettings(SharedSettings& settings);

// Number value of a text: the decimal number at its start (leading blanks skipped, 0 when there
// is none), rounded half to even and held as a 16-bit integer (saturating outside that range).
int16_t NumberValue(std::wstring_view text);

// The decimal number at the start of a text, unrounded (0 when there is none).
double LeadingNumber(std::wstring_view text);

// Rounds half to even and saturates to the 16-bit range.
int16_t RoundToInt16(double value);

// "Desktop Icon": the stored mode number minus one, ready for one advance; 0 when absent, and
// for a stored 0, negative or non-numeric text, which would otherwise leave the advance nothing
// to index.
int16_t DecodeDesktopIcon(std::wstring_view text);

// "Change Style": all four on, then one digit per position for up to four positions.
void DecodeChangeStyle(std::wstring_view text, int16_t (&flags)[4]);

// "Tool Tips" .. "Text Color", "Tool Position", "Tool TopMost", "Task Tray", "Screen Follow".
int16_t DecodeNumberSetting(std::wstring_view text);

// "Icon Position": first digit restore at start, second digit save at exit.
void DecodeIconPosition(std::wstring_view text, int16_t& restoreAtStart, int16_t& saveAtExit);

}  // namespace iv
