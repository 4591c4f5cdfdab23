#include "app/Instance.h"

#include <cstring>

namespace iv {

CommandRecord EncodeCommand(const CommandLine& line) {
    return {kCommandMagic, static_cast<uint32_t>(line.command), line.viewMode};
}

std::optional<CommandLine> DecodeCommandRecord(ULONG_PTR tag, const void* data, DWORD size) {
    if (tag != kCommandMagic || !data || size != sizeof(CommandRecord)) return std::nullopt;
    CommandRecord record;
    memcpy(&record, data, sizeof record);
    if (record.magic != kCommandMagic) return std::nullopt;
    CommandLine line;
    line.command = static_cast<Command>(record.command);
    switch (line.command) {
        case Command::Save:
        case Command::Restore:
        case Command::RestorePrevious:
        case Command::Undo:
        case Command::Exit: return line;
        case Command::View:
            if (record.viewMode < 1 || record.viewMode > 4) return std::nullopt;
            line.viewMode = static_cast<int16_t>(record.viewMode);
            return line;
        default: return std::nullopt;
    }
}

int DecodeAnswer(LRESULT answer) {
    if ((answer & ~static_cast<LRESULT>(0xFFFF)) != kAnswerTag) return kExitNotPossible;
    const int code = static_cast<int>(answer & 0xFFFF);
    if (code == kBusy) return -1;
    return code <= kExitBadCommandLine ? code : kExitNotPossible;
}

}  // namespace iv
