#include "dialogs/frmSet.h"

#include <algorithm>
#include <utility>

#include "base/MessageBox.h"
#include "base/Twips.h"
#include "layouts/IconPositions.h"
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
    font_.Reset(CreateMessageFont());

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
    const SharedSettings& settings = host_.CurrentSettings();
    draft_ = DraftWithOptionsOff(settings);
    stylePressed_ = nullptr;
    etcPressed_ = nullptr;

    BuildStyleTree(settings.InIconView());
    // Turned on through the click rules, so that the hover options appear under their
    // activation option before their own flags are looked at; a flag without a node is skipped.
    for (int i = kToolTipsFlag; i < kStyleFlagCount; ++i) {
        if (settings.StyleFlags[i] == 1) tvwStyle_NodeClick(tvwStyle_.Find(kStyleKeys[i]));
    }
    if (settings.ScreenFollow == 1) tvwStyle_NodeClick(tvwStyle_.Find(kScreenFollowKey));

    BuildEtcTree();
    // A corner outside 0..3 (a hand-edited registry) chooses nothing rather than a wrong node.
    if (settings.TaskTray == 1) {
        tvwEtc_NodeClick(tvwEtc_.Find(kEtcKeys[kEtcTaskTray]));
    } else if (settings.ToolPosition >= 0 && settings.ToolPosition <= 3) {
        tvwEtc_NodeClick(tvwEtc_.Find(CornerKey(settings.ToolPosition)));
    }
    if (settings.ToolTopMost == 1) tvwEtc_NodeClick(tvwEtc_.Find(kEtcKeys[kEtcTopMost]));
    for (int16_t mode = 0; mode < kViewModeCount; ++mode) {
        if (settings.ChangeStyleFlags[mode] == 1) tvwEtc_NodeClick(tvwEtc_.Find(CycleKey(mode)));
    }
    AddShortcutNode(kCsidlDesktop, kEtcKeys[kEtcDesktopDelete], text::kNodeDesktopDelete, kEtcKeys[kEtcDesktopCreate],
                    text::kNodeDesktopCreate);
    AddShortcutNode(kCsidlStartup, kEtcKeys[kEtcStartupDelete], text::kNodeStartupDelete, kEtcKeys[kEtcStartupCreate],
                    text::kNodeStartupCreate);
    // A tree-view node opens only once it has children, so the shortcut branch opens again.
    tvwEtc_.Expand(tvwEtc_.Find(L"Short"));
    for (KeyedTree* tree : {&tvwStyle_, &tvwEtc_})
        TreeView_SelectSetFirstVisible(tree->Hwnd(), TreeView_GetRoot(tree->Hwnd()));
}

void frmSet::BuildStyleTree(bool iconView) {
    PrepareTree(tvwStyle_);
    tvwStyle_.Add(L"", L"Detail", text::kNodeDetail, kImageBranch);
    for (const StyleFlag flag : {kRowSelectFlag, kGridLineFlag, kHeaderMoveFlag, kAllItemIconFlag}) {
        tvwStyle_.Add(L"Detail", kStyleKeys[flag], text::kStyleNodes[flag], kImageUnchecked);
    }
    tvwStyle_.Add(L"", L"Com", text::kNodeCommon, kImageBranch);
    tvwStyle_.Add(L"Com", kStyleKeys[kToolTipsFlag], text::kStyleNodes[kToolTipsFlag], kImageUnchecked);
    tvwStyle_.Add(L"Com", kStyleKeys[kOneClickFlag], text::kStyleNodes[kOneClickFlag], kImageOptionOff);
    tvwStyle_.Add(L"Com", kStyleKeys[kTwoClickFlag], text::kStyleNodes[kTwoClickFlag], kImageOptionOff);
    tvwStyle_.Add(L"Com", kStyleKeys[kTextColorFlag], text::kStyleNodes[kTextColorFlag], kImageUnchecked);
    tvwStyle_.Add(L"", L"Pos", text::kNodePositions, kImageBranch);
    tvwStyle_.Add(L"Pos", kStyleKeys[kRestoreAtStartFlag], text::kNodeRestoreAtStart, kImageUnchecked);
    tvwStyle_.Add(L"Pos", kStyleKeys[kSaveAtExitFlag], text::kNodeSaveAtExit, kImageUnchecked);
    tvwStyle_.Add(L"Pos", kScreenFollowKey, text::kNodeScreenFollow, kImageUnchecked);
    // Positions are only kept in the icon views.
    if (iconView) {
        tvwStyle_.Add(L"Pos", kRestoreNowKey, text::kNodeRestoreNow, kImageButtonUp);
        tvwStyle_.Add(L"Pos", kUndoKey, text::kNodeUndo, kImageButtonUp);
        tvwStyle_.Add(L"Pos", kSaveNowKey, text::kNodeSaveNow, kImageButtonUp);
    }
    for (const wchar_t* branch : {L"Detail", L"Com", L"Pos"}) tvwStyle_.Expand(tvwStyle_.Find(branch));
}

void frmSet::BuildEtcTree() {
    PrepareTree(tvwEtc_);
    tvwEtc_.Add(L"", L"Pos", text::kNodeToolbarPlace, kImageCornerTopLeft);
    for (int16_t corner = 0; corner < 4; ++corner) {
        tvwEtc_.Add(L"Pos", CornerKey(corner), text::kNodeCorners[corner], kImageOptionOff);
    }
    tvwEtc_.Add(L"Pos", kEtcKeys[kEtcTopMost], text::kNodeTopMost, kImageUnchecked);
    tvwEtc_.Add(L"Pos", kEtcKeys[kEtcTaskTray], text::kNodeTaskTray, kImageOptionOff);
    tvwEtc_.Add(L"", L"Style", text::kNodeCycleModes, kImageBranch);
    for (int16_t mode = 0; mode < kViewModeCount; ++mode) {
        tvwEtc_.Add(L"Style", CycleKey(mode), text::kNodeModes[mode], kImageUnchecked);
    }
    tvwEtc_.Add(L"", L"Short", text::kNodeShortcuts, kImageShortcut);
    for (const wchar_t* branch : {L"Pos", L"Style", L"Short"}) tvwEtc_.Expand(tvwEtc_.Find(branch));
}

void frmSet::AddShortcutNode(int folder, const wchar_t* deleteKey, const wchar_t* deleteText, const wchar_t* createKey,
                             const wchar_t* createText) {
    if (ShortcutExists(ShortcutPath(folder, host_.MainWindow()))) {
        tvwEtc_.Add(L"Short", deleteKey, deleteText, kImageButtonUp);
    } else {
        tvwEtc_.Add(L"Short", createKey, createText, kImageButtonUp);
    }
}

void frmSet::ShowDraft(KeyedTree& tree) {
    const auto show = [&](const wchar_t* key) {
        const int image = OptionImage(draft_, key);
        const HTREEITEM node = image ? tree.Find(key) : nullptr;
        if (node && tree.Image(node) != image) tree.SetImage(node, image);
    };
    for (const wchar_t* key : kStyleKeys) show(key);
    for (const wchar_t* key : kEtcKeys) show(key);
    show(kScreenFollowKey);
}

bool frmSet::DeleteShortcutOf(int folder) {
    if (DeleteShortcut(ShortcutPath(folder, host_.MainWindow()))) return true;
    ShowMessage(Hwnd(), folder == kCsidlDesktop ? text::kDesktopDeleteFailed : text::kStartupDeleteFailed,
                text::kDeleteFailedTitle, MB_OK | MB_ICONSTOP);
    return false;
}

void frmSet::tvwEtc_NodeClick(HTREEITEM node) {
    if (!node) return;
    etcPressed_ = nullptr;
    const std::wstring key = tvwEtc_.Key(node);
    if (ClickEtcOption(draft_, key)) {
        // The branch shows the last corner chosen; choosing the tray leaves it.
        const int place = ToolPositionNumber(key);
        if (place >= 1 && place <= 4) tvwEtc_.SetImage(tvwEtc_.Root(node), kImageCornerTopLeft + place - 1);
        ShowDraft(tvwEtc_);
        return;
    }
    if (tvwEtc_.Image(node) == kImageButtonDown) tvwEtc_.SetImage(node, kImageButtonUp);
    RunShortcutCommand(node, key);
}

void frmSet::RunShortcutCommand(HTREEITEM node, const std::wstring& key) {
    const auto offer = [&](EtcKey to, const wchar_t* text) { tvwEtc_.Rename(node, kEtcKeys[to], text); };
    bool desktop = false;
    bool startup = false;
    if (key == kEtcKeys[kEtcDesktopCreate]) {
        desktop = true;
        offer(kEtcDesktopDelete, text::kNodeDesktopDelete);
    } else if (key == kEtcKeys[kEtcDesktopDelete]) {
        if (DeleteShortcutOf(kCsidlDesktop)) offer(kEtcDesktopCreate, text::kNodeDesktopCreate);
    } else if (key == kEtcKeys[kEtcStartupCreate]) {
        startup = true;
        offer(kEtcStartupDelete, text::kNodeStartupDelete);
    } else if (key == kEtcKeys[kEtcStartupDelete]) {
        if (DeleteShortcutOf(kCsidlStartup)) offer(kEtcStartupCreate, text::kNodeStartupCreate);
    }
    if (!desktop && !startup) return;
    // Its messages are modal over this dialog, which asked for them.
    CreateShortcuts(desktop, startup, Hwnd());
    // A shortcut that could not be made leaves its node offering to make it.
    if (ShortcutExists(ShortcutPath(desktop ? kCsidlDesktop : kCsidlStartup, host_.MainWindow()))) return;
    if (desktop) offer(kEtcDesktopCreate, text::kNodeDesktopCreate);
    if (startup) offer(kEtcStartupCreate, text::kNodeStartupCreate);
}

void frmSet::tvwStyle_NodeClick(HTREEITEM node) {
    if (!node) return;
    stylePressed_ = nullptr;
    const std::wstring key = tvwStyle_.Key(node);
    if (ClickStyleOption(draft_, key)) {
        SyncHoverNodes(key);
        ShowDraft(tvwStyle_);
        return;
    }
    if (tvwStyle_.Image(node) == kImageButtonDown) tvwStyle_.SetImage(node, kImageButtonUp);
    // The view may have changed since the dialog opened: the commands act in the icon views only.
    const bool iconView = host_.CurrentSettings().InIconView();
    if (key == kRestoreNowKey || key == kUndoKey) {
        WaitCursor wait;
        const LayoutSource source = key == kUndoKey ? LayoutSource::Undo : LayoutSource::Current;
        host_.PositionsAsked(RestoreCommand(host_.Shell(), iconView, source));
    } else if (key == kSaveNowKey) {
        WaitCursor wait;
        host_.PositionsAsked(SaveCommand(host_.Shell(), iconView));
    }
}

void frmSet::SyncHoverNodes(const std::wstring& key) {
    const bool one = key == kStyleKeys[kOneClickFlag];
    if (!one && key != kStyleKeys[kTwoClickFlag]) return;
    const HTREEITEM node = tvwStyle_.Find(key);
    if (draft_.StyleFlags[one ? kOneClickFlag : kTwoClickFlag] != 1) {
        if (!tvwStyle_.HasChildren(node)) return;
        for (const StyleFlag hover : {kMouseActiveFlag, kUnderLineCoolFlag, kUnderLineHotFlag}) {
            tvwStyle_.Remove(kStyleKeys[hover]);
        }
        return;
    }
    if (!tvwStyle_.HasChildren(node)) {
        if (tvwStyle_.HasChildren(tvwStyle_.Find(kStyleKeys[one ? kTwoClickFlag : kOneClickFlag]))) {
            // From the other activation option, with their states.
            for (const StyleFlag hover : {kUnderLineHotFlag, kUnderLineCoolFlag, kMouseActiveFlag}) {
                tvwStyle_.Move(kStyleKeys[hover], key);
            }
        } else {
            tvwStyle_.Add(key, kStyleKeys[kMouseActiveFlag], text::kStyleNodes[kMouseActiveFlag], kImageUnchecked);
            for (const StyleFlag hover : {kUnderLineCoolFlag, kUnderLineHotFlag}) {
                tvwStyle_.Add(key, kStyleKeys[hover], text::kStyleNodes[hover], kImageOptionOff);
            }
        }
    }
    tvwStyle_.Expand(node);
}

void frmSet::tvwStyle_DblClick() {
    for (const StyleFlag activation : {kOneClickFlag, kTwoClickFlag}) {
        if (draft_.StyleFlags[activation] != 1) continue;
        // Off and on again through the click rule: it stays on with its hover options, opened.
        draft_.StyleFlags[activation] = 0;
        tvwStyle_NodeClick(tvwStyle_.Find(kStyleKeys[activation]));
        return;
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
    const int16_t* cycling = draft_.ChangeStyleFlags;
    if (std::none_of(cycling, cycling + kViewModeCount, [](int16_t flag) { return flag == 1; })) {
        ShowMessage(Hwnd(), text::kValidationMessage, text::kValidationTitle, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    host_.ApplySettings(draft_);
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

void frmSet::PlaceCentred() {
    RECT frame = {0, 0, TwipsToPixels(kClientWidthTwips, tppX_), TwipsToPixels(kClientHeightTwips, tppY_)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE)));
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(Hwnd(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR frmSet::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG: {
            const TwipsScale tpp = ScreenTwipsPerPixel();
            tppX_ = tpp.x;
            tppY_ = tpp.y;
            SetWindowTextW(Hwnd(), text::kSettingsCaption);
            const HICON icon = host_.Icon();
            SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
            SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
            PlaceCentred();
            CreateControls();
            Form_Load();
            return TRUE;
        }
        case WM_COMMAND:
            // A button pressed from inside a wait for the shell (another program's BM_CLICK
            // arrives there) acts once the wait is over.
            if (host_.Shell().DeferWhileWaiting(Hwnd(), msg, wParam, lParam)) return TRUE;
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

void frmSet::NodeClick(KeyedTree& tree, HTREEITEM node) {
    if (&tree == &tvwStyle_) {
        tvwStyle_NodeClick(node);
    } else {
        tvwEtc_NodeClick(node);
    }
}

void frmSet::Tree_LeftDown(KeyedTree& tree, WPARAM keys, POINT point) {
    // The press is tracked here rather than by the tree, whose own tracking swallows the moves and
    // the release that the push-button look needs.
    Tree_MouseDown(tree, ButtonsOf(keys), point);
    clickStart_ = tree.HitTest(point);
    SetFocus(tree.Hwnd());
    if (clickStart_) TreeView_SelectItem(tree.Hwnd(), clickStart_);
    SetCapture(tree.Hwnd());
}

void frmSet::Tree_LeftUp(KeyedTree& tree, POINT point) {
    const HTREEITEM start = std::exchange(clickStart_, nullptr);
    ReleaseCapture();
    // The button argument of a release is the button released.
    Tree_MouseMove(tree, 1, point);
    const HTREEITEM node = tree.HitTest(point);
    if (node && node == start) NodeClick(tree, node);
}

LRESULT frmSet::HandleTreeMessage(KeyedTree& tree, UINT msg, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = tree.Hwnd();
    switch (msg) {
        case WM_LBUTTONDOWN: Tree_LeftDown(tree, wParam, PointOf(lParam)); return 0;
        case WM_MOUSEMOVE:
            if (GetCapture() == hwnd) Tree_MouseMove(tree, ButtonsOf(wParam), PointOf(lParam));
            break;
        case WM_LBUTTONUP:
            if (GetCapture() != hwnd) break;
            Tree_LeftUp(tree, PointOf(lParam));
            return 0;
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
            if (wParam != VK_SPACE) break;
            NodeClick(tree, TreeView_GetSelection(hwnd));
            return 0;
        case WM_CHAR:
            if (wParam == L' ') return 0;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace iv
