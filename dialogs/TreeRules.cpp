#include "dialogs/TreeRules.h"

namespace iv {

int ToolPositionNumber(std::wstring_view key) {
    constexpr std::wstring_view prefix = L"Tool Position";
    if (key.size() != prefix.size() + 1 || !key.starts_with(prefix)) return 0;
    const wchar_t last = key.back();
    return last >= L'0' && last <= L'9' ? last - L'0' : 0;
}

}  // namespace iv
