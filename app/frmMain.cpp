#include "app/frmMain.h"

#include <wtsapi32.h>

#include <algorithm>
#include <iterator>

#include "app/BarButtons.h"
#include "app/Commands.h"
#include "app/Instance.h"
#include "app/ToolbarRules.h"
#include "app/WinVersion.h"
#include "base/MessageBox.h"
#include "base/Twips.h"
#include "dialogs/frmLayoutName.h"
#include "layouts/IconPositions.h"
#include "layouts/KeptLayouts.h"
#include "res/texts.h"

namespace iv {

frmMain::frmMain() = default;

frmMain::~frmMain() {
    set_.reset();
    task_.reset();
    if (Hwnd()) DestroyWindow(Hwnd());
    keeper_.reset();
}

frmTask& frmMain::Task() {
    if (!task_) {
        task_ = std::make_unique<frmTask>(*this, trayNotifier_);
        task_->Load();
        ShowModesInTrayMenu();
    }
    return *task_;
}

void frmMain::ShowModesInTrayMenu() {
    // The tray's window is made when it is first needed, and takes the menu's state then.
    if (!task_) return;
    // Only modes that cycle can be chosen from the tray menu.
    for (int i = 0; i < kViewModeCount; ++i) {
        task_->SetMenuIconVisible(i, settings_.ChangeStyleFlags[i] == 1);
        task_->SetMenuIconChecked(i, i == settings_.CurrentViewMode - 1);
    }
}

frmSet& frmMain::SettingsDialog() {
    if (!set_) set_ = std::make_unique<frmSet>(*this);
    return *set_;
}

void frmMain::ShowSettings() { SettingsDialog().Show(); }

void frmMain::RestoreLayout(const std::wstring& name) {
    CommandLine restore;
    restore.command = Command::RestoreNamed;
    restore.name = name;
    RunCommand(restore);
}

void frmMain::SaveLayoutAs() {
    if (askingName_) return;
    askingName_ = true;
    frmLayoutName box;
    box.allowed = [](const std::wstring& name) { return PersonalLayoutName(name); };
    CommandLine save;
    save.command = Command::SaveNamed;
    save.name = box.Ask(Hwnd());
    askingName_ = false;
    if (save.name.empty()) return;
    // Kept under that name in any form, readable or not: the save would replace it for good.
    if (NamedLayoutKept(save.name) &&
        ShowMessage(Hwnd(), text::kLayoutReplaceQuestion, text::kProductName, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (RunCommand(save) != kExitDone)
        ShowMessage(Hwnd(), text::kLayoutNotSaved, text::kProductName, MB_OK | MB_ICONEXCLAMATION);
}

void frmMain::Exit() {
    // Unloaded once the control that asked has finished with the message that destroys it.
    PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
}

void frmMain::ApplyTopMost() {
    // The width in twips serves as a pixel position, which lies left of any screen.
    SetWindowPos(Hwnd(), settings_.ToolTopMost == 1 ? HWND_TOPMOST : HWND_NOTOPMOST, static_cast<int>(-width_), 0,
                 TwipsToPixels(width_, tppX_), TwipsToPixels(height_, tppY_), SWP_SHOWWINDOW | SWP_NOACTIVATE);
    placed_ = false;
}

bool frmMain::Load() {
    if (Hwnd()) return true;
    if (!EnsureWindowClass(kToolbarWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;

    const TwipsScale tpp = ScreenTwipsPerPixel();
    tppX_ = tpp.x;
    tppY_ = tpp.y;
    // A tool window: the toolbar has no task-bar button of its own.
    if (!Create(WS_EX_TOOLWINDOW, kToolbarWindowClass, text::kProductName, WS_POPUP, 0, 0, TwipsToPixels(width_, tppX_),
                TwipsToPixels(height_, tppY_), nullptr)) {
        return false;
    }
    Form_Load();
    loaded_ = true;
    return true;
}

void frmMain::Unload() {
    if (!Hwnd() || unloading_) return;
    // Asked inside a wait for the shell: the request in progress finishes first.
    if (session_ && session_->DeferWhileWaiting(Hwnd(), WM_CLOSE, 0, 0)) return;
    unloading_ = true;
    Form_Unload();
    DestroyWindow(Hwnd());
}

void frmMain::EndSession() {
    if (!Hwnd()) return;
    // Inside the load the settings are not yet what the program works with: nothing is saved,
    // and the program ends once the load is over.
    if (!loaded_) {
        PostMessageW(Hwnd(), WM_CLOSE, 0, 0);
        return;
    }
    if (!WaitingForShell() && !unloading_) {
        Unload();
        return;
    }
    // The system may end the process as soon as this returns, even inside a wait for the shell or
    // the exit's own saves: the settings are written now, and the window goes when the wait is
    // over. The icons are not read from inside a wait for the shell: what is on screen may be half
    // moved, and nothing is asked of a shell that owes an answer.
    SaveSettings(settings_);
    session_->DeferWhileWaiting(Hwnd(), WM_CLOSE, 0, 0);
}

void frmMain::SaveAtExit() {
    SaveSettings(settings_);
    keeper_->SaveAtExit(GetTickCount64());
}

void frmMain::ApplySettings(const SharedSettings& edited) {
    std::copy(std::begin(edited.StyleFlags), std::end(edited.StyleFlags), settings_.StyleFlags);
    settings_.ToolPosition = edited.ToolPosition;
    settings_.TaskTray = edited.TaskTray;
    settings_.ToolTopMost = edited.ToolTopMost;
    ApplyTopMost();
    std::copy(std::begin(edited.ChangeStyleFlags), std::end(edited.ChangeStyleFlags), settings_.ChangeStyleFlags);
    ShowModesInTrayMenu();
    keeper_->ApplyStyles();
    // On before the view is applied, so that the icons' places are read and put back around its
    // switch; then saved: from now on the layout on screen is kept for its size.
    const bool turnedOn = edited.ScreenFollow == 1 && settings_.ScreenFollow != 1;
    settings_.ScreenFollow = edited.ScreenFollow;
    ChooseViewMode(settings_.CurrentViewMode, ViewModeChoice::ThisOrNextCycling);
    if (turnedOn) keeper_->StartFollowingScreen();
    // The corner, the order and the toolbar/tray switch take effect now.
    FollowMouse();
    ArmUpkeep();
}

void frmMain::MeasureScreen() { screenPixels_ = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool frmMain::CreateToolbar() {
    imageList1_.Reset(CreateBarImageList(Hwnd()));
    barBtn_ = CreateBarButtons(Hwnd(), {TwipsToPixels(kBarWidthTwips, tppX_), TwipsToPixels(kBarHeightTwips, tppY_)},
                               static_cast<int>(1440.0 / tppX_ + 0.5), imageList1_.Get());
    if (!barBtn_) return false;
    // The toolbar covers the whole window: the mouse's messages are its own.
    barSubclass_.Set(barBtn_, BarProc, kTimer1, reinterpret_cast<DWORD_PTR>(this));
    toolTips_[kSettingsButton] = text::kSettingsTip;
    toolTips_[kRedrawButton] = text::kRedrawTip;
    toolTips_[kExitButton] = text::kExitTip;
    return true;
}

void frmMain::Form_Load() {
    ReadAllSettings(settings_);
    FitToToolbar();
    // Placed left of the screen for now; the corner placement below moves it.
    if (settings_.ToolTopMost == 1) {
        left_ = -width_;
        top_ = 0;
        SetWindowPos(Hwnd(), HWND_TOPMOST, static_cast<int>(-width_), 0, TwipsToPixels(width_, tppX_),
                     TwipsToPixels(height_, tppY_), SWP_SHOWWINDOW);
        placed_ = true;
        placedAt_ = {static_cast<int>(-width_), 0};
    }

    session_ = std::make_unique<ShellSession>(CheckWindowsVersion());
    session_->SetIdleNotice(Hwnd(), kRunDeferred);
    keeper_ = std::make_unique<DesktopKeeper>(settings_, *session_, *this);
    keeper_->FindDesktop();
    // The desktop cannot be managed while Active Desktop draws it.
    if (keeper_->ActiveDesktopOn()) {
        ShowMessage(nullptr, text::kActiveDesktopRefusal, text::kProductName, MB_OK | MB_ICONSTOP);
        ExitProcess(0);
    }
    PlaceToolbar(false);
    // Painted before anything that can wait: the icons, the session's notices and the desktop's
    // upkeep, which waits on the shell.
    UpdateWindow(Hwnd());
    TakeIcons();
    // A session connected again (a remote desktop, a switch of user) may bring other monitors.
    WTSRegisterSessionNotification(Hwnd(), NOTIFY_FOR_THIS_SESSION);

    keeper_->ReadLabelBackground();
    keeper_->ApplyStyles();
    // The record holds the stored mode minus one: the choice lands on the stored mode, or the
    // next one that cycles.
    ChooseViewMode(static_cast<int16_t>(settings_.CurrentViewMode + 1), ViewModeChoice::ThisOrNextCycling);
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    keeper_->Start(Hwnd(), kFolderChanged, kDesktopEvent);
    upkeepStarted_ = true;
    ArmUpkeep();
    // The mouse may rest on the strip already: no message of its own would tell.
    FollowMouse();
}

void frmMain::TakeIcons() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    icon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                              GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.Reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.Get()));
    SendMessageW(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.Get()));
}

void frmMain::FitToToolbar() {
    // The window is exactly as wide as its toolbar plus whatever frame it has.
    RECT window = {};
    RECT client = {};
    GetWindowRect(Hwnd(), &window);
    GetClientRect(Hwnd(), &client);
    width_ = kBarWidthTwips + PixelsToTwips((window.right - window.left) - client.right, tppX_);
    SetWindowPos(Hwnd(), nullptr, 0, 0, TwipsToPixels(width_, tppX_), TwipsToPixels(height_, tppY_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::Form_Unload() {
    timer1_.Stop();
    upkeepStarted_ = false;
    upkeep_.Stop();
    keeper_->Stop();
    SaveAtExit();
    // The tray icon goes with its host.
    if (set_) set_->Unload();
    if (task_) task_->Unload();
    InvalidateWindow(keeper_->Desktop().DefView);
    InvalidateWindow(keeper_->Desktop().ListView);
    // Nothing of the program's stays in the shell's process that need not: blocks whose late
    // answers come within the wait are freed.
    session_->WaitForSetAsideBlocks(kSetAsideWaitMs);
}

void frmMain::ChooseViewMode(int16_t mode, ViewModeChoice how) {
    const bool exactly = how == ViewModeChoice::Exactly;
    const int16_t previous = exactly ? settings_.CurrentViewMode : static_cast<int16_t>(mode - 1);
    settings_.CurrentViewMode = exactly ? mode : AdvanceViewMode(previous, settings_.ChangeStyleFlags);
    const int16_t next = NextButtonMode(settings_.CurrentViewMode, settings_.ChangeStyleFlags);
    SendMessageW(barBtn_, TB_CHANGEBITMAP, kViewButton, next - 1);
    toolTips_[kViewButton] = text::kViewModeNames[next - 1];
    ShowModesInTrayMenu();
    keeper_->ShowViewMode(settings_.CurrentViewMode, previous);
    InvalidateWindow(keeper_->Desktop().ListView);
    ArmUpkeep();
}

int frmMain::RunCommand(const CommandLine& command) {
    switch (command.command) {
        case Command::Save:
        case Command::Restore:
        case Command::RestorePrevious:
        case Command::Undo:
        case Command::RestoreNamed: {
            const int code = RunPositionsCommand(*session_, settings_.InIconView(), command);
            PositionsAsked(code == kExitDone);
            return code;
        }
        // A layout kept under a name changes nothing of the screen's own.
        case Command::SaveNamed: return RunPositionsCommand(*session_, settings_.InIconView(), command);
        case Command::View:
            ChooseViewMode(command.viewMode, ViewModeChoice::Exactly);
            return ExitCode(ShownViewMode(*session_, keeper_->Desktop().ListView) == command.viewMode);
        case Command::Exit: Exit(); return kExitDone;
        default: return kExitNotPossible;
    }
}

LRESULT frmMain::OnCopyData(const COPYDATASTRUCT* data) {
    if (!data) return 0;
    const std::optional<CommandLine> command = DecodeCommandRecord(data->dwData, data->lpData, data->cbData);
    if (!command) return 0;
    if (unloading_) return EncodeAnswer(kExitNotPossible);
    // The sender waits for the answer, and a command cannot run inside a wait for the shell (the
    // message arrives there) or before the load sequence is over: the sender asks again shortly.
    if (WaitingForShell() || !loaded_) return EncodeAnswer(kBusy);
    return EncodeAnswer(RunCommand(*command));
}

void frmMain::PlaceToolbar(bool showFully) {
    if (settings_.TaskTray == 1) {
        if (IsWindowVisible(Hwnd())) ShowWindow(Hwnd(), SW_HIDE);
        IconTray& tray = Task().ucTask();
        if (!tray.Enable()) tray.SetEnable(true);
        return;
    }
    if (task_ && task_->ucTask().Enable()) task_->ucTask().SetEnable(false);
    const ToolbarPlacement p = PlaceToolbarGeometry(settings_.ToolPosition, PixelsToTwips(screenPixels_.cx, tppX_),
                                                    PixelsToTwips(screenPixels_.cy, tppY_),
                                                    static_cast<int32_t>(width_), static_cast<int32_t>(height_));
    MoveTo(showFully ? p.shownLeft : p.tuckedLeft, p.top);
    // Placed before it is shown, so that it never flashes where it was.
    if (!IsWindowVisible(Hwnd())) ShowWindow(Hwnd(), SW_SHOWNA);
}

void frmMain::MoveTo(double leftTwips, double topTwips) {
    left_ = leftTwips;
    top_ = topTwips;
    const POINT to = {TwipsToPixels(leftTwips, tppX_), TwipsToPixels(topTwips, tppY_)};
    // Runs on every look at the mouse: the window only moves when it lands somewhere else.
    if (placed_ && to.x == placedAt_.x && to.y == placedAt_.y) return;
    SetWindowPos(Hwnd(), nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = true;
    placedAt_ = to;
}

void frmMain::Timer1_Timer() { FollowMouse(); }

void frmMain::FollowMouse() {
    following_ = true;
    POINT mouse = {};
    GetCursorPos(&mouse);
    mouseOver_ = IsPointOverWindow(mouse.x, mouse.y, left_, top_, width_, height_, tppX_, tppY_);
    PlaceToolbar(mouseOver_);
    following_ = false;
    // Out: its timer and the mouse's leave message tell when to tuck it away. Tucked, or hidden
    // for the tray: nothing runs until the mouse comes.
    if (!mouseOver_ || settings_.TaskTray == 1) {
        timer1_.Stop();
        return;
    }
    if (!timer1_.Running()) timer1_.Start(Hwnd(), kMouseCheckMs);
    TRACKMOUSEEVENT leave = {sizeof leave, TME_LEAVE, barBtn_, 0};
    if (barBtn_) TrackMouseEvent(&leave);
    // The toolbar under the mouse takes the focus, but not from the program's own dialogs, which
    // would lose Enter and Esc to it.
    const HWND active = GetActiveWindow();
    if (IsWindowVisible(Hwnd()) && GetFocus() != Hwnd() && (!active || active == Hwnd())) SetFocus(Hwnd());
}

LRESULT CALLBACK frmMain::BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<frmMain*>(data);
    if (msg == WM_NCHITTEST || msg == WM_MOUSEMOVE) self->MouseCame();
    if (msg == WM_MOUSELEAVE && self->mouseOver_ && !self->following_) self->FollowMouse();
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

void frmMain::ArmUpkeep() {
    if (!upkeepStarted_ || !Hwnd()) return;
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG due = keeper_->NextDue(now);
    if (due == kNeverDue) {
        upkeep_.Stop();
        return;
    }
    // A timer that fires again just when the next duty is due is left as it is: each arming is a
    // round trip to the window server.
    if (upkeep_.Running() && due == upkeepDue_) return;
    upkeepDue_ = due;
    // The longest wait a window timer takes; a duty further off is armed again on the way.
    constexpr ULONGLONG kLongestWaitMs = 0x7FFFFFFF;
    upkeepPeriod_ = due > now ? static_cast<UINT>(std::min(due - now, kLongestWaitMs)) : USER_TIMER_MINIMUM;
    upkeep_.Start(Hwnd(), upkeepPeriod_);
}

void frmMain::RunUpkeep() {
    // None runs inside a wait for the shell: it runs once the wait is over.
    if (session_->DeferWhileWaiting(Hwnd(), WM_TIMER, kUpkeepTimer, 0)) return;
    const ULONGLONG now = GetTickCount64();
    // Until armed again, the timer fires once more a period from now, and is stopped unless a
    // duty is due then.
    upkeepDue_ = now + upkeepPeriod_;
    keeper_->Tick(now);
}

void frmMain::barBtn_ButtonClick(int index) {
    switch (index) {
        case kViewButton: SetBarBtn(); break;
        case kSettingsButton: ShowSettings(); break;
        case kRedrawButton: RedrawDesktop(); break;
        case kExitButton: Exit(); break;
        default: break;
    }
}

LRESULT frmMain::OnNotify(const NMHDR& header, LPARAM lParam) {
    if (header.code == NM_CUSTOMDRAW && header.hwndFrom == barBtn_) {
        return DrawBarSeparators(*reinterpret_cast<NMTBCUSTOMDRAW*>(lParam));
    }
    if (header.code == TTN_GETDISPINFOW && header.idFrom >= 1 && header.idFrom <= kButtonCount) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        info->lpszText = const_cast<wchar_t*>(toolTips_[header.idFrom].c_str());
        info->hinst = nullptr;
        return 0;
    }
    return Default(WM_NOTIFY, 0, lParam);
}

LRESULT frmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Handle(msg, wParam, lParam);
    // Whatever a message changed may bring a duty of the upkeep closer, or end it.
    ArmUpkeep();
    return result;
}

LRESULT frmMain::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == taskbarCreated_ && msg && keeper_) {
        keeper_->OnShellRestarted(GetTickCount64());
        return 0;
    }
    switch (msg) {
        case WM_CREATE: MeasureScreen(); return CreateToolbar() ? 0 : -1;
        case WM_DISPLAYCHANGE:
            MeasureScreen();
            NoticeScreen();
            NoticeLook();
            // The corner moved with the screen's size.
            if (loaded_) FollowMouse();
            break;
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETWORKAREA) NoticeScreen();
            NoticeLook();
            break;
        case WM_SYSCOLORCHANGE:
        case WM_THEMECHANGED: NoticeLook(); break;
        case kDpiChanged: NoticeScreen(); break;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) NoticeScreen();
            return TRUE;
        case WM_WTSSESSION_CHANGE:
            if (wParam == WTS_CONSOLE_CONNECT || wParam == WTS_REMOTE_CONNECT || wParam == WTS_SESSION_UNLOCK) {
                NoticeScreen();
            }
            break;
        case WM_COMMAND:
            if (session_ && session_->DeferWhileWaiting(Hwnd(), msg, wParam, lParam)) return 0;
            if (reinterpret_cast<HWND>(lParam) == barBtn_ && barBtn_) {
                barBtn_ButtonClick(LOWORD(wParam));
                return 0;
            }
            break;
        case WM_NOTIFY: return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
        case kFolderChanged: keeper_->OnFolderChanged(GetTickCount64()); return 0;
        case kDesktopEvent: keeper_->OnDesktopEvent(static_cast<DesktopEvent>(wParam), GetTickCount64()); return 0;
        case kRunDeferred: session_->RunDeferred(); return 0;
        case WM_SETCURSOR:
            if (HIWORD(lParam) == WM_MOUSEMOVE) MouseCame();
            break;
        case WM_NCHITTEST:
        case WM_MOUSEMOVE: MouseCame(); break;
        case WM_TIMER:
            if (wParam == kTimer1) {
                // The next tick comes soon enough; none runs inside a wait for the shell.
                if (!WaitingForShell()) Timer1_Timer();
                return 0;
            }
            if (wParam == kUpkeepTimer) {
                RunUpkeep();
                return 0;
            }
            break;
        case WM_COPYDATA: return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_CLOSE: Unload(); return 0;
        case WM_ENDSESSION:
            // Logging off ends the program like its exit button, so the settings are kept.
            if (wParam) EndSession();
            return 0;
        case WM_DESTROY:
            timer1_.Stop();
            upkeepStarted_ = false;
            upkeep_.Stop();
            barSubclass_.Reset();
            WTSUnRegisterSessionNotification(Hwnd());
            barBtn_ = nullptr;
            if (quitOnDestroy_) PostQuitMessage(0);
            break;
        default: break;
    }
    return Default(msg, wParam, lParam);
}

}  // namespace iv
