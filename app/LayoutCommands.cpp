#include "app/LayoutCommands.h"

#include <windows.h>

#include <optional>
#include <string>

#include "app/CommandOutput.h"
#include "base/ScopedWin.h"
#include "layouts/IconPositions.h"
#include "layouts/KeptLayouts.h"
#include "layouts/LayoutKeys.h"

namespace iv {
namespace {

// The layout a name stands for: a history entry of the current screen, or a named layout.
std::optional<LayoutFile> KeptLayout(ShellSession& session, const std::wstring& name) {
    if (const uint32_t number = HistoryNumber(name)) return ReadHistoryEntry(CurrentLayoutKey(session), number);
    return ReadNamedLayout(name);
}

// A refusal's one line, and the exit code that goes with it.
int Refuse(const std::wstring& reason) {
    PrintOutput(reason);
    return kExitNotPossible;
}

int ListLayouts(ShellSession& session) {
    std::wstring lines;
    for (const std::wstring& name : NamedLayoutNames()) {
        const std::optional<LayoutFile> layout = ReadNamedLayout(name);
        lines += name + L"\tlayout" + (layout && !layout->saved.empty() ? L", saved " + layout->saved : L"") + L"\n";
    }
    for (const HistoryEntry& entry : ReadHistory(CurrentLayoutKey(session))) {
        lines += L"#" + std::to_wstring(entry.number) + L"\thistory entry, kept " + entry.kept + L" before a " +
                 entry.replacedBy + L"\n";
    }
    // The list is all the command gives: a list that could not be printed is no answer.
    return ExitCode(lines.empty() || PrintOutput(lines));
}

int Export(ShellSession& session, const CommandLine& line) {
    std::optional<LayoutFile> layout;
    if (line.name.empty()) {
        const ScreenShape screen = session.CurrentScreen();
        const std::vector<SavedIcon> icons = StoredIcons(LayoutKey(screen));
        // Named after the screen it was kept for, which an import then keeps it as.
        const std::wstring name = LayoutKeyName(screen);
        if (!icons.empty()) layout = LayoutOfIcons(PersonalLayoutName(name) ? name : L"screen", screen, icons);
    } else {
        layout = KeptLayout(session, line.name);
    }
    if (!layout)
        return Refuse(L"no layout " + (line.name.empty() ? L"is stored for this screen" : L"is named " + line.name));
    // An entry's own name says what replaced it; the file is named so that an import can keep it.
    if (HistoryNumber(line.name)) layout->name = L"history " + line.name;
    const std::string text = WriteLayoutFile(*layout);
    ScopedHandle file(FileOrNull(
        CreateFileW(line.file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    DWORD written = 0;
    if (!file || !WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
        return Refuse(L"cannot write " + line.file);
    }
    return kExitDone;
}

int Import(const CommandLine& line) {
    // Read one byte past the reader's bound, so that a larger file is refused by the reader.
    constexpr auto kLargest = static_cast<DWORD>(kLargestLayoutFile + 1);
    ScopedHandle file(FileOrNull(CreateFileW(line.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) return Refuse(L"cannot read " + line.file);
    std::string text(kLargest, '\0');
    DWORD size = 0;
    for (DWORD got = 1; got != 0 && size < kLargest; size += got) {
        if (!ReadFile(file.Get(), text.data() + size, kLargest - size, &got, nullptr))
            return Refuse(L"cannot read " + line.file);
    }
    text.resize(size);
    LayoutFile layout;
    std::wstring reason;
    if (!ReadLayoutFile(text, layout, reason)) return Refuse(line.file + L": " + reason);
    // Shown on a line of its own by the list of layouts: nothing kept may start another line there.
    if (HoldsControlCharacter(layout.saved)) return Refuse(line.file + L": \"saved\" holds a control character");
    if (!line.name.empty()) layout.name = line.name;
    if (!PersonalLayoutName(layout.name)) return Refuse(L"\"" + layout.name + L"\" names no layout of one's own");
    // A named layout changes by a save of its name only.
    if (NamedLayoutKept(layout.name)) return Refuse(L"a layout named " + layout.name + L" is kept already");
    if (!WriteNamedLayout(layout)) return Refuse(L"cannot keep the layout " + layout.name);
    return kExitDone;
}

}  // namespace

int RunStoreCommand(ShellSession& session, const CommandLine& line) {
    switch (line.command) {
        case Command::ListLayouts: return ListLayouts(session);
        case Command::DeleteNamed: return ExitCode(DeleteNamedLayout(line.name));
        case Command::Export: return Export(session, line);
        case Command::Import: return Import(line);
        default: return kExitNotPossible;
    }
}

int RunKeptLayoutCommand(ShellSession& session, bool inIconView, const CommandLine& line) {
    if (!inIconView) return kExitNotPossible;
    if (line.command == Command::SaveNamed) return ExitCode(SaveNamedLayout(session, line.name) == SaveResult::Saved);
    if (line.command != Command::RestoreNamed) return kExitNotPossible;
    const std::optional<LayoutFile> layout = KeptLayout(session, line.name);
    return ExitCode(layout && RestoreKeptCommand(session, inIconView, StoredLayoutOf(*layout)));
}

int RunDryRun(ShellSession& session, bool inIconView, const CommandLine& line) {
    RestoreCounts counts;
    bool could = false;
    if (line.command == Command::RestoreNamed) {
        const std::optional<LayoutFile> layout = KeptLayout(session, line.name);
        if (!layout) return Refuse(L"no layout is named " + line.name);
        could = RestoreKeptCommand(session, inIconView, StoredLayoutOf(*layout), &counts);
    } else {
        const LayoutSource source =
            line.command == Command::RestorePrevious ? LayoutSource::Previous : LayoutSource::Current;
        could = RestoreCommand(session, inIconView, source, &counts);
    }
    const bool printed = PrintOutput(
        L"move " + std::to_wstring(counts.move) + L"\ninplace " + std::to_wstring(counts.inPlace) + L"\nunstored " +
        std::to_wstring(counts.noPlace) + L"\nmissing " + std::to_wstring(counts.noIcon) + L"\n");
    return ExitCode(could && printed);
}

}  // namespace iv
