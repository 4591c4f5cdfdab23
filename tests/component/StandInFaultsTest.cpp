// The stand-in's fault options, as a program in another thread meets them: the desktop pumps on
// its own thread and every request crosses threads, as it crosses processes in end-to-end tests.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <thread>

#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;
using Request = standin::Request;

class StandInFaultsTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (thread_.joinable()) {
            PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
            thread_.join();
        }
    }

    void Start(standin::Options options) {
        options.items = {{L"Readme", 10, 10}, {L"Data", 90, 10}, {L"Notes", 170, 10}};
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, options, ready] {
            desktop_ = standin::Desktop::Create(options);
            threadId_ = GetCurrentThreadId();
            SetEvent(ready);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            desktop_.reset();
        });
        WaitForSingleObject(ready, 10000);
        CloseHandle(ready);
        ASSERT_TRUE(desktop_);
    }

    // What the desktop answers, or -1 when it did not answer within timeoutMs.
    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam, UINT timeoutMs = 2000) const {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(desktop_->ListView(), msg, wParam, lParam, SMTO_NORMAL, timeoutMs, &answer)) return -1;
        return static_cast<LRESULT>(answer);
    }

    std::wstring Text(int index) const {
        wchar_t text[64] = {};
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = text;
        item.cchTextMax = 64;
        return Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) == TRUE ? text : L"(refused)";
    }

    bool Logged(const std::wstring& line) const {
        const std::vector<std::wstring> log = desktop_->Log();
        return std::find(log.begin(), log.end(), line) != log.end();
    }

    std::unique_ptr<standin::Desktop> desktop_;
    std::thread thread_;
    DWORD threadId_ = 0;
};

TEST_F(StandInFaultsTest, ASlowRequestIsCarriedOutAfterTheCallerGaveUp) {
    Start({.slow = {{Request::GetPos, 400, 1, 0}}});
    POINT first = {-1, -1};
    EXPECT_EQ(Send(LVM_GETITEMPOSITION, 0, reinterpret_cast<LPARAM>(&first)), TRUE);
    POINT late = {-1, -1};
    EXPECT_EQ(Send(LVM_GETITEMPOSITION, 1, reinterpret_cast<LPARAM>(&late), 100), -1);
    EXPECT_NE(late.x, 90) << "answered before its time";
    EXPECT_TRUE(WaitUntil([&] { return Logged(L"LV LATE getpos 1 done"); }, 3000));
    EXPECT_EQ(late.x, 90) << "the late answer is written into the block the caller gave up on";
    EXPECT_EQ(desktop_->Log().front(), L"LV SLOW getpos 1 400");
}

// As a shell waiting inside a COM call: a request sent during the wait is answered inside it.
TEST_F(StandInFaultsTest, ASlowRequestThatPumpsAnswersALaterRequestFirst) {
    Start({.slow = {{Request::GetPos, 600, 1, 0, true}}});
    POINT late = {-1, -1};
    EXPECT_EQ(Send(LVM_GETITEMPOSITION, 1, reinterpret_cast<LPARAM>(&late), 100), -1);
    EXPECT_EQ(Send(LVM_GETITEMCOUNT, 0, 0, 300), 3) << "not answered inside the wait";
    EXPECT_TRUE(WaitUntil([&] { return Logged(L"LV LATE getpos 1 done"); }, 3000));
    EXPECT_EQ(late.x, 90);
    EXPECT_EQ(desktop_->Log(),
              (std::vector<std::wstring>{L"LV SLOW getpos 1 600 pump", L"LV PUMP getpos 1", L"LV LATE getpos 1 done"}));
}

TEST_F(StandInFaultsTest, ChosenItemsAreRefusedAndAnInsertShiftsTheNextRead) {
    Start({.failPos = {2}, .changes = {{1, true, {L"New", 0, 0}, false, 0}}});
    EXPECT_EQ(Text(0), L"Readme");
    EXPECT_EQ(Send(LVM_GETITEMCOUNT, 0, 0), 4) << "inserted right after the first text request";
    EXPECT_EQ(Text(1), L"Readme");
    POINT point = {-1, -1};
    EXPECT_EQ(Send(LVM_GETITEMPOSITION, 2, reinterpret_cast<LPARAM>(&point)), FALSE);
    EXPECT_EQ(point.x, -1);
    EXPECT_EQ(desktop_->Log(), (std::vector<std::wstring>{L"LV INSERT New at 0", L"LV FAIL getpos 2"}));
}

TEST_F(StandInFaultsTest, ALateAnswerIntoFreedMemoryIsReportedAndTheDesktopGoesOn) {
    Start({.slow = {{Request::GetPos, 300, -1, 0}}, .reportFaults = true});
    void* block = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    EXPECT_EQ(Send(LVM_GETITEMPOSITION, 0, reinterpret_cast<LPARAM>(block), 50), -1);
    VirtualFree(block, 0, MEM_RELEASE);
    EXPECT_TRUE(WaitUntil([&] { return desktop_->Faults() > 0; }, 3000));
    const std::vector<std::wstring> log = desktop_->Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].rfind(L"FAULT access violation at 0x", 0), 0u) << log[1];
    EXPECT_NE(log[1].find(L" writing 0x"), std::wstring::npos) << log[1];
    EXPECT_EQ(Send(LVM_GETITEMCOUNT, 0, 0), 3);
}

// The record's pszText points at the stand-in's copy of the name; the caller's buffer is left.
TEST_F(StandInFaultsTest, ARedirectedTextPointsTheRecordAtTheStandInsOwnName) {
    Start({.redirectText = {1}});
    wchar_t mine[64] = L"untouched";
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = 1;
    item.pszText = mine;
    item.cchTextMax = 64;
    EXPECT_EQ(Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)), TRUE);
    EXPECT_STREQ(mine, L"untouched");
    ASSERT_NE(item.pszText, mine);
    EXPECT_STREQ(item.pszText, L"Data");
    EXPECT_EQ(Text(0), L"Readme") << "only the chosen items";
    EXPECT_EQ(desktop_->Log(), (std::vector<std::wstring>{L"LV REDIRECT 1 Data"}));
}

TEST_F(StandInFaultsTest, TheNotificationAreaRefusesTheFirstAdd) {
    Start({.trayRefusals = 1});
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = desktop_->TrayWindow();
    icon.uID = 5;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &icon));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &icon));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    EXPECT_EQ(desktop_->Log(), (std::vector<std::wstring>{L"TRAY MODIFY refused", L"TRAY ADD refused", L"TRAY ADD ok",
                                                          L"TRAY MODIFY ok", L"TRAY DELETE"}));
}

TEST_F(StandInFaultsTest, ARaisedDesktopWithLaterCommandsSwitchesByLvmSetview) {
    Start({.tree = standin::Options::Tree::Raised, .commands = standin::Options::Commands::Later});
    EXPECT_EQ(FindWindowExW(desktop_->Progman(), nullptr, L"SHELLDLL_DefView", nullptr), nullptr);
    const HWND empty = FindWindowExW(nullptr, nullptr, L"WorkerW", nullptr);
    EXPECT_EQ(FindWindowExW(empty, nullptr, L"SHELLDLL_DefView", nullptr), nullptr);
    const HWND worker = FindWindowExW(nullptr, empty, L"WorkerW", nullptr);
    EXPECT_EQ(FindWindowExW(worker, nullptr, L"SHELLDLL_DefView", nullptr), desktop_->DefView());
    EXPECT_EQ(GetShellWindow(), desktop_->Progman());

    const LONG_PTR style = GetWindowLongPtrW(desktop_->ListView(), GWL_STYLE);
    SendMessageW(desktop_->DefView(), WM_COMMAND, 0x702A, 0);
    EXPECT_EQ(Send(LVM_GETVIEW, 0, 0), LV_VIEW_ICON) << "the classic command is not answered";
    SendMessageW(desktop_->DefView(), WM_COMMAND, 0x7050, 0);
    EXPECT_EQ(Send(LVM_GETVIEW, 0, 0), LV_VIEW_SMALLICON);
    EXPECT_EQ(GetWindowLongPtrW(desktop_->ListView(), GWL_STYLE), style);
}

TEST_F(StandInFaultsTest, ARestartBuildsANewDesktopWithDefaults) {
    Start({});
    const HWND oldList = desktop_->ListView();
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES);
    Send(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE));
    SendMessageW(desktop_->Progman(), standin::kRestartMessage, 0, 0);
    EXPECT_TRUE(Logged(L"RESTART"));
    const HWND newList = desktop_->ListView();
    EXPECT_NE(newList, oldList);
    EXPECT_FALSE(IsWindow(oldList));
    EXPECT_EQ(GetShellWindow(), desktop_->Progman());
    EXPECT_EQ(Send(LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), 0);
    EXPECT_NE(static_cast<COLORREF>(Send(LVM_GETTEXTBKCOLOR, 0, 0)), CLR_NONE);
    POINT point = {};
    Send(LVM_GETITEMPOSITION, 2, reinterpret_cast<LPARAM>(&point));
    EXPECT_NE(point.x, 170) << "the new desktop lost the old layout";
}

// A desktop that fills over time, from the start and again after a restart.
TEST_F(StandInFaultsTest, AFillingDesktopGetsItsItemsOneByOne) {
    Start({.fillMs = 900});
    std::vector<LRESULT> counts;
    EXPECT_TRUE(WaitUntil(
        [&] {
            counts.push_back(Send(LVM_GETITEMCOUNT, 0, 0));
            return Logged(L"LV FILLED 3");
        },
        5000));
    EXPECT_LT(counts.front(), 3);
    EXPECT_TRUE(std::any_of(counts.begin(), counts.end(), [](LRESULT count) { return count == 1 || count == 2; }))
        << "all at once";
    POINT point = {};
    EXPECT_EQ(Send(LVM_GETITEMPOSITION, 2, reinterpret_cast<LPARAM>(&point)), TRUE);
    EXPECT_EQ(point.x, 170) << "in its own place";
    EXPECT_EQ(Text(2), L"Notes");

    desktop_->ClearLog();
    SendMessageW(desktop_->Progman(), standin::kRestartMessage, 0, 0);
    EXPECT_LT(Send(LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_TRUE(WaitUntil([&] { return Logged(L"LV FILLED 3"); }, 5000));
    EXPECT_EQ(Send(LVM_GETITEMCOUNT, 0, 0), 3);
}

// After a change of the screen size, an icon left outside comes in over steps, not at once.
TEST_F(StandInFaultsTest, ASqueezeOverTimePullsAnIconInInSteps) {
    Start({.squeezeMs = 600});
    RECT client = {};
    GetClientRect(desktop_->ListView(), &client);
    const LONG outside = client.right + 200;
    Send(LVM_SETITEMPOSITION, 2, MAKELPARAM(outside, 10));
    const auto x = [&] {
        POINT point = {};
        Send(LVM_GETITEMPOSITION, 2, reinterpret_cast<LPARAM>(&point));
        return point.x;
    };
    SendMessageW(desktop_->Progman(), WM_DISPLAYCHANGE, 32, MAKELPARAM(client.right, client.bottom));
    EXPECT_EQ(x(), outside) << "pulled in at once";
    std::vector<LONG> seen;
    EXPECT_TRUE(WaitUntil(
        [&] {
            seen.push_back(x());
            return Logged(L"LV SQUEEZED 1");
        },
        5000));
    RECT icon = {LVIR_ICON, 0, 0, 0};
    Send(LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&icon));
    GetClientRect(desktop_->ListView(), &client);
    EXPECT_EQ(icon.right, client.right);
    const LONG in = x();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](LONG step) { return step < outside && step > in; }))
        << "no step between " << outside << " and " << in;
}

}  // namespace
}  // namespace iv
