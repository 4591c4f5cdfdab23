// The command line's parser, the record a command crosses to a running instance in, and answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Instance.h"

namespace iv {
namespace {

TEST(ParseCommandLine, NoArgumentIsAPlainStart) {
    EXPECT_EQ(ParseCommandLine(L"").command, Command::Start);
    EXPECT_EQ(ParseCommandLine(L"  \t ").command, Command::Start);
}

TEST(ParseCommandLine, CommandsInAnyCaseWithSlashOrDash) {
    EXPECT_EQ(ParseCommandLine(L"/save").command, Command::Save);
    EXPECT_EQ(ParseCommandLine(L"-SAVE").command, Command::Save);
    EXPECT_EQ(ParseCommandLine(L" /Restore ").command, Command::Restore);
    EXPECT_EQ(ParseCommandLine(L"/restore:Previous").command, Command::RestorePrevious);
    EXPECT_EQ(ParseCommandLine(L"-UNDO").command, Command::Undo);
    EXPECT_EQ(ParseCommandLine(L"\"/exit\"").command, Command::Exit);
    EXPECT_EQ(ParseCommandLine(L"-?").command, Command::Help);
    const CommandLine uninstall = ParseCommandLine(L"/UNINSTALL");
    EXPECT_EQ(uninstall.command, Command::Uninstall);
    EXPECT_FALSE(uninstall.quiet);
    for (const wchar_t* line : {L"/uninstall /quiet", L"-Quiet -uninstall"}) {
        const CommandLine quiet = ParseCommandLine(line);
        EXPECT_EQ(quiet.command, Command::Uninstall) << line;
        EXPECT_TRUE(quiet.quiet) << line;
    }
}

TEST(ParseCommandLine, ViewByNameOrNumber) {
    const std::pair<const wchar_t*, int16_t> cases[] = {
        {L"/view:large", 1}, {L"/VIEW:Small", 2}, {L"-view:list", 3}, {L"/view:DETAILS", 4},
        {L"/view:1", 1},     {L"/view:2", 2},     {L"/view:3", 3},    {L"-View:4", 4},
    };
    for (const auto& [line, mode] : cases) {
        const CommandLine parsed = ParseCommandLine(line);
        EXPECT_EQ(parsed.command, Command::View) << line;
        EXPECT_EQ(parsed.viewMode, mode) << line;
    }
}

TEST(ParseCommandLine, NamedLayoutsKeepTheNameAsTyped) {
    struct Case {
        const wchar_t* line;
        Command command;
        const wchar_t* name;
        const wchar_t* file;
        bool dryRun;
    };
    const Case cases[] = {
        {L"/save:Work", Command::SaveNamed, L"Work", L"", false},
        {L"\"/Save:仕事 用\"", Command::SaveNamed, L"仕事 用", L"", false},
        {L"/restore:\"My Work\"", Command::RestoreNamed, L"My Work", L"", false},
        {L"-RESTORE:#12 /dry-run", Command::RestoreNamed, L"#12", L"", true},
        {L"/Dry-Run /restore", Command::Restore, L"", L"", true},
        {L"/restore:previous -dry-run", Command::RestorePrevious, L"", L"", true},
        {L"/delete:work", Command::DeleteNamed, L"work", L"", false},
        {L"/LAYOUTS", Command::ListLayouts, L"", L"", false},
        {L"/export \"C:\\My files\\a.json\"", Command::Export, L"", L"C:\\My files\\a.json", false},
        {L"/export:#3 -x.json", Command::Export, L"#3", L"-x.json", false},
        {L"/import:Play b.json", Command::Import, L"Play", L"b.json", false},
        {L"/import /b.json", Command::Import, L"", L"/b.json", false},
    };
    for (const Case& c : cases) {
        const CommandLine parsed = ParseCommandLine(c.line);
        EXPECT_EQ(parsed.command, c.command) << c.line;
        EXPECT_EQ(parsed.name, c.name) << c.line;
        EXPECT_EQ(parsed.file, c.file) << c.line;
        EXPECT_EQ(parsed.dryRun, c.dryRun) << c.line;
    }
}

TEST(ParseCommandLine, AnythingElseIsBad) {
    for (const wchar_t* line : {L"save",           L"/",
                                L"/sav",           L"/save /restore",
                                L"/save /save",    L"/quiet",
                                L"/save /quiet",   L"/view",
                                L"/view:",         L"/view:0",
                                L"/view:5",        L"/view:huge",
                                L"/view large",    L"/view:largeicons",
                                L"//save",         L"/uninstall /quiet /quiet",
                                L"/save extra",    L"/restore:",
                                L"/view:list /x",  L"/undo /undo",
                                L"/save:",         L"/save:previous",
                                L"/save:#3",       L"/delete:#3",
                                L"/save:a\\b",     L"/restore:a\\b",
                                L"/save:\"  \"",   L"/import:#3 f",
                                L"/export",        L"/import:x",
                                L"/dry-run",       L"/save /dry-run",
                                L"/undo /dry-run", L"/restore /dry-run /dry-run",
                                L"/layouts x",     L"/export:previous f"})
        EXPECT_EQ(ParseCommandLine(line).command, Command::Bad) << line;
}

std::optional<CommandLine> Decode(const std::vector<uint8_t>& block) {
    return DecodeCommandRecord(kCommandMagic, block.data(), static_cast<DWORD>(block.size()));
}

CommandLine Line(Command command, int16_t viewMode = 0, const wchar_t* name = L"") {
    return {.command = command, .viewMode = viewMode, .name = name, .file = {}};
}

TEST(CommandRecord, RoundTripsTheCommandsAnInstanceRuns) {
    for (const Command command :
         {Command::Save, Command::Restore, Command::RestorePrevious, Command::Undo, Command::Exit, Command::View}) {
        const CommandLine line = Line(command, static_cast<int16_t>(command == Command::View ? 3 : 0));
        const auto decoded = Decode(EncodeCommand(line));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->command, command);
        EXPECT_EQ(decoded->viewMode, line.viewMode);
    }
    for (const CommandLine& line : {Line(Command::SaveNamed, 0, L"仕事 Work"), Line(Command::RestoreNamed, 0, L"#7"),
                                    Line(Command::RestoreNamed, 0, std::wstring(200, L'w').c_str())}) {
        const auto decoded = Decode(EncodeCommand(line));
        ASSERT_TRUE(decoded) << line.name;
        EXPECT_EQ(decoded->command, line.command);
        EXPECT_EQ(decoded->name, line.name);
    }
}

TEST(CommandRecord, ForeignOrDamagedBlocksAreRefused) {
    const std::vector<uint8_t> save = EncodeCommand(Line(Command::Save));
    EXPECT_FALSE(DecodeCommandRecord(1, save.data(), static_cast<DWORD>(save.size())));
    EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, save.data(), static_cast<DWORD>(save.size() - 1)));
    std::vector<uint8_t> longer = save;
    longer.resize(save.size() + 4);
    EXPECT_FALSE(Decode(longer));
    EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, nullptr, static_cast<DWORD>(save.size())));
    std::vector<uint8_t> bad = save;
    bad[0] = 0;
    EXPECT_FALSE(Decode(bad));
    // What only the starting process does never crosses.
    for (const Command command : {Command::Start, Command::Help, Command::Uninstall, Command::Bad, Command::ListLayouts,
                                  Command::Export, Command::Import})
        EXPECT_FALSE(Decode(EncodeCommand(Line(command)))) << static_cast<int>(command);
    EXPECT_FALSE(Decode(EncodeCommand(Line(Command::DeleteNamed, 0, L"Work"))));
    for (const int16_t mode : {int16_t{0}, int16_t{5}, int16_t{-1}})
        EXPECT_FALSE(Decode(EncodeCommand(Line(Command::View, mode)))) << mode;
    // A name is checked as strictly as the record: its length against the block, and its text.
    const std::vector<uint8_t> named = EncodeCommand(Line(Command::SaveNamed, 0, L"Work"));
    for (const uint32_t units : {0u, 3u, 5u, 0xFFFFFFFFu}) {
        bad = named;
        memcpy(bad.data() + sizeof(CommandRecord), &units, sizeof units);
        EXPECT_FALSE(Decode(bad)) << units;
    }
    bad = named;
    bad.pop_back();
    EXPECT_FALSE(Decode(bad));
    for (const wchar_t* name : {L"a\\b", L"previous", L"#3", L"tab\there"})
        EXPECT_FALSE(Decode(EncodeCommand(Line(Command::SaveNamed, 0, name)))) << name;
    EXPECT_FALSE(Decode(EncodeCommand(Line(Command::SaveNamed, 0, std::wstring(201, L'w').c_str()))));
}

TEST(CommandAnswer, OnlyTaggedAnswersCount) {
    EXPECT_EQ(DecodeAnswer(EncodeAnswer(kExitDone)), kExitDone);
    EXPECT_EQ(DecodeAnswer(EncodeAnswer(kExitNotPossible)), kExitNotPossible);
    EXPECT_EQ(DecodeAnswer(EncodeAnswer(kBusy)), -1);
    // A window that does not know the record answers 0: never success.
    EXPECT_EQ(DecodeAnswer(0), kExitNotPossible);
    EXPECT_EQ(DecodeAnswer(1), kExitNotPossible);
}

}  // namespace
}  // namespace iv
