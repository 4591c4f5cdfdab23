#include "app/Instance.h"

#include <cstring>

namespace iv {

std::vector<uint8_t> EncodeCommand(const CommandLine& line) {
    const CommandRecord record = {kCommandMagic, static_cast<uint32_t>(line.command), line.viewMode};
    std::vector<uint8_t> block(sizeof record);
    memcpy(block.data(), &record, sizeof record);
    if (TakesName(line.command)) {
        const auto units = static_cast<uint32_t>(line.name.size());
        block.resize(sizeof record + sizeof units + units * sizeof(wchar_t));
        memcpy(block.data() + sizeof record, &units, sizeof units);
        memcpy(block.data() + sizeof record + sizeof units, line.name.data(), units * sizeof(wchar_t));
    }
    return block;
}

std::optional<CommandLine> DecodeCommandRecord(ULONG_PTR tag, const void* data, DWORD size) {
    if (tag != kCommandMagic || !data || size < sizeof(CommandRecord)) return std::nullopt;
    const auto* bytes = static_cast<const uint8_t*>(data);
    CommandRecord record;
    memcpy(&record, bytes, sizeof record);
    if (record.magic != kCommandMagic) return std::nullopt;
    CommandLine line;
    line.command = static_cast<Command>(record.command);
    if (TakesName(line.command)) {
        // Only what the block says it holds, all of it, and a name the command may carry.
        uint32_t units = 0;
        if (size < sizeof record + sizeof units) return std::nullopt;
        memcpy(&units, bytes + sizeof record, sizeof units);
        if (units == 0 || units > kLongestCommandName ||
            size != sizeof record + sizeof units + units * sizeof(wchar_t)) {
            return std::nullopt;
        }
        line.name.resize(units);
        memcpy(line.name.data(), bytes + sizeof record + sizeof units, units * sizeof(wchar_t));
        if (line.command == Command::DeleteNamed || !CommandNameAllowed(line.command, line.name)) return std::nullopt;
        return line;
    }
    if (size != sizeof record) return std::nullopt;
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
