#include "dialogs/frmSet.h"

#include <cmath>

#include "app/MessageBox.h"
#include "app/State.h"
#include "app/ToolbarRules.h"
#include "app/frmMain.h"
#include "desktop/IconPositions.h"
#include "desktop/ListViewStyles.h"
#include "dialogs/NodeImages.h"
#include "dialogs/TreeRules.h"
#include "dialogs/frmAbout.h"
#include "shortcuts/Shortcuts.h"

namespace iv {
namespace {

constexpr wchar_t kCaption[] = L"設定";

constexpr wchar_t kMouseActiveText[] = L"ﾏｳｽｶｰｿﾙ上のｱｲｺﾝを自動選択";
constexpr wchar_t kUnderLineCoolText[] = L"常にｱﾝﾀﾞｰﾗｲﾝを表示";
constexpr wchar_t kUnderLineHotText[] = L"選択時にｱﾝﾀﾞｰﾗｲﾝを表示";

constexpr wchar_t kDesktopDeleteText[] = L"ﾃﾞｽｸﾄｯﾌﾟから削除";
constexpr wchar_t kDesktopCreateText[] = L"ﾃﾞｽｸﾄｯﾌﾟに作成";
constexpr wchar_t kStartupDeleteText[] = L"ｽﾀｰﾄｱｯﾌﾟから削除";
constexpr wchar_t kStartupCreateText[] = L"ｽﾀｰﾄｱｯﾌﾟに作成";

// A shortcut file that would not go: the node keeps saying it can be deleted.
constexpr wchar_t kDeleteFailedTitle[] = L"ｼｮｰﾄｶｯﾄ削除";
constexpr wchar_t kDesktopDeleteFailed[] = L"ﾃﾞｽｸﾄｯﾌﾟのｼｮｰﾄｶｯﾄを削除できませんでした！！";
constexpr wchar_t kStartupDeleteFailed[] = L"ｽﾀｰﾄｱｯﾌﾟのｼｮｰﾄｶｯﾄを削除できませんでした！！";

// Indentation of both trees.
constexpr int32_t kIndentTwips = 200;

// The hourglass for the length of an operation.
class WaitCursor {
public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_ ? previous_ : LoadCursorW(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous_;
};

// The mouse buttons held, as a button argument: 1 left, 2 right, 4 middle.
int ButtonsOf(WPARAM keys) {
    return ((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) | ((keys & MK_MBUTTON) ? 4 : 0);
}

POINT PointOf(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

frmSet::frmSet(frmMain& main) : main_(main) {}

frmSet::~frmSet() {
    Unload();
}

void frmSet::Show() {
    if (hwnd_) {
        if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
        SetForegroundWindow(hwnd_);
        return;
    }
    // An empty dialog template: the controls are laid out in twips when it is created.
    struct alignas(4) {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, title;
    } templ = {};
    templ.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    templ.dialog.dwExtendedStyle = WS_EX_CONTROLPARENT;
    CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &templ.dialog, nullptr, DlgProc,
                               reinterpret_cast<LPARAM>(this));
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void frmSet::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void frmSet::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    font_.Reset(CreateFontIndirectW(&metrics.lfMessageFont));

    const auto create = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int left, int top,
                            int width, int height, int id) {
        const HWND control =
            CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, TwipsToPixels(left, tppX_),
                            TwipsToPixels(top, tppY_), TwipsToPixels(width, tppX_), TwipsToPixels(height, tppY_), hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return control;
    };
    // Created in tab order: the buttons, then the trees.
    create(WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 2093, 3960, 1095, 375, kOK);
    create(WC_BUTTONW, L"ｷｬﾝｾﾙ", WS_TABSTOP, 0, 3323, 3960, 1095, 375, kCancel);
    create(WC_BUTTONW, L"適用(&A)", WS_TABSTOP, 0, 4523, 3960, 1095, 375, kApply);
    create(WC_BUTTONW, L"ﾊﾞｰｼﾞｮﾝ情報", WS_TABSTOP, 0, 6360, 3960, 1215, 375, kAbout);
    // No lines and no buttons; whole rows select, so a click anywhere on a row is a click on it.
    const DWORD treeStyle = WS_TABSTOP | TVS_LINESATROOT | TVS_FULLROWSELECT;
    tvwStyle_.Attach(create(WC_TREEVIEWW, nullptr, treeStyle, WS_EX_CLIENTEDGE, 135, 360, 3645, 3495, kStyleTree));
    tvwEtc_.Attach(create(WC_TREEVIEWW, nullptr, treeStyle, WS_EX_CLIENTEDGE, 3975, 360, 3615, 3495, kEtcTree));
    create(WC_STATICW, L"拡張ｽﾀｲﾙ設定", SS_LEFT | SS_NOPREFIX, 0, 120, 120, 1155, 180, -1);
    create(WC_STATICW, L"Iconvale の設定", SS_LEFT | SS_NOPREFIX, 0, 3960, 120, 2280, 180, -1);

    ScopedIcon icon(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0)));
    imgView_.Reset(CreateNodeImageList(icon.Get()));
    for (KeyedTree* tree : {&tvwStyle_, &tvwEtc_}) {
        SetWindowSubclass(tree->Hwnd(), TreeProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
}

void frmSet::PrepareTree(KeyedTree& tree) {
    tree.Clear();
    TreeView_SetIndent(tree.Hwnd(), TwipsToPixels(kIndentTwips, tppX_));
    TreeView_SetImageList(tree.Hwnd(), imgView_.Get(), TVSIL_NORMAL);
}

void frmSet::Form_Load() {
    stylePressed_ = nullptr;
    etcPressed_ = nullptr;

    PrepareTree(tvwStyle_);
    tvwStyle_.Add(L"", L"Detail", L"詳細表示設定", kImageBranch);
    tvwStyle_.Add(L"Detail", L"Row Select", L"1行全て選択", kImageUnchecked);
    tvwStyle_.Add(L"Detail", L"Grid Line", L"ｸﾞﾘｯﾄﾞﾗｲﾝ表示", kImageUnchecked);
    tvwStyle_.Add(L"Detail", L"Header Move", L"ﾍｯﾀﾞｰ移動可能", kImageUnchecked);
    tvwStyle_.Add(L"Detail", L"All Item Icon", L"全項目にｱｲｺﾝ表示", kImageUnchecked);
    tvwStyle_.Add(L"", L"Com", L"共通設定", kImageBranch);
    tvwStyle_.Add(L"Com", L"Tool Tips", L"ﾂｰﾙﾁｯﾌﾟ表示", kImageUnchecked);
    tvwStyle_.Add(L"Com", L"One Click", L"1ｸﾘｯｸ選択", kImageOptionOff);
    tvwStyle_.Add(L"Com", L"Two Click", L"2ｸﾘｯｸ選択", kImageOptionOff);
    tvwStyle_.Add(L"Com", L"Text Color", L"ﾃｷｽﾄの背景を透明", kImageUnchecked);
    tvwStyle_.Add(L"", L"Pos", L"ｱｲｺﾝ位置設定", kImageBranch);
    tvwStyle_.Add(L"Pos", L"Icon PosSave", L"起動時にｱｲｺﾝ位置を復元", kImageUnchecked);
    tvwStyle_.Add(L"Pos", L"Icon PosLoad", L"終了時にｱｲｺﾝ位置を保存", kImageUnchecked);
    // Positions are only kept in the icon views.
    if (CurrentViewMode < 3) {
        tvwStyle_.Add(L"Pos", L"Icon NowSave", L"今すぐｱｲｺﾝ位置を復元", kImageButtonUp);
        tvwStyle_.Add(L"Pos", L"Icon NowLoad", L"現在のｱｲｺﾝ位置を保存", kImageButtonUp);
    }
    for (const wchar_t* branch : {L"Detail", L"Com", L"Pos"}) tvwStyle_.Expand(tvwStyle_.Find(branch));
    // Turned on through the click rules, so that the hover options appear under their
    // activation option before their own flags are looked at; a flag without a node is skipped.
    for (int i = 0; i <= 12; ++i) {
        if (StyleFlags[i] == 1) tvwStyle_NodeClick(tvwStyle_.Find(kStyleKeys[i]));
    }

    PrepareTree(tvwEtc_);
    tvwEtc_.Add(L"", L"Pos", L"ﾂｰﾙﾊﾞｰの表示位置", kImageCornerTopLeft);
    tvwEtc_.Add(L"Pos", L"Tool Position1", L"左上", kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool Position2", L"左下", kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool Position3", L"右上", kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool Position4", L"右下", kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool TopMost", L"常に最前面", kImageUnchecked);
    tvwEtc_.Add(L"Pos", L"Tool Position5", L"ﾀｽｸﾄﾚｲへ格納", kImageOptionOff);
    tvwEtc_.Add(L"", L"Style", L"切替えるｽﾀｲﾙの選択", kImageBranch);
    tvwEtc_.Add(L"Style", L"Change Style1", L"大きいｱｲｺﾝ", kImageUnchecked);
    tvwEtc_.Add(L"Style", L"Change Style2", L"小さいｱｲｺﾝ", kImageUnchecked);
    tvwEtc_.Add(L"Style", L"Change Style3", L"一覧", kImageUnchecked);
    tvwEtc_.Add(L"Style", L"Change Style4", L"詳細", kImageUnchecked);
    tvwEtc_.Add(L"", L"Short", L"ｼｮｰﾄｶｯﾄ", kImageShortcut);
    for (const wchar_t* branch : {L"Pos", L"Style", L"Short"}) tvwEtc_.Expand(tvwEtc_.Find(branch));
    // A corner outside 0..3 (a hand-edited registry) chooses nothing rather than a wrong node.
    if (TaskTray == 1) {
        tvwEtc_NodeClick(tvwEtc_.Find(L"Tool Position5"));
    } else if (ToolPosition >= 0 && ToolPosition <= 3) {
        tvwEtc_NodeClick(tvwEtc_.Find(kEtcKeys[ToolPosition]));
    }
    if (ToolTopMost == 1) tvwEtc_NodeClick(tvwEtc_.Find(L"Tool TopMost"));
    for (int i = 0; i < 4; ++i) {
        if (ChangeStyleFlags[i] == 1) tvwEtc_NodeClick(tvwEtc_.Find(kEtcKeys[4 + i]));
    }
    AddShortcutNode(kCsidlDesktop, L"Desktop Delete", kDesktopDeleteText, L"Desktop Create", kDesktopCreateText);
    AddShortcutNode(kCsidlStartup, L"Startup Delete", kStartupDeleteText, L"Startup Create", kStartupCreateText);
    // A tree-view node opens only once it has children, so the shortcut branch opens again.
    tvwEtc_.Expand(tvwEtc_.Find(L"Short"));
    for (KeyedTree* tree : {&tvwStyle_, &tvwEtc_})
        TreeView_SelectSetFirstVisible(tree->Hwnd(), TreeView_GetRoot(tree->Hwnd()));
}

void frmSet::AddShortcutNode(int folder, const wchar_t* deleteKey, const wchar_t* deleteText, const wchar_t* createKey,
                             const wchar_t* createText) {
    if (ShortcutExists(ShortcutPath(folder, main_.Hwnd()))) {
        tvwEtc_.Add(L"Short", deleteKey, deleteText, kImageButtonUp);
    } else {
        tvwEtc_.Add(L"Short", createKey, createText, kImageButtonUp);
    }
}

bool frmSet::DeleteShortcutOf(int folder) {
    if (DeleteShortcut(ShortcutPath(folder, main_.Hwnd()))) return true;
    ShowMessage(hwnd_, folder == kCsidlDesktop ? kDesktopDeleteFailed : kStartupDeleteFailed, kDeleteFailedTitle,
                MB_OK | MB_ICONSTOP);
    return false;
}

void frmSet::tvwEtc_NodeClick(HTREEITEM node) {
    if (!node) return;
    tvwEtc_.SetImage(node, EtcClickImage(tvwEtc_.Image(node)));
    etcPressed_ = nullptr;
    const std::wstring key = tvwEtc_.Key(node);

    // The corners and the tray are one choice; the branch shows the last corner chosen.
    if (const int n = ToolPositionNumber(key)) {
        if (n < 5) tvwEtc_.SetImage(tvwEtc_.Root(node), n + 5);
        for (int i = 1; i <= 5; ++i) {
            const HTREEITEM other = tvwEtc_.Find(L"Tool Position" + std::to_wstring(i));
            if (i != n && tvwEtc_.Image(other) == kImageOptionOn) tvwEtc_.SetImage(other, kImageOptionOff);
        }
    }

    bool desktop = false;
    bool startup = false;
    if (key == L"Desktop Create") {
        desktop = true;
        tvwEtc_.Rename(node, L"Desktop Delete", kDesktopDeleteText);
    } else if (key == L"Desktop Delete") {
        if (DeleteShortcutOf(kCsidlDesktop)) tvwEtc_.Rename(node, L"Desktop Create", kDesktopCreateText);
    } else if (key == L"Startup Create") {
        startup = true;
        tvwEtc_.Rename(node, L"Startup Delete", kStartupDeleteText);
    } else if (key == L"Startup Delete") {
        if (DeleteShortcutOf(kCsidlStartup)) tvwEtc_.Rename(node, L"Startup Create", kStartupCreateText);
    }
    if (!desktop && !startup) return;
    CreateShortcuts(desktop, startup, main_.Hwnd());
    // A shortcut that could not be made leaves its node offering to make it.
    const int folder = desktop ? kCsidlDesktop : kCsidlStartup;
    if (!ShortcutExists(ShortcutPath(folder, main_.Hwnd()))) {
        if (desktop) tvwEtc_.Rename(node, L"Desktop Create", kDesktopCreateText);
        if (startup) tvwEtc_.Rename(node, L"Startup Create", kStartupCreateText);
    }
}

void frmSet::tvwStyle_NodeClick(HTREEITEM node) {
    if (!node) return;
    const int image = StyleClickImage(tvwStyle_.Image(node));
    tvwStyle_.SetImage(node, image);
    stylePressed_ = nullptr;
    const std::wstring key = tvwStyle_.Key(node);

    const auto turnOff = [this](const wchar_t* other) {
        const HTREEITEM otherNode = tvwStyle_.Find(other);
        if (tvwStyle_.Image(otherNode) == kImageOptionOn) tvwStyle_.SetImage(otherNode, kImageOptionOff);
    };
    if (key == L"One Click") {
        turnOff(L"Two Click");
        SyncHoverNodes(key, image, 5, 6);
    } else if (key == L"Two Click") {
        turnOff(L"One Click");
        SyncHoverNodes(key, image, 6, 5);
    } else if (key == L"Under Line Cool") {
        turnOff(L"Under Line Hot");
    } else if (key == L"Under Line Hot") {
        turnOff(L"Under Line Cool");
    } else if (key == L"Icon NowSave") {
        WaitCursor wait;
        RestoreIconPositions();
    } else if (key == L"Icon NowLoad") {
        WaitCursor wait;
        SaveIconPositions();
    }
}

void frmSet::SyncHoverNodes(const std::wstring& key, int image, int thisIndex, int otherIndex) {
    const HTREEITEM node = tvwStyle_.Find(key);
    if (image == kImageOptionOn) {
        if (!tvwStyle_.HasChildren(node)) {
            if (tvwStyle_.HasChildren(tvwStyle_.Find(kStyleKeys[otherIndex]))) {
                // They keep their pictures, so their states carry over.
                for (const wchar_t* hover : {L"Under Line Hot", L"Under Line Cool", L"Mouse Active"}) {
                    tvwStyle_.Move(hover, kStyleKeys[thisIndex]);
                }
            } else {
                tvwStyle_.Add(key, L"Mouse Active", kMouseActiveText, kImageUnchecked);
                tvwStyle_.Add(key, L"Under Line Cool", kUnderLineCoolText, kImageOptionOff);
                tvwStyle_.Add(key, L"Under Line Hot", kUnderLineHotText, kImageOptionOff);
            }
        }
        tvwStyle_.Expand(node);
    } else if (tvwStyle_.HasChildren(node)) {
        for (const wchar_t* hover : {L"Mouse Active", L"Under Line Cool", L"Under Line Hot"}) tvwStyle_.Remove(hover);
    }
}

void frmSet::tvwStyle_DblClick() {
    for (const wchar_t* key : {L"One Click", L"Two Click"}) {
        const HTREEITEM node = tvwStyle_.Find(key);
        if (tvwStyle_.Image(node) == kImageOptionOn) {
            tvwStyle_.SetImage(node, kImageOptionOff);
            tvwStyle_NodeClick(node);
            return;
        }
    }
}

void frmSet::Tree_MouseDown(KeyedTree& tree, int button, POINT point) {
    if (button != 1) return;
    HTREEITEM& slot = PressedSlot(tree);
    slot = tree.HitTest(point);
    if (tree.Image(slot) == kImageButtonUp) tree.SetImage(slot, kImageButtonDown);
}

void frmSet::Tree_MouseMove(KeyedTree& tree, int button, POINT point) {
    if (button != 1) return;
    const HTREEITEM slot = PressedSlot(tree);
    const int image = tree.Image(slot);
    if (image != kImageButtonDown && image != kImageButtonUp) return;
    const int look = HeldButtonImage(image, tree.HitTest(point) == slot);
    if (look != image) tree.SetImage(slot, look);
}

bool frmSet::ApplySettings() {
    WaitCursor wait;
    bool anyMode = false;
    for (int i = 4; i <= 7; ++i) anyMode = anyMode || tvwEtc_.ImageOf(kEtcKeys[i]) == kImageChecked;
    if (!anyMode) {
        ShowMessage(hwnd_, L"切替えるｽﾀｲﾙの選択を行って下さい！", L"設定ｴﾗｰ", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    // The hover options only count while an activation option is on; without one they are off.
    bool activation = false;
    for (int i = 0; i <= 12; ++i) {
        if (i >= 7 && i <= 9 && !activation) {
            StyleFlags[i] = 0;
            continue;
        }
        const int16_t flag = FlagOfImage(tvwStyle_.ImageOf(kStyleKeys[i]));
        if (flag < 0) continue;
        StyleFlags[i] = flag;
        if (flag == 1 && (i == 5 || i == 6)) activation = true;
    }

    // With the tray chosen no corner is on, and the corner is kept for when the toolbar returns.
    for (int16_t i = 0; i < 4; ++i) {
        if (tvwEtc_.ImageOf(kEtcKeys[i]) == kImageOptionOn) {
            ToolPosition = i;
            break;
        }
    }
    TaskTray = tvwEtc_.ImageOf(L"Tool Position5") == kImageOptionOn ? 1 : 0;
    ToolTopMost = tvwEtc_.ImageOf(L"Tool TopMost") == kImageChecked ? 1 : 0;
    main_.ApplyTopMost();

    for (int i = 0; i < 4; ++i) {
        ChangeStyleFlags[i] = tvwEtc_.ImageOf(kEtcKeys[4 + i]) == kImageChecked ? 1 : 0;
        main_.Task().SetMenuIconVisible(i, ChangeStyleFlags[i] == 1);
    }
    ApplyListViewStyles();
    // One step back, so that the advance lands on the current mode when it still cycles.
    CurrentViewMode = static_cast<int16_t>(CurrentViewMode - 1);
    main_.SetBarBtn();
    InvalidateWindow(DesktopWindows.ListView);
    return true;
}

void frmSet::cmdOK_Click() {
    if (ApplySettings()) Unload();
}

void frmSet::cmdAbout_Click() {
    frmAbout about(main_.Icon());
    about.ShowModal();
}

INT_PTR CALLBACK frmSet::DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<frmSet*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<frmSet*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->HandleMessage(msg, wParam, lParam) : FALSE;
}

INT_PTR frmSet::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: {
            {
                ScreenDc screen;
                tppX_ = TwipsPerPixel(GetDeviceCaps(screen.Get(), LOGPIXELSX));
                tppY_ = TwipsPerPixel(GetDeviceCaps(screen.Get(), LOGPIXELSY));
            }
            SetWindowTextW(hwnd_, kCaption);
            const HICON icon = main_.Icon();
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            RECT frame = {0, 0, TwipsToPixels(kClientWidthTwips, tppX_), TwipsToPixels(kClientHeightTwips, tppY_)};
            AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE)), FALSE,
                               static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE)));
            RECT work = {};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            const int width = frame.right - frame.left;
            const int height = frame.bottom - frame.top;
            SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                         work.top + (work.bottom - work.top - height) / 2, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            CreateControls();
            Form_Load();
            ModelessDialog = hwnd_;
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kOK: cmdOK_Click(); return TRUE;
                case kCancel: cmdCancel_Click(); return TRUE;
                case kApply: cmdApply_Click(); return TRUE;
                case kAbout: cmdAbout_Click(); return TRUE;
                default: break;
            }
            break;
        case WM_DESTROY:
            if (ModelessDialog == hwnd_) ModelessDialog = nullptr;
            // The trees go with the window: the next opening builds them afresh.
            tvwStyle_.Attach(nullptr);
            tvwEtc_.Attach(nullptr);
            stylePressed_ = etcPressed_ = clickStart_ = nullptr;
            break;
        case WM_NCDESTROY:
            // After the trees, which only borrow it.
            imgView_.Reset();
            font_.Reset();
            SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
            hwnd_ = nullptr;
            break;
        default: break;
    }
    return FALSE;
}

LRESULT CALLBACK frmSet::TreeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<frmSet*>(data);
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, TreeProc, 0);
    KeyedTree* tree = hwnd == self->tvwStyle_.Hwnd() ? &self->tvwStyle_
                      : hwnd == self->tvwEtc_.Hwnd() ? &self->tvwEtc_
                                                     : nullptr;
    if (!tree) return DefSubclassProc(hwnd, msg, wParam, lParam);
    return self->HandleTreeMessage(*tree, msg, wParam, lParam);
}

LRESULT frmSet::HandleTreeMessage(KeyedTree& tree, UINT msg, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = tree.Hwnd();
    const auto nodeClick = [this, &tree](HTREEITEM node) {
        if (&tree == &tvwStyle_) {
            tvwStyle_NodeClick(node);
        } else {
            tvwEtc_NodeClick(node);
        }
    };
    switch (msg) {
        case WM_LBUTTONDOWN: {
            // The press is tracked here rather than by the tree, whose own tracking swallows the
            // moves and the release that the push-button look needs.
            const POINT point = PointOf(lParam);
            Tree_MouseDown(tree, ButtonsOf(wParam), point);
            clickStart_ = tree.HitTest(point);
            SetFocus(hwnd);
            if (clickStart_) TreeView_SelectItem(hwnd, clickStart_);
            SetCapture(hwnd);
            return 0;
        }
        case WM_MOUSEMOVE:
            if (GetCapture() == hwnd) Tree_MouseMove(tree, ButtonsOf(wParam), PointOf(lParam));
            break;
        case WM_LBUTTONUP: {
            if (GetCapture() != hwnd) break;
            const POINT point = PointOf(lParam);
            const HTREEITEM start = std::exchange(clickStart_, nullptr);
            ReleaseCapture();
            // The button argument of a release is the button released.
            Tree_MouseMove(tree, 1, point);
            const HTREEITEM node = tree.HitTest(point);
            if (node && node == start) nodeClick(node);
            return 0;
        }
        case WM_CAPTURECHANGED: {
            // A press cut short (another window took the mouse) leaves no button looking pressed.
            clickStart_ = nullptr;
            const HTREEITEM slot = PressedSlot(tree);
            if (tree.Image(slot) == kImageButtonDown) tree.SetImage(slot, kImageButtonUp);
            break;
        }
        case WM_LBUTTONDBLCLK: {
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            if (&tree == &tvwStyle_) tvwStyle_DblClick();
            return result;
        }
        case WM_KEYDOWN:
            // The keyboard's way to click the selected node.
            if (wParam == VK_SPACE) {
                nodeClick(TreeView_GetSelection(hwnd));
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L' ') return 0;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace iv
