// The program's command line and the record that carries a command to a running instance.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
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
    Bad = 7
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

// "/save", "/restore", "/view:large|small|list|details|1..4", "/exit", "/?", "/uninstall [/quiet]"
// (in either order), without regard to case and with "-" for "/"; arguments may be quoted. No
// argument is a plain start; anything else, or more than one command, is Bad.
CommandLine ParseCommandLine(std::wstring_view text);

// The WM_COPYDATA record of a command for a running instance: 32-bit fields only, so that an x86
// and an x64 build understand each other.
struct CommandRecord {
    uint32_t magic;
    uint32_t command;
    int32_t viewMode;
};
inline constexpr uint32_t kCommandMagic = 0x4C564349;  // "ICVL"

// The record of a command that a running instance carries out (Save, Restore, View, Exit).
CommandRecord EncodeCommand(const CommandLine& line);
// The command in a received WM_COPYDATA block; nothing when it is not one of ours or not valid.
std::optional<CommandLine> DecodeCommandRecord(ULONG_PTR tag, const void* data, DWORD size);

// An instance's answer carries a tag, so that a window that does not know the record (whose
// default answer is 0) is never taken for success. kBusy: a request to the shell is in flight;
// ask again.
inline constexpr LRESULT kAnswerTag = 0x49560000;
inline constexpr int kBusy = 3;
constexpr LRESULT EncodeAnswer(int exitCode) { return kAnswerTag | exitCode; }
// The exit code an answer stands for; -1 for kBusy; kExitNotPossible for anything untagged.
int DecodeAnswer(LRESULT answer);

// CurrentViewMode number of a list view's LVM_GETVIEW answer (LV_VIEW_*); 0 for any other view.
int16_t ViewModeOfListView(LRESULT view);

}  // namespace iv
