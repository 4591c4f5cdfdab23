// What a running instance and a second start of the program agree on: how the second one finds
// the first, and the record that carries a command to it and the answer back.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "app/CommandLine.h"

namespace iv {

// The mutex that marks a running instance in this logon session.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\Iconvale.Instance";
// The toolbar window's class: a command line finds the running instance by it.
inline constexpr wchar_t kToolbarWindowClass[] = L"IconvaleToolbarWindow";

// The WM_COPYDATA record of a command for a running instance: 32-bit fields only, so that an x86
// and an x64 build understand each other.
struct CommandRecord {
    uint32_t magic;
    uint32_t command;
    int32_t viewMode;
};
inline constexpr uint32_t kCommandMagic = 0x4C564349;  // "ICVL"

// A command with a name (see TakesName) carries it after the record: its length in UTF-16 units
// as a uint32_t, then the units, no terminator.
inline constexpr size_t kLongestCommandName = 200;

// The block of a command that a running instance carries out (Save, the restores, Undo, View,
// Exit, the named save and restore).
std::vector<uint8_t> EncodeCommand(const CommandLine& line);
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

}  // namespace iv
