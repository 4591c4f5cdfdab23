#include "settings/Settings.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

#include "settings/RegKeys.h"

namespace iv {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

}  // namespace

double LeadingNumber(std::wstring_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    double value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) value = value * 10 + (text[i] - L'0');
    if (i < text.size() && text[i] == L'.') {
        double scale = 0.1;
        for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10) value += (text[i] - L'0') * scale;
    }
    return negative ? -value : value;
}

int16_t RoundToInt16(double value) {
    const double rounded = std::nearbyint(value);  // the default rounding mode: half to even
    if (rounded <= INT16_MIN) return INT16_MIN;
    if (rounded >= INT16_MAX) return INT16_MAX;
    return static_cast<int16_t>(rounded);
}

int16_t NumberValue(std::wstring_view text) { return RoundToInt16(LeadingNumber(text)); }

int16_t DecodeDesktopIcon(std::wstring_view text) {
    if (text.empty()) return 0;
    const int16_t preliminary = RoundToInt16(LeadingNumber(text) - 1);
    return preliminary < 0 ? int16_t{0} : preliminary;
}

void DecodeChangeStyle(std::wstring_view text, int16_t (&flags)[4]) {
    for (auto& f : flags) f = 1;
    const size_t count = std::min<size_t>(4, Trim(text).size());
    for (size_t i = 0; i < count && i < text.size(); ++i) flags[i] = NumberValue(text.substr(i, 1));
}

int16_t DecodeNumberSetting(std::wstring_view text) { return text.empty() ? int16_t{0} : NumberValue(text); }

void DecodeIconPosition(std::wstring_view text, int16_t& restoreAtStart, int16_t& saveAtExit) {
    restoreAtStart = 0;
    saveAtExit = 0;
    if (text.empty()) return;
    restoreAtStart = NumberValue(text.substr(0, 1));
    if (text.size() > 1) saveAtExit = NumberValue(text.substr(1, 1));
}

std::wstring ReadSetting(int16_t index) {
    if (index < 0 || index >= kSettingCount) return {};
    return RegKeys::GetRegValue(HKEY_CURRENT_USER, kSettingsKey, kSettingNames[index]);
}

std::wstring SettingText(int16_t index, const SharedSettings& settings) {
    auto text = [](int16_t n) { return std::to_wstring(n); };
    const int16_t* flags = settings.StyleFlags;
    switch (index) {
        case kDesktopIcon: return text(settings.CurrentViewMode);
        case kToolPosition: return text(settings.ToolPosition);
        case kChangeStyle: {
            std::wstring all;
            for (const int16_t flag : settings.ChangeStyleFlags) all += text(flag);
            return all;
        }
        case kIconPosition: return text(flags[kRestoreAtStartFlag]) + text(flags[kSaveAtExitFlag]);
        case kToolTopMost: return text(settings.ToolTopMost);
        case kTaskTray: return text(settings.TaskTray);
        case kScreenFollow: return text(settings.ScreenFollow);
        default: return index >= kToolTips && index <= kTextColor ? text(flags[index - kToolTips]) : std::wstring();
    }
}

bool SaveSettings(const SharedSettings& settings) {
    for (int16_t i = 0; i < kSettingCount; ++i) {
        if (!RegKeys::SetRegValue(HKEY_CURRENT_USER, kSettingsKey, kSettingNames[i], SettingText(i, settings))) {
            return false;
        }
    }
    return true;
}

void ReadAllSettings(SharedSettings& settings) {
    settings.ToolTopMost = DecodeNumberSetting(ReadSetting(kToolTopMost));
    settings.ToolPosition = DecodeNumberSetting(ReadSetting(kToolPosition));
    settings.TaskTray = DecodeNumberSetting(ReadSetting(kTaskTray));
    settings.ScreenFollow = DecodeNumberSetting(ReadSetting(kScreenFollow));
    DecodeChangeStyle(ReadSetting(kChangeStyle), settings.ChangeStyleFlags);
    settings.CurrentViewMode = DecodeDesktopIcon(ReadSetting(kDesktopIcon));
    for (int16_t j = kToolTipsFlag; j <= kTextColorFlag; ++j) {
        settings.StyleFlags[j] = DecodeNumberSetting(ReadSetting(static_cast<int16_t>(kToolTips + j)));
    }
    DecodeIconPosition(ReadSetting(kIconPosition), settings.StyleFlags[kRestoreAtStartFlag],
                       settings.StyleFlags[kSaveAtExitFlag]);
    const int16_t calm = NumberValue(RegKeys::GetRegValue(HKEY_CURRENT_USER, kSettingsKey, kCalmSaveName));
    settings.CalmSaveSeconds = calm > 0 ? calm : kDefaultCalmSaveSeconds;
}

}  // namespace iv
