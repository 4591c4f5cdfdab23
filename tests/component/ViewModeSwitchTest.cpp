// Switching the view mode against the stand-in desktop in this process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <set>

#include "base/ScopedWin.h"
#include "desktop/DesktopKeeper.h"
#include "shell/DesktopWindows.h"
#include "shell/ViewModes.h"
#include "tests/component/FreshDesktop.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"
#include "tests/support/StandInLog.h"

namespace iv {
namespace {

using namespace testing_support;
using Lines = std::vector<std::wstring>;

class ViewModeSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = standin::Desktop::Create({.items = {{L"Readme", 10, 10}, {L"メモ帳", 90, 10}, {L"Data", 10, 90}}});
        ASSERT_TRUE(desktop_);
        PumpMessages(50);
        desktop_->ClearLog();
    }

    Lines Switch(int16_t mode, int16_t previous, ShellSession* session = nullptr) {
        desktop_->ClearLog();
        SetDesktopViewMode(session ? *session : session_, windows_, commands_, mode, previous);
        PumpMessages(20);
        return ProgramMessages(desktop_->Log());
    }

    DWORD ListViewType() const { return GetWindowLongW(desktop_->ListView(), GWL_STYLE) & LVS_TYPEMASK; }

    bool HeaderVisible() const {
        const HWND header = FindWindowExW(desktop_->ListView(), nullptr, WC_HEADERW, nullptr);
        return header && (GetWindowLongW(header, GWL_STYLE) & WS_VISIBLE);
    }

    std::unique_ptr<standin::Desktop> desktop_;
    ShellSession session_;
    DesktopWindowHandles windows_;
    ViewCommands commands_ = ViewCommands::Unknown;
};

TEST_F(ViewModeSwitchTest, FindsTheStandInWindows) {
    const DesktopWindowHandles found = FindDesktopWindows();
    EXPECT_EQ(found.DefView, desktop_->DefView());
    EXPECT_EQ(found.ListView, desktop_->ListView());
}

TEST_F(ViewModeSwitchTest, EachModeOnNt) {
    EXPECT_EQ(Switch(2, 1), (Lines{L"VIEW WM_COMMAND 0x702A", L"LV WM_STYLECHANGED new=0x00004242"}));
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_SMALLICON));
    EXPECT_EQ(Switch(3, 2), (Lines{L"VIEW WM_COMMAND 0x702B", L"LV WM_STYLECHANGED new=0x00004A43"}));
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_LIST));
    EXPECT_EQ(Switch(1, 3), (Lines{L"VIEW WM_COMMAND 0x7029", L"LV WM_STYLECHANGED new=0x00004A40"}));
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_ICON));
}

TEST_F(ViewModeSwitchTest, DetailsSendsTheStyleFirstThenThePreviousModeAndDetails) {
    EXPECT_EQ(Switch(4, 2),
              (Lines{L"LV WM_STYLECHANGED new=0x00000E41", L"VIEW WM_COMMAND 0x702A", L"VIEW WM_COMMAND 0x702C"}));
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_REPORT));
    EXPECT_TRUE(HeaderVisible());
    EXPECT_EQ(Switch(4, 3)[1], L"VIEW WM_COMMAND 0x702B");
    EXPECT_EQ(Switch(4, 4)[1], L"VIEW WM_COMMAND 0x7029");
    // At start-up with "Desktop Icon" = "1" and only details cycling, the mode stepped back from is 0.
    EXPECT_EQ(Switch(4, 0)[1], L"VIEW WM_COMMAND 0x7029");
}

TEST_F(ViewModeSwitchTest, LeavingDetailsHidesTheHeader) {
    Switch(4, 1);
    ASSERT_TRUE(HeaderVisible());
    Switch(1, 4);
    EXPECT_FALSE(HeaderVisible());
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_ICON));
}

TEST_F(ViewModeSwitchTest, OnNinetyFiveAndNinetyEightOnlyTheStyleIsSent) {
    ShellSession ninetyEight({false, true});
    EXPECT_EQ(Switch(1, 4, &ninetyEight), (Lines{L"LV WM_STYLECHANGED new=0x00000A40"}));
    EXPECT_EQ(Switch(2, 1, &ninetyEight), (Lines{L"LV WM_STYLECHANGED new=0x00000242"}));
    EXPECT_EQ(Switch(3, 2, &ninetyEight), (Lines{L"LV WM_STYLECHANGED new=0x00000A43"}));
    EXPECT_EQ(Switch(4, 3, &ninetyEight), (Lines{L"LV WM_STYLECHANGED new=0x00000E41"}));
    // No header is touched on this path.
    for (const auto& line : desktop_->Log()) EXPECT_EQ(line.rfind(L"HDR", 0), std::wstring::npos) << line;
}

// The keeper's switch: scroll following in small icons, nothing else.
TEST_F(ViewModeSwitchTest, SmallIconsArmScrollFollowingAndAnyOtherSwitchStopsIt) {
    SharedSettings settings;
    NoViewModeHost host;
    DesktopKeeper keeper(settings, session_, host);
    keeper.ShowViewMode(2, 1);
    EXPECT_TRUE(keeper.Watcher().ScrollWatch());
    EXPECT_EQ(keeper.Watcher().LastScrollPos(), GetScrollPos(desktop_->ListView(), SB_HORZ));
    keeper.ShowViewMode(3, 2);
    EXPECT_FALSE(keeper.Watcher().ScrollWatch());
    keeper.ShowViewMode(2, 3);
    keeper.ShowViewMode(1, 2);
    EXPECT_FALSE(keeper.Watcher().ScrollWatch());
}

// A header busy in a hung shell: one worker carries the latest style wanted, not one per switch.
TEST(HeaderOfABusyShell, KeepsOneWorkerWithTheLatestStyle) {
    StandInThread shell({.items = {{L"Readme", 10, 10}}, .slow = {{standin::Request::Header, 2000}}});
    ASSERT_TRUE(shell.Desktop());
    SendMessageW(shell.Desktop()->ListView(), LVM_SETVIEW, LV_VIEW_DETAILS, 0);
    ASSERT_TRUE(shell.Desktop()->Header());
    // This process's threads that were not there before (the system's own come and go too).
    const auto threads = [](const std::set<DWORD>& before) {
        ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        THREADENTRY32 entry = {};
        entry.dwSize = sizeof entry;
        std::set<DWORD> ids;
        for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
            if (entry.th32OwnerProcessID == GetCurrentProcessId() && !before.contains(entry.th32ThreadID))
                ids.insert(entry.th32ThreadID);
        }
        return ids;
    };
    ShellSession session;
    const std::set<DWORD> before = threads({});
    for (const bool visible : {true, false, true, false})
        session.SetHeaderVisible(shell.Desktop()->ListView(), visible);
    const std::set<DWORD> workers = threads(before);
    EXPECT_LE(workers.size(), 1u);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const std::set<DWORD> now = threads(before);
            return std::none_of(workers.begin(), workers.end(), [&](DWORD id) { return now.contains(id); });
        },
        8000));
    EXPECT_EQ(GetWindowLongW(shell.Desktop()->Header(), GWL_STYLE) & WS_VISIBLE, 0);
}

TEST(ViewModeSwitchWithoutDesktop, DoesNothingAndClearsTheHandles) {
    ShellSession session;
    DesktopWindowHandles windows = {reinterpret_cast<HWND>(1), reinterpret_cast<HWND>(2)};
    ViewCommands commands = ViewCommands::Unknown;
    SetDesktopViewMode(session, windows, commands, 4, 1);
    EXPECT_EQ(windows.DefView, nullptr);
    EXPECT_EQ(windows.ListView, nullptr);
}

// Current Windows moves the view under a "WorkerW" window while a wallpaper slideshow runs.
TEST(FindDesktopWindows, FindsTheViewUnderAWorkerWindow) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const wchar_t* name : {L"Progman", L"WorkerW", L"SHELLDLL_DefView"}) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.lpszClassName = name;
        if (!GetClassInfoW(instance, name, &wc)) RegisterClassW(&wc);
    }
    // A raised desktop: "Progman" holds no view.
    ScopedWindow progman(CreateWindowExW(0, L"Progman", L"Program Manager", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                         instance, nullptr));
    ScopedWindow empty(
        CreateWindowExW(0, L"WorkerW", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr));
    ScopedWindow worker(
        CreateWindowExW(0, L"WorkerW", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr));
    const HWND view =
        CreateWindowExW(0, L"SHELLDLL_DefView", L"", WS_CHILD, 0, 0, 10, 10, worker.Get(), nullptr, instance, nullptr);
    const HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD, 0, 0, 10, 10, view, nullptr, instance, nullptr);
    const DesktopWindowHandles found = FindDesktopWindows();
    EXPECT_EQ(found.DefView, view);
    EXPECT_EQ(found.ListView, list);
}

}  // namespace
}  // namespace iv
