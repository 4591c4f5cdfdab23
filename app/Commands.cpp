#include "app/Commands.h"

#include "app/CommandLine.h"
#include "app/CommandOutput.h"
#include "app/Instance.h"
#include "app/LayoutCommands.h"
#include "app/Startup.h"
#include "app/WinVersion.h"
#include "base/MessageBox.h"
#include "base/ScopedWin.h"
#include "shell/DesktopWindows.h"
#include "layouts/IconPositions.h"
#include "shell/ListViewStyles.h"
#include "shell/ViewModes.h"
#include "res/texts.h"
#include "settings/RegKeys.h"
#include "settings/Settings.h"
#include "shortcuts/Shortcuts.h"

namespace iv {
namespace {

// A save reads about 1.5 ms per icon: thousands of icons fit well inside.
constexpr DWORD kCommandTimeoutMs = 30000;
constexpr DWORD kBusyRetryMs = 100;
// An instance that holds the lock but has not made its window yet is still starting.
constexpr DWORD kStartingInstanceMs = 5000;

bool InstanceRuns() {
    // Opened and closed at once: a handle kept open would keep the lock alive after the instance.
    ScopedHandle lock(OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName));
    return static_cast<bool>(lock);
}

// The running instance's window; null when none runs.
HWND FindInstance() {
    const ULONGLONG end = GetTickCount64() + kStartingInstanceMs;
    while (InstanceRuns()) {
        if (const HWND window = FindWindowW(kToolbarWindowClass, nullptr)) return window;
        if (GetTickCount64() >= end) break;
        Sleep(50);
    }
    return nullptr;
}

// Has the instance carry out a command and returns its exit code. The instance cannot run a
// command inside its own wait for the shell, where a sent message arrives, and the sender is
// blocked until it answers; so it answers "busy" then, and the command is sent again shortly,
// within one overall time-out.
int SendToInstance(HWND window, const CommandLine& line) {
    std::vector<uint8_t> block = EncodeCommand(line);
    COPYDATASTRUCT data = {kCommandMagic, static_cast<DWORD>(block.size()), block.data()};
    const ULONGLONG end = GetTickCount64() + kCommandTimeoutMs;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                 SMTO_NORMAL | SMTO_ABORTIFHUNG, static_cast<UINT>(end - now), &answer)) {
            return kExitNotPossible;
        }
        const int code = DecodeAnswer(static_cast<LRESULT>(answer));
        if (code >= 0) return code;
        Sleep(kBusyRetryMs);
    }
    return kExitNotPossible;
}

// Asks the running instance to end (it writes its settings as it ends) and waits for its process.
bool EndInstance(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process) return false;
    CommandLine exit;
    exit.command = Command::Exit;
    if (SendToInstance(window, exit) != kExitDone) return false;
    return WaitForSingleObject(process.Get(), kCommandTimeoutMs) == WAIT_OBJECT_0;
}

bool IsIconView(int16_t mode) { return mode == kLargeIconsMode || mode == kSmallIconsMode; }

// With no instance running: the desktop as it is now, nothing shown, no settings written.
int RunHere(const CommandLine& line) {
    ShellSession session(CheckWindowsVersion());
    DesktopWindowHandles desktop = FindDesktopWindows();
    if (!desktop.ListView) return kExitNotPossible;
    const int16_t shown = ShownViewMode(session, desktop.ListView);
    int code = kExitNotPossible;
    if (line.command == Command::View) {
        ViewCommands commands = ViewCommands::Unknown;
        SetDesktopViewMode(session, desktop, commands, line.viewMode, shown != 0 ? shown : kLargeIconsMode);
        InvalidateWindow(desktop.ListView);
        code = ExitCode(ShownViewMode(session, desktop.ListView) == line.viewMode);
    } else if (line.dryRun) {
        code = RunDryRun(session, IsIconView(shown), line);
    } else {
        code = RunPositionsCommand(session, IsIconView(shown), line);
    }
    // A block the shell may still write into is freed once its request is done, or left to it.
    session.WaitForSetAsideBlocks(kSetAsideWaitMs);
    return code;
}

// The shortcuts and the settings key with every screen size's layout, once no instance runs any
// more to write them again.
int Uninstall(bool quiet) {
    if (!quiet &&
        ShowMessage(nullptr, text::kUninstallQuestion, text::kProductName, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return kExitNotPossible;
    }
    if (const HWND window = FindInstance(); window && !EndInstance(window)) return kExitNotPossible;
    bool gone = true;
    for (const int folder : {kCsidlDesktop, kCsidlStartup})
        gone = DeleteShortcut(ShortcutPath(folder, nullptr)) && gone;
    gone = RegKeys::DeleteRegTree(HKEY_CURRENT_USER, kSettingsKey) && gone;
    RegKeys::DeleteRegKeyIfEmpty(HKEY_CURRENT_USER, kCompanyKey);
    return gone ? kExitDone : kExitNotPossible;
}

}  // namespace

int RunPositionsCommand(ShellSession& session, bool inIconView, const CommandLine& line) {
    switch (line.command) {
        case Command::SaveNamed:
        case Command::RestoreNamed: return RunKeptLayoutCommand(session, inIconView, line);
        case Command::Save: return ExitCode(SaveCommand(session, inIconView));
        case Command::Restore: return ExitCode(RestoreCommand(session, inIconView));
        case Command::RestorePrevious: return ExitCode(RestoreCommand(session, inIconView, LayoutSource::Previous));
        case Command::Undo: return ExitCode(RestoreCommand(session, inIconView, LayoutSource::Undo));
        default: return kExitNotPossible;
    }
}

int RunCommandLine(const wchar_t* commandLine) {
    const CommandLine line = ParseCommandLine(commandLine ? commandLine : L"");
    switch (line.command) {
        case Command::Start: return RunProgram();
        case Command::Bad: return kExitBadCommandLine;
        case Command::Help:
            // Started where nothing prints (from the desktop, a shortcut), the usage shows in a box.
            if (!PrintOutput(text::kUsage))
                ShowMessage(nullptr, text::kUsage, text::kProductName, MB_OK | MB_ICONINFORMATION);
            return kExitDone;
        case Command::ListLayouts:
        case Command::DeleteNamed:
        case Command::Export:
        case Command::Import: {
            ShellSession session(CheckWindowsVersion());
            return RunStoreCommand(session, line);
        }
        case Command::Uninstall: return Uninstall(line.quiet);
        case Command::Exit: {
            const HWND window = FindInstance();
            return ExitCode(window && EndInstance(window));
        }
        default: break;
    }
    // A look before a restore prints, which only the process that was started can.
    if (line.dryRun) return RunHere(line);
    if (const HWND window = FindInstance()) return SendToInstance(window, line);
    return RunHere(line);
}

}  // namespace iv
