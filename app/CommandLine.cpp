#include "app/CommandLine.h"

#include <string>
#include <vector>

#include "layouts/KeptLayouts.h"

namespace iv {
namespace {

// Split at blanks outside double quotes; the quotes themselves are dropped.
std::vector<std::wstring> Arguments(std::wstring_view text) {
    std::vector<std::wstring> arguments;
    std::wstring current;
    bool quoted = false;
    bool any = false;
    for (const wchar_t c : text) {
        if (c == L'"') {
            quoted = !quoted;
            any = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (any) arguments.push_back(std::move(current));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) arguments.push_back(std::move(current));
    return arguments;
}

// Command names are ASCII: folding only A..Z keeps the rule the same in every locale.
std::wstring Lower(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

int16_t ViewModeNamed(std::wstring_view name) {
    constexpr const wchar_t* kNames[4] = {L"large", L"small", L"list", L"details"};
    for (int16_t i = 0; i < 4; ++i) {
        if (name == kNames[i] || name == std::wstring(1, static_cast<wchar_t>(L'1' + i))) {
            return static_cast<int16_t>(i + 1);
        }
    }
    return 0;
}

}  // namespace

bool CommandNameAllowed(Command command, std::wstring_view name) {
    if (PersonalLayoutName(name)) return true;
    return (command == Command::RestoreNamed || command == Command::Export) && HistoryNumber(name) != 0;
}

CommandLine ParseCommandLine(std::wstring_view text) {
    CommandLine kBad;
    kBad.command = Command::Bad;
    CommandLine line;
    bool commandSeen = false;
    bool fileDue = false;
    for (const std::wstring& argument : Arguments(text)) {
        if (fileDue) {
            if (argument.empty()) return kBad;
            line.file = argument;
            fileDue = false;
            continue;
        }
        if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return kBad;
        const std::wstring name = Lower(std::wstring_view(argument).substr(1));
        // What follows the colon of a named command, as it was typed.
        const size_t colon = argument.find(L':');
        const std::wstring given = colon == std::wstring::npos ? std::wstring() : argument.substr(colon + 1);
        const std::wstring verb = colon == std::wstring::npos ? name : name.substr(0, colon - 1);
        if (name == L"quiet" || name == L"dry-run") {
            bool& flag = name == L"quiet" ? line.quiet : line.dryRun;
            if (flag) return kBad;
            flag = true;
            continue;
        }
        if (commandSeen) return kBad;
        commandSeen = true;
        if (name == L"save") {
            line.command = Command::Save;
        } else if (name == L"restore") {
            line.command = Command::Restore;
        } else if (name == L"restore:previous") {
            line.command = Command::RestorePrevious;
        } else if (name == L"undo") {
            line.command = Command::Undo;
        } else if (name == L"exit") {
            line.command = Command::Exit;
        } else if (name == L"?") {
            line.command = Command::Help;
        } else if (name == L"uninstall") {
            line.command = Command::Uninstall;
        } else if (name == L"layouts") {
            line.command = Command::ListLayouts;
        } else if (name.starts_with(L"view:") && (line.viewMode = ViewModeNamed(name.substr(5))) != 0) {
            line.command = Command::View;
        } else if (verb == L"export" || verb == L"import") {
            line.command = verb == L"export" ? Command::Export : Command::Import;
            if (colon != std::wstring::npos && !CommandNameAllowed(line.command, given)) return kBad;
            line.name = given;
            fileDue = true;
        } else if (colon != std::wstring::npos && (verb == L"save" || verb == L"restore" || verb == L"delete")) {
            line.command = verb == L"save"      ? Command::SaveNamed
                           : verb == L"restore" ? Command::RestoreNamed
                                                : Command::DeleteNamed;
            if (!CommandNameAllowed(line.command, given)) return kBad;
            line.name = given;
        } else {
            return kBad;
        }
    }
    if (fileDue) return kBad;
    // Quiet only qualifies the removal, and the dry run a restore.
    if (line.quiet && line.command != Command::Uninstall) return kBad;
    const bool restores = line.command == Command::Restore || line.command == Command::RestorePrevious ||
                          line.command == Command::RestoreNamed;
    if (line.dryRun && !restores) return kBad;
    return line;
}

}  // namespace iv
