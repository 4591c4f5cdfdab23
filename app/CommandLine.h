// The program's command line: its commands and their exit codes.
#pragma once
#include <cstdint>
#include <string_view>

namespace iv {

enum class Command : uint32_t {
    Start = 0,
    Save = 1,
    Restore = 2,
    View = 3,
    Exit = 4,
    Help = 5,
    Uninstall = 6,
    Bad = 7,
    RestorePrevious = 8,
    Undo = 9
};

struct CommandLine {
    Command command = Command::Start;
    int16_t viewMode = 0;  // CurrentViewMode number (1..4) for View
    bool quiet = false;    // Uninstall without asking
};

// Exit codes of a command.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNotPossible = 1;
inline constexpr int kExitBadCommandLine = 2;
constexpr int ExitCode(bool done) { return done ? kExitDone : kExitNotPossible; }

// "/save", "/restore", "/restore:previous", "/undo", "/view:large|small|list|details|1..4",
// "/exit", "/?", "/uninstall [/quiet]"
// (in either order), without regard to case and with "-" for "/"; arguments may be quoted. No
// argument is a plain start; anything else, or more than one command, is Bad.
CommandLine ParseCommandLine(std::wstring_view text);

}  // namespace iv
