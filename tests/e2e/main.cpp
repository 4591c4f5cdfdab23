// End-to-end tests: iconvale.exe as a user starts it, over the stand-in desktop program.
// Arguments: --iconvale=PATH --standin=PATH (paths of the programs under test).
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/support/Processes.h"

namespace {

using namespace testing_support;

std::string Utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

// Why Iconvale cannot start, or empty. Started suspended, none of its code runs and it needs no
// desktop; still being there a moment later shows that the loader took it.
std::string IconvaleCannotStart(const std::wstring& exe) {
    std::wstring commandLine = L"\"" + WinePath(exe) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si,
                        &pi)) {
        return "CreateProcess failed with error " + std::to_string(GetLastError());
    }
    std::string why;
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 500) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code)) {
        why = "it ended at once with exit code " + std::to_string(code);
    }
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return why;
}

// Why the stand-in desktop cannot come up, or empty: it is started and must show its windows.
std::string StandInCannotStart(const std::wstring& exe) {
    ChildProcess standin;
    if (!standin.Start(exe, {L"--scripted", L"--item=Probe@10,10"})) {
        return "CreateProcess failed with error " + std::to_string(GetLastError());
    }
    HWND progman = nullptr;
    WaitUntil([&] { return (progman = FindProcessWindow(standin.Id(), L"Progman")) || !standin.IsRunning(); }, 20000);
    if (!progman) {
        DWORD code = 0;
        return standin.WaitForExit(0, &code) ? "it ended at once with exit code " + std::to_string(code)
                                             : std::string("its desktop did not come up within 20 s");
    }
    PostMessageW(progman, WM_CLOSE, 0, 0);
    standin.WaitForExit(3000);
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    int wargc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &wargc);
    SetArguments(wargc, wargv);
    LocalFree(wargv);
    // The helper of the screen tests: started inside a Wine desktop, it sets that desktop's screen
    // size and exits with ChangeDisplaySettingsExW's answer (0 done).
    if (const std::wstring size = Argument(L"display"); !size.empty()) {
        DEVMODEW mode = {};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        if (swscanf(size.c_str(), L"%lux%lu", &mode.dmPelsWidth, &mode.dmPelsHeight) != 2) return 100;
        return static_cast<int>(ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr));
    }
    ::testing::InitGoogleTest(&argc, argv);

    // Every test starts both programs: when one cannot start, say why once and end.
    const struct {
        const wchar_t* argument;
        std::string (*cannotStart)(const std::wstring&);
    } programs[] = {{L"standin", StandInCannotStart}, {L"iconvale", IconvaleCannotStart}};
    for (const auto& program : programs) {
        const std::wstring path = Argument(program.argument);
        std::string why;
        if (path.empty()) {
            why = "no --" + Utf8(program.argument) + "=PATH given";
        } else if (GetFileAttributesW(WinePath(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
            why = "there is no such file";
        } else {
            why = program.cannotStart(path);
        }
        if (!why.empty()) {
            std::printf("Cannot run the end-to-end tests: %s (%s) cannot start: %s\n", Utf8(program.argument).c_str(),
                        Utf8(path).c_str(), why.c_str());
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
