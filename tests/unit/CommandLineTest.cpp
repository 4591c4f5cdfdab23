// The command line's parser, the record a command crosses to a running instance in, and answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

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

TEST(ParseCommandLine, AnythingElseIsBad) {
    for (const wchar_t* line : {L"save",          L"/",
                                L"/sav",          L"/save /restore",
                                L"/save /save",   L"/quiet",
                                L"/save /quiet",  L"/view",
                                L"/view:",        L"/view:0",
                                L"/view:5",       L"/view:huge",
                                L"/view large",   L"/view:largeicons",
                                L"//save",        L"/uninstall /quiet /quiet",
                                L"/save extra",   L"/restore:",
                                L"/restore:last", L"/undo /undo"}) {
        EXPECT_EQ(ParseCommandLine(line).command, Command::Bad) << line;
    }
}

TEST(CommandRecord, RoundTripsTheCommandsAnInstanceRuns) {
    for (const Command command :
         {Command::Save, Command::Restore, Command::RestorePrevious, Command::Undo, Command::Exit, Command::View}) {
        const CommandLine line = {command, static_cast<int16_t>(command == Command::View ? 3 : 0), false};
        const CommandRecord record = EncodeCommand(line);
        const auto decoded = DecodeCommandRecord(kCommandMagic, &record, sizeof record);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->command, command);
        EXPECT_EQ(decoded->viewMode, line.viewMode);
    }
}

TEST(CommandRecord, ForeignOrDamagedBlocksAreRefused) {
    const CommandRecord save = EncodeCommand({Command::Save, 0, false});
    EXPECT_FALSE(DecodeCommandRecord(1, &save, sizeof save));
    EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, &save, sizeof save - 1));
    uint8_t longer[sizeof save + 4] = {};
    memcpy(longer, &save, sizeof save);
    EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, longer, sizeof longer));
    EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, nullptr, sizeof save));
    CommandRecord bad = save;
    bad.magic = 0;
    EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, &bad, sizeof bad));
    // What only the starting process does never crosses.
    for (const Command command : {Command::Start, Command::Help, Command::Uninstall, Command::Bad}) {
        bad = EncodeCommand({command, 0, false});
        EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, &bad, sizeof bad));
    }
    for (const int32_t mode : {0, 5, -1}) {
        bad = {kCommandMagic, static_cast<uint32_t>(Command::View), mode};
        EXPECT_FALSE(DecodeCommandRecord(kCommandMagic, &bad, sizeof bad)) << mode;
    }
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
