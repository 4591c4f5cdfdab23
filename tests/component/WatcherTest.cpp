// The watcher's tick on the toolbar window in this process, with the real mouse pointer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "shell/DesktopFolders.h"
#include "desktop/DesktopKeeper.h"
#include "desktop/UpkeepRules.h"
#include "layouts/IconPositions.h"
#include "shell/Screen.h"
#include "app/frmMain.h"
#include "settings/Settings.h"
#include "tests/component/FreshDesktop.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"
#include "tests/support/StandInLog.h"

namespace iv {
namespace {

using namespace testing_support;

// Adds an item to the list view as the shell does for a new file; returns its index.
int InsertItem(HWND listView, int index, const wchar_t* name) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(name);
    return ListView_InsertItem(listView, &item);
}

// Adds a file to the user's Desktop folder and takes it away again.
void TouchDesktopFile(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, folder), S_OK);
    const std::wstring file = std::wstring(folder) + L"\\" + name;
    CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DeleteFileW(file.c_str());
}

class WatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = FreshDesktop();
        ASSERT_TRUE(desktop_);
        SetCursorPos(Width() / 2, Height() / 2);
    }
    void TearDown() override {
        form_.reset();
        DeleteKeyTree(kSettingsKey);
    }

    void Load(int16_t corner) {
        WriteString(kSettingsKey, L"Tool Position", std::to_wstring(corner));
        form_ = LoadToolbarWindow();
        ASSERT_TRUE(form_);
    }

    static int Width() { return GetSystemMetrics(SM_CXSCREEN); }
    static int Height() { return GetSystemMetrics(SM_CYSCREEN); }

    RECT WindowRect() const {
        RECT r = {};
        GetWindowRect(form_->Hwnd(), &r);
        return r;
    }
    bool Shown(int16_t corner) const {
        const RECT r = WindowRect();
        return corner < 2 ? r.left == 0 : r.right == Width();
    }
    bool Tucked(int16_t corner) const {
        const RECT r = WindowRect();
        return corner < 2 ? r.right > 0 && r.right <= 4 : r.left < Width() && r.left >= Width() - 4;
    }

    std::unique_ptr<standin::Desktop> desktop_;
    std::unique_ptr<frmMain> form_;
};

TEST_F(WatcherTest, InEveryCornerTheToolbarSlidesOutUnderTheMouseAndTucksAway) {
    for (int16_t corner = 0; corner < 4; ++corner) {
        Load(corner);
        PumpMessages(50);
        ASSERT_TRUE(Tucked(corner)) << corner;
        const RECT r = WindowRect();
        // Onto the strip that stays on screen.
        // Tucked, nothing of the toolbar's runs until the mouse comes.
        EXPECT_FALSE(form_->Timer1Running()) << corner;
        SetCursorPos(corner < 2 ? 1 : Width() - 2, (r.top + r.bottom) / 2);
        EXPECT_TRUE(WaitUntil([&] { return Shown(corner); }, 3000)) << corner;
        // Moving over the whole toolbar keeps it out.
        SetCursorPos(corner < 2 ? 20 : Width() - 20, (r.top + r.bottom) / 2);
        PumpMessages(50);
        EXPECT_TRUE(Shown(corner)) << corner;
        EXPECT_TRUE(form_->Timer1Running()) << corner;
        SetCursorPos(Width() / 2, Height() / 2);
        EXPECT_TRUE(WaitUntil([&] { return Tucked(corner); }, 3000)) << corner;
        EXPECT_TRUE(WaitUntil([&] { return !form_->Timer1Running(); }, 3000)) << corner;
        form_.reset();
    }
}

TEST_F(WatcherTest, TheRightAndBottomEdgePixelsAreOutside) {
    // The window's left edge after a look with the mouse at (x, y).
    const auto leftAfterLookAt = [&](int x, int y) {
        SetCursorPos(x, y);
        form_->FollowMouse();
        return WindowRect().left;
    };
    Load(0);
    const RECT tucked = WindowRect();
    ASSERT_EQ(leftAfterLookAt(tucked.right - 1, tucked.bottom - 1), 0);
    EXPECT_EQ(leftAfterLookAt(WindowRect().right, 10), tucked.left);

    ASSERT_EQ(leftAfterLookAt(1, tucked.bottom - 1), 0);
    EXPECT_EQ(leftAfterLookAt(1, tucked.bottom), tucked.left);
}

TEST_F(WatcherTest, AChangeToTheTrayHidesTheToolbarAtTheNextLook) {
    Load(2);
    ASSERT_TRUE(IsWindowVisible(form_->Hwnd()));
    form_->Settings().TaskTray = 1;
    form_->FollowMouse();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    // The hit test keeps using the last rectangle; the window stays hidden.
    SetCursorPos(Width() - 2, 50);
    form_->FollowMouse();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    SetCursorPos(Width() / 2, Height() / 2);
    form_->Settings().TaskTray = 0;
    form_->FollowMouse();
    EXPECT_TRUE(IsWindowVisible(form_->Hwnd()));
    EXPECT_TRUE(Tucked(2));
}

TEST_F(WatcherTest, TheFirstCountRepaintsTheDesktopOnceAndIdleLooksNever) {
    // Only the timers run, so that a repaint asked for stays to be seen.
    const auto timers = [](DWORD ms, auto until) {
        const ULONGLONG end = GetTickCount64() + ms;
        while (!until() && GetTickCount64() < end) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(5);
        }
        return until();
    };
    Load(0);
    // The upkeep runs only from the message loop; nothing has run yet.
    ValidateRect(desktop_->ListView(), nullptr);
    desktop_->ClearLog();
    ASSERT_TRUE(timers(1000, [&] { return form_->Keeper().Watcher().LastItemCount() > 0; }));
    RECT r = {};
    EXPECT_TRUE(GetUpdateRect(desktop_->ListView(), &r, FALSE));
    // Settled, the desktop is looked at only by the slow check, and idle looks never repaint.
    ASSERT_TRUE(timers(3000, [&] { return !form_->Keeper().IsSettling(); }));
    timers(50, [] { return false; });
    ValidateRect(desktop_->ListView(), nullptr);
    EXPECT_GE(form_->UpkeepArmedFor(), GetTickCount64() + kSlowCheckMs / 2);
    timers(1500, [] { return false; });
    EXPECT_FALSE(GetUpdateRect(desktop_->ListView(), &r, FALSE));
    // Idle looks ask nothing of the desktop beyond reading it.
    EXPECT_TRUE(ProgramMessages(desktop_->Log()).empty());
}

TEST_F(WatcherTest, ExitStopsTheTicks) {
    Load(0);
    PumpMessages(30);
    form_->Unload();
    ValidateRect(desktop_->ListView(), nullptr);
    desktop_->ClearLog();
    const int32_t counted = form_->Keeper().Watcher().LastItemCount();
    ASSERT_EQ(InsertItem(desktop_->ListView(), 2, L"New file"), 2);
    PumpMessages(100);
    EXPECT_EQ(form_->Keeper().Watcher().LastItemCount(), counted);
}

// The desktop's upkeep on its own, on a clock the test gives it.
class KeeperTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = FreshDesktop();
        ASSERT_TRUE(desktop_);
        settings_.CurrentViewMode = kLargeIconsMode;
    }
    void TearDown() override { DeleteKeyTree(kSettingsKey); }
    // Runs each duty when it comes due, as the program's one-shot timer does, for `ms`.
    void Ticks(ULONGLONG ms) {
        const ULONGLONG end = now_ + ms;
        int runs = 0;
        for (ULONGLONG due = keeper_.NextDue(now_); due <= end; due = keeper_.NextDue(now_)) {
            ASSERT_LT(++runs, 10000) << "a duty stays due";
            now_ = std::max(now_, due);
            keeper_.Tick(now_);
        }
        now_ = end;
    }
    void StartAndSettle() {
        keeper_.FindDesktop();
        keeper_.Start(nullptr, 0);
        Ticks(1500);
        ASSERT_FALSE(keeper_.IsSettling());
    }
    // The program's switch: the setting first, then the desktop.
    void ShowView(int16_t mode) { keeper_.ShowViewMode(mode, std::exchange(settings_.CurrentViewMode, mode)); }
    POINT Position(int index) const {
        POINT p = {};
        ListView_GetItemPosition(desktop_->ListView(), index, &p);
        return p;
    }

    std::unique_ptr<standin::Desktop> desktop_;
    SharedSettings settings_;
    ShellSession session_;
    NoViewModeHost host_;
    DesktopKeeper keeper_{settings_, session_, host_};
    ULONGLONG now_ = GetTickCount64();
    const std::wstring key_ = CurrentLayoutKey(session_);
};

TEST_F(KeeperTest, AutomaticSavesKeepALargeIconLayout) {
    settings_.ScreenFollow = 1;
    settings_.CalmSaveSeconds = 1;
    ShowView(kSmallIconsMode);  // as the load does
    StartAndSettle();
    keeper_.StartFollowingScreen();
    EXPECT_TRUE(ValueNames(key_).empty());
    // Nothing saved in small icons, an icon that comes goes to its stored place all the same.
    WritePlace(key_, L"Early", L"600", L"100");
    InsertItem(desktop_->ListView(), 2, L"Early");
    keeper_.OnFolderChanged(now_);
    Ticks(500);
    ShowView(kLargeIconsMode);
    Ticks(100);
    EXPECT_EQ(ValueNames(key_).size(), 6u);
    EXPECT_EQ(ReadString(key_, L"Early.X"), L"600");
    DeleteKeyTree(UndoKey(key_));  // kept by the placement
    // The list view lays the icons out afresh in another view: the arrangement is read as large
    // icons are left, and comes back with them.
    ListView_SetItemPosition(desktop_->ListView(), 1, 400, 300);
    ShowView(kListMode);
    ShowView(kLargeIconsMode);
    Ticks(100);
    EXPECT_EQ(Position(1).x, 400);
    EXPECT_TRUE(ValueNames(UndoKey(key_)).empty()) << "a put-back keeps no undo record";
    ListView_SetItemPosition(desktop_->ListView(), 1, 450, 300);
    // Data's place not told at one calm save does not make Data an icon that came.
    desktop_->RefusePositions({1});
    Ticks(1500);
    desktop_->RefusePositions({});
    ShowView(kLargeIconsMode);  // the same view again, as Apply does
    Ticks(1000);
    EXPECT_EQ(Position(1).x, 450);
    // A put-back dropped out of an icon view keeps what it holds for the next one.
    ListView_SetItemPosition(desktop_->ListView(), 1, 470, 300);
    ShowView(kSmallIconsMode);
    desktop_->RefusePositions({0});
    Ticks(100);
    ShowView(kListMode);
    Ticks(3000);
    desktop_->RefusePositions({});
    ShowView(kLargeIconsMode);
    Ticks(100);
    EXPECT_EQ(Position(1).x, 470);
    // An icon that came in list view goes to its stored place after the put-back, and a switch
    // while it waits for it puts the others back too.
    WritePlace(key_, L"New", L"300", L"200");
    ShowView(kListMode);
    InsertItem(desktop_->ListView(), 2, L"New");
    keeper_.OnFolderChanged(now_);
    Ticks(100);
    ShowView(kLargeIconsMode);
    Ticks(100);
    ShowView(kLargeIconsMode);
    Ticks(1000);
    EXPECT_EQ(Position(1).x, 470);
    EXPECT_EQ(Position(2).x, 300);
    // An icon that came while a person's save or restore ran is theirs where they put it.
    WritePlace(key_, L"Late", L"500", L"200");
    InsertItem(desktop_->ListView(), 4, L"Late");
    keeper_.OnFolderChanged(now_);
    Ticks(100);
    keeper_.PositionsAsked(true);
    ListView_SetItemPosition(desktop_->ListView(), 4, 150, 300);
    Ticks(3500);
    EXPECT_EQ(ReadString(key_, L"Late.X"), L"150");
}

TEST_F(KeeperTest, ASettledChangeOfTheScreenIsTakenWithTheOptionOff) {
    StartAndSettle();
    session_.Screen().Notice({{{{0, 0, 1, 1}, {0, 0, 1, 1}, true}}, 96}, now_);
    // The program's message about the screen: the size seen again is a change, settling from now.
    keeper_.OnScreenMayHaveChanged(now_);
    Ticks(300);
    EXPECT_EQ(SaveIconPositions(session_), SaveResult::NotSaved);
    Ticks(kScreenSettleMs + 300);
    EXPECT_EQ(SaveIconPositions(session_), SaveResult::Saved);
}

// With the restore at start on, an item that comes while the desktop still fills goes to its
// stored place; an icon the user moved meanwhile stays where the user put it.
TEST_F(KeeperTest, ItemsThatComeLaterGoToTheirStoredPlaces) {
    settings_.StyleFlags[kRestoreAtStartFlag] = 1;
    WritePlace(key_, L"New", L"300", L"200");
    WritePlace(key_, L"Readme", L"10", L"10");
    // A shell too busy to tell Readme's place at first: the restore is tried again for a while,
    // and the desktop's fill counts from the try that put the layout back.
    desktop_->RefusePositions({0});
    StartAndSettle();
    Ticks(12000);
    desktop_->RefusePositions({});
    for (int i = 0; i < 300 && keeper_.Phase() != DesktopPhase::Owned; ++i) Ticks(100);
    ListView_SetItemPosition(desktop_->ListView(), 0, 150, 150);
    ASSERT_EQ(InsertItem(desktop_->ListView(), 2, L"New"), 2);
    Ticks(2000);
    EXPECT_EQ(Position(2).x, 300);
    EXPECT_EQ(Position(0).x, 150);
    // An icon view with nothing read to put back (a start in list or details) brings the stored layout.
    ShowView(kListMode);
    ShowView(kLargeIconsMode);
    Ticks(100);
    EXPECT_EQ(Position(2).x, 300);
    // Once the desktop has filled, an icon that comes stays where it is moved: the exit save keeps
    // it there, and following the screen from then on leaves it.
    settings_.StyleFlags[kSaveAtExitFlag] = 1;
    WritePlace(key_, L"Late", L"500", L"200");
    // An icon whose place the shell never tells is not placed: the placement ends with the fill.
    WritePlace(key_, L"Stuck", L"500", L"300");
    InsertItem(desktop_->ListView(), 3, L"Stuck");
    desktop_->RefusePositions({3});
    keeper_.OnFolderChanged(now_);
    // The fill over, the end comes before the placement's next try: the exit save keeps the rest.
    Ticks(12000);
    ListView_SetItemPosition(desktop_->ListView(), 0, 160, 150);
    keeper_.SaveAtExit(now_);
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"160");
    Ticks(4000);
    desktop_->RefusePositions({});
    // Given up on, it is the user's where it is moved.
    ListView_SetItemPosition(desktop_->ListView(), 3, 200, 300);
    keeper_.SaveAtExit(now_);
    EXPECT_EQ(ReadString(key_, L"Stuck.X"), L"200");
    InsertItem(desktop_->ListView(), 3, L"Late");
    ListView_SetItemPosition(desktop_->ListView(), 3, 150, 300);
    keeper_.OnFolderChanged(now_);
    Ticks(100);
    keeper_.SaveAtExit(now_);
    EXPECT_EQ(ReadString(key_, L"Late.X"), L"150");
    settings_.ScreenFollow = 1;
    ShowView(kLargeIconsMode);  // Apply in the settings
    Ticks(2000);
    EXPECT_EQ(Position(3).x, 150);
    // An installer replaces its shortcut: the entry taken off and made again between two counts
    // comes back at the shell's next free place, and goes to its stored one.
    TouchDesktopFile(L"Late");
    ListView_DeleteItem(desktop_->ListView(), 3);
    InsertItem(desktop_->ListView(), 3, L"Late");
    ASSERT_NE(Position(3).x, 150);
    EXPECT_TRUE(WaitUntil(
        [&] {
            keeper_.OnFolderChanged(now_);
            Ticks(500);
            return Position(3).x == 150;
        },
        5000));
}

// A laptop undocked with its own panel primary: the primary's size is the same, yet the layout
// squeezed onto one monitor is another screen's, and the docked one stays for the dock's return.
TEST_F(KeeperTest, AChangedScreenKeepsEveryStoredLayout) {
    settings_.ScreenFollow = 1;
    settings_.CalmSaveSeconds = 1;
    const Monitor panel = {{0, 0, 1024, 768}, {0, 0, 1024, 728}, true};
    const ScreenShape docked = {{panel, {{1024, 0, 2304, 1024}, {1024, 0, 2304, 1024}, false}}, 96};
    const ScreenShape undocked = {{panel}, 96};
    ScreenShape now = docked;
    session_.SetScreenSource([&] { return now; });
    const auto settle = [&](const ScreenShape& to) {
        now = to;
        keeper_.OnScreenMayHaveChanged(now_);
        Ticks(kScreenSettleMs + 2000);
    };
    StartAndSettle();
    ASSERT_EQ(ReadString(LayoutKey(docked), L"Data.X"), L"90");
    ShowView(kLargeIconsMode);  // Apply in the settings
    ListView_SetItemPosition(desktop_->ListView(), 1, 500, 300);
    settle(undocked);
    EXPECT_EQ(ReadString(LayoutKey(undocked), L"Data.X"), L"500");
    // Docked again in list view: large icons bring the dock's layout back, not the undocked one.
    ShowView(kListMode);
    settle(docked);
    ShowView(kLargeIconsMode);
    Ticks(2000);
    EXPECT_EQ(ReadString(LayoutKey(docked), L"Data.X"), L"90");
    // A taskbar grown over an icon, a view switch, an icon that comes, the taskbar back: the icons'
    // places stay stored.
    ListView_SetItemPosition(desktop_->ListView(), 1, 300, 600);
    WritePlace(LayoutKey(docked), L"Notes", L"400", L"650");
    Ticks(1500);
    for (const LONG taskbar : {300, 0}) {
        ScreenShape shrunk = docked;
        shrunk.monitors[0].work.bottom -= taskbar;
        ShowView(kSmallIconsMode);  // the screen's layout comes back in small icons
        settle(shrunk);
        ShowView(kListMode);
        ShowView(kLargeIconsMode);
        if (taskbar) InsertItem(desktop_->ListView(), 2, L"Notes");
        Ticks(2500);
        EXPECT_EQ(ReadString(LayoutKey(docked), L"Data.Y"), L"600") << "a taskbar of " << taskbar;
        EXPECT_EQ(ReadString(LayoutKey(docked), L"Notes.Y"), L"650") << "a taskbar of " << taskbar;
    }
}

// A restore at start that came back partial is tried again only while the option that asked for
// it is on: turned off meanwhile, the retry is dropped and the undo record stays as it was, though
// another option that restores is on. A moved taskbar meanwhile leaves the restore due: the half-
// restored desktop is not the user's, and the exit save writes nothing of it. Every try adds to
// the first one's undo record.
TEST_F(KeeperTest, ARetryRunsOnlyWhileItsOptionIsStillOn) {
    desktop_.reset();
    // Readme's place is never told: every restore comes back partial.
    desktop_ = standin::Desktop::Create({.items = {{L"Readme", 10, 10}, {L"Data", 90, 10}}, .failPos = {0}});
    settings_.StyleFlags[kRestoreAtStartFlag] = 1;
    WritePlace(key_, L"Readme", L"200", L"200");
    WritePlace(key_, L"Data", L"300", L"200");
    settings_.StyleFlags[kSaveAtExitFlag] = 1;
    StartAndSettle();
    ASSERT_EQ(keeper_.Phase(), DesktopPhase::Restoring);
    ASSERT_EQ(Position(1).x, 300);
    ScreenShape screen = session_.CurrentScreen();
    screen.monitors[0].work.bottom -= 40;
    session_.SetScreenSource([&] { return screen; });
    keeper_.OnScreenMayHaveChanged(now_);
    Ticks(kScreenSettleMs + 500);
    EXPECT_EQ(keeper_.Phase(), DesktopPhase::Restoring);
    ListView_SetItemPosition(desktop_->ListView(), 1, 150, 10);  // back on the shell's grid
    Ticks(4500);
    ASSERT_EQ(Position(1).x, 300);
    EXPECT_EQ(ReadString(UndoKey(key_), L"Data.X"), L"90") << "a retry replaced the first try's undo record";
    ListView_SetItemPosition(desktop_->ListView(), 1, 90, 10);
    keeper_.SaveAtExit(now_);
    EXPECT_EQ(ReadString(key_, L"Data.X"), L"300");
    WriteString(UndoKey(key_), L"Kept.X", L"1");
    settings_.ScreenFollow = 1;
    settings_.StyleFlags[kRestoreAtStartFlag] = 0;
    Ticks(3000);
    EXPECT_EQ(keeper_.Phase(), DesktopPhase::Foreign);
    EXPECT_EQ(Position(1).x, 90);
    EXPECT_EQ(ReadString(UndoKey(key_), L"Kept.X"), L"1");
    keeper_.PositionsAsked(false);
    EXPECT_EQ(keeper_.Phase(), DesktopPhase::Foreign);
    // Back in an icon view, the followed screen's layout is due again.
    ShowView(kListMode);
    ShowView(kLargeIconsMode);
    Ticks(100);
    EXPECT_EQ(Position(1).x, 300);
    keeper_.PositionsAsked(true);  // a person's save or restore makes the arrangement theirs
    EXPECT_EQ(keeper_.Phase(), DesktopPhase::Owned);
}

// A restarted shell builds its desktop again, item by item: an icon not there yet keeps its stored
// place, even from a save before a look has seen the desktop is new, and goes there when it comes.
TEST_F(KeeperTest, ADesktopBuiltAgainSlowlyLosesNoStoredPlace) {
    settings_.ScreenFollow = 1;
    StartAndSettle();
    ListView_SetItemPosition(desktop_->ListView(), 1, 300, 200);
    ASSERT_EQ(SaveIconPositions(session_), SaveResult::Saved);
    desktop_.reset();
    desktop_ = standin::Desktop::Create({.items = {{L"Readme", 10, 10}}});
    settings_.StyleFlags[kSaveAtExitFlag] = 1;
    keeper_.SaveAtExit(now_);  // before any look has seen that the desktop is new
    EXPECT_EQ(ReadString(key_, L"Data.X"), L"300");
    keeper_.OnDesktopEvent(DesktopEvent::Gone, now_);
    Ticks(3000);
    EXPECT_EQ(ReadString(key_, L"Data.X"), L"300");
    ASSERT_EQ(InsertItem(desktop_->ListView(), 1, L"Data"), 1);
    Ticks(3000);
    EXPECT_EQ(Position(1).x, 300);
}

// Idle, only the slow check is due, and only while it can matter; an event brings a look forward.
TEST_F(KeeperTest, IdleNothingButTheSlowCheckIsDue) {
    settings_.StyleFlags[kTextColorFlag] = 1;
    StartAndSettle();
    EXPECT_GT(keeper_.NextDue(now_), now_ + kEagerCountCheckMs);
    EXPECT_LE(keeper_.NextDue(now_), now_ + kSlowCheckMs);
    // A list view that tells of its items is counted on its events alone.
    keeper_.OnDesktopEvent(DesktopEvent::Items, now_);
    EXPECT_LE(keeper_.NextDue(now_), now_ + kEagerCountCheckMs);
    Ticks(100);
    settings_.StyleFlags[kTextColorFlag] = 0;
    EXPECT_EQ(keeper_.NextDue(now_), kNeverDue);
    keeper_.OnFolderChanged(now_);
    EXPECT_LE(keeper_.NextDue(now_), now_);
}

// A shell that does not answer the count is not taken for a settled desktop; on a settled one that
// counts on its events, an unanswered look is looked at again.
TEST(KeeperOnABusyShell, OnlyAnsweredCountsSettleTheDesktop) {
    for (const int hangAfterMs : {0, 2000}) {
        StandInThread shell({.items = {{L"Readme", 10, 10}}, .hangAfterMs = hangAfterMs});
        ASSERT_TRUE(shell.Desktop());
        Sleep(200);
        SharedSettings settings;
        ShellSession session;
        NoViewModeHost host;
        DesktopKeeper keeper(settings, session, host);
        keeper.FindDesktop();
        keeper.Start(nullptr, 0);
        ULONGLONG now = GetTickCount64();
        for (int i = 0; i < 15; ++i) keeper.Tick(now += 100);
        EXPECT_EQ(keeper.IsSettling(), hangAfterMs == 0);
        if (hangAfterMs > 0) {
            Sleep(2000);  // the shell has stopped answering
            keeper.OnDesktopEvent(DesktopEvent::Items, now);
            keeper.Tick(now += 100);
            EXPECT_NE(keeper.NextDue(now), kNeverDue);
        }
        shell.Desktop()->EndHang();
        for (int i = 0; i < 15; ++i) keeper.Tick(now += 100);
        EXPECT_FALSE(keeper.IsSettling());
    }
}

// Thousands of files unpacked onto the desktop leave one notification waiting, not thousands
// that would crowd out the window's other posts.
TEST(DesktopFolderWatchTest, AFloodOfChangesLeavesOneNotificationWaiting) {
    ScopedWindow target(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    DesktopFolderWatch watch(target.Get(), WM_APP + 7);
    const auto flood = [&] {
        for (int i = 0; i < 30; ++i) TouchDesktopFile(L"flood" + std::to_wstring(i) + L".txt");
        Sleep(300);
        MSG msg;
        int posted = 0;
        while (PeekMessageW(&msg, target.Get(), WM_APP + 7, WM_APP + 7, PM_REMOVE)) ++posted;
        return posted;
    };
    EXPECT_EQ(flood(), 1);
    EXPECT_EQ(flood(), 0) << "posted again before the last one was acknowledged";
    watch.Acknowledge();
    EXPECT_EQ(flood(), 1);
}

// A quick read is proved only by folders quiet for a while before it: a file that comes during a span
// is told, the next span starts quiet again, nothing is known of what came before the watch began,
// and a change told before a span keeps the next read careful.
TEST(DesktopFolderWatchTest, AChangeDuringASpanIsToldAndTheNextSpanStartsQuiet) {
    constexpr ULONGLONG calm = DesktopFolderChanges::kCalmMs;
    DesktopFolderChanges changes;
    changes.Begin(1000);
    EXPECT_FALSE(changes.CalmFor(1)) << "a first read is quick";
    Sleep(100);
    EXPECT_TRUE(changes.Quiet());
    TouchDesktopFile(L"span.txt");
    EXPECT_TRUE(WaitUntil([&] { return !changes.Quiet(); }, 2000)) << "the change was not told";
    Sleep(100);
    changes.Begin(5000);
    EXPECT_FALSE(changes.CalmFor(calm)) << "the change before the span was thrown away";
    Sleep(100);
    EXPECT_TRUE(changes.Quiet()) << "the span before still counts";
    changes.Begin(5000 + calm);
    EXPECT_TRUE(changes.CalmFor(calm));
}

}  // namespace
}  // namespace iv
