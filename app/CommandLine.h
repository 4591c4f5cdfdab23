// The program's command line: its commands and their exit codes.
#pragma once
#include <cstdint>
#include <string>
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
    Undo = 9,
    SaveNamed = 10,
    RestoreNamed = 11,
    DeleteNamed = 12,
    ListLayouts = 13,
    Export = 14,
    Import = 15
};

struct CommandLine {
    Command command = Command::Start;
    int16_t viewMode = 0;  // CurrentViewMode number (1..4) for View
    bool quiet = false;    // Uninstall without asking
    bool dryRun = false;   // a restore that only tells what it would do
    std::wstring name;     // the layout's name: SaveNamed, RestoreNamed, DeleteNamed, and Export and Import when given
    std::wstring file;     // Export, Import
};

// Whether the command names a layout that has to be given (one that crosses with its name).
constexpr bool TakesName(Command command) {
    return command == Command::SaveNamed || command == Command::RestoreNamed || command == Command::DeleteNamed;
}
// A name that a named command may carry: a person's layout name, and for a restore (and an
// export) a history entry's too.
bool CommandNameAllowed(Command command, std::wstring_view name);

// Exit codes of a command.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNotPossible = 1;
inline constexpr int kExitBadCommandLine = 2;
constexpr int ExitCode(bool done) { return done ? kExitDone : kExitNotPossible; }

// "/save", "/restore", "/restore:previous", "/undo", "/view:large|small|list|details|1..4",
// "/exit", "/?", "/uninstall [/quiet]", "/save:NAME", "/restore:NAME", "/delete:NAME", "/layouts",
// "/export[:NAME] FILE", "/import[:NAME] FILE", and "/dry-run" with a restore (qualifiers in
// either order), without regard to case and with "-" for "/"; arguments may be quoted, and a
// name keeps its case. No argument is a plain start; anything else, a name that is not allowed,
// or more than one command, is Bad.
CommandLine ParseCommandLine(std::wstring_view text);

}  // namespace iv
