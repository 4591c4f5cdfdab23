#include "app/frmMain.h"

#include "app/BarImages.h"
#include "app/Commands.h"
#include "app/ToolbarRules.h"
#include "base/MessageBox.h"
#include "base/Twips.h"
#include "desktop/IconPositions.h"
#include "desktop/DesktopFolders.h"
#include "desktop/ListViewStyles.h"
#include "desktop/ScreenFollow.h"
#include "res/texts.h"

namespace iv {
namespace {

// Button size in HIMETRIC, as the toolbar was laid out: about 23 x 22 pixels at 96 dpi.
constexpr int kButtonWidthHimetric = 609;
constexpr int kButtonHeightHimetric = 582;

// Width of a separator entry; the gap it leaves between two rows is two thirds of it.
constexpr int kSeparatorWidth = 12;

int HimetricToPixels(int himetric, int dpi) { return MulDiv(himetric, dpi, 2540); }

bool IsSeparator(int index) { return index == 2 || index == 4 || index == 12; }

}  // namespace

frmMain::frmMain() = default;

frmMain::~frmMain() {
    set_.reset();
    task_.reset();
    if (Hwnd()) DestroyWindow(Hwnd());
}

frmTask& frmMain::Task() {
    if (!task_) {
        task_ = std::make_unique<frmTask>(*this, trayNotifier_);
        task_->Load();
    }
    return *task_;
}

frmSet& frmMain::SettingsDialog() {
    if (!set_) set_ = std::make_unique<frmSet>(*this);
    return *set_;
}

void frmMain::ShowSettings() { SettingsDialog().Show(); }

void frmMain::Exit() {
    // Unloaded once the control that asked has finished with the message that destroys it.
    PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
}

void frmMain::ApplyDesktopStyles() { ApplyListViewStyles(desktop_, settings_.StyleFlags, label_); }

void frmMain::ApplyTopMost() {
    // The width in twips serves as a pixel position, which lies left of any screen.
    SetWindowPos(Hwnd(), settings_.ToolTopMost == 1 ? HWND_TOPMOST : HWND_NOTOPMOST, static_cast<int>(-width_), 0,
                 TwipsToPixels(width_, tppX_), TwipsToPixels(height_, tppY_), SWP_SHOWWINDOW | SWP_NOACTIVATE);
    placed_ = false;
}

bool frmMain::Load() {
    if (Hwnd()) return true;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!EnsureWindowClass(kToolbarWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;

    const TwipsScale tpp = ScreenTwipsPerPixel();
    tppX_ = tpp.x;
    tppY_ = tpp.y;
    // A tool window: the toolbar has no task-bar button of its own.
    if (!Create(WS_EX_TOOLWINDOW, kToolbarWindowClass, text::kProductName, WS_POPUP, 0, 0, TwipsToPixels(width_, tppX_),
                TwipsToPixels(height_, tppY_), nullptr)) {
        return false;
    }
    icon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                              GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
    Form_Load();
    loaded_ = true;
    return true;
}

void frmMain::Unload() {
    if (!Hwnd() || unloading_) return;
    // Asked inside a wait for the shell: the request in progress finishes first.
    if (ShellRequestInFlight()) {
        PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
        return;
    }
    unloading_ = true;
    Form_Unload();
    DestroyWindow(Hwnd());
}

void frmMain::EndSession() {
    if (!Hwnd()) return;
    if (!ShellRequestInFlight() && !unloading_) {
        Unload();
        return;
    }
    // The system may end the process as soon as this returns, even inside a wait for the shell or
    // the exit's own saves: the saves run now; the window goes when the wait is over.
    SaveAtExit();
    PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
}

void frmMain::SaveAtExit() {
    SaveSettings(settings_);
    // Large icons only.
    if (settings_.StyleFlags[kSaveAtExitFlag] == 1 && settings_.CurrentViewMode == kLargeIconsMode) {
        SaveIconPositions(IsWinNT());
    }
}

void frmMain::StartFollowingScreen() { SaveFollowedLayout(); }

void frmMain::SaveFollowedLayout() {
    nextCalmSave_ = GetTickCount64() + kCalmSaveMs;
    if (settings_.ScreenFollow == 1 && settings_.InIconView()) SaveIconPositions(IsWinNT());
}

void frmMain::MeasureScreen() { screenPixels_ = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool frmMain::CreateToolbar() {
    barBtn_ = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
        0, TwipsToPixels(kBarWidthTwips, tppX_), TwipsToPixels(kBarHeightTwips, tppY_), Hwnd(), nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (!barBtn_) return false;
    SendMessageW(barBtn_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    imageList1_.Reset(CreateBarImageList(Hwnd()));
    SendMessageW(barBtn_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imageList1_.Get()));

    const int dpi = static_cast<int>(1440.0 / tppX_ + 0.5);
    SendMessageW(barBtn_, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(HimetricToPixels(kButtonWidthHimetric, dpi), HimetricToPixels(kButtonHeightHimetric, dpi)));

    // Index i of the table is command id i. A wrapped separator ends its row and adds a gap two
    // thirds of its width below it; its own rectangle lies right of the button, outside the
    // one-button-wide bar, so the line across the gap is drawn by the post-paint step.
    TBBUTTON buttons[kButtonCount] = {};
    for (int i = 1; i <= kButtonCount; ++i) {
        TBBUTTON& b = buttons[i - 1];
        b.idCommand = i;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_BUTTON;
        b.iString = -1;
        switch (i) {
            case kViewButton: b.iBitmap = 0; break;
            case kSettingsButton: b.iBitmap = kImageSettings - 1; break;
            case kRedrawButton: b.iBitmap = kImageRedraw - 1; break;
            case kExitButton: b.iBitmap = kImageExit - 1; break;
            case 2:
            case 4:
            case 12:
                b.fsStyle = BTNS_SEP;
                b.fsState = TBSTATE_ENABLED | TBSTATE_WRAP;
                b.iBitmap = kSeparatorWidth;
                break;
            default:
                b.fsState = TBSTATE_HIDDEN;
                b.iBitmap = I_IMAGENONE;
                break;
        }
    }
    SendMessageW(barBtn_, TB_ADDBUTTONSW, kButtonCount, reinterpret_cast<LPARAM>(buttons));
    toolTips_[kSettingsButton] = text::kSettingsTip;
    toolTips_[kRedrawButton] = text::kRedrawTip;
    toolTips_[kExitButton] = text::kExitTip;
    return true;
}

void frmMain::Form_Load() {
    watcher_ = {};
    ReadAllSettings(settings_);

    // The window is exactly as wide as its toolbar plus whatever frame it has.
    RECT window = {};
    RECT client = {};
    GetWindowRect(Hwnd(), &window);
    GetClientRect(Hwnd(), &client);
    width_ = kBarWidthTwips + PixelsToTwips((window.right - window.left) - client.right, tppX_);
    SetWindowPos(Hwnd(), nullptr, 0, 0, TwipsToPixels(width_, tppX_), TwipsToPixels(height_, tppY_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // Placed left of the screen for now; the corner placement below moves it.
    if (settings_.ToolTopMost == 1) {
        left_ = -width_;
        top_ = 0;
        SetWindowPos(Hwnd(), HWND_TOPMOST, static_cast<int>(-width_), 0, TwipsToPixels(width_, tppX_),
                     TwipsToPixels(height_, tppY_), SWP_SHOWWINDOW);
        placed_ = true;
        placedAt_ = {static_cast<int>(-width_), 0};
    }

    isOldWin9x_ = CheckWindowsVersion(isWinNT_);

    // The desktop cannot be managed while Active Desktop draws it.
    desktop_ = FindDesktopWindows();
    if (desktop_.DefView && FindWindowExW(desktop_.DefView, nullptr, L"Internet Explorer_Server", nullptr)) {
        ShowMessage(nullptr, text::kActiveDesktopRefusal, text::kProductName, MB_OK | MB_ICONSTOP);
        ExitProcess(0);
    }

    // Taken before the styles make it transparent, so that turning that off can give it back. A
    // shell too busy to answer (at log-on) leaves it unknown, to be read later: never black.
    label_.TryRead(desktop_.ListView);

    int16_t tucked = 0;
    PlaceToolbar(tucked);

    // Only modes that cycle can be chosen from the tray menu.
    for (int i = 0; i < kViewModeCount; ++i) {
        if (settings_.ChangeStyleFlags[i] == 0) Task().SetMenuIconVisible(i, false);
    }

    ApplyDesktopStyles();
    // Lands on the stored mode, or the next one that cycles.
    SetBarBtn();
    if (settings_.StyleFlags[kRestoreAtStartFlag] == 1 && settings_.InIconView()) RestoreIconPositions(IsWinNT());
    appliedListView_ = desktop_.ListView;
    TheScreen().Notice(PrimaryScreenSize(), GetTickCount64());
    SaveFollowedLayout();

    // As often as the system's timer allows; a change of the Desktop folders brings the count
    // check forward.
    folderWatch_ = std::make_unique<DesktopFolderWatch>(Hwnd(), kFolderChanged);
    SetTimer(Hwnd(), kTimer1, 1, nullptr);
}

void frmMain::Form_Unload() {
    KillTimer(Hwnd(), kTimer1);
    folderWatch_.reset();
    SaveAtExit();
    // The tray icon goes with its host.
    if (set_) set_->Unload();
    if (task_) task_->Unload();
    InvalidateWindow(desktop_.DefView);
    InvalidateWindow(desktop_.ListView);
}

void frmMain::SetBarBtn() {
    const int16_t old = settings_.CurrentViewMode;
    settings_.CurrentViewMode = AdvanceViewMode(old, settings_.ChangeStyleFlags);
    ShowViewMode(old);
}

bool frmMain::SetViewMode(int16_t mode) {
    const int16_t old = settings_.CurrentViewMode;
    settings_.CurrentViewMode = mode;
    ShowViewMode(old);
    InvalidateWindow(desktop_.ListView);
    return ShownViewMode(desktop_.ListView) == mode;
}

int frmMain::RunCommand(const CommandLine& command) {
    switch (command.command) {
        case Command::Save: return SaveCommand(settings_.InIconView(), IsWinNT());
        case Command::Restore: return RestoreCommand(settings_.InIconView(), IsWinNT());
        case Command::View: return SetViewMode(command.viewMode) ? kExitDone : kExitNotPossible;
        case Command::Exit: Exit(); return kExitDone;
        default: return kExitNotPossible;
    }
}

LRESULT frmMain::OnCopyData(const COPYDATASTRUCT& data) {
    const std::optional<CommandLine> command = DecodeCommandRecord(data.dwData, data.lpData, data.cbData);
    if (!command) return 0;
    if (unloading_) return EncodeAnswer(kExitNotPossible);
    // The sender waits for the answer, and a command cannot run inside a wait for the shell (the
    // message arrives there) or before the load sequence is over: the sender asks again shortly.
    if (ShellRequestInFlight() || !loaded_) return EncodeAnswer(kBusy);
    return EncodeAnswer(RunCommand(*command));
}

void frmMain::ShowViewMode(int16_t old) {
    const int16_t mode = settings_.CurrentViewMode;
    const int16_t next = NextButtonMode(mode, settings_.ChangeStyleFlags);
    SendMessageW(barBtn_, TB_CHANGEBITMAP, kViewButton, next - 1);
    toolTips_[kViewButton] = text::kViewModeNames[next - 1];
    for (int i = 0; i < kViewModeCount; ++i) Task().SetMenuIconChecked(i, i == mode - 1);
    SetDesktopViewMode(desktop_, watcher_, viewCommands_, static_cast<int16_t>(mode - 1), static_cast<int16_t>(old - 1),
                       isOldWin9x_ != kFalse);
}

void frmMain::PlaceToolbar(int16_t& showFully) {
    IconTray& tray = Task().ucTask();
    if (settings_.TaskTray == 1) {
        if (IsWindowVisible(Hwnd())) ShowWindow(Hwnd(), SW_HIDE);
        if (!tray.Enable()) tray.SetEnable(true);
        return;
    }
    if (tray.Enable()) tray.SetEnable(false);
    screenWidthTwips_ = PixelsToTwips(screenPixels_.cx, tppX_);
    screenHeightTwips_ = PixelsToTwips(screenPixels_.cy, tppY_);
    const ToolbarPlacement p = PlaceToolbarGeometry(settings_.ToolPosition, screenWidthTwips_, screenHeightTwips_,
                                                    static_cast<int32_t>(width_), static_cast<int32_t>(height_));
    MoveTo(showFully != 0 ? p.shownLeft : p.tuckedLeft, p.top);
    // Placed before it is shown, so that it never flashes where it was.
    if (!IsWindowVisible(Hwnd())) ShowWindow(Hwnd(), SW_SHOWNA);
}

void frmMain::MoveTo(double leftTwips, double topTwips) {
    left_ = leftTwips;
    top_ = topTwips;
    const POINT to = {TwipsToPixels(leftTwips, tppX_), TwipsToPixels(topTwips, tppY_)};
    // Runs on every watcher tick: the window only moves when it lands somewhere else.
    if (placed_ && to.x == placedAt_.x && to.y == placedAt_.y) return;
    SetWindowPos(Hwnd(), nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = true;
    placedAt_ = to;
}

namespace {

// Whether a check that runs every `every` ms is due; moves its next time on when it is.
bool Due(ULONGLONG& next, ULONGLONG now, UINT every) {
    if (now < next) return false;
    next = now + every;
    return true;
}

}  // namespace

void frmMain::Timer1_Timer() {
    // Each tick only places the toolbar as the mouse was last seen; every look at the mouse or the
    // shell's desktop is a round trip to another process, so each check runs when it is due.
    const ULONGLONG now = GetTickCount64();
    if (Due(nextMouseCheck_, now, kMouseCheckMs)) {
        FollowMouse();
    } else {
        int16_t showFully = mouseOver_ ? -1 : 0;
        PlaceToolbar(showFully);
    }
    if (Due(nextScrollCheck_, now, kScrollCheckMs)) watcher_.FollowScroll(desktop_);
    if (Due(nextLabelCheck_, now, kLabelCheckMs)) {
        label_.TryRead(desktop_.ListView, kWatcherTimeoutMs);
        watcher_.KeepTextTransparent(desktop_, settings_.StyleFlags[kTextColorFlag] == 1);
    }
    const bool eager = now < countBurstUntil_ || settlingCount_ >= 0;
    if (Due(nextCountCheck_, now, eager ? kEagerCountCheckMs : kCountCheckMs)) {
        watcher_.CheckItemCount(desktop_);
        WatchForNewDesktop(now);
    }
    if (Due(nextScreenCheck_, now, kScreenCheckMs)) FollowScreen(now);
}

void frmMain::FollowScreen(ULONGLONG now) {
    // Taken with the option off too, so that saves are allowed again once the change settled.
    TheScreen().Notice(PrimaryScreenSize(), now);
    const bool following = settings_.ScreenFollow == 1 && settings_.InIconView();
    if (TheScreen().TakeSettled(now)) {
        // The layout kept for the new size, if any; otherwise the shell's arrangement stays and
        // becomes that size's layout at the next calm save.
        if (following) RestoreIconPositions(IsWinNT());
        return;
    }
    // Calm: no change of the screen waiting, no burst of folder changes, no new desktop settling.
    if (!following || !TheScreen().SavesAllowed() || now < nextCalmSave_ || now < countBurstUntil_ ||
        settlingCount_ >= 0) {
        return;
    }
    nextCalmSave_ = now + kCalmSaveMs;
    SaveChangedIconPositions(IsWinNT());
}

void frmMain::FollowMouse() {
    POINT mouse = {};
    GetCursorPos(&mouse);
    mouseOver_ = IsPointOverWindow(mouse.x, mouse.y, left_, top_, width_, height_, tppX_, tppY_);
    int16_t showFully = mouseOver_ ? -1 : 0;
    PlaceToolbar(showFully);
    // The toolbar under the mouse takes the focus, but not from the program's own dialogs, which
    // would lose Enter and Esc to it.
    if (!mouseOver_) return;
    const HWND active = GetActiveWindow();
    if (IsWindowVisible(Hwnd()) && GetFocus() != Hwnd() && (!active || active == Hwnd())) SetFocus(Hwnd());
}

void frmMain::WatchForNewDesktop(ULONGLONG now) {
    const HWND listView = desktop_.ListView;
    if (!listView || listView == appliedListView_) {
        settlingCount_ = -1;
        return;
    }
    // A desktop still being built gains items for a while: it is set up once its count holds.
    const int32_t count = watcher_.LastItemCount();
    if (count != settlingCount_) {
        settlingCount_ = count;
        settlingSince_ = now;
        return;
    }
    if (now - settlingSince_ >= kSettleMs) ApplyToNewDesktop();
}

void frmMain::ApplyToNewDesktop() {
    // A shell that restarted built its desktop with its own styles, view and label background:
    // they are brought back to the settings as the program has them now, once per desktop.
    appliedListView_ = desktop_.ListView;
    settlingCount_ = -1;
    label_ = LabelBackground{};
    viewCommands_ = ViewCommands::Unknown;
    ApplyDesktopStyles();
    settings_.CurrentViewMode = static_cast<int16_t>(settings_.CurrentViewMode - 1);
    SetBarBtn();
    if (settings_.StyleFlags[kRestoreAtStartFlag] == 1 && settings_.InIconView()) RestoreIconPositions(IsWinNT());
    InvalidateWindow(desktop_.ListView);
}

void frmMain::barBtn_ButtonClick(int index) {
    switch (index) {
        case kViewButton:
            SetBarBtn();
            InvalidateWindow(desktop_.ListView);
            break;
        case kSettingsButton: ShowSettings(); break;
        case kRedrawButton: RedrawDesktop(desktop_); break;
        case kExitButton: Exit(); break;
        default: break;
    }
}

LRESULT frmMain::OnToolbarCustomDraw(const NMTBCUSTOMDRAW& draw) {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
    if (draw.nmcd.dwDrawStage != CDDS_POSTPAINT) return CDRF_DODEFAULT;
    RECT client = {};
    GetClientRect(barBtn_, &client);
    for (int index = 2; index < kButtonCount; ++index) {
        if (!IsSeparator(index)) continue;
        // The row above the gap ends with the button before the separator.
        RECT above = {};
        if (!SendMessageW(barBtn_, TB_GETITEMRECT, static_cast<WPARAM>(index - 2), reinterpret_cast<LPARAM>(&above))) {
            continue;
        }
        RECT line = {client.left + 2, above.bottom + kSeparatorWidth / 3 - 1, client.right - 2, 0};
        line.bottom = line.top + 2;
        DrawEdge(draw.nmcd.hdc, &line, EDGE_ETCHED, BF_TOP);
    }
    return CDRF_DODEFAULT;
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: MeasureScreen(); return CreateToolbar() ? 0 : -1;
        case WM_DISPLAYCHANGE:
            MeasureScreen();
            TheScreen().Notice(PrimaryScreenSize(), GetTickCount64());
            break;
        case WM_COMMAND:
            if (ShellRequestInFlight()) {
                PostMessageW(Hwnd(), msg, wParam, lParam);
                return 0;
            }
            if (reinterpret_cast<HWND>(lParam) == barBtn_ && barBtn_) {
                barBtn_ButtonClick(LOWORD(wParam));
                return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == NM_CUSTOMDRAW && header->hwndFrom == barBtn_) {
                return OnToolbarCustomDraw(*reinterpret_cast<NMTBCUSTOMDRAW*>(lParam));
            }
            if (header->code == TTN_GETDISPINFOW && header->idFrom >= 1 && header->idFrom <= kButtonCount) {
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
                info->lpszText = const_cast<wchar_t*>(toolTips_[header->idFrom].c_str());
                info->hinst = nullptr;
                return 0;
            }
            break;
        }
        case kFolderChanged:
            countBurstUntil_ = GetTickCount64() + kEagerCountMs;
            nextCountCheck_ = 0;
            return 0;
        case WM_SETCURSOR:
            // The mouse moves over the toolbar or its button bar: out at once, not at the next check.
            if (HIWORD(lParam) == WM_MOUSEMOVE && !mouseOver_) FollowMouse();
            break;
        case WM_TIMER:
            if (wParam == kTimer1) {
                // The next tick comes soon enough; none runs inside a wait for the shell.
                if (!ShellRequestInFlight()) Timer1_Timer();
                return 0;
            }
            break;
        case WM_COPYDATA: return OnCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_CLOSE: Unload(); return 0;
        case WM_ENDSESSION:
            // Logging off ends the program like its exit button, so the settings are kept.
            if (wParam) EndSession();
            return 0;
        case WM_DESTROY:
            barBtn_ = nullptr;
            if (quitOnDestroy_) PostQuitMessage(0);
            break;
        default: break;
    }
    return Default(msg, wParam, lParam);
}

}  // namespace iv
