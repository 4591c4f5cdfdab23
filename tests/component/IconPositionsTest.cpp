// Reading desktop items and storing their positions, against the stand-in in this process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "base/ScopedWin.h"
#include "shell/ExchangeBlock.h"
#include "shell/ListViewIcons.h"
#include "layouts/IconPositions.h"
#include "layouts/KeptLayouts.h"
#include "shell/Screen.h"
#include "settings/Settings.h"
#include "tests/component/FreshDesktop.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;

class IconPositionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteKeyTree(kSettingsKey);
        key_ = IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    void TearDown() override { DeleteKeyTree(kSettingsKey); }

    void Desktop(std::vector<standin::Item> items, bool redirectAllText = false) {
        desktop_ = standin::Desktop::Create({.items = std::move(items), .redirectAllText = redirectAllText});
        ASSERT_TRUE(desktop_);
        PumpMessages(20);
    }

    POINT Position(int index) const {
        POINT p = {};
        ListView_GetItemPosition(desktop_->ListView(), index, &p);
        return p;
    }
    // Both coordinates of one icon, printing where it is when it is elsewhere.
    testing::AssertionResult At(int index, LONG x, LONG y) const {
        const POINT p = Position(index);
        if (p.x == x && p.y == y) return testing::AssertionSuccess();
        return testing::AssertionFailure() << "icon " << index << " at " << p.x << "," << p.y;
    }
    void Move(int index, int x, int y) const { ListView_SetItemPosition32(desktop_->ListView(), index, x, y); }

    std::wstring key_;
    ShellSession session_;
    std::unique_ptr<standin::Desktop> desktop_;
};

TEST_F(IconPositionsTest, ReadsEveryNameAndPositionInIndexOrder) {
    Desktop({{L"Readme", 20, 30}, {L"予定表 \U0001F4C5.xlsx", 120, 30}, {L"a\\b.c*d", 20, 130}});
    std::vector<DesktopIcon> list;
    ASSERT_EQ(ReadDesktopItems(session_, list), ReadResult::Read);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].text, L"Readme");
    EXPECT_EQ(list[1].text, L"予定表 \U0001F4C5.xlsx");
    EXPECT_EQ(list[2].text, L"a\\b.c*d");
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(At(static_cast<int>(i), list[i].at.x, list[i].at.y));
    EXPECT_EQ(list[1].at.x, 120);
    EXPECT_EQ(list[2].at.y, 130);
}

TEST_F(IconPositionsTest, TheSharedMappingVariantReadsTheSame) {
    Desktop({{L"Readme", 20, 30}, {L"メモ", 120, 40}});
    std::vector<DesktopIcon> list;
    ShellSession ninetyEight({false, true});
    ASSERT_EQ(ReadDesktopItems(ninetyEight, list), ReadResult::Read);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].text, L"メモ");
    EXPECT_EQ(list[1].at.x, 120);
    EXPECT_EQ(list[1].at.y, 40);
    // Save and restore work through the mapping too.
    SaveIconPositions(ninetyEight);
    Move(1, 300, 300);
    RestoreIconPositions(ninetyEight);
    EXPECT_TRUE(At(1, 120, 40));
}

TEST_F(IconPositionsTest, AnEmptyOrMissingDesktopGivesOneBlankRecord) {
    std::vector<DesktopIcon> list(3);
    EXPECT_EQ(ReadDesktopItems(session_, list), ReadResult::NoListView);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, L"");
    Desktop({});
    EXPECT_EQ(ReadDesktopItems(session_, list), ReadResult::Read);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, L"");
    EXPECT_EQ(list[0].at.x, 0);
}

// A list view may answer with a text of its own instead of filling the caller's buffer.
TEST_F(IconPositionsTest, ARedirectedItemTextIsReadWhereTheListViewPutIt) {
    Desktop({{L"Readme", 20, 30}, {L"予定表", 120, 30}}, true);
    std::vector<DesktopIcon> list;
    ASSERT_EQ(ReadDesktopItems(session_, list), ReadResult::Read);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].text, L"Readme");
    EXPECT_EQ(list[1].text, L"予定表");
}

TEST_F(IconPositionsTest, ANameLongerThanTheTextAreaIsCutNotOverrun) {
    const std::wstring longName(300, L'n');
    Desktop({{longName, 10, 10}, {L"after", 100, 10}});
    std::vector<DesktopIcon> list;
    ASSERT_EQ(ReadDesktopItems(session_, list), ReadResult::Read);
    EXPECT_EQ(list[0].text, longName.substr(0, kItemTextChars - 1));
    EXPECT_EQ(list[1].text, L"after");
}

TEST_F(IconPositionsTest, SaveThenRestorePutsMovedIconsBack) {
    Desktop({{L"Readme", 20, 30}, {L"Data", 120, 30}, {L"Photos", 20, 130}});
    SaveIconPositions(session_);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
    EXPECT_EQ(ReadString(key_, L"Readme.Y"), L"30");
    EXPECT_EQ(ReadString(key_, L"Photos.Y"), L"130");
    EXPECT_EQ(ValueNames(key_).size(), 6u);

    Move(0, 400, 400);
    Move(2, 500, 90);
    RestoreIconPositions(session_);
    EXPECT_TRUE(At(0, 20, 30));
    EXPECT_TRUE(At(2, 20, 130));

    // Saving again without changes gives the same store.
    SaveIconPositions(session_);
    EXPECT_EQ(ValueNames(key_).size(), 6u);
    EXPECT_EQ(ReadString(key_, L"Data.X"), L"120");
}

TEST_F(IconPositionsTest, NoSaveWritesWhileAChangeOfTheScreenSizeSettles) {
    Desktop({{L"Readme", 20, 30}});
    // Another size seen just before: the current one is a change that has not settled.
    session_.Screen().Notice({{{{0, 0, 1, 1}, {0, 0, 1, 1}, true}}, 96}, GetTickCount64());
    EXPECT_EQ(SaveIconPositions(session_), SaveResult::NotSaved);
    EXPECT_TRUE(ValueNames(key_).empty());
    ASSERT_TRUE(session_.Screen().TakeSettled(GetTickCount64() + kScreenSettleMs));
    EXPECT_EQ(SaveIconPositions(session_), SaveResult::Saved);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
}

// The list view tells two icons of one name apart by nothing: the store keeps the later one's
// place, and a restore leaves both where they are rather than pile them.
TEST_F(IconPositionsTest, TwoItemsWithOneNameKeepTheLaterPositionAndStayAtARestore) {
    Desktop({{L"Same", 20, 30}, {L"Other", 120, 30}, {L"Same", 220, 40}});
    SaveIconPositions(session_);
    EXPECT_EQ(ReadString(key_, L"Same.X"), L"220");
    EXPECT_EQ(ReadString(key_, L"Same.Y"), L"40");
    EXPECT_EQ(ValueNames(key_).size(), 4u);
    Move(0, 300, 300);
    Move(1, 400, 300);
    EXPECT_EQ(RestoreIconPositions(session_), RestoreResult::Done);
    EXPECT_EQ(Position(0).x, 300);
    EXPECT_EQ(Position(1).x, 120);
    EXPECT_EQ(Position(2).x, 220);
}

TEST_F(IconPositionsTest, RestoreNeedsBothValuesAndReadsNumbersLikeSettings) {
    Desktop({{L"Both", 20, 30}, {L"OnlyX", 120, 30}, {L"Text", 220, 30}, {L"Negative", 320, 30}, {L"None", 420, 30}});
    WritePlace(key_, L"Both", L"50", L"60");
    WriteString(key_, L"OnlyX.X", L"500");
    WritePlace(key_, L"Text", L"abc", L"70");
    WritePlace(key_, L"Negative", L"-20", L" 180.5");
    RestoreIconPositions(session_);
    EXPECT_TRUE(At(0, 50, 60));
    EXPECT_EQ(Position(1).x, 120);
    EXPECT_TRUE(At(2, 0, 70));
    EXPECT_TRUE(At(3, 0, 180));  // x: -20 would leave part of the icon off the left edge
    EXPECT_EQ(Position(4).x, 420);
}

TEST_F(IconPositionsTest, SaveDropsItemsThatAreGoneAndLeavesOtherScreenSizes) {
    const std::wstring other = IconPositionKey(640, 480);
    WriteString(other, L"Readme.X", L"1");
    WritePlace(key_, L"Gone", L"5", L"5");
    WriteString(key_, L"README.X", L"7");
    Desktop({{L"Readme", 20, 30}});
    SaveIconPositions(session_);
    EXPECT_EQ(ReadString(key_, L"Gone.X"), L"<absent>");
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
    EXPECT_EQ(ValueNames(key_).size(), 2u);
    EXPECT_EQ(ReadString(other, L"Readme.X"), L"1");
    // An automatic save deletes the place of an icon seen before only when it is gone: one that
    // has just come back and is due at its stored place is there.
    const IconKeySet seen = {IconKey(L"Readme", L"")}, known;
    SaveRequest automatic = {false, &seen, &known};
    Move(0, 60, 60);
    SaveIconPositions(session_, automatic);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
}

TEST_F(IconPositionsTest, AnEmptyDesktopStoresTheBlankRecord) {
    WriteString(key_, L"Gone.X", L"5");
    Desktop({});
    SaveIconPositions(session_);
    EXPECT_EQ(ReadString(key_, L".X"), L"0");
    EXPECT_EQ(ReadString(key_, L".Y"), L"0");
    EXPECT_EQ(ValueNames(key_).size(), 2u);
}

LRESULT CALLBACK GoneAtThirdText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR texts) {
    const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
    if (msg == LVM_GETITEMW && ++*reinterpret_cast<int*>(texts) == 3) DestroyWindow(hwnd);
    return result;
}

// Nor does a desktop that goes during the read (the shell ends): what was read is not written.
TEST_F(IconPositionsTest, ASaveWithoutADesktopLeavesTheStoreAlone) {
    WritePlace(key_, L"Readme", L"20", L"30");
    SaveIconPositions(session_);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
    EXPECT_EQ(ValueNames(key_).size(), 2u);
    RestoreIconPositions(session_);  // nothing to move, nothing fails
    Desktop({{L"Readme", 200, 30}, {L"Notes", 120, 30}});
    int texts = 0;
    SetWindowSubclass(desktop_->ListView(), GoneAtThirdText, 0, reinterpret_cast<DWORD_PTR>(&texts));
    EXPECT_EQ(SaveIconPositions(session_), SaveResult::NotSaved);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
}

// A layout that cannot be written (a policy made it read-only) fails the save.
TEST_F(IconPositionsTest, AStoreThatCannotBeWrittenFailsTheSave) {
    WriteString(key_, L"Readme.X", L"20");
    Desktop({{L"Readme", 200, 30}});
    ASSERT_TRUE(SetKeyAccess(key_, KEY_READ));
    const SaveResult saved = SaveIconPositions(session_);
    ASSERT_TRUE(SetKeyAccess(key_, KEY_ALL_ACCESS));
    EXPECT_EQ(saved, SaveResult::Failed);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"20");
}

// Identities live beside the display-text values, count only while those are the values written
// with them, and go along into the previous layout and the undo record.
TEST_F(IconPositionsTest, IdentitiesAreKeptBesideTheTextsAndRetiredByAWriterThatKnowsNone) {
    const std::vector<SavedIcon> icons = {{L"same", L"Desktop\\same.txt", 10, 20},
                                          {L"same", L"Desktop\\same.bat", 30, 40}};
    const Deletions replace = {true, {}};
    ASSERT_EQ(SaveLayout(key_, icons, replace, true), LayoutWrite::Written);
    EXPECT_EQ(ValueNames(key_).size(), 2u);  // "same.X", "same.Y": the later icon's, as always
    EXPECT_EQ(ReadString(key_, L"same.X"), L"30");
    StoredLayout layout = ReadStoredLayout(key_);
    ASSERT_EQ(layout.byId.size(), 2u);
    EXPECT_EQ(layout.byId[L"DESKTOP\\SAME.TXT"].place.x, 10);
    EXPECT_EQ(layout.byId[L"DESKTOP\\SAME.BAT"].text, L"SAME");
    EXPECT_EQ(SaveLayout(key_, icons, replace, true), LayoutWrite::Unchanged);

    // A save that moves one: the layout before it is the previous one, identities and all.
    ASSERT_EQ(SaveLayout(key_, {icons[0], {L"same", L"Desktop\\same.bat", 50, 60}}, replace, true),
              LayoutWrite::Written);
    EXPECT_EQ(ReadStoredLayout(PreviousLayoutKey(key_)).byId[L"DESKTOP\\SAME.BAT"].place.x, 30);
    EXPECT_EQ(ReadStoredLayout(key_).byId[L"DESKTOP\\SAME.BAT"].place.x, 50);

    // An earlier version (or the list view's way) writes the texts alone: the identities no longer
    // tell where the icons are, and are not believed.
    WriteString(key_, L"same.X", L"70");
    EXPECT_TRUE(ReadStoredLayout(key_).byId.empty());
    EXPECT_EQ(ReadStoredLayout(key_).byText[L"SAME"].x, 70);
    ASSERT_EQ(SaveLayout(key_, icons, {}, true), LayoutWrite::Written);
    EXPECT_EQ(ReadStoredLayout(key_).byId.size(), 2u);

    // An automatic save deletes the place only of an icon it saw go, never of one not there yet.
    WritePlace(key_, L"Late", L"1", L"1");
    WritePlace(key_, L"Left", L"2", L"2");
    ASSERT_EQ(SaveLayout(key_, icons, {false, {IconKey(L"Left", L""), IconKey(L"x", L"Desktop\\same.txt")}}, true),
              LayoutWrite::Written);
    EXPECT_EQ(ReadString(key_, L"Late.X"), L"1");
    EXPECT_EQ(ReadString(key_, L"Left.X"), L"<absent>");
    EXPECT_EQ(ReadStoredLayout(key_).byId.size(), 2u) << "an icon read is never gone";

    // A record of many moves is written in four slices side by side: a text's place goes in once,
    // or the twins race at the first slice's end (values 498-499) and the next one's start and the
    // identities stop counting.
    std::vector<SavedIcon> many;
    for (int n = 0; n < 1000; ++n) many.push_back({std::to_wstring(n), L"Desktop\\" + std::to_wstring(n), 0, n});
    many[249] = icons[0];
    many[250] = icons[1];
    UndoRecord(UndoKey(key_)).Keep(many);
    EXPECT_EQ(ReadString(UndoKey(key_), L"same.X"), L"30");
    EXPECT_EQ(ReadStoredLayout(UndoKey(key_)).byId.size(), 1000u);

    UndoRecord undo(UndoKey(key_));
    undo.Keep(icons);
    EXPECT_EQ(ReadStoredLayout(UndoKey(key_)).byId[L"DESKTOP\\SAME.TXT"].place.y, 20);
    undo.Forget(icons[0]);
    layout = ReadStoredLayout(UndoKey(key_));
    EXPECT_EQ(layout.byId.size(), 1u);
    EXPECT_EQ(layout.byText.size(), 0u);
}

// A layout read ahead, while the desktop is read, no longer counts once another writer changed the
// store: the save compares with what is stored now, and writes what it read.
TEST_F(IconPositionsTest, ALayoutReadAheadGivesWayToAChangeMadeMeanwhile) {
    WritePlace(key_, L"Readme", L"10", L"20");
    LayoutReadAhead ahead(key_);
    EXPECT_EQ(ahead.Layout().byText[L"README"].x, 10);
    WriteString(key_, L"Readme.X", L"30");
    EXPECT_EQ(ahead.Layout().byText[L"README"].x, 30);
    ASSERT_EQ(SaveLayout(ahead, {{L"Readme", L"", 10, 20}}, {}, false), LayoutWrite::Written);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"10");
}

// Every changing save keeps what it replaced, the last 20 per screen; the layout of the last save a
// person asked for outlives any number of automatic ones, until the next asked-for save.
TEST_F(IconPositionsTest, TheHistoryKeepsTwentyAndTheLastAskedForArrangement) {
    const ScreenShape screen = session_.CurrentScreen();
    const auto save = [&](int x, bool asked) {
        return SaveLayout(key_, {{L"Readme", L"Desktop\\Readme.txt", x, 10}}, {asked, {}}, true, {&screen, asked});
    };
    ASSERT_EQ(save(1, true), LayoutWrite::Written);
    EXPECT_TRUE(ReadHistory(key_).empty()) << "nothing was replaced";
    ASSERT_EQ(save(1, true), LayoutWrite::Unchanged);
    for (int x = 2; x <= 22; ++x) ASSERT_EQ(save(x, false), LayoutWrite::Written) << x;
    std::vector<HistoryEntry> history = ReadHistory(key_);
    ASSERT_EQ(history.size(), 21u);
    EXPECT_EQ(history.front().replacedBy, L"automatic save");
    const std::optional<LayoutFile> asked = ReadHistoryEntry(key_, history.back().number);
    ASSERT_TRUE(asked && asked->icons.size() == 1);
    EXPECT_EQ(asked->icons[0].x, 1);
    EXPECT_EQ(asked->icons[0].id, L"Desktop\\Readme.txt");
    EXPECT_EQ(ReadHistoryEntry(key_, history.front().number)->icons[0].x, 21);

    // The next asked-for save releases it: the oldest go first again.
    ASSERT_EQ(save(30, true), LayoutWrite::Written);
    ASSERT_EQ(ReadHistory(key_).size(), 21u);
    ASSERT_EQ(save(31, false), LayoutWrite::Written);
    history = ReadHistory(key_);
    EXPECT_EQ(history.size(), 20u);
    EXPECT_EQ(ReadHistoryEntry(key_, history.back().number)->icons[0].x, 4);
    // Twins: saves that move only the one whose place the shared text does not hold pin no more.
    for (int x = 40; x <= 62; ++x) {
        const std::vector<SavedIcon> twins = {{L"Readme", L"Desktop\\Readme.txt", x, 10},
                                              {L"Readme", L"Desktop\\Readme.lnk", 5, 10}};
        ASSERT_EQ(SaveLayout(key_, twins, {x == 40, {}}, true, {&screen, x == 40}), LayoutWrite::Written) << x;
    }
    const std::vector<FileIcon> pinned = ReadHistoryEntry(key_, ReadHistory(key_).back().number)->icons;
    EXPECT_TRUE(std::any_of(pinned.begin(), pinned.end(), [](const FileIcon& icon) { return icon.x == 40; }));

    // A restore keeps the desktop it is about to change, once, and a named save the layout it replaces.
    Desktop({{L"Readme", 20, 30}});
    const StoredLayout named = StoredLayoutOf(LayoutOfIcons(L"Work", screen, {{L"Readme", L"", 200, 100}}));
    ASSERT_EQ(RestoreIconPositions(session_, {.layout = &named}), RestoreResult::Done);
    history = ReadHistory(key_);
    EXPECT_EQ(history.front().replacedBy, L"restore");
    EXPECT_EQ(ReadHistoryEntry(key_, history.front().number)->icons[0].x, 20);
    ASSERT_EQ(SaveNamedLayout(session_, L"Work"), SaveResult::Saved);
    Move(0, 50, 60);
    ASSERT_EQ(SaveNamedLayout(session_, L"work"), SaveResult::Saved);
    EXPECT_EQ(ReadHistoryEntry(key_, ReadHistory(key_).front().number)->icons[0].x, 200);
    EXPECT_EQ(ReadNamedLayout(L"WORK")->icons[0].x, 50);
    EXPECT_EQ(NamedLayoutNames(), std::vector<std::wstring>{L"Work"});
    // A layout larger than its reader takes (a tab is written as six bytes) would never come back.
    const std::vector<SavedIcon> wide(90, {std::wstring(32767, L'\t'), L"", 0, 0});
    EXPECT_FALSE(WriteNamedLayout(LayoutOfIcons(L"Wide", screen, wide)));
    EXPECT_FALSE(NamedLayoutKept(L"Wide"));
}

// An icon whose place would not show comes into view at a restore (of any layout); while it stays
// there, automatic saves write the place restored from, and a person's save takes it as it stands.
TEST_F(IconPositionsTest, AnIconMovedIntoViewKeepsItsPlaceForTheAutomaticSaves) {
    Desktop({{L"Readme", 20, 30}});
    WritePlace(PreviousLayoutKey(key_), L"Readme", L"20", L"6000");
    ASSERT_EQ(RestoreIconPositions(session_, {.source = LayoutSource::Previous}), RestoreResult::Done);
    ASSERT_LT(Position(0).y, 6000);
    ASSERT_EQ(SaveIconPositions(session_, {false}), SaveResult::Saved);
    EXPECT_EQ(ReadString(key_, L"Readme.Y"), L"6000");
    ASSERT_EQ(SaveIconPositions(session_), SaveResult::Saved);
    EXPECT_EQ(ReadString(key_, L"Readme.Y"), std::to_wstring(Position(0).y));
}

// The plain W*H layout stands in for a screen without one only when an earlier version wrote it,
// and only for the current layout: never for the undo or previous one.
TEST_F(IconPositionsTest, OnlyAnEarlierVersionsPlainLayoutStandsInForAnotherScreen) {
    Desktop({{L"Readme", 20, 30}});
    const ScreenShape screen = session_.CurrentScreen();
    ScreenShape scaled = screen;
    scaled.dpi = 144;
    WritePlace(key_, L"Readme", L"200", L"200");
    session_.SetScreenSource([&] { return scaled; });
    for (const LayoutSource source : {LayoutSource::Undo, LayoutSource::Previous})
        EXPECT_EQ(RestoreIconPositions(session_, {.source = source}), RestoreResult::NothingStored);
    EXPECT_EQ(Position(0).x, 20);
    EXPECT_EQ(RestoreIconPositions(session_), RestoreResult::Done);  // an earlier version's: taken
    EXPECT_EQ(Position(0).x, 200);

    session_.SetScreenSource([&] { return screen; });
    ASSERT_EQ(SaveLayout(key_, {{L"Readme", L"", 300, 300}}, {true, {}}, false), LayoutWrite::Written);
    session_.SetScreenSource([&] { return scaled; });
    Move(0, 20, 30);
    EXPECT_EQ(RestoreIconPositions(session_), RestoreResult::NothingStored);  // this version's, of 96 dpi
    EXPECT_EQ(Position(0).x, 20);
}

// The 9x family's named mapping set aside after a late answer is not the pages a later block
// uses: the late answer lands in its own.
TEST(SharedMappingTest, ABlockSetAsideKeepsItsPagesToItself) {
    StandInThread shell({.items = {{L"Readme", 10, 10}}, .slow = {{standin::Request::GetText, 1500}}});
    ASSERT_TRUE(shell.Desktop());
    ShellSession ninetyEight({false, true});
    std::wstring text;
    {
        ExchangeBlock owed(ninetyEight, shell.Desktop()->ListView());
        ASSERT_TRUE(owed.Ok());
        EXPECT_EQ(GetItemText(owed, 0, text), Answer::NoAnswer);
    }
    ASSERT_EQ(ninetyEight.SetAsideCount(), 1u);
    ExchangeBlock later(ninetyEight, shell.Desktop()->ListView());
    ASSERT_TRUE(later.Ok());
    const std::vector<uint8_t> marker(kTextAreaBytes, 0x5A);
    ASSERT_TRUE(later.Write(later.Layout().size, marker.data(), marker.size()));
    ASSERT_TRUE(WaitUntil([&] { return ninetyEight.WaitForSetAsideBlocks(0); }, 5000)) << "the late answer";
    std::vector<uint8_t> after(marker.size());
    ASSERT_TRUE(later.Read(later.Layout().size, after.data(), after.size()));
    EXPECT_EQ(after, marker) << "the late answer wrote into a later block";
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == LVM_GETITEMCOUNT) return GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// The shell's count is not believed past what the store can keep apart, nor below zero.
TEST(ItemCount, IsBoundedAndANegativeAnswerIsNoAnswer) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"CountingListView";
    RegisterClassW(&wc);
    ScopedWindow list(
        CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr));
    ShellSession session;
    for (const auto& [answer, count] : {std::pair{100000, kMaxDesktopItems}, std::pair{-5, -1}, std::pair{12, 12}}) {
        SetWindowLongPtrW(list.Get(), GWLP_USERDATA, answer);
        EXPECT_EQ(GetItemCount(session, list.Get()), count) << answer;
    }
    // Nor is a count the folder view tells waited for beyond the most a desktop holds.
    EXPECT_EQ(TimeoutForIcons(size_t{1} << 31), TimeoutForIcons(kMaxDesktopItems));
}

}  // namespace
}  // namespace iv
