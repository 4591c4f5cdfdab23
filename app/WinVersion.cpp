#include "app/WinVersion.h"

#include "base/MessageBox.h"
#include "res/texts.h"

namespace iv {

VersionVerdict ClassifyWindowsVersion(DWORD platformId, DWORD minorVersion) {
    VersionVerdict v;
    switch (platformId) {
        case VER_PLATFORM_WIN32s: v.refuse = true; break;
        case VER_PLATFORM_WIN32_WINDOWS:
            v.setsWinNT = true;
            v.winNT = kFalse;
            v.oldWin9x = minorVersion < 90 ? kTrue : kFalse;  // 95 and 98; Me is 4.90
            break;
        case VER_PLATFORM_WIN32_NT:
            v.setsWinNT = true;
            v.winNT = kTrue;
            break;
        default: break;
    }
    return v;
}

Flag CheckWindowsVersion(Flag& isWinNT) {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExW(&info);
    const VersionVerdict v = ClassifyWindowsVersion(info.dwPlatformId, info.dwMinorVersion);
    if (v.refuse) {
        ShowMessage(nullptr, text::kWin32sRefusal, text::kEarlierName, MB_OK | MB_ICONSTOP);
        ExitProcess(0);
    }
    if (v.setsWinNT) isWinNT = v.winNT;
    return v.oldWin9x;
}

}  // namespace iv
