#include "app/WinVersion.h"

#include "base/MessageBox.h"
#include "res/texts.h"

namespace iv {

VersionVerdict ClassifyWindowsVersion(bool queried, DWORD platformId, DWORD minorVersion) {
    VersionVerdict v;
    if (!queried) return v;
    if (platformId == VER_PLATFORM_WIN32s) {
        v.refuse = true;
    } else if (platformId == VER_PLATFORM_WIN32_WINDOWS) {
        v.winNT = kFalse;
        v.oldWin9x = minorVersion < 90 ? kTrue : kFalse;  // 95 and 98; Me is 4.90
    }
    return v;
}

WindowsFamily CheckWindowsVersion() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    const bool queried = GetVersionExW(&info) != FALSE;
    const VersionVerdict v = ClassifyWindowsVersion(queried, info.dwPlatformId, info.dwMinorVersion);
    if (v.refuse) {
        ShowMessage(nullptr, text::kWin32sRefusal, text::kEarlierName, MB_OK | MB_ICONSTOP);
        ExitProcess(0);
    }
    return {v.winNT != kFalse, v.oldWin9x != kFalse};
}

}  // namespace iv
