#include "tests/support/StandInLog.h"

namespace testing_support {

std::vector<std::wstring> ProgramMessages(const std::vector<std::wstring>& log) {
    std::vector<std::wstring> out;
    for (const auto& line : log) {
        if (line.rfind(L"VIEW WM_COMMAND", 0) == 0 || line.rfind(L"LV LVM_", 0) == 0) {
            out.push_back(line);
        } else if (line.rfind(L"LV WM_STYLECHANGED", 0) == 0 && line.find(L"old=0x00000000") != std::wstring::npos) {
            // A 32-bit sender's GWL_STYLE reaches a 64-bit list view zero-extended; show both alike.
            out.push_back(L"LV WM_STYLECHANGED new=" + line.substr(line.find(L"new=") + 4));
        }
    }
    return out;
}

}  // namespace testing_support
