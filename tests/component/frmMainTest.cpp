// The toolbar window created in this process over the stand-in desktop, driven by messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <thread>

#include "app/Instance.h"
#include "app/ToolbarRules.h"
#include "app/frmMain.h"
#include "settings/Settings.h"
#include "tests/component/FreshDesktop.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"
#include "tests/support/StandInLog.h"

namespace iv {
namespace {

using namespace testing_support;

class frmMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = FreshDesktop();
        ASSERT_TRUE(desktop_);
        ListView_SetTextBkColor(desktop_->ListView(), RGB(0, 128, 128));
    }
    void TearDown() override {
        form_.reset();
        DeleteKeyTree(kSettingsKey);
    }

    void Load() {
        form_ = LoadToolbarWindow();
        ASSERT_TRUE(form_);
        PumpMessages(30);
    }

    // Clicks a toolbar button the way the mouse does: down and up inside its rectangle.
    void Click(int index) {
        const HWND bar = form_->Toolbar();
        const auto position = SendMessageW(bar, TB_COMMANDTOINDEX, static_cast<WPARAM>(index), 0);
        RECT r = {};
        ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&r)));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(bar, WM_LBUTTONUP, 0, at);
        PumpMessages(20);
    }

    TBBUTTON Button(int index) const {
        TBBUTTON b = {};
        const auto position = SendMessageW(form_->Toolbar(), TB_COMMANDTOINDEX, static_cast<WPARAM>(index), 0);
        SendMessageW(form_->Toolbar(), TB_GETBUTTON, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&b));
        return b;
    }

    // The tool tip text the toolbar's tool tip control would be given for a button.
    std::wstring ToolTipText(int index) const {
        NMTTDISPINFOW info = {};
        info.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(form_->Toolbar(), TB_GETTOOLTIPS, 0, 0));
        info.hdr.idFrom = static_cast<UINT_PTR>(index);
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(form_->Hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? info.lpszText : info.szText;
    }

    DWORD ListViewType() const { return GetWindowLongW(desktop_->ListView(), GWL_STYLE) & LVS_TYPEMASK; }

    RECT WindowRect() const {
        RECT r = {};
        GetWindowRect(form_->Hwnd(), &r);
        return r;
    }

    std::unique_ptr<standin::Desktop> desktop_;
    std::unique_ptr<frmMain> form_;
};

TEST_F(frmMainTest, ToolbarHoldsTheTabledButtons) {
    Load();
    const HWND bar = form_->Toolbar();
    ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 13);
    for (int i = 1; i <= 13; ++i) {
        const TBBUTTON b = Button(i);
        EXPECT_EQ(b.idCommand, i);
        const bool separator = i == 2 || i == 4 || i == 12;
        EXPECT_EQ((b.fsStyle & BTNS_SEP) != 0, separator) << i;
        EXPECT_EQ((b.fsState & TBSTATE_HIDDEN) != 0, i >= 5 && i <= 10) << i;
    }
    EXPECT_EQ(Button(3).iBitmap, kImageSettings - 1);
    EXPECT_EQ(Button(11).iBitmap, kImageRedraw - 1);
    EXPECT_EQ(Button(13).iBitmap, kImageExit - 1);
    EXPECT_EQ(ImageList_GetImageCount(form_->ImageList1()), 12);
    EXPECT_EQ(ToolTipText(3), L"その他設定");
    EXPECT_EQ(ToolTipText(11), L"再描画");
    EXPECT_EQ(ToolTipText(13), L"終了");

    // Visible buttons from top to bottom, inside the bar.
    RECT client = {};
    GetClientRect(bar, &client);
    int lastBottom = 0;
    for (int i : {1, 3, 11, 13}) {
        RECT r = {};
        SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(i - 1), reinterpret_cast<LPARAM>(&r));
        EXPECT_GE(r.top, lastBottom) << i;
        EXPECT_LE(r.bottom, client.bottom) << i;
        EXPECT_LE(r.right, client.right) << i;
        lastBottom = r.bottom;
    }
}

TEST_F(frmMainTest, WindowIsExactlyTheToolbarAndTuckedTopLeft) {
    Load();
    const double tpp = form_->TwipsPerPixelX();
    RECT client = {};
    GetClientRect(form_->Hwnd(), &client);
    RECT bar = {};
    GetWindowRect(form_->Toolbar(), &bar);
    EXPECT_EQ(client.right, bar.right - bar.left);
    EXPECT_EQ(client.bottom, bar.bottom - bar.top);
    EXPECT_EQ(client.right, TwipsToPixels(360, tpp));
    EXPECT_EQ(client.bottom, TwipsToPixels(1740, form_->TwipsPerPixelY()));
    EXPECT_EQ(GetWindowLongW(form_->Hwnd(), GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_BORDER), 0);
    EXPECT_TRUE(IsWindowVisible(form_->Hwnd()));

    const RECT r = WindowRect();
    EXPECT_EQ(r.left, TwipsToPixels(50 - 360, tpp));
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(form_->Left(), 50 - 360);
    EXPECT_EQ(GetWindowLongW(form_->Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST_F(frmMainTest, EveryCornerTuckedAndShown) {
    const int sw = GetSystemMetrics(SM_CXSCREEN);
    const int sh = GetSystemMetrics(SM_CYSCREEN);
    for (int16_t corner = 0; corner < 4; ++corner) {
        WriteString(kSettingsKey, L"Tool Position", std::to_wstring(corner));
        Load();
        const double tx = form_->TwipsPerPixelX();
        const double ty = form_->TwipsPerPixelY();
        const auto p = PlaceToolbarGeometry(corner, PixelsToTwips(sw, tx), PixelsToTwips(sh, ty), 360, 1740);
        RECT r = WindowRect();
        EXPECT_EQ(r.left, TwipsToPixels(p.tuckedLeft, tx)) << corner;
        EXPECT_EQ(r.top, TwipsToPixels(p.top, ty)) << corner;
        // A thin strip stays on screen at the chosen edge.
        const int onScreen = corner < 2 ? r.right : sw - r.left;
        EXPECT_GE(onScreen, 3) << corner;
        EXPECT_LE(onScreen, 4) << corner;

        form_->PlaceToolbar(true);
        r = WindowRect();
        EXPECT_EQ(r.left, corner < 2 ? 0 : sw - (r.right - r.left)) << corner;
        EXPECT_EQ(r.bottom, corner == 0 || corner == 2 ? r.bottom - r.top : sh) << corner;
        form_.reset();
    }
}

TEST_F(frmMainTest, NoSettingsStartsInLargeIconsOfferingSmallIcons) {
    Load();
    EXPECT_EQ(form_->Settings().CurrentViewMode, 1);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_ICON));
    EXPECT_EQ(Button(1).iBitmap, 1);  // image 2: small icons
    EXPECT_EQ(ToolTipText(1), L"小さいアイコン");
    EXPECT_EQ(form_->Keeper().SavedTextBkColor(), RGB(0, 128, 128));
    for (int16_t f : form_->Settings().ChangeStyleFlags) EXPECT_EQ(f, 1);
    for (int16_t f : form_->Settings().StyleFlags) EXPECT_EQ(f, 0);
    EXPECT_EQ(form_->Settings().ToolPosition, 0);
    EXPECT_EQ(form_->Settings().TaskTray, 0);
    EXPECT_EQ(form_->Settings().ToolTopMost, 0);
}

TEST_F(frmMainTest, ViewButtonCyclesThroughTheModesAndShowsTheNextOne) {
    Load();
    struct Step {
        int16_t mode;
        DWORD type;
        int nextImage;
        const wchar_t* tip;
    };
    const Step steps[] = {{2, LVS_SMALLICON, 3, L"一覧"},
                          {3, LVS_LIST, 4, L"詳細"},
                          {4, LVS_REPORT, 1, L"大きいアイコン"},
                          {1, LVS_ICON, 2, L"小さいアイコン"}};
    for (const Step& s : steps) {
        Click(kViewButton);
        EXPECT_EQ(form_->Settings().CurrentViewMode, s.mode);
        EXPECT_EQ(ListViewType(), s.type) << s.mode;
        EXPECT_EQ(Button(1).iBitmap, s.nextImage - 1) << s.mode;
        EXPECT_EQ(ToolTipText(1), s.tip);
    }
}

TEST_F(frmMainTest, ViewButtonSkipsModesThatDoNotCycle) {
    WriteString(kSettingsKey, L"Change Style", L"1001");
    Load();
    EXPECT_EQ(form_->Settings().CurrentViewMode, 1);
    EXPECT_EQ(ToolTipText(1), L"詳細");
    Click(kViewButton);
    EXPECT_EQ(form_->Settings().CurrentViewMode, 4);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_REPORT));
    EXPECT_EQ(Button(1).iBitmap, 0);
    EXPECT_EQ(ToolTipText(1), L"大きいアイコン");
}

TEST_F(frmMainTest, StartsInTheStoredModeOrTheNextThatCycles) {
    struct Case {
        const wchar_t* desktopIcon;
        const wchar_t* changeStyle;
        int16_t mode;
    };
    const Case cases[] = {{L"3", L"1101", 4}, {L"2", L"1011", 3}, {L"5", L"", 1}, {L"9", L"0110", 2}, {L"0", L"", 1},
                          {L"-2", L"", 1},    {L"x", L"", 1},     {L"4", L"", 4}, {L"1", L"0001", 4}};
    for (const Case& c : cases) {
        WriteString(kSettingsKey, L"Desktop Icon", c.desktopIcon);
        WriteString(kSettingsKey, L"Change Style", c.changeStyle);
        Load();
        EXPECT_EQ(form_->Settings().CurrentViewMode, c.mode) << c.desktopIcon << " " << c.changeStyle;
        form_.reset();
    }
}

TEST_F(frmMainTest, OnlyOneMakesTheWindowTopmost) {
    WriteString(kSettingsKey, L"Tool TopMost", L"2");
    Load();
    EXPECT_EQ(GetWindowLongW(form_->Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    form_.reset();
    WriteString(kSettingsKey, L"Tool TopMost", L"1");
    Load();
    EXPECT_NE(GetWindowLongW(form_->Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(WindowRect().left, TwipsToPixels(50 - 360, form_->TwipsPerPixelX()));
}

TEST_F(frmMainTest, TrayModeHidesTheWindow) {
    WriteString(kSettingsKey, L"Task Tray", L"1");
    Load();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    form_->PlaceToolbar(true);
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    form_->Settings().TaskTray = 0;
    form_->PlaceToolbar(false);
    EXPECT_TRUE(IsWindowVisible(form_->Hwnd()));
}

TEST_F(frmMainTest, ExitButtonWritesTheWholeRecord) {
    WriteString(kSettingsKey, L"Tool Tips", L"01");
    WriteString(kSettingsKey, L"Change Style", L"10");
    WriteString(kSettingsKey, L"Icon Position", L"1");
    WriteString(kSettingsKey, L"Tool Position", L"2");
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    Load();
    EXPECT_EQ(form_->Settings().ScreenFollow, 1);
    Click(kViewButton);
    Click(kExitButton);
    EXPECT_FALSE(form_->IsLoaded());
    EXPECT_EQ(ValueNames(kSettingsKey).size(), 18u);
    const std::pair<const wchar_t*, const wchar_t*> written[] = {
        {L"Desktop Icon", L"3"},  {L"Tool Tips", L"1"}, {L"Change Style", L"1011"}, {L"Icon Position", L"10"},
        {L"Tool Position", L"2"}, {L"Task Tray", L"0"}, {L"Screen Follow", L"1"}};
    for (const auto& [name, text] : written) EXPECT_EQ(ReadString(kSettingsKey, name), text) << name;
}

TEST_F(frmMainTest, StartUpSwitchesTheDesktopOnce) {
    WriteString(kSettingsKey, L"Desktop Icon", L"2");
    desktop_->ClearLog();
    Load();
    // Styles and label background first, then the view mode.
    EXPECT_EQ(ProgramMessages(desktop_->Log()),
              (std::vector<std::wstring>{L"LV LVM_SETEXTENDEDLISTVIEWSTYLE mask=0x00000000 style=0x00000000",
                                         L"LV LVM_SETTEXTBKCOLOR 0x00808000", L"VIEW WM_COMMAND 0x702A",
                                         L"LV WM_STYLECHANGED new=0x00004242"}));
}

TEST_F(frmMainTest, ACopyDataWithoutARecordIsRefused) {
    Load();
    EXPECT_EQ(SendMessageW(form_->Hwnd(), WM_COPYDATA, 0, 0), 0);
    EXPECT_TRUE(form_->IsLoaded());
}

// The stand-in on a thread of its own, its log in a file; waits for a line starting with a text.
class BusyShellTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(kSettingsKey); }
    void TearDown() override {
        DeleteKeyTree(kSettingsKey);
        DeleteFileW(log_.c_str());
    }
    void Start(std::vector<standin::Options::Slow> slow) {
        shell_ = std::make_unique<StandInThread>(
            standin::Options{.items = {{L"Readme", 10, 10}}, .slow = std::move(slow), .logPath = log_});
        ASSERT_TRUE(shell_->Desktop());
    }
    bool LoggedSoon(const wchar_t* start) const {
        return WaitUntil(
            [&] {
                for (const auto& line : ReadLogFile(log_)) {
                    if (line.rfind(start, 0) == 0) return true;
                }
                return false;
            },
            5000);
    }

    const std::wstring log_ = TempFileName(L"bsy");
    std::unique_ptr<StandInThread> shell_;
};

// Log-off inside the load: the settings are not yet what the program works with, so nothing is
// written (the mode would be the stored one minus one).
TEST_F(BusyShellTest, ALogOffInsideTheLoadSavesNothing) {
    WriteString(kSettingsKey, L"Desktop Icon", L"3");
    Start({{standin::Request::TextBk, 600}});
    std::thread logOff([&] {
        if (LoggedSoon(L"LV SLOW textbk")) {
            SendMessageTimeoutW(FindWindowW(kToolbarWindowClass, nullptr), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000,
                                nullptr);
        }
    });
    auto form = LoadToolbarWindow();
    logOff.join();
    ASSERT_TRUE(form);
    EXPECT_EQ(ValueNames(kSettingsKey), std::vector<std::wstring>{L"Desktop Icon"});
    EXPECT_EQ(ReadString(kSettingsKey, L"Desktop Icon"), L"3");
}

// Log-off while a restore waits for the shell: the desktop is half moved, and nothing of it is
// saved; the layout stays as stored.
TEST_F(BusyShellTest, ALogOffInsideARestoreSavesNothingOfTheHalfMovedDesktop) {
    WriteString(kSettingsKey, L"Icon Position", L"01");
    const std::wstring key = IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    WritePlace(key, L"Readme", L"300", L"200");
    // A busy shell answers what it is sent meanwhile, as inside a COM call of its own.
    Start({{standin::Request::SetPos, 1500, -1, 0, true}});
    auto form = LoadToolbarWindow();
    ASSERT_TRUE(form);
    PumpMessages(1500);  // the desktop settled: what is on screen is the user's, until the restore
    std::thread logOff([&] {
        if (LoggedSoon(L"LV SLOW setpos")) {
            SendMessageTimeoutW(form->Hwnd(), WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 5000, nullptr);
        }
    });
    CommandLine restore;
    restore.command = Command::Restore;
    std::vector<uint8_t> record = EncodeCommand(restore);
    COPYDATASTRUCT data = {kCommandMagic, static_cast<DWORD>(record.size()), record.data()};
    SendMessageW(form->Hwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    logOff.join();
    EXPECT_EQ(ReadString(key, L"Readme.X"), L"300");
    EXPECT_NE(ReadString(kSettingsKey, L"Desktop Icon"), L"<absent>") << "the settings were not written";
}

// A click posted while the program waits for the shell, and a modal loop inside that wait: the
// click is kept once and runs once after the wait, instead of being posted again and again.
TEST_F(BusyShellTest, AClickInsideAWaitRunsOnceAfterIt) {
    Start({{standin::Request::GetText, 500, -1, 1, true}});
    auto form = LoadToolbarWindow();
    ASSERT_TRUE(form);
    static HWND target;
    static int retrieved;
    target = form->Hwnd();
    retrieved = 0;
    struct Hooks {
        static LRESULT CALLBACK Count(int code, WPARAM wParam, LPARAM lParam) {
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (code >= 0 && msg->hwnd == target && msg->message == WM_COMMAND) ++retrieved;
            return CallNextHookEx(nullptr, code, wParam, lParam);
        }
        static LRESULT CALLBACK Modal(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
            if (msg != WM_APP) return DefSubclassProc(hwnd, msg, wParam, lParam);
            MSG m;
            for (const ULONGLONG end = GetTickCount64() + 300; GetTickCount64() < end;) {
                if (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
            }
            return 0;
        }
    };
    const HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, Hooks::Count, nullptr, GetCurrentThreadId());
    ScopedWindow modal(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
    SetWindowSubclass(modal.Get(), Hooks::Modal, 0, 0);
    std::thread other([&] {
        if (!LoggedSoon(L"LV SLOW gettext")) return;
        PostMessageW(target, WM_COMMAND, kViewButton, reinterpret_cast<LPARAM>(form->Toolbar()));
        SendMessageW(modal.Get(), WM_APP, 0, 0);
    });
    CommandLine save;
    save.command = Command::Save;
    form->RunCommand(save);
    other.join();
    PumpMessages(100);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(retrieved, 1);
    EXPECT_EQ(form->Settings().CurrentViewMode, kSmallIconsMode);
}

}  // namespace
}  // namespace iv
