// The tray icon control and its host, with the shell's notify call recorded and for real.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <utility>

#include "app/frmMain.h"
#include "dialogs/frmLayoutName.h"
#include "layouts/KeptLayouts.h"
#include "settings/RegKeys.h"
#include "settings/Settings.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"
#include "tray/IconTray.h"

namespace iv {
namespace {

using namespace testing_support;

struct Request {
    DWORD message;
    HICON icon;
    std::wstring tip;
};

class IconTrayTest : public ::testing::Test {
protected:
    IconTray::Notifier Recorder() {
        // A shell that refuses a second add of the same icon, a modification of one it does not
        // have, and the first refusedAdds_ adds (a busy taskbar at log-on).
        return [this](DWORD message, NOTIFYICONDATAW* record) -> BOOL {
            requests_.push_back({message, record->hIcon, record->szTip});
            if (message == NIM_MODIFY) return added_;
            if (message != NIM_ADD) return !std::exchange(added_, false);
            if (added_) return FALSE;
            if (refusedAdds_ > 0) return --refusedAdds_, FALSE;
            return added_ = true;
        };
    }
    std::vector<DWORD> Messages() const {
        std::vector<DWORD> out;
        for (const auto& r : requests_) out.push_back(r.message);
        return out;
    }
    std::vector<Request> requests_;
    bool added_ = false;
    int refusedAdds_ = 0;
};

TEST_F(IconTrayTest, PendingActionFollowsEnableAndTheHost) {
    IconTray tray(Recorder());
    ASSERT_TRUE(tray.Create(nullptr));
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_ADD));

    // Nothing is sent while disabled.
    tray.SetToolTipText(L"Kivo");
    tray.frmParent_Load();
    tray.frmParent_Unload();
    EXPECT_TRUE(requests_.empty());

    tray.SetEnable(true);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_MODIFY));
    tray.SetToolTipText(L"other");
    EXPECT_EQ(requests_.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(requests_.back().tip, L"other");

    // Enabling again adds again (the shell refuses); changes after that are modifications.
    tray.SetEnable(true);
    EXPECT_EQ(requests_.back().message, static_cast<DWORD>(NIM_ADD));
    tray.SetPicture(LoadIconW(nullptr, IDI_APPLICATION));
    EXPECT_EQ(requests_.back().message, static_cast<DWORD>(NIM_MODIFY));

    tray.SetEnable(false);
    EXPECT_EQ(requests_.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_ADD));
    // Disabling again deletes an icon that is not there; nothing else changes.
    tray.SetEnable(false);
    EXPECT_EQ(requests_.back().message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_ADD));

    // The host: load adds an enabled icon, unload deletes it.
    requests_.clear();
    tray.SetEnable(true);
    requests_.clear();
    tray.frmParent_Unload();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_DELETE}));
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_ADD));
    tray.frmParent_Load();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_DELETE, NIM_ADD}));
}

TEST_F(IconTrayTest, CallbacksRaiseTheirEvents) {
    IconTray tray(Recorder());
    ASSERT_TRUE(tray.Create(nullptr));
    std::vector<TrayEvent> events;
    tray.OnEvent = [&](TrayEvent e) { events.push_back(e); };
    for (UINT m : {UINT{WM_RBUTTONUP}, UINT{WM_LBUTTONDBLCLK}, UINT{WM_MBUTTONDOWN}, UINT{WM_MOUSEMOVE}}) {
        SendMessageW(tray.Hwnd(), kTrayCallbackMessage, kTrayIconId, static_cast<LPARAM>(m));
    }
    EXPECT_EQ(events, (std::vector<TrayEvent>{TrayEvent::MouseRightUp, TrayEvent::LeftDblClick, TrayEvent::MouseMove}));
}

TEST_F(IconTrayTest, ARestartedShellGetsTheIconBack) {
    IconTray tray(Recorder());
    ASSERT_TRUE(tray.Create(nullptr));
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    SendMessageW(tray.Hwnd(), taskbarCreated, 0, 0);
    EXPECT_TRUE(requests_.empty());
    tray.SetEnable(true);
    requests_.clear();
    added_ = false;
    SendMessageW(tray.Hwnd(), taskbarCreated, 0, 0);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_TRUE(tray.Shown());

    // A taskbar that refuses the icon and never announces itself: the control keeps trying,
    // modification first (the icon may be there after all), until the icon is there.
    tray.SetEnable(false);
    refusedAdds_ = 2;
    requests_.clear();
    tray.SetEnable(true);
    EXPECT_FALSE(tray.Shown());
    for (int tick = 0; tick < 3; ++tick) SendMessageW(tray.Hwnd(), WM_TIMER, IconTray::kRetryTimer, 0);
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_ADD}));
    EXPECT_TRUE(tray.Shown());
}

TEST_F(IconTrayTest, StoredPropertiesLeaveDefaultsOutAndAddTheIconAtTheHostsLoad) {
    IconTray fresh(Recorder());
    const IconTrayProperties none = fresh.WriteProperties();
    EXPECT_FALSE(none.Picture || none.ToolTip || none.Enable);

    IconTrayProperties stored;
    stored.ToolTip = L"Kivo";
    stored.Picture = LoadIconW(nullptr, IDI_APPLICATION);
    stored.Enable = true;
    IconTray tray(Recorder());
    ASSERT_TRUE(tray.Create(nullptr));
    tray.ReadProperties(stored);
    EXPECT_TRUE(requests_.empty()) << "nothing is sent before the host has loaded";
    EXPECT_EQ(tray.SizeTwips().cx,
              IconTraySizeTwips(true, {GetSystemMetrics(SM_CXICON), 0}, false, 1440.0 / 96, 1440.0 / 96).cx);
    tray.frmParent_Load();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(requests_[0].tip, L"Kivo");
    const IconTrayProperties written = tray.WriteProperties();
    EXPECT_EQ(written.ToolTip.value_or(L""), L"Kivo");
    EXPECT_TRUE(written.Enable.value_or(false));
}

TEST_F(IconTrayTest, TheRealNotificationAreaTakesTheRequests) {
    IconTray tray;
    ASSERT_TRUE(tray.Create(nullptr));
    tray.SetToolTipText(L"Kivo");
    tray.SetEnable(true);
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_MODIFY));
    tray.SetEnable(false);
    EXPECT_EQ(tray.PendingAction(), static_cast<DWORD>(NIM_ADD));
}

// The host window and its menu, under the toolbar window and the stand-in desktop.
class frmTaskTest : public IconTrayTest {
protected:
    void SetUp() override {
        DeleteKeyTree(kSettingsKey);
        desktop_ = standin::Desktop::Create(standin::Options{});
        ASSERT_TRUE(desktop_);
    }
    void TearDown() override {
        form_.reset();
        DeleteKeyTree(kSettingsKey);
    }
    void Load() {
        form_ = std::make_unique<frmMain>();
        form_->SetQuitOnDestroy(false);
        form_->SetTrayNotifier(Recorder());
        ASSERT_TRUE(form_->Load());
    }
    // The menu's item texts, or those of the submenu at that position: "-" a separator, "* " before a
    // checked item; in a submenu "~" a grayed item, as the separator is too.
    std::vector<std::wstring> MenuTexts(std::optional<int> submenu = {}) {
        ScopedMenu menu(form_->Task().BuildMenu());
        const HMENU shown = submenu ? GetSubMenu(menu.Get(), *submenu) : menu.Get();
        std::vector<std::wstring> texts;
        for (int i = 0; shown && i < GetMenuItemCount(shown); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(shown, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            const UINT state = GetMenuState(shown, static_cast<UINT>(i), MF_BYPOSITION);
            const std::wstring item = state & MF_SEPARATOR ? L"-" : text;
            texts.push_back(submenu && (state & MF_GRAYED) ? L"~" : (state & MF_CHECKED ? L"* " : L"") + item);
        }
        return texts;
    }
    DWORD ListViewType() const { return GetWindowLongW(desktop_->ListView(), GWL_STYLE) & LVS_TYPEMASK; }

    std::unique_ptr<standin::Desktop> desktop_;
    std::unique_ptr<frmMain> form_;
};

TEST_F(frmTaskTest, MenuShowsCyclingModesWithOneCheckMark) {
    Load();
    EXPECT_EQ(MenuTexts(), (std::vector<std::wstring>{L"* 大きいｱｲｺﾝ(&G)", L"小さいｱｲｺﾝ(&M)", L"一覧(&L)", L"詳細(&D)",
                                                      L"-", L"ﾚｲｱｳﾄ(&Y)", L"-", L"設定(&S)", L"-",
                                                      L"ﾃﾞｽｸﾄｯﾌﾟの再描画(&R)", L"-", L"終了(&X)"}));
    form_.reset();
    WriteString(kSettingsKey, L"Change Style", L"1001");
    Load();
    EXPECT_EQ(MenuTexts(), (std::vector<std::wstring>{L"* 大きいｱｲｺﾝ(&G)", L"詳細(&D)", L"-", L"ﾚｲｱｳﾄ(&Y)", L"-",
                                                      L"設定(&S)", L"-", L"ﾃﾞｽｸﾄｯﾌﾟの再描画(&R)", L"-", L"終了(&X)"}));
    // Choosing details switches the desktop and moves the mark.
    form_->Task().menuIcon_Click(3);
    EXPECT_EQ(form_->Settings().CurrentViewMode, 4);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_REPORT));
    EXPECT_EQ(MenuTexts()[1], L"* 詳細(&D)");
    EXPECT_EQ(MenuTexts()[0], L"大きいｱｲｺﾝ(&G)");
    // The current mode's item again leaves everything as it is.
    form_->Task().menuIcon_Click(3);
    EXPECT_EQ(form_->Settings().CurrentViewMode, 4);
    EXPECT_EQ(MenuTexts()[1], L"* 詳細(&D)");
}

TEST_F(frmTaskTest, ToolbarClicksMoveTheMarkAndTheTraySwitchKeepsOne) {
    Load();
    for (int i = 0; i < 3; ++i) form_->barBtn_ButtonClick(kViewButton);
    EXPECT_EQ(form_->Settings().CurrentViewMode, 4);
    form_->Settings().TaskTray = 1;
    form_->Timer1_Timer();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    EXPECT_TRUE(form_->Task().ucTask().Enable());
    EXPECT_EQ(std::ranges::count_if(MenuTexts(), [](const std::wstring& t) { return t.starts_with(L"* "); }), 1);
    EXPECT_EQ(MenuTexts()[3], L"* 詳細(&D)");
}

TEST_F(frmTaskTest, ACommandSetsAModeOutsideTheCycleAndTheMarkFollows) {
    WriteString(kSettingsKey, L"Change Style", L"1101");
    Load();
    EXPECT_EQ(form_->RunCommand({Command::View, 3, false, false, {}, {}}), kExitDone);
    EXPECT_EQ(form_->Settings().CurrentViewMode, 3);
    EXPECT_EQ(ListViewType(), static_cast<DWORD>(LVS_LIST));
    for (const auto& t : MenuTexts()) EXPECT_NE(t.rfind(L"* ", 0), 0u) << t;
    EXPECT_EQ(form_->RunCommand({Command::View, 2, false, false, {}, {}}), kExitDone);
    EXPECT_EQ(MenuTexts()[1], L"* 小さいｱｲｺﾝ(&M)");
    EXPECT_EQ(MenuTexts()[0], L"大きいｱｲｺﾝ(&G)");
}

// The submenu lists the named layouts as they are called (an ampersand is no mnemonic); a click
// restores one, and the save under a new name asks for it in a box that refuses a reserved name.
TEST_F(frmTaskTest, TheLayoutsSubmenuRestoresANamedLayoutAndSavesUnderANewName) {
    desktop_.reset();
    desktop_ = standin::Desktop::Create({.items = {{L"Readme", 40, 40}}});
    ASSERT_TRUE(desktop_);
    Load();
    EXPECT_EQ(MenuTexts(5), (std::vector<std::wstring>{L"~", L"~", L"名前を付けて保存(&N)..."}));
    ASSERT_TRUE(
        WriteNamedLayout(LayoutOfIcons(L"Tom & Jerry", form_->Shell().CurrentScreen(), {{L"Readme", L"", 300, 200}})));
    ASSERT_TRUE(WriteNamedLayout(LayoutOfIcons(L"a", form_->Shell().CurrentScreen(), {})));
    EXPECT_EQ(MenuTexts(5), (std::vector<std::wstring>{L"a", L"Tom && Jerry", L"~", L"名前を付けて保存(&N)..."}));
    SendMessageW(form_->Task().Hwnd(), WM_COMMAND, frmTask::kMenuLayout + 1, 0);
    POINT at = {};
    ListView_GetItemPosition(desktop_->ListView(), 0, &at);
    EXPECT_EQ(at.x, 300);

    // The box is answered from another thread while its own loop runs: first a reserved name,
    // whose refusal is dismissed, then one of the user's own, kept already in a form this version
    // cannot read, which is replaced once the user says yes.
    ASSERT_TRUE(RegKeys::SetRegBytes(HKEY_CURRENT_USER, NamedLayoutsKey(), L"仕事", "not a layout"));
    std::thread user([] {
        HWND box = nullptr;
        for (const wchar_t* name : {L"#3", L"仕事"}) {
            ASSERT_TRUE(
                WaitUntil([&] { return (box = FindWindowW(L"#32770", L"名前を付けて保存")) != nullptr; }, 5000));
            SetDlgItemTextW(box, frmLayoutName::kNameBox, name);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            HWND asked = nullptr;
            ASSERT_TRUE(WaitUntil([&] { return (asked = FindWindowW(L"#32770", L"Iconvale")) != nullptr; }, 5000));
            PostMessageW(asked, WM_COMMAND, name[0] == L'#' ? IDOK : IDYES, 0);
            ASSERT_TRUE(WaitUntil([&] { return !IsWindow(asked); }, 5000));
        }
    });
    SendMessageW(form_->Task().Hwnd(), WM_COMMAND, frmTask::kMenuSaveLayoutAs, 0);
    user.join();
    const std::optional<LayoutFile> saved = ReadNamedLayout(L"仕事");
    ASSERT_TRUE(saved && saved->icons.size() == 1);
    EXPECT_EQ(saved->icons[0].x, 300);
    EXPECT_EQ(NamedLayoutNames().size(), 3u);
}

TEST_F(frmTaskTest, TrayModeAddsTheIconOnceAndExitRemovesIt) {
    WriteString(kSettingsKey, L"Task Tray", L"1");
    Load();
    EXPECT_FALSE(IsWindowVisible(form_->Hwnd()));
    for (int i = 0; i < 5; ++i) form_->Timer1_Timer();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(requests_[0].tip, L"Kivo");
    // The program's own icon, at the notification area's size.
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(requests_[0].icon, &info));
    ScopedGdiObj colour(info.hbmColor);
    ScopedGdiObj mask(info.hbmMask);
    BITMAP picture = {};
    ASSERT_TRUE(GetObjectW(colour.Get(), sizeof picture, &picture));
    EXPECT_EQ(picture.bmWidth, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(picture.bmHeight, GetSystemMetrics(SM_CYSMICON));
    // Back to the toolbar: the icon goes.
    form_->Settings().TaskTray = 0;
    form_->Timer1_Timer();
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
    EXPECT_TRUE(IsWindowVisible(form_->Hwnd()));
    form_->Settings().TaskTray = 1;
    form_->Timer1_Timer();
    form_->Task().menuExit_Click();
    PumpMessages(50);
    EXPECT_FALSE(form_->IsLoaded());
    EXPECT_EQ(Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE, NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(ReadString(kSettingsKey, L"Task Tray"), L"1");
}

}  // namespace
}  // namespace iv
