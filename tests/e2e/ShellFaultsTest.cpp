// A slow, partial or changing shell in another process: what it does to the stored layout, to the
// shell's own memory and to the way back into the program.
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "shell/DesktopFolders.h"
#include "layouts/IconPositions.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/support/Remote.h"

namespace e2e {
namespace {

using namespace testing_support;

class ShellFaultsTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        // A layout from an earlier save, and an item that has since gone.
        for (const auto& [name, at] : places_) Store(name, Stale(name));
        Store(L"Gone", {5, 5});
    }

    void Store(const std::wstring& name, POINT at) const {
        WritePlace(key_, name, std::to_wstring(at.x), std::to_wstring(at.y));
    }
    POINT Stored(const std::wstring& name) const {
        const std::wstring x = ReadString(key_, name + L".X");
        const std::wstring y = ReadString(key_, name + L".Y");
        if (x == L"<absent>" || y == L"<absent>") return {-1, -1};
        return {_wtoi(x.c_str()), _wtoi(y.c_str())};
    }

    // The desktop of four items with the given fault options.
    void StartDesktop(std::vector<std::wstring> faults) {
        std::vector<std::wstring> args = {L"--scripted"};
        for (const auto& [name, at] : places_) args.push_back(L"--item=" + name + L"@0,0");
        args.insert(args.end(), faults.begin(), faults.end());
        StartStandIn(args);
    }
    // Puts the items in their places, after the start-up's styles and view switch have laid them out.
    void PlaceItems() const {
        if (app_.IsRunning()) {
            WaitForProgramLog(4);
            WaitForSettle();
        }
        for (size_t i = 0; i < places_.size(); ++i) Move(static_cast<int>(i), places_[i].second);
    }

    // Every stored record holds its own item's place or the place stored before: never another
    // item's; and nothing stored before is lost.
    // After a partial save (`partial`), also that nothing the save could not prove gone was deleted.
    void ExpectOnlyOwnPlaces(bool partial = true) const {
        for (const auto& [name, at] : places_) {
            const POINT stored = Stored(name);
            const POINT before = Stale(name);
            EXPECT_TRUE((stored.x == at.x && stored.y == at.y) || (stored.x == before.x && stored.y == before.y))
                << testing::PrintToString(name) << " holds " << stored.x << "," << stored.y;
        }
        if (partial) {
            EXPECT_EQ(Stored(L"Gone").x, 5) << "a partial save deleted what it could not prove gone";
        }
    }

    // Ends Iconvale; with `blocks`, also that it left no allocation in the shell's process that was
    // not there before it started (it waits at exit for the late answers owed). A block the shell
    // freed of its own meanwhile (a page, at times) is no fault.
    void ExitAndExpectNoFault(std::optional<Allocations> blocks = std::nullopt) {
        PostMessageW(main_, WM_CLOSE, 0, 0);
        DWORD code = 1;
        ASSERT_TRUE(app_.WaitForExit(15000, &code)) << "Iconvale did not end";
        EXPECT_EQ(code, 0u);
        if (blocks) {
            for (const auto& block : CommittedAllocations(standin_.Handle()))
                EXPECT_EQ(blocks->count(block), 1u) << "a block stayed in the shell at " << block.first;
        }
        EXPECT_TRUE(WaitUntil([&] { return LateAnswersLanded(); }, 10000)) << "the shell is still busy";
        EXPECT_NE(StopStandIn(), 3u) << "the shell faulted: it wrote into memory it was not given";
        for (const auto& line : ReadLogFile(logPath_)) EXPECT_EQ(line.rfind(L"FAULT", 0), std::wstring::npos) << line;
    }

    // Whether every request the shell took its time over has been answered: its answer, written
    // into the block it was given, has landed.
    bool LateAnswersLanded() const {
        size_t slow = 0;
        size_t late = 0;
        for (const auto& line : ReadLogFile(logPath_)) {
            // A slow header answers nothing: it only holds up its thread.
            if (line.rfind(L"LV SLOW ", 0) == 0 && line.rfind(L"LV SLOW header ", 0) != 0) ++slow;
            if (line.rfind(L"LV LATE ", 0) == 0) ++late;
        }
        return late == slow;
    }

    // Where an earlier save put each item.
    POINT Stale(const std::wstring& name) const {
        for (size_t i = 0; i < places_.size(); ++i)
            if (places_[i].first == name) return {static_cast<LONG>(i + 1), static_cast<LONG>(i + 1)};
        return {};
    }

    // The items in index order and their places.
    const std::vector<std::pair<std::wstring, POINT>> places_ = {
        {L"Readme", {40, 40}}, {L"Data", {140, 40}}, {L"Notes", {40, 140}}, {L"Photos", {140, 140}}};
};

// A request answered after the time-out: the shell still writes its answer into the block, which
// must still be the shell's; the save stops there and, having read only part of the desktop,
// changes nothing that is stored.
TEST_F(ShellFaultsTest, ALateAnswerNeverLandsInFreedOrReusedMemory) {
    WriteString(kSettingsKey, L"Icon Position", L"01");
    StartDesktop({L"--slow=getpos:1500@2", L"--log-paint"});
    // Counted once the desktop has painted: what painting allocates is not the program's.
    ASSERT_TRUE(WaitUntil([&] { return Logged(L"LV WM_PAINT"); }, 5000));
    const auto blocks = CommittedAllocations(standin_.Handle());
    StartIconvale();
    PlaceItems();
    ExitAndExpectNoFault(blocks);
    EXPECT_TRUE(Logged(L"LV LATE getpos 2 done"));
    EXPECT_EQ(Stored(L"Readme").x, 1);
    EXPECT_EQ(Stored(L"Notes").x, 3);
    ExpectOnlyOwnPlaces();
}

// A position the shell refuses to give is not filled in from the item before it.
TEST_F(ShellFaultsTest, ARefusedPositionIsNeverWritten) {
    WriteString(kSettingsKey, L"Icon Position", L"01");
    // Nor is a name the shell hands out where this build cannot read (above 4 GiB for x86).
    StartDesktop({L"--fail-pos=1", L"--redirect-text=2", L"--redirect-high"});
    StartIconvale();
    PlaceItems();
    ExitAndExpectNoFault();
    EXPECT_EQ(Stored(L"Data").x, 2);
    EXPECT_EQ(Stored(L"Photos").x, 140);
    ExpectOnlyOwnPlaces();
    BOOL wow64 = TRUE;
    IsWow64Process(standin_.Handle(), &wow64);
    EXPECT_TRUE(Logged(wow64 ? L"LV REDIRECT 2 Notes" : L"LV REDIRECT 2 Notes high"));
    EXPECT_EQ(Stored(L"Decoy").x, -1);
}

// An item inserted while the save reads: the count tells, the desktop is read again with each name
// read again after its position, and no name is paired with another item's position.
TEST_F(ShellFaultsTest, AnItemThatComesDuringTheSaveShiftsNothing) {
    WriteString(kSettingsKey, L"Icon Position", L"01");
    StartDesktop({L"--insert-after=2:New@300,300"});
    StartIconvale();
    PlaceItems();
    ExitAndExpectNoFault();
    EXPECT_TRUE(Logged(L"LV INSERT New at 0"));
    EXPECT_TRUE(Stored(L"New").x == -1 || Stored(L"New").x == 300) << "New holds " << Stored(L"New").x;
    ExpectOnlyOwnPlaces(false);
}

// The name read again after a move answered too late: the icon most likely moved and keeps its
// place before in the undo record; the next pass finds it at its place.
TEST_F(ShellFaultsTest, AMoveWhoseCheckComesLateKeepsItsUndoPlace) {
    StartDesktop({L"--slow=gettext:1500@1#8"});  // Data's name after its move, in a careful pass
    PlaceItems();
    for (size_t i = 0; i < places_.size(); ++i) Store(places_[i].first, {static_cast<LONG>(300 + 90 * i), 300});
    iv::ShellSession session;
    EXPECT_EQ(iv::RestoreIconPositions(session), iv::RestoreResult::Done);
    ASSERT_TRUE(Logged(L"LV SLOW gettext 1 1500"));
    EXPECT_EQ(ReadString(iv::UndoKey(key_), L"Data.X"), L"140");
}

// Ten saves and restores against a shell that answers one item too late every time, and
// meanwhile answers what is sent to it later (as inside a COM call, so that each late request
// waits inside the next): only a request's own completion frees its block.
TEST_F(ShellFaultsTest, RepeatedSavesAndRestoresAgainstASlowShell) {
    StartDesktop({L"--slow=getpos:1050@2,pump"});
    PlaceItems();
    iv::ShellSession session;
    for (int i = 0; i < 10; ++i) {
        // The read stops at the slow item: a save that cannot read the whole desktop writes nothing.
        EXPECT_EQ(iv::SaveIconPositions(session), iv::SaveResult::NotSaved) << i;
        ExpectOnlyOwnPlaces();
        // The slow item cannot be told where it stands, so it stays: its place could not be kept.
        EXPECT_EQ(iv::RestoreIconPositions(session), iv::RestoreResult::Partial) << i;
    }
    EXPECT_GT(session.SetAsideCount(), 0u) << "the late requests were not waited for";
    EXPECT_TRUE(session.WaitForSetAsideBlocks(5000)) << session.SetAsideCount() << " still owed";
    EXPECT_TRUE(WaitUntil([&] { return LateAnswersLanded(); }, 10000)) << "the shell is still busy";
    EXPECT_NE(StopStandIn(), 3u) << "the shell faulted";
}

// An item comes while a restore reads: the count tells, and a careful pass reads again. Then, as
// that pass reads its last item, one item comes and another goes: the count holds, and only the
// name read again before the first move finds that it would hit the wrong item; the pass starts
// over. Last comes between the next pass's check of its first icon and that icon's move: the move,
// answered too late, hits New, which goes back. Every icon ends at its own place, and the undo
// keeps each icon's own.
TEST_F(ShellFaultsTest, AnItemThatComesDuringARestoreMovesNoIconAstray) {
    StartDesktop({L"--insert-after=2:New@300,300", L"--insert-after=9:Later@300,200", L"--remove-after=9:5",
                  L"--insert-after=15p:Last@300,100", L"--slow=setpos:1200#5"});
    PlaceItems();
    const auto stored = [](size_t i) { return POINT{static_cast<LONG>(100 + 100 * i), 400}; };
    for (size_t i = 0; i < places_.size(); ++i) Store(places_[i].first, stored(i));
    iv::ShellSession session;
    EXPECT_EQ(iv::RestoreIconPositions(session), iv::RestoreResult::Done);
    ASSERT_TRUE(Logged(L"LV INSERT New at 0"));
    ASSERT_TRUE(Logged(L"LV REMOVE 5 Photos"));
    ASSERT_TRUE(Logged(L"LV INSERT Last at 0"));
    for (size_t i = 0; i + 1 < places_.size(); ++i) {
        const POINT p = Position(static_cast<int>(i + 3));
        EXPECT_TRUE(p.x == stored(i).x && p.y == stored(i).y)
            << testing::PrintToString(places_[i].first) << " at " << p.x;
    }
    EXPECT_EQ(ReadString(iv::UndoKey(key_), L"Data.X"), L"140");
    // The icons that came have no stored place: whatever shifted under the moves, they stand where
    // they came, and the undo keeps nothing of theirs.
    for (const auto& [index, name, at] :
         {std::tuple(0, L"Last", POINT{300, 100}), std::tuple(1, L"Later", POINT{300, 200}),
          std::tuple(2, L"New", POINT{300, 300})}) {
        const POINT p = Position(index);
        EXPECT_TRUE(p.x == at.x && p.y == at.y)
            << testing::PrintToString(std::wstring(name)) << " at " << p.x << "," << p.y;
        EXPECT_EQ(ReadString(iv::UndoKey(key_), name + std::wstring(L".X")), L"<absent>");
    }
    EXPECT_NE(StopStandIn(), 3u);
}

// Quick moves hold the list view's painting only while they are queued: the hold's end is sent
// before the program waits for anything (a busy shell takes it while it answers the count that
// proves the moves), so a program ended at any moment leaves the desktop painting.
TEST_F(ShellFaultsTest, ThePaintingIsNeverHeldAcrossAWait) {
    StartDesktop({L"--log-redraw", L"--log-count", L"--slow=count:300,pump"});
    PlaceItems();
    for (size_t i = 0; i < places_.size(); ++i) Store(places_[i].first, {static_cast<LONG>(300 + 90 * i), 300});
    iv::ShellSession session;
    ASSERT_EQ(iv::SaveIconPositions(session), iv::SaveResult::Saved);
    for (size_t i = 0; i < places_.size(); ++i) Store(places_[i].first, {static_cast<LONG>(300 + 90 * i), 300});
    PumpMessages(static_cast<DWORD>(iv::DesktopFolderChanges::kCalmMs) + 200);  // a quick pass
    ClearLog();
    ASSERT_EQ(iv::RestoreIconPositions(session), iv::RestoreResult::Done);
    bool held = false;
    size_t moves = 0;
    for (const auto& line : ReadLogFile(logPath_)) {
        if (line == L"LV WM_SETREDRAW 0") held = true;
        if (line == L"LV WM_SETREDRAW 1") held = false;
        if (held && line.rfind(L"LV LVM_SETITEMPOSITION ", 0) == 0) ++moves;
        EXPECT_TRUE(!held || line.rfind(L"LV LVM_SETITEMPOSITION ", 0) == 0 || line == L"LV WM_SETREDRAW 0" ||
                    line.rfind(L"LV SLOW count", 0) == 0 || line.rfind(L"LV PUMP count", 0) == 0)
            << line;
    }
    EXPECT_FALSE(held);
    EXPECT_EQ(moves, places_.size());
    // With every icon in place nothing is held, and the desktop is not painted again.
    ClearLog();
    ASSERT_EQ(iv::RestoreIconPositions(session), iv::RestoreResult::Done);
    EXPECT_FALSE(Logged(L"LV WM_SETREDRAW 0"));
}

// The header's style is changed by the shell's thread with no time-out: a shell busy at that
// moment must not hold the program up (its toolbar still slides out under the mouse).
TEST_F(ShellFaultsTest, ABusyHeaderDoesNotHoldUpTheProgram) {
    WriteString(kSettingsKey, L"Desktop Icon", L"4");
    StartDesktop({L"--slow=header:8000"});
    StartIconvale();
    ASSERT_TRUE(WaitUntil([&] { return Logged(L"LV SLOW header - 8000"); }, 5000));
    PointAtToolbar();
    PointAway();
    Exit();
    // The shell would end only once its header is done: nothing more to see from it.
    standin_.Kill();
}

// A taskbar that refuses the icon at first (busy at log-on) and never announces itself again.
TEST_F(ShellFaultsTest, TheTrayIconIsAddedOnceTheTaskbarTakesIt) {
    WriteString(kSettingsKey, L"Task Tray", L"1");
    StartDesktop({L"--tray=2"});
    StartIconvale(true);
    EXPECT_TRUE(WaitUntil([&] { return Logged(L"TRAY ADD ok"); }, 12000)) << "the program has no way in";
    ExitAndExpectNoFault();
}

// A tray click that arrives while the exit's save waits for the shell opens no menu inside that
// wait, so nothing can switch the view in the middle of the save.
TEST_F(ShellFaultsTest, NoTrayMenuInsideAWaitForTheShell) {
    WriteString(kSettingsKey, L"Task Tray", L"1");
    WriteString(kSettingsKey, L"Icon Position", L"01");
    StartDesktop({L"--tray=0", L"--slow=gettext:2000@1"});
    StartIconvale(true);
    WaitForProgramLog(4);
    WaitForSettle();
    const HWND icon = FindProcessWindow(app_.Id(), L"IconvaleTrayIcon");
    ASSERT_TRUE(icon);
    ClearLog();
    PostMessageW(main_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return Logged(L"LV SLOW gettext 1 2000"); }, 5000));
    SendNotifyMessageW(icon, WM_MOUSEMOVE, 1, WM_RBUTTONUP);
    const bool menu = WaitUntil(
        [&] {
            const HWND popup = FindProcessWindow(app_.Id(), L"#32768");
            return popup && IsWindowVisible(popup);
        },
        1000);
    EXPECT_FALSE(menu) << "a menu opened inside the wait";
    EXPECT_TRUE(app_.WaitForExit(15000)) << "Iconvale did not end";
    for (const auto& line : ProgramLog()) EXPECT_EQ(line.rfind(L"VIEW", 0), std::wstring::npos) << line;
}

}  // namespace
}  // namespace e2e
