#include "dialogs/frmSet.h"

#include <cmath>

#include "base/MessageBox.h"
#include "base/Twips.h"
#include "desktop/IconPositions.h"
#include "desktop/ListViewStyles.h"
#include "dialogs/NodeImages.h"
#include "dialogs/TreeRules.h"
#include "dialogs/frmAbout.h"
#include "res/texts.h"
#include "shortcuts/Shortcuts.h"

namespace iv {
namespace {

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

POINT PointOf(LPARAM lParam) { return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; }

}  // namespace

frmSet::frmSet(SettingsHost& host) : host_(host) {}

frmSet::~frmSet() { Unload(); }

void frmSet::Show() {
    if (Hwnd()) {
        // While the About box is open over it the dialog is disabled: the box comes forward.
        if (about_ && about_->Hwnd()) {
            SetForegroundWindow(about_->Hwnd());
            return;
        }
        if (IsIconic(Hwnd())) ShowWindow(Hwnd(), SW_RESTORE);
        SetForegroundWindow(Hwnd());
        return;
    }
    // An empty dialog template: the controls are laid out in twips when it is created.
    struct alignas(4) {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, title;
    } templ = {};
    templ.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    templ.dialog.dwExtendedStyle = WS_EX_CONTROLPARENT;
    if (!CreateIndirect(&templ.dialog, nullptr)) return;
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
}

void frmSet::Unload() {
    if (Hwnd()) DestroyWindow(Hwnd());
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
                            TwipsToPixels(top, tppY_), TwipsToPixels(width, tppX_), TwipsToPixels(height, tppY_),
                            Hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return control;
    };
    // Created in tab order: the buttons, then the trees.
    create(WC_BUTTONW, text::kOk, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 2093, 3960, 1095, 375, kOK);
    create(WC_BUTTONW, text::kCancel, WS_TABSTOP, 0, 3323, 3960, 1095, 375, kCancel);
    create(WC_BUTTONW, text::kApply, WS_TABSTOP, 0, 4523, 3960, 1095, 375, kApply);
    create(WC_BUTTONW, text::kVersionInfo, WS_TABSTOP, 0, 6360, 3960, 1215, 375, kAbout);
    // No lines and no buttons; whole rows select, so a click anywhere on a row is a click on it.
    const DWORD treeStyle = WS_TABSTOP | TVS_LINESATROOT | TVS_FULLROWSELECT;
    tvwStyle_.Attach(create(WC_TREEVIEWW, nullptr, treeStyle, WS_EX_CLIENTEDGE, 135, 360, 3645, 3495, kStyleTree));
    tvwEtc_.Attach(create(WC_TREEVIEWW, nullptr, treeStyle, WS_EX_CLIENTEDGE, 3975, 360, 3615, 3495, kEtcTree));
    create(WC_STATICW, text::kStyleTreeLabel, SS_LEFT | SS_NOPREFIX, 0, 120, 120, 1155, 180, -1);
    create(WC_STATICW, text::kEtcTreeLabel, SS_LEFT | SS_NOPREFIX, 0, 3960, 120, 2280, 180, -1);

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
    const SharedSettings& settings = host_.Settings();
    stylePressed_ = nullptr;
    etcPressed_ = nullptr;

    PrepareTree(tvwStyle_);
    tvwStyle_.Add(L"", L"Detail", text::kNodeDetail, kImageBranch);
    tvwStyle_.Add(L"Detail", L"Row Select", text::kNodeRowSelect, kImageUnchecked);
    tvwStyle_.Add(L"Detail", L"Grid Line", text::kNodeGridLine, kImageUnchecked);
    tvwStyle_.Add(L"Detail", L"Header Move", text::kNodeHeaderMove, kImageUnchecked);
    tvwStyle_.Add(L"Detail", L"All Item Icon", text::kNodeAllItemIcon, kImageUnchecked);
    tvwStyle_.Add(L"", L"Com", text::kNodeCommon, kImageBranch);
    tvwStyle_.Add(L"Com", L"Tool Tips", text::kNodeToolTips, kImageUnchecked);
    tvwStyle_.Add(L"Com", L"One Click", text::kNodeOneClick, kImageOptionOff);
    tvwStyle_.Add(L"Com", L"Two Click", text::kNodeTwoClick, kImageOptionOff);
    tvwStyle_.Add(L"Com", L"Text Color", text::kNodeTextColor, kImageUnchecked);
    tvwStyle_.Add(L"", L"Pos", text::kNodePositions, kImageBranch);
    tvwStyle_.Add(L"Pos", L"Icon PosSave", text::kNodeRestoreAtStart, kImageUnchecked);
    tvwStyle_.Add(L"Pos", L"Icon PosLoad", text::kNodeSaveAtExit, kImageUnchecked);
    tvwStyle_.Add(L"Pos", L"Icon Follow", text::kNodeScreenFollow, kImageUnchecked);
    // Positions are only kept in the icon views.
    if (settings.InIconView()) {
        tvwStyle_.Add(L"Pos", L"Icon NowSave", text::kNodeRestoreNow, kImageButtonUp);
        tvwStyle_.Add(L"Pos", L"Icon NowLoad", text::kNodeSaveNow, kImageButtonUp);
    }
    for (const wchar_t* branch : {L"Detail", L"Com", L"Pos"}) tvwStyle_.Expand(tvwStyle_.Find(branch));
    // Turned on through the click rules, so that the hover options appear under their
    // activation option before their own flags are looked at; a flag without a node is skipped.
    for (int i = kToolTipsFlag; i < kStyleFlagCount; ++i) {
        if (settings.StyleFlags[i] == 1) tvwStyle_NodeClick(tvwStyle_.Find(kStyleKeys[i]));
    }
    if (settings.ScreenFollow == 1) tvwStyle_NodeClick(tvwStyle_.Find(L"Icon Follow"));

    PrepareTree(tvwEtc_);
    tvwEtc_.Add(L"", L"Pos", text::kNodeToolbarPlace, kImageCornerTopLeft);
    tvwEtc_.Add(L"Pos", L"Tool Position1", text::kNodeCorners[0], kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool Position2", text::kNodeCorners[1], kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool Position3", text::kNodeCorners[2], kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool Position4", text::kNodeCorners[3], kImageOptionOff);
    tvwEtc_.Add(L"Pos", L"Tool TopMost", text::kNodeTopMost, kImageUnchecked);
    tvwEtc_.Add(L"Pos", L"Tool Position5", text::kNodeTaskTray, kImageOptionOff);
    tvwEtc_.Add(L"", L"Style", text::kNodeCycleModes, kImageBranch);
    tvwEtc_.Add(L"Style", L"Change Style1", text::kNodeModes[0], kImageUnchecked);
    tvwEtc_.Add(L"Style", L"Change Style2", text::kNodeModes[1], kImageUnchecked);
    tvwEtc_.Add(L"Style", L"Change Style3", text::kNodeModes[2], kImageUnchecked);
    tvwEtc_.Add(L"Style", L"Change Style4", text::kNodeModes[3], kImageUnchecked);
    tvwEtc_.Add(L"", L"Short", text::kNodeShortcuts, kImageShortcut);
    for (const wchar_t* branch : {L"Pos", L"Style", L"Short"}) tvwEtc_.Expand(tvwEtc_.Find(branch));
    // A corner outside 0..3 (a hand-edited registry) chooses nothing rather than a wrong node.
    if (settings.TaskTray == 1) {
        tvwEtc_NodeClick(tvwEtc_.Find(L"Tool Position5"));
    } else if (settings.ToolPosition >= 0 && settings.ToolPosition <= 3) {
        tvwEtc_NodeClick(tvwEtc_.Find(kEtcKeys[settings.ToolPosition]));
    }
    if (settings.ToolTopMost == 1) tvwEtc_NodeClick(tvwEtc_.Find(L"Tool TopMost"));
    for (int i = 0; i < kViewModeCount; ++i) {
        if (settings.ChangeStyleFlags[i] == 1) tvwEtc_NodeClick(tvwEtc_.Find(kEtcKeys[4 + i]));
    }
    AddShortcutNode(kCsidlDesktop, L"Desktop Delete", text::kNodeDesktopDelete, L"Desktop Create",
                    text::kNodeDesktopCreate);
    AddShortcutNode(kCsidlStartup, L"Startup Delete", text::kNodeStartupDelete, L"Startup Create",
                    text::kNodeStartupCreate);
    // A tree-view node opens only once it has children, so the shortcut branch opens again.
    tvwEtc_.Expand(tvwEtc_.Find(L"Short"));
    for (KeyedTree* tree : {&tvwStyle_, &tvwEtc_})
        TreeView_SelectSetFirstVisible(tree->Hwnd(), TreeView_GetRoot(tree->Hwnd()));
}

void frmSet::AddShortcutNode(int folder, const wchar_t* deleteKey, const wchar_t* deleteText, const wchar_t* createKey,
                             const wchar_t* createText) {
    if (ShortcutExists(ShortcutPath(folder, host_.MainWindow()))) {
        tvwEtc_.Add(L"Short", deleteKey, deleteText, kImageButtonUp);
    } else {
        tvwEtc_.Add(L"Short", createKey, createText, kImageButtonUp);
    }
}

bool frmSet::DeleteShortcutOf(int folder) {
    if (DeleteShortcut(ShortcutPath(folder, host_.MainWindow()))) return true;
    ShowMessage(Hwnd(), folder == kCsidlDesktop ? text::kDesktopDeleteFailed : text::kStartupDeleteFailed,
                text::kDeleteFailedTitle, MB_OK | MB_ICONSTOP);
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
        tvwEtc_.Rename(node, L"Desktop Delete", text::kNodeDesktopDelete);
    } else if (key == L"Desktop Delete") {
        if (DeleteShortcutOf(kCsidlDesktop)) tvwEtc_.Rename(node, L"Desktop Create", text::kNodeDesktopCreate);
    } else if (key == L"Startup Create") {
        startup = true;
        tvwEtc_.Rename(node, L"Startup Delete", text::kNodeStartupDelete);
    } else if (key == L"Startup Delete") {
        if (DeleteShortcutOf(kCsidlStartup)) tvwEtc_.Rename(node, L"Startup Create", text::kNodeStartupCreate);
    }
    if (!desktop && !startup) return;
    // Its messages are modal over this dialog, which asked for them.
    CreateShortcuts(desktop, startup, Hwnd());
    // A shortcut that could not be made leaves its node offering to make it.
    const int folder = desktop ? kCsidlDesktop : kCsidlStartup;
    if (!ShortcutExists(ShortcutPath(folder, host_.MainWindow()))) {
        if (desktop) tvwEtc_.Rename(node, L"Desktop Create", text::kNodeDesktopCreate);
        if (startup) tvwEtc_.Rename(node, L"Startup Create", text::kNodeStartupCreate);
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
    } else if (key == L"Icon NowSave" || key == L"Icon NowLoad") {
        // A layout is kept only in the icon views: in list and details the list view's positions
        // are rows, not icon places (the view may have changed since the dialog opened).
        if (!host_.Settings().InIconView()) return;
        WaitCursor wait;
        if (key == L"Icon NowSave") {
            RestoreIconPositions(host_.IsWinNT());
        } else {
            SaveIconPositions(host_.IsWinNT());
        }
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
                tvwStyle_.Add(key, L"Mouse Active", text::kNodeMouseActive, kImageUnchecked);
                tvwStyle_.Add(key, L"Under Line Cool", text::kNodeUnderLineCool, kImageOptionOff);
                tvwStyle_.Add(key, L"Under Line Hot", text::kNodeUnderLineHot, kImageOptionOff);
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
    SharedSettings& settings = host_.Settings();
    bool anyMode = false;
    for (int i = 4; i <= 7; ++i) anyMode = anyMode || tvwEtc_.ImageOf(kEtcKeys[i]) == kImageChecked;
    if (!anyMode) {
        ShowMessage(Hwnd(), text::kValidationMessage, text::kValidationTitle, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }

    // The hover options only count while an activation option is on; without one they are off.
    bool activation = false;
    for (int i = kToolTipsFlag; i < kStyleFlagCount; ++i) {
        if (i >= kMouseActiveFlag && i <= kUnderLineHotFlag && !activation) {
            settings.StyleFlags[i] = 0;
            continue;
        }
        const int16_t flag = FlagOfImage(tvwStyle_.ImageOf(kStyleKeys[i]));
        if (flag < 0) continue;
        settings.StyleFlags[i] = flag;
        if (flag == 1 && (i == kOneClickFlag || i == kTwoClickFlag)) activation = true;
    }

    // With the tray chosen no corner is on, and the corner is kept for when the toolbar returns.
    for (int16_t i = 0; i < 4; ++i) {
        if (tvwEtc_.ImageOf(kEtcKeys[i]) == kImageOptionOn) {
            settings.ToolPosition = i;
            break;
        }
    }
    settings.TaskTray = tvwEtc_.ImageOf(L"Tool Position5") == kImageOptionOn ? 1 : 0;
    settings.ToolTopMost = tvwEtc_.ImageOf(L"Tool TopMost") == kImageChecked ? 1 : 0;
    host_.ApplyTopMost();

    for (int i = 0; i < kViewModeCount; ++i) {
        settings.ChangeStyleFlags[i] = tvwEtc_.ImageOf(kEtcKeys[4 + i]) == kImageChecked ? 1 : 0;
        host_.Task().SetMenuIconVisible(i, settings.ChangeStyleFlags[i] == 1);
    }
    host_.ApplyDesktopStyles();
    // One step back, so that the advance lands on the current mode when it still cycles.
    settings.CurrentViewMode = static_cast<int16_t>(settings.CurrentViewMode - 1);
    host_.SetBarBtn();
    InvalidateWindow(host_.Desktop().ListView);
    // Saved in the view just applied: from now on the layout on screen is kept for its size.
    const int16_t follow = tvwStyle_.ImageOf(L"Icon Follow") == kImageChecked ? 1 : 0;
    const bool turnedOn = follow == 1 && settings.ScreenFollow != 1;
    settings.ScreenFollow = follow;
    if (turnedOn) host_.StartFollowingScreen();
    return true;
}

void frmSet::cmdOK_Click() {
    if (ApplySettings()) Unload();
}

void frmSet::cmdAbout_Click() {
    frmAbout about(host_.Icon());
    about_ = &about;
    about.ShowModal();
    about_ = nullptr;
}

INT_PTR frmSet::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: {
            const TwipsScale tpp = ScreenTwipsPerPixel();
            tppX_ = tpp.x;
            tppY_ = tpp.y;
            SetWindowTextW(Hwnd(), text::kSettingsCaption);
            const HICON icon = host_.Icon();
            SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            RECT frame = {0, 0, TwipsToPixels(kClientWidthTwips, tppX_), TwipsToPixels(kClientHeightTwips, tppY_)};
            AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_STYLE)), FALSE,
                               static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE)));
            RECT work = {};
            SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
            const int width = frame.right - frame.left;
            const int height = frame.bottom - frame.top;
            SetWindowPos(Hwnd(), nullptr, work.left + (work.right - work.left - width) / 2,
                         work.top + (work.bottom - work.top - height) / 2, width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            CreateControls();
            Form_Load();
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
            // The trees go with the window: the next opening builds them afresh.
            tvwStyle_.Attach(nullptr);
            tvwEtc_.Attach(nullptr);
            stylePressed_ = etcPressed_ = clickStart_ = nullptr;
            break;
        case WM_NCDESTROY:
            // After the trees, which only borrow it.
            imgView_.Reset();
            font_.Reset();
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
