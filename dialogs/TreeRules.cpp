#include "dialogs/TreeRules.h"

namespace iv {
namespace {

// The StyleFlags index of a left-tree option; -1 for any other key.
int StyleFlagOf(std::wstring_view key) {
    for (int i = 0; i < kStyleFlagCount; ++i) {
        if (key == kStyleKeys[i]) return i;
    }
    return -1;
}

bool IsCircle(int flag) {
    return flag == kOneClickFlag || flag == kTwoClickFlag || flag == kUnderLineCoolFlag || flag == kUnderLineHotFlag;
}

// The value a box of either tree shows; null for any other key. For the draft and its reader alike.
template <typename Settings>
auto BoxValue(Settings& draft, std::wstring_view key) -> decltype(&draft.ScreenFollow) {
    if (const int flag = StyleFlagOf(key); flag >= 0 && !IsCircle(flag)) return &draft.StyleFlags[flag];
    if (key == kScreenFollowKey) return &draft.ScreenFollow;
    if (key == kEtcKeys[kEtcTopMost]) return &draft.ToolTopMost;
    for (int16_t mode = 0; mode < kViewModeCount; ++mode) {
        if (key == CycleKey(mode)) return &draft.ChangeStyleFlags[mode];
    }
    return nullptr;
}

void Toggle(int16_t& value) { value = value == 1 ? 0 : 1; }

int Box(int16_t value) { return value == 1 ? kImageChecked : kImageUnchecked; }
int Circle(bool on) { return on ? kImageOptionOn : kImageOptionOff; }

}  // namespace

int ToolPositionNumber(std::wstring_view key) {
    constexpr std::wstring_view prefix = L"Tool Position";
    if (key.size() != prefix.size() + 1 || !key.starts_with(prefix)) return 0;
    const wchar_t last = key.back();
    return last >= L'0' && last <= L'9' ? last - L'0' : 0;
}

int OptionImage(const SharedSettings& draft, std::wstring_view key) {
    if (const int16_t* box = BoxValue(draft, key)) return Box(*box);
    if (const int flag = StyleFlagOf(key); flag >= 0) return Circle(draft.StyleFlags[flag] == 1);
    const int place = ToolPositionNumber(key);
    if (place == 5) return Circle(draft.TaskTray == 1);
    if (place >= 1 && place <= 4) return Circle(draft.TaskTray != 1 && draft.ToolPosition == place - 1);
    return 0;
}

bool ClickStyleOption(SharedSettings& draft, std::wstring_view key) {
    if (key == kScreenFollowKey) {
        Toggle(draft.ScreenFollow);
        return true;
    }
    const int flag = StyleFlagOf(key);
    if (flag < 0) return false;
    int16_t* flags = draft.StyleFlags;
    Toggle(flags[flag]);
    const auto partner = [flag]() -> int {
        switch (flag) {
            case kOneClickFlag: return kTwoClickFlag;
            case kTwoClickFlag: return kOneClickFlag;
            case kUnderLineCoolFlag: return kUnderLineHotFlag;
            case kUnderLineHotFlag: return kUnderLineCoolFlag;
            default: return -1;
        }
    }();
    if (partner >= 0 && flags[flag] == 1) flags[partner] = 0;
    // The hover options only exist under an activation option.
    if (flags[kOneClickFlag] != 1 && flags[kTwoClickFlag] != 1) {
        for (int hover = kMouseActiveFlag; hover <= kUnderLineHotFlag; ++hover) flags[hover] = 0;
    }
    return true;
}

bool ClickEtcOption(SharedSettings& draft, std::wstring_view key) {
    if (int16_t* box = BoxValue(draft, key); box && StyleFlagOf(key) < 0 && key != kScreenFollowKey) {
        Toggle(*box);
        return true;
    }
    const int place = ToolPositionNumber(key);
    if (place == 5) {
        draft.TaskTray = 1;
        return true;
    }
    if (place < 1 || place > 4) return false;
    draft.ToolPosition = static_cast<int16_t>(place - 1);
    draft.TaskTray = 0;
    return true;
}

SharedSettings DraftWithOptionsOff(const SharedSettings& settings) {
    SharedSettings draft = settings;
    for (int16_t& flag : draft.StyleFlags) flag = 0;
    for (int16_t& flag : draft.ChangeStyleFlags) flag = 0;
    draft.ScreenFollow = 0;
    draft.ToolTopMost = 0;
    draft.TaskTray = 0;
    return draft;
}

}  // namespace iv
