// The settings dialog over the stand-in desktop: trees built from the shared state, the click
// rules driven by mouse messages, the commands, and Apply, OK and Cancel.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <source_location>

#include "base/MessageBox.h"
#include "app/frmMain.h"
#include "layouts/IconPositions.h"
#include "dialogs/frmSet.h"
#include "settings/Settings.h"
#include "shortcuts/Shortcuts.h"
#include "tests/component/FreshDesktop.h"
#include "tests/stand-in/StandIn.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;
using Keys = std::vector<std::wstring>;

struct Shown {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop_ = FreshDesktop();
        ASSERT_TRUE(desktop_);
        previous_ = SetMessageBoxHandler([this](HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
            shown_.push_back({owner, text, caption, type});
            return IDOK;
        });
        for (int folder : {kCsidlDesktop, kCsidlStartup}) RemoveShortcut(folder);
        main_ = LoadToolbarWindow();
        ASSERT_TRUE(main_);
        PumpMessages(20);
    }
    void TearDown() override {
        main_.reset();
        SetMessageBoxHandler(previous_);
        for (int folder : {kCsidlDesktop, kCsidlStartup}) RemoveShortcut(folder);
        DeleteKeyTree(kSettingsKey);
    }

    static void RemoveShortcut(int folder) {
        const std::wstring path = ShortcutPath(folder, nullptr);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
    }

    frmSet& Open() {
        main_->ShowSettings();
        PumpMessages(10);
        return main_->SettingsDialog();
    }
    frmSet& Dialog() { return main_->SettingsDialog(); }
    SharedSettings& State() { return main_->Settings(); }
    KeyedTree& Style() { return Dialog().tvwStyle(); }
    KeyedTree& Etc() { return Dialog().tvwEtc(); }
    int StyleImage(const wchar_t* key) { return Style().ImageOf(key); }
    int EtcImage(const wchar_t* key) { return Etc().ImageOf(key); }
    // Each node's image; a failure names the node and the caller's line.
    static void ExpectImages(KeyedTree& tree, std::initializer_list<std::pair<const wchar_t*, int>> images,
                             std::source_location at = std::source_location::current()) {
        const testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "images");
        for (const auto& [key, image] : images) {
            EXPECT_EQ(tree.ImageOf(key), image) << testing::PrintToString(std::wstring(key));
        }
    }

    std::vector<std::wstring> ChildKeys(KeyedTree& tree, const wchar_t* key) {
        std::vector<std::wstring> keys;
        for (HTREEITEM child : tree.Children(tree.Find(key))) keys.push_back(tree.Key(child));
        return keys;
    }

    static LPARAM At(KeyedTree& tree, const wchar_t* key) {
        TreeView_EnsureVisible(tree.Hwnd(), tree.Find(key));
        const RECT r = tree.TextRect(tree.Find(key));
        return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    // A left click on a node's caption as the mouse makes it: press and release over it.
    void Click(KeyedTree& tree, const wchar_t* key) {
        ASSERT_TRUE(tree.Find(key)) << "no node " << testing::PrintToString(std::wstring(key));
        const LPARAM at = At(tree, key);
        SendMessageW(tree.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(tree.Hwnd(), WM_LBUTTONUP, 0, at);
    }
    void Command(int id) {
        SendMessageW(Dialog().Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Dialog().Hwnd(), id)));
    }

    std::unique_ptr<standin::Desktop> desktop_;
    std::unique_ptr<frmMain> main_;
    std::vector<Shown> shown_;
    MessageBoxHandler previous_;
};

TEST_F(SettingsDialogTest, LoadTurnsOnTheStoredOptionsThroughTheClickRules) {
    State().CurrentViewMode = 3;
    for (int flag : {0, 5, 7, 8, 12}) State().StyleFlags[flag] = 1;
    State().StyleFlags[9] = 1;  // both underline options stored: the later one wins
    State().TaskTray = 1;
    State().ToolPosition = 2;
    State().ToolTopMost = 1;
    State().ScreenFollow = 1;
    const int16_t cycling[4] = {1, 0, 1, 0};
    std::copy(std::begin(cycling), std::end(cycling), State().ChangeStyleFlags);
    Open();

    EXPECT_EQ(ChildKeys(Style(), L"Pos"), (Keys{L"Icon PosSave", L"Icon PosLoad", L"Icon Follow"}));
    EXPECT_EQ(Style().Text(Style().Find(L"Icon Follow")), L"画面ｻｲｽﾞの変更に追従");
    EXPECT_TRUE(Style().Expanded(Style().Find(L"One Click")));
    EXPECT_EQ(ChildKeys(Style(), L"One Click"), (Keys{L"Mouse Active", L"Under Line Cool", L"Under Line Hot"}));
    ExpectImages(Style(), {{L"Tool Tips", 2}, {L"Row Select", 3}, {L"One Click", 4}, {L"Two Click", 5}});
    ExpectImages(Style(), {{L"Mouse Active", 2}, {L"Under Line Cool", 5}, {L"Under Line Hot", 4}});
    ExpectImages(Style(), {{L"Icon PosSave", 3}, {L"Icon PosLoad", 2}, {L"Icon Follow", 2}});

    EXPECT_EQ(EtcImage(L"Tool Position5"), 4);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(EtcImage((L"Tool Position" + std::to_wstring(i)).c_str()), 5);
    ExpectImages(Etc(), {{L"Pos", 6}, {L"Tool TopMost", 2}});
    ExpectImages(Etc(), {{L"Change Style1", 2}, {L"Change Style2", 3}, {L"Change Style3", 2}, {L"Change Style4", 3}});
    for (const wchar_t* branch : {L"Pos", L"Style", L"Short"}) EXPECT_TRUE(Etc().Expanded(Etc().Find(branch)));
    EXPECT_EQ(ChildKeys(Etc(), L"Short"), (Keys{L"Desktop Create", L"Startup Create"}));
    EXPECT_EQ(Etc().Text(Etc().Find(L"Desktop Create")), L"ﾃﾞｽｸﾄｯﾌﾟに作成");
    EXPECT_TRUE(shown_.empty());
}

TEST_F(SettingsDialogTest, LoadSkipsWhatHasNoNodeAndChoosesNoWrongCorner) {
    State().CurrentViewMode = 1;
    State().StyleFlags[5] = 1;
    State().StyleFlags[6] = 1;
    State().ToolPosition = 3;
    Open();
    ExpectImages(Style(), {{L"One Click", 5}, {L"Two Click", 4}, {L"Icon NowSave", 12}, {L"Icon NowLoad", 12}});
    EXPECT_EQ(ChildKeys(Style(), L"One Click").size(), 0u);
    EXPECT_EQ(ChildKeys(Style(), L"Two Click").size(), 3u);
    ExpectImages(Etc(), {{L"Tool Position4", 4}, {L"Pos", 9}});
    Dialog().Unload();

    // A hover flag without an activation option, and a corner out of range.
    State() = SharedSettings{};
    State().StyleFlags[7] = 1;
    State().ToolPosition = 7;
    for (int16_t& flag : State().ChangeStyleFlags) flag = 0;
    Open();
    EXPECT_EQ(Style().Find(L"Mouse Active"), nullptr);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(EtcImage((L"Tool Position" + std::to_wstring(i)).c_str()), 5);
    EXPECT_EQ(EtcImage(L"Pos"), 6);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(EtcImage((L"Change Style" + std::to_wstring(i)).c_str()), 3);
    EXPECT_TRUE(shown_.empty());
}

TEST_F(SettingsDialogTest, ShortcutNodesFollowTheFilesAndASecondOpeningKeepsTheTrees) {
    const std::wstring desktop = ShortcutPath(kCsidlDesktop, nullptr);
    ASSERT_FALSE(desktop.empty());
    ScopedHandle file(CreateFileW(desktop.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_NE(file.Get(), INVALID_HANDLE_VALUE);
    file.Reset();
    Open();
    EXPECT_EQ(ChildKeys(Etc(), L"Short"), (Keys{L"Desktop Delete", L"Startup Create"}));
    EXPECT_EQ(Etc().Text(Etc().Find(L"Desktop Delete")), L"ﾃﾞｽｸﾄｯﾌﾟから削除");
    EXPECT_EQ(Etc().Text(Etc().Find(L"Startup Create")), L"ｽﾀｰﾄｱｯﾌﾟに作成");

    Click(Etc(), L"Change Style2");
    EXPECT_EQ(EtcImage(L"Change Style2"), 3);
    main_->ShowSettings();
    EXPECT_EQ(EtcImage(L"Change Style2"), 3);
    // Closed and opened again: built afresh from the shared state, which never changed.
    Command(frmSet::kCancel);
    EXPECT_FALSE(Dialog().IsLoaded());
    Open();
    EXPECT_EQ(EtcImage(L"Change Style2"), 2);
}

TEST_F(SettingsDialogTest, ToolbarPlaceIsOneChoiceAndTheBranchShowsTheLastCorner) {
    Open();
    EXPECT_EQ(EtcImage(L"Tool Position1"), 4);
    Click(Etc(), L"Tool Position3");
    ExpectImages(Etc(), {{L"Tool Position3", 4}, {L"Tool Position1", 5}, {L"Pos", 8}});
    Click(Etc(), L"Tool Position3");
    EXPECT_EQ(EtcImage(L"Tool Position3"), 4);
    Click(Etc(), L"Tool Position4");
    Click(Etc(), L"Tool Position5");
    ExpectImages(Etc(), {{L"Tool Position5", 4}, {L"Tool Position4", 5}, {L"Pos", 9}});
    // Branches and check options of the right tree.
    Click(Etc(), L"Style");
    EXPECT_EQ(EtcImage(L"Style"), 1);
    Click(Etc(), L"Tool TopMost");
    EXPECT_EQ(EtcImage(L"Tool TopMost"), 2);
    Click(Etc(), L"Tool TopMost");
    EXPECT_EQ(EtcImage(L"Tool TopMost"), 3);
}

TEST_F(SettingsDialogTest, HoverOptionsFollowTheActivationOptionWithTheirStates) {
    Open();
    Click(Style(), L"One Click");
    EXPECT_EQ(ChildKeys(Style(), L"One Click"), (Keys{L"Mouse Active", L"Under Line Cool", L"Under Line Hot"}));
    Click(Style(), L"Mouse Active");
    Click(Style(), L"Under Line Cool");
    EXPECT_EQ(StyleImage(L"Mouse Active"), 2);

    Click(Style(), L"Two Click");
    ExpectImages(Style(), {{L"Two Click", 4}, {L"One Click", 5}});
    EXPECT_TRUE(ChildKeys(Style(), L"One Click").empty());
    EXPECT_EQ(ChildKeys(Style(), L"Two Click"), (Keys{L"Under Line Hot", L"Under Line Cool", L"Mouse Active"}));
    EXPECT_TRUE(Style().Expanded(Style().Find(L"Two Click")));
    ExpectImages(Style(), {{L"Mouse Active", 2}, {L"Under Line Cool", 4}, {L"Under Line Hot", 5}});

    // The underline pair: at most one on, and the one that is on turns off.
    Click(Style(), L"Under Line Hot");
    ExpectImages(Style(), {{L"Under Line Hot", 4}, {L"Under Line Cool", 5}});
    Click(Style(), L"Under Line Hot");
    ExpectImages(Style(), {{L"Under Line Hot", 5}, {L"Under Line Cool", 5}});

    // Turning the activation option off drops the hover options; on again, they come back off.
    Click(Style(), L"Two Click");
    EXPECT_EQ(StyleImage(L"Two Click"), 5);
    EXPECT_EQ(Style().Find(L"Mouse Active"), nullptr);
    Click(Style(), L"Two Click");
    EXPECT_EQ(StyleImage(L"Mouse Active"), 3);
}

TEST_F(SettingsDialogTest, DoubleClickKeepsTheActivationOptionOnAndOpen) {
    Open();
    const HWND tree = Style().Hwnd();
    const LPARAM at = At(Style(), L"Tool Tips");
    SendMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ExpectImages(Style(), {{L"One Click", 5}, {L"Two Click", 5}, {L"Tool Tips", 3}});

    Click(Style(), L"One Click");
    Click(Style(), L"Mouse Active");
    TreeView_Expand(tree, Style().Find(L"One Click"), TVE_COLLAPSE);
    SendMessageW(tree, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    EXPECT_EQ(StyleImage(L"One Click"), 4);
    EXPECT_TRUE(Style().Expanded(Style().Find(L"One Click")));
    EXPECT_EQ(StyleImage(L"Mouse Active"), 2);
}

TEST_F(SettingsDialogTest, CommandNodesLookLikePushButtons) {
    Open();
    const HWND tree = Etc().Hwnd();
    const LPARAM on = At(Etc(), L"Desktop Create");
    const LPARAM off = At(Etc(), L"Change Style1");
    SendMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, on);
    EXPECT_EQ(EtcImage(L"Desktop Create"), 11);
    EXPECT_EQ(Dialog().EtcPressedNode(), Etc().Find(L"Desktop Create"));
    SendMessageW(tree, WM_MOUSEMOVE, MK_LBUTTON, off);
    EXPECT_EQ(EtcImage(L"Desktop Create"), 12);
    SendMessageW(tree, WM_MOUSEMOVE, MK_LBUTTON, on);
    EXPECT_EQ(EtcImage(L"Desktop Create"), 11);
    // With another button held too, moves do not change the look.
    SendMessageW(tree, WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, off);
    EXPECT_EQ(EtcImage(L"Desktop Create"), 11);
    // Released elsewhere: raised again, and nothing was run.
    SendMessageW(tree, WM_LBUTTONUP, 0, off);
    EXPECT_EQ(EtcImage(L"Desktop Create"), 12);
    EXPECT_EQ(EtcImage(L"Change Style1"), 2);
    EXPECT_FALSE(ShortcutExists(ShortcutPath(kCsidlDesktop, nullptr)));

    // The right button leaves the picture alone (the tree tracks it in a loop of its own).
    PostMessageW(tree, WM_RBUTTONDOWN, MK_RBUTTON, on);
    PostMessageW(tree, WM_RBUTTONUP, 0, on);
    PumpMessages(20);
    EXPECT_EQ(EtcImage(L"Desktop Create"), 12);

    // A press cut short by another window taking the mouse leaves it raised.
    SendMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, on);
    SetCapture(main_->Hwnd());
    ReleaseCapture();
    EXPECT_EQ(EtcImage(L"Desktop Create"), 12);
}

TEST_F(SettingsDialogTest, ShortcutCommandsCreateAndDeleteAtOnce) {
    Open();
    const std::wstring desktop = ShortcutPath(kCsidlDesktop, nullptr);
    const std::wstring startup = ShortcutPath(kCsidlStartup, nullptr);
    Click(Etc(), L"Desktop Create");
    EXPECT_TRUE(ShortcutExists(desktop));
    EXPECT_FALSE(ShortcutExists(startup));
    ASSERT_TRUE(Etc().Find(L"Desktop Delete"));
    EXPECT_EQ(Etc().Text(Etc().Find(L"Desktop Delete")), L"ﾃﾞｽｸﾄｯﾌﾟから削除");
    EXPECT_EQ(EtcImage(L"Desktop Delete"), 12);

    Click(Etc(), L"Startup Create");
    EXPECT_TRUE(ShortcutExists(startup));
    EXPECT_EQ(Etc().Text(Etc().Find(L"Startup Delete")), L"ｽﾀｰﾄｱｯﾌﾟから削除");

    // A shortcut that cannot be deleted is reported and its node keeps offering to delete it.
    SetFileAttributesW(desktop.c_str(), FILE_ATTRIBUTE_READONLY);
    Click(Etc(), L"Desktop Delete");
    EXPECT_TRUE(ShortcutExists(desktop));
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].caption, L"ｼｮｰﾄｶｯﾄ削除");
    EXPECT_EQ(shown_[0].type, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_TRUE(Etc().Find(L"Desktop Delete"));

    SetFileAttributesW(desktop.c_str(), FILE_ATTRIBUTE_NORMAL);
    Click(Etc(), L"Desktop Delete");
    EXPECT_FALSE(ShortcutExists(desktop));
    EXPECT_EQ(Etc().Text(Etc().Find(L"Desktop Create")), L"ﾃﾞｽｸﾄｯﾌﾟに作成");

    // Deleting one that is already gone shows nothing and offers to create it.
    DeleteFileW(startup.c_str());
    Click(Etc(), L"Startup Delete");
    EXPECT_TRUE(Etc().Find(L"Startup Create"));
    EXPECT_EQ(shown_.size(), 1u);

    // A creation that fails is reported, and the node keeps offering to create.
    ASSERT_TRUE(CreateDirectoryW(desktop.c_str(), nullptr));
    Click(Etc(), L"Desktop Create");
    RemoveDirectoryW(desktop.c_str());
    ASSERT_EQ(shown_.size(), 2u);
    EXPECT_EQ(shown_[1].text, L"ﾃﾞｽｸﾄｯﾌﾟへの作成に失敗しました！！");
    // Both are modal over the dialog that asked, not over the toolbar window (hidden in tray mode).
    EXPECT_EQ(shown_[0].owner, Dialog().Hwnd());
    EXPECT_EQ(shown_[1].owner, Dialog().Hwnd());
    EXPECT_TRUE(Etc().Find(L"Desktop Create"));
}

TEST_F(SettingsDialogTest, IconCommandsSaveAndRestoreAtOnce) {
    State().CurrentViewMode = 1;
    Open();
    const HWND list = desktop_->ListView();
    POINT saved = {};
    ListView_GetItemPosition(list, 0, &saved);
    Click(Style(), L"Icon NowLoad");
    EXPECT_EQ(StyleImage(L"Icon NowLoad"), 12);
    ListView_SetItemPosition(list, 0, saved.x + 200, saved.y + 150);
    Click(Style(), L"Icon NowSave");
    POINT at = {};
    ListView_GetItemPosition(list, 0, &at);
    EXPECT_EQ(at.x, saved.x);
    EXPECT_EQ(at.y, saved.y);
    // Cancel leaves the saved positions saved.
    Command(frmSet::kCancel);
    const std::wstring key = IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    EXPECT_FALSE(ValueNames(key).empty());

    // The view switched to a list while the dialog is open: its rows are no icon layout, so the
    // commands leave the store and the desktop alone.
    Open();
    main_->barBtn_ButtonClick(kViewButton);
    main_->barBtn_ButtonClick(kViewButton);
    ASSERT_EQ(State().CurrentViewMode, 3);
    DeleteKeyTree(key);
    Click(Style(), L"Icon NowLoad");
    EXPECT_TRUE(ValueNames(key).empty());
    WritePlace(key, L"Readme", L"300", L"300");
    ListView_GetItemPosition(list, 0, &saved);
    Click(Style(), L"Icon NowSave");
    ListView_GetItemPosition(list, 0, &at);
    EXPECT_EQ(at.x, saved.x);
}

TEST_F(SettingsDialogTest, ApplyRefusesWithoutAViewModeToCycle) {
    State().StyleFlags[0] = 1;
    State().CurrentViewMode = 2;
    Open();
    for (int i = 1; i <= 4; ++i) Click(Etc(), (L"Change Style" + std::to_wstring(i)).c_str());
    Click(Style(), L"Tool Tips");
    Command(frmSet::kOK);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].text, L"切替えるｽﾀｲﾙの選択を行って下さい！");
    EXPECT_EQ(shown_[0].caption, L"設定ｴﾗｰ");
    EXPECT_EQ(shown_[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(Dialog().IsLoaded());
    EXPECT_EQ(State().StyleFlags[0], 1);
    EXPECT_EQ(State().CurrentViewMode, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(State().ChangeStyleFlags[i], 1);
    EXPECT_EQ(ListView_GetExtendedListViewStyle(desktop_->ListView()) & LVS_EX_INFOTIP, 0u);
}

TEST_F(SettingsDialogTest, ApplyCopiesTheTreesIntoTheSharedStateAndActsAtOnce) {
    State().StyleFlags[7] = 1;
    State().ToolPosition = 2;
    State().CurrentViewMode = 1;
    main_->SetBarBtn();  // large icons -> small icons
    ASSERT_EQ(State().CurrentViewMode, 2);
    Open();
    Click(Style(), L"Tool Tips");
    Click(Style(), L"Grid Line");
    Click(Style(), L"Text Color");
    Click(Etc(), L"Tool Position5");
    Click(Etc(), L"Change Style2");  // small icons no longer cycles
    Command(frmSet::kApply);
    EXPECT_TRUE(Dialog().IsLoaded());
    EXPECT_TRUE(shown_.empty());

    for (int flag : {0, 2, 10}) EXPECT_EQ(State().StyleFlags[flag], 1) << flag;
    EXPECT_EQ(State().StyleFlags[7], 0);  // no activation option, so no hover option
    EXPECT_EQ(State().TaskTray, 1);
    EXPECT_EQ(State().ToolPosition, 2);
    EXPECT_EQ(State().ChangeStyleFlags[1], 0);
    EXPECT_FALSE(main_->Task().MenuIconVisible(1));
    EXPECT_TRUE(main_->Task().MenuIconVisible(2));
    // The desktop: styles, transparent labels and the next cycling mode after small icons.
    const DWORD ex = ListView_GetExtendedListViewStyle(desktop_->ListView());
    EXPECT_EQ(ex & (LVS_EX_INFOTIP | LVS_EX_GRIDLINES), static_cast<DWORD>(LVS_EX_INFOTIP | LVS_EX_GRIDLINES));
    EXPECT_EQ(ListView_GetTextBkColor(desktop_->ListView()), CLR_NONE);
    EXPECT_EQ(State().CurrentViewMode, 3);
    EXPECT_EQ(GetWindowLongW(desktop_->ListView(), GWL_STYLE) & LVS_TYPEMASK, static_cast<LONG>(LVS_LIST));
    EXPECT_TRUE(main_->Task().MenuIconChecked(2));

    // A corner again: the tray is off and the corner is the one chosen.
    Click(Etc(), L"Tool Position2");
    Command(frmSet::kOK);
    EXPECT_FALSE(Dialog().IsLoaded());
    EXPECT_EQ(State().TaskTray, 0);
    EXPECT_EQ(State().ToolPosition, 1);
    EXPECT_EQ(State().CurrentViewMode, 3);  // still cycles: kept
}

TEST_F(SettingsDialogTest, ApplySetsTheToolbarOrderWithoutTakingTheFocus) {
    Open();
    SetForegroundWindow(Dialog().Hwnd());
    PumpMessages(20);
    Click(Etc(), L"Tool TopMost");
    Command(frmSet::kApply);
    EXPECT_EQ(State().ToolTopMost, 1);
    EXPECT_NE(GetWindowLongW(main_->Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetActiveWindow(), Dialog().Hwnd());
    // Apply puts the toolbar back into its corner.
    RECT r = {};
    GetWindowRect(main_->Hwnd(), &r);
    EXPECT_GE(r.right, 0);
    EXPECT_LE(r.top, 0);

    Click(Etc(), L"Tool TopMost");
    Command(frmSet::kOK);
    EXPECT_EQ(State().ToolTopMost, 0);
    EXPECT_EQ(GetWindowLongW(main_->Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}

TEST_F(SettingsDialogTest, CancelAndTheCloseBoxDropEditsButKeepWhatWasApplied) {
    const std::wstring key = IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    ASSERT_TRUE(WaitUntil([&] { return !main_->Keeper().IsSettling(); }, 5000));
    ListView_SetItemPosition(desktop_->ListView(), 0, 300, 200);
    Open();
    Click(Style(), L"Row Select");
    Click(Style(), L"Icon Follow");
    Command(frmSet::kApply);
    // Following starts with a save of the layout on screen, not of the grid Apply's switch lays out.
    EXPECT_EQ(State().ScreenFollow, 1);
    EXPECT_TRUE(WaitUntil([&] { return ReadString(key, L"Readme.X") == L"300"; }, 3000))
        << ReadString(key, L"Readme.X");
    Click(Style(), L"Grid Line");
    Click(Style(), L"Icon Follow");
    Command(frmSet::kCancel);
    EXPECT_FALSE(Dialog().IsLoaded());
    EXPECT_EQ(State().StyleFlags[1], 1);
    EXPECT_EQ(State().StyleFlags[2], 0);
    EXPECT_EQ(State().ScreenFollow, 1);

    Open();
    ExpectImages(Style(), {{L"Row Select", 2}, {L"Grid Line", 3}, {L"Icon Follow", 2}});
    Click(Style(), L"Grid Line");
    SendMessageW(Dialog().Hwnd(), WM_CLOSE, 0, 0);
    PumpMessages(20);
    EXPECT_FALSE(Dialog().IsLoaded());
    EXPECT_EQ(State().StyleFlags[2], 0);
    EXPECT_EQ(main_->ModelessDialog(), nullptr);
}

// Enter and Esc reach the dialog through the message loop, as the program's own loop routes them.
TEST_F(SettingsDialogTest, EnterIsOkAndEscIsCancel) {
    for (const auto& [key, kept] : {std::pair<WORD, int16_t>{VK_ESCAPE, 0}, {VK_RETURN, 1}}) {
        Open();
        ASSERT_EQ(main_->ModelessDialog(), Dialog().Hwnd());
        Click(Style(), L"Row Select");
        SetFocus(GetDlgItem(main_->ModelessDialog(), frmSet::kStyleTree));
        const HWND focus = GetFocus();
        PostMessageW(focus, WM_KEYDOWN, key, 0);
        PostMessageW(focus, WM_KEYUP, key, 0);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (main_->ModelessDialog() && IsDialogMessageW(main_->ModelessDialog(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        EXPECT_FALSE(Dialog().IsLoaded()) << key;
        EXPECT_EQ(State().StyleFlags[1], kept) << key;
    }
}

TEST_F(SettingsDialogTest, OpensFromTheToolbarTheTrayMenuAndTheTrayIcon) {
    SendMessageW(main_->Hwnd(), WM_COMMAND, kSettingsButton, reinterpret_cast<LPARAM>(main_->Toolbar()));
    EXPECT_TRUE(Dialog().IsLoaded());
    Dialog().Unload();
    SendMessageW(main_->Task().Hwnd(), WM_COMMAND, frmTask::kMenuSetting, 0);
    EXPECT_TRUE(Dialog().IsLoaded());
    Dialog().Unload();
    main_->Task().ucTask_LeftDblClick();
    EXPECT_TRUE(Dialog().IsLoaded());
    // Unloading the program closes it.
    main_->Unload();
    EXPECT_FALSE(Dialog().IsLoaded());
}

TEST_F(SettingsDialogTest, AboutOpensModallyOverTheDialog) {
    Open();
    // What a timer sees while the About box runs its own loop; it then closes the box.
    static struct {
        HWND dialog, forward, aboutBox;
        frmMain* program;
        bool sawAbout, dialogEnabled;
    } seen;
    seen = {Dialog().Hwnd(), nullptr, nullptr, main_.get(), false, true};
    struct Watch {
        static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
            const HWND about = FindWindowW(nullptr, L"ﾊﾞｰｼﾞｮﾝ情報");
            if (!about || seen.sawAbout) return;
            seen.sawAbout = true;
            seen.aboutBox = about;
            seen.dialogEnabled = IsWindowEnabled(seen.dialog) != FALSE;
            // The tray asks for the settings meanwhile: the box comes forward, not the dialog.
            seen.program->ShowSettings();
            seen.forward = GetForegroundWindow();
            PostMessageW(about, WM_COMMAND, IDOK, 0);
        }
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Watch::Tick);
    Command(frmSet::kAbout);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(seen.sawAbout);
    EXPECT_FALSE(seen.dialogEnabled);
    EXPECT_EQ(seen.forward, seen.aboutBox);
    EXPECT_TRUE(IsWindowEnabled(Dialog().Hwnd()));
    EXPECT_TRUE(Dialog().IsLoaded());
}

}  // namespace
}  // namespace iv
