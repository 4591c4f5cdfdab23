// Icon positions saved at exit and put back at start, as the settings say.
#include <windows.h>
#include <commctrl.h>

#include <shlobj.h>

#include <initializer_list>

#include "layouts/IconPositions.h"
#include "layouts/KeptLayouts.h"
#include "shell/ExchangeBlock.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Remote.h"

namespace e2e {
namespace {

using namespace testing_support;

class IconPositionsTest : public E2eTest {
protected:
    void StartDesktop() {
        StartStandIn({L"--scripted", L"--log-paint", L"--item=Readme@40,40", L"--item=予定表 \U0001F4C5@140,40",
                      L"--item=Data@40,140"});
    }

    bool RestoredAny() const {
        for (const auto& line : ProgramLog()) {
            if (line.find(L"LVM_SETITEMPOSITION") != std::wstring::npos) return true;
        }
        return false;
    }
    void Store(const wchar_t* name, int x, int y) const {
        WritePlace(key_, name, std::to_wstring(x), std::to_wstring(y));
    }
};

TEST_F(IconPositionsTest, SavedAtExitInLargeIconsAndPutBackAtTheNextStart) {
    WriteString(kSettingsKey, L"Icon Position", L"11");
    StartDesktop();
    StartIconvaleAndWait();
    WaitForSettle();
    Move(0, {300, 200});
    Move(1, {420, 260});
    const POINT data = Position(2);
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    EXPECT_EQ(ReadString(key_, L"Readme.Y"), L"200");
    EXPECT_EQ(ReadString(key_, L"予定表 \U0001F4C5.X"), L"420");
    EXPECT_EQ(ReadString(key_, L"Data.Y"), std::to_wstring(data.y));
    EXPECT_EQ(ValueNames(key_).size(), 6u);

    Move(0, {40, 40});
    Move(1, {500, 500});
    StartIconvaleAndWait();
    EXPECT_TRUE(WaitUntil([&] { return At(0, {300, 200}) && At(1, {420, 260}); }, 5000));
    EXPECT_TRUE(At(2, data));
    Exit();
}

TEST_F(IconPositionsTest, SmallIconsRestoreAtStartButDoNotSaveAtExit) {
    WriteString(kSettingsKey, L"Icon Position", L"11");
    WriteString(kSettingsKey, L"Desktop Icon", L"2");
    Store(L"Readme", 300, 200);
    StartDesktop();
    StartIconvale();
    ASSERT_TRUE(WaitForType(LVS_SMALLICON));
    EXPECT_TRUE(WaitUntil([&] { return At(0, {300, 200}); }, 5000));
    Move(0, {10, 10});
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    EXPECT_EQ(ValueNames(key_).size(), 2u);
}

TEST_F(IconPositionsTest, DetailsNeitherRestoresNorSaves) {
    WriteString(kSettingsKey, L"Icon Position", L"11");
    WriteString(kSettingsKey, L"Desktop Icon", L"4");
    Store(L"Readme", 300, 200);
    StartDesktop();
    StartIconvaleAndWait();
    ASSERT_TRUE(WaitForType(LVS_REPORT));
    Exit();
    EXPECT_FALSE(RestoredAny());
    EXPECT_EQ(ValueNames(key_).size(), 2u);
}

TEST_F(IconPositionsTest, OnlyRestoreOrOnlySaveAsTheSettingSays) {
    WriteString(kSettingsKey, L"Icon Position", L"1");
    Store(L"Readme", 300, 200);
    StartDesktop();
    StartIconvaleAndWait();
    EXPECT_TRUE(WaitUntil([&] { return At(0, {300, 200}); }, 5000));
    Move(0, {10, 10});
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");

    WriteString(kSettingsKey, L"Icon Position", L"01");
    StartIconvaleAndWait();
    WaitForSettle();
    EXPECT_FALSE(RestoredAny());
    Move(0, {60, 70});
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"60");
}

// At log-on the shell fills the desktop while the program starts, here an icon every two seconds,
// longer than the settle waits: the calm saves meanwhile (every second) write what is there and
// delete no place of an icon not there yet, so every icon ends at its stored place and no stored
// place is lost.
TEST_F(IconPositionsTest, ADesktopThatFillsAtLogOnKeepsEveryStoredPlace) {
    WriteString(kSettingsKey, L"Icon Position", L"10");
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    WriteString(kSettingsKey, L"Calm Save", L"1");
    std::vector<std::wstring> args = {L"--scripted", L"--fill-ms=12000"};
    for (int i = 0; i < 6; ++i) {
        args.push_back(L"--item=Icon " + std::to_wstring(i) + L"@10,10");
        Store((L"Icon " + std::to_wstring(i)).c_str(), 100 + 90 * i, 300);
    }
    StartStandIn(args);
    StartIconvale();
    const auto placed = [&] {
        bool all = true;
        for (int i = 0; i < 6; ++i) all = all && At(i, {100 + 90 * i, 300});
        return all;
    };
    EXPECT_TRUE(WaitUntil(placed, 20000));
    EXPECT_EQ(ValueNames(key_).size(), 12u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ReadString(key_, L"Icon " + std::to_wstring(i) + L".X"), std::to_wstring(100 + 90 * i));
}

// Every save and restore reserves a block in the shell's process: none may stay behind.
TEST_F(IconPositionsTest, ManySavesAndRestoresLeaveNothingInTheShell) {
    StartStandIn({L"--scripted", L"--items=30"});
    // A block left behind is one more allocation each time (the heap grows within few, large ones).
    const auto committed = [&] { return CommittedAllocations(standin_.Handle()).size(); };
    iv::ShellSession session;
    for (int i = 0; i < 20; ++i) {
        iv::SaveIconPositions(session);
        iv::RestoreIconPositions(session);
    }
    const SIZE_T before = committed();
    const DWORD handlesBefore = [] {
        DWORD n = 0;
        GetProcessHandleCount(GetCurrentProcess(), &n);
        return n;
    }();
    for (int i = 0; i < 100; ++i) {
        iv::SaveIconPositions(session);
        iv::RestoreIconPositions(session);
    }
    const SIZE_T after = committed();
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    ASSERT_GT(before, 0u);
    // A block left behind per operation would be 200 more.
    EXPECT_LT(after, before + 20) << before << " -> " << after;
    EXPECT_LE(handlesAfter, handlesBefore + 2);
    EXPECT_EQ(ValueNames(key_).size(), 60u);
}

// Today's Windows: the shell keeps its icons' places itself and, at its refresh, puts back what
// another program moved by list-view messages alone. Files on the Desktop folder, the platform's
// own shell view, and the route to its folder view when `route` (else only the list view's way).
class TodaysShellTest : public E2eTest {
protected:
    void TearDown() override {
        E2eTest::TearDown();
        for (const std::wstring& file : files_) DeleteFileW(file.c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kAdvanced, L"HideFileExt");
    }

    void Files(std::initializer_list<const wchar_t*> names, bool hideExtensions = false) {
        wchar_t folder[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, folder), S_OK);
        for (const wchar_t* name : names) {
            files_.push_back(std::wstring(folder) + L"\\" + name);
            CloseHandle(CreateFileW(files_.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
        const DWORD hide = hideExtensions ? 1 : 0;
        RegSetKeyValueW(HKEY_CURRENT_USER, kAdvanced, L"HideFileExt", REG_DWORD, &hide, sizeof hide);
    }
    void StartShell(bool route, std::vector<std::wstring> faults = {}) {
        std::vector<std::wstring> args = {L"--shell", L"--since-1809"};
        if (route) args.push_back(L"--folder-view");
        args.insert(args.end(), faults.begin(), faults.end());
        StartStandIn(args);
    }
    // The icons showing a text, in index order.
    std::vector<int> Showing(const std::wstring& text) const {
        iv::ShellSession session;
        iv::ExchangeBlock block(session, listView_);
        std::vector<int> found;
        const int count = static_cast<int>(SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring shown;
            if (iv::GetItemText(block, i, shown) == iv::Answer::Done && shown == text) found.push_back(i);
        }
        return found;
    }
    // A move the shell makes itself (a drag with the mouse): its record follows.
    void UserMove(int index, POINT to) const {
        SendMessageW(GetParent(defView_), standin::kMoveIconMessage, static_cast<WPARAM>(index),
                     MAKELPARAM(to.x, to.y));
    }
    // The shell's refresh (F5): what list-view messages alone moved goes back.
    void Refresh() {
        ClearLog();
        PostMessageW(GetParent(defView_), standin::kRefreshMessage, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !ReadLogFile(logPath_).empty(); }, 5000)) << "no refresh";
    }

    static constexpr wchar_t kAdvanced[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
    std::vector<std::wstring> files_;
};

// The folder view's moves are the shell's own: they stay through its refresh. The same restore by
// list-view messages shows at first and is undone by the refresh. An icon stored beyond the
// screen's edge comes wholly into view at one place by either way (both size it as the list view
// draws it).
TEST_F(TodaysShellTest, ARestoreThroughTheFolderViewSurvivesTheShellsRefresh) {
    Files({L"Alpha.txt"});
    std::vector<LONG> pulledIn;
    for (const bool route : {true, false}) {
        StartShell(route, {L"--icon-size=48"});
        const std::vector<int> alpha = Showing(L"Alpha.txt");
        ASSERT_EQ(alpha.size(), 1u);
        UserMove(alpha[0], {300, 200});
        ASSERT_EQ(Run({L"/save"}), 0u);
        UserMove(alpha[0], {40, 400});
        ASSERT_EQ(Run({L"/restore"}), 0u);
        EXPECT_TRUE(At(alpha[0], {300, 200}));
        Refresh();
        EXPECT_EQ(At(alpha[0], {300, 200}), route) << (route ? "the folder view's move was undone" : "it stuck");
        WriteString(key_, L"Alpha.txt.X", L"5000");
        ASSERT_EQ(Run({L"/restore"}), 0u);
        pulledIn.push_back(Position(alpha[0]).x);
        StopStandIn();
    }
    EXPECT_EQ(pulledIn[0], pulledIn[1]);
}

// With extensions hidden two files show one text: through the folder view each has its own place
// and its own undo; by the list view's messages nothing tells them apart, and both stay.
TEST_F(TodaysShellTest, TwoIconsOfOneTextEachKeepTheirOwnPlaceAndUndo) {
    Files({L"same.txt", L"same.bat"}, true);
    StartShell(true);
    const std::vector<int> same = Showing(L"same");
    ASSERT_EQ(same.size(), 2u);
    const POINT saved[2] = {{300, 200}, {420, 300}};
    const POINT moved[2] = {{40, 400}, {140, 400}};
    for (size_t i = 0; i < 2; ++i) UserMove(same[i], saved[i]);
    ASSERT_EQ(Run({L"/save"}), 0u);
    for (size_t i = 0; i < 2; ++i) UserMove(same[i], moved[i]);
    ASSERT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(same[0], saved[0]) && At(same[1], saved[1]));
    ASSERT_EQ(Run({L"/undo"}), 0u);
    EXPECT_TRUE(At(same[0], moved[0]) && At(same[1], moved[1]));
    StopStandIn();

    StartShell(false);
    ASSERT_EQ(Run({L"/restore"}), 0u);
    const std::vector<int> again = Showing(L"same");
    ASSERT_EQ(again.size(), 2u);
    EXPECT_NE(Position(again[0]).y, Position(again[1]).y) << "piled";
    EXPECT_FALSE(At(again[0], saved[0]) || At(again[0], saved[1]));
}

// A layout of an earlier version knows display texts only: it restores, and a save writes the
// display-text values exactly as before, the identities beside them.
TEST_F(TodaysShellTest, ALayoutOfAnEarlierVersionRestoresAndTheTextsAreWrittenAsBefore) {
    Files({L"Alpha.txt"});
    WritePlace(key_, L"Alpha.txt", L"300", L"200");
    StartShell(true);
    const std::vector<int> alpha = Showing(L"Alpha.txt");
    ASSERT_EQ(alpha.size(), 1u);
    ASSERT_EQ(Run({L"/restore"}), 0u);
    EXPECT_TRUE(At(alpha[0], {300, 200}));
    UserMove(alpha[0], {500, 250});
    ASSERT_EQ(Run({L"/save"}), 0u);
    EXPECT_EQ(ReadString(key_, L"Alpha.txt.X"), L"500");
    EXPECT_EQ(ValueNames(key_).size(), 2 * static_cast<size_t>(SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0)));
    EXPECT_EQ(ReadString(iv::IdsKey(key_), L"Desktop\\Alpha.txt.Y"), L"250");

    // A running instance names again what the setting of extensions changed.
    StartIconvale();
    ASSERT_EQ(Run({L"/save"}), 0u);
    const DWORD hide = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, kAdvanced, L"HideFileExt", REG_DWORD, &hide, sizeof hide);
    ASSERT_EQ(Run({L"/save"}), 0u);
    EXPECT_NE(ReadString(key_, L"Alpha.X"), L"<absent>") << "the name before the setting was stored";
    Exit();
}

// An installer replaces a file: it goes, and comes again at the shell's next free place. With the
// screen followed it goes back to its stored place, which no calm save took meanwhile.
TEST_F(TodaysShellTest, AFileMadeAgainGoesBackToItsStoredPlace) {
    Files({L"Alpha.txt", L"Beta.txt"});
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    WriteString(kSettingsKey, L"Calm Save", L"1");
    StartShell(true, {L"--log-paint"});
    StartIconvaleAndWait();
    UserMove(Showing(L"Alpha.txt")[0], {400, 300});
    ASSERT_TRUE(WaitUntil([&] { return ReadString(key_, L"Alpha.txt.X") == L"400"; }, 10000));
    DeleteFileW(files_[0].c_str());
    ASSERT_TRUE(WaitUntil([&] { return Showing(L"Alpha.txt").empty(); }, 5000));
    CloseHandle(CreateFileW(files_[0].c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const auto back = [&] {
        const std::vector<int> alpha = Showing(L"Alpha.txt");
        return alpha.size() == 1 && At(alpha[0], {400, 300});
    };
    EXPECT_TRUE(WaitUntil(back, 10000));
    EXPECT_EQ(ReadString(key_, L"Alpha.txt.X"), L"400");
    Exit();
}

// A folder view that never answers: a save gives up at the time limit and changes nothing, the
// toolbar answers, and the next save takes the list view's way. A shell restarted in the middle
// of a save fails that save only.
TEST_F(TodaysShellTest, AFolderViewThatHangsOrRestartsFailsOnlyTheSaveItHappensIn) {
    Files({L"Alpha.txt"});
    WritePlace(key_, L"Alpha.txt", L"7", L"7");
    StartShell(true, {L"--fv-hang=1"});
    StartIconvale();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Run({L"/save"}), 1u);
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_EQ(ReadString(key_, L"Alpha.txt.X"), L"7");
    EXPECT_EQ(ValueNames(key_).size(), 2u);
    PointAtToolbar();
    EXPECT_TRUE(ToolbarShown());
    PointAway();
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_NE(ReadString(key_, L"Alpha.txt.X"), L"7");
    Exit();
    standin_.Kill();

    WriteString(key_, L"Alpha.txt.X", L"7");
    StartShell(true, {L"--fv-restart-in=3"});
    EXPECT_EQ(Run({L"/save"}), 1u);
    EXPECT_TRUE(Logged(L"FV RESTART"));
    EXPECT_EQ(ReadString(key_, L"Alpha.txt.X"), L"7");
    FindStandInDesktop();
    EXPECT_EQ(Run({L"/save"}), 0u);
    EXPECT_NE(ReadString(key_, L"Alpha.txt.X"), L"7");
    // An icon whose place the view never tells, with none stored, keeps no restore from its end,
    // and the history keeps no place for it.
    standin_.Kill();
    Files({L"Beta.txt"});
    StartShell(true, {L"--fv-fail-pos=Beta.txt"});
    UserMove(Showing(L"Alpha.txt")[0], {40, 400});
    EXPECT_EQ(Run({L"/restore"}), 0u);
    const std::vector<iv::HistoryEntry> history = iv::ReadHistory(key_);
    const auto kept = history.empty() ? std::nullopt : iv::ReadHistoryEntry(key_, history[0].number);
    ASSERT_TRUE(kept);
    for (const iv::FileIcon& icon : kept->icons) EXPECT_NE(icon.name, L"Beta.txt");
}

}  // namespace
}  // namespace e2e
