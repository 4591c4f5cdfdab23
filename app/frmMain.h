// The main window: a narrow borderless toolbar tucked into a corner of the screen.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/BarButtons.h"
#include "app/CommandLine.h"
#include "base/ScopedWin.h"
#include "base/Window.h"
#include "desktop/DesktopKeeper.h"
#include "shell/ShellSession.h"
#include "dialogs/SettingsHost.h"
#include "dialogs/frmSet.h"
#include "settings/Settings.h"
#include "tray/TrayHost.h"
#include "tray/frmTask.h"

namespace iv {

// Owns the program's state: the settings, the conversation with the shell and the desktop's
// upkeep, and the windows that show them (toolbar, tray host, settings dialog).
class frmMain final : public Window, public TrayHost, public SettingsHost {
public:
    // Size of the window and of its toolbar, in twips.
    static constexpr int32_t kBarWidthTwips = 360;
    static constexpr int32_t kBarHeightTwips = 1740;

    frmMain();
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window (hidden) with its toolbar and runs the load sequence.
    bool Load();
    // Runs the unload sequence and destroys the window.
    void Unload();

    // Advances the view mode to the next cycling mode (the view button).
    void SetBarBtn() {
        ChooseViewMode(static_cast<int16_t>(settings_.CurrentViewMode + 1), ViewModeChoice::ThisOrNextCycling);
    }
    // Carries out a command sent by another start of the program; returns its exit code.
    int RunCommand(const CommandLine& command);
    // Puts the toolbar into its corner, slid out or tucked away, or hides it for the tray.
    void PlaceToolbar(bool showFully);
    void barBtn_ButtonClick(int index);
    // The tick of the toolbar's timer, which runs only while the toolbar is out: keeps it out
    // while the mouse is over it, or tucks it away (and the timer stops).
    void Timer1_Timer();
    // Reads the mouse and slides the toolbar out while it is over it, or tucks it away.
    void FollowMouse();
    // Whether the toolbar's timer runs (the toolbar is out).
    bool Timer1Running() const { return timer1_.Running(); }
    // When the desktop's upkeep is next due, as its one-shot timer is armed; kNeverDue when no
    // timer is armed.
    ULONGLONG UpkeepArmedFor() const { return upkeep_.Running() ? upkeepDue_ : kNeverDue; }

    HWND Toolbar() const { return barBtn_; }
    HIMAGELIST ImageList1() const { return imageList1_.Get(); }
    bool IsLoaded() const { return Hwnd() != nullptr; }

    // Window position and size in twips, as last set.
    double Left() const { return left_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    double TwipsPerPixelX() const { return tppX_; }
    double TwipsPerPixelY() const { return tppY_; }

    // The settings dialog (not loaded until shown).
    frmSet& SettingsDialog();
    // The open modeless dialog whose keys the message loop hands to IsDialogMessage, if any.
    HWND ModelessDialog() const { return set_ && set_->IsLoaded() ? set_->Hwnd() : nullptr; }
    // The tray host, loaded the first time it is needed.
    frmTask& Task();

    SharedSettings& Settings() { return settings_; }
    DesktopKeeper& Keeper() { return *keeper_; }

    // TrayHost.
    void ChooseViewMode(int16_t mode, ViewModeChoice how) override;
    void RedrawDesktop() override {
        keeper_->Redraw();
        ArmUpkeep();
    }
    void ShowSettings() override;
    void RestoreLayout(const std::wstring& name) override;
    void SaveLayoutAs() override;
    void Exit() override;
    ShellSession& Shell() override { return *session_; }

    // SettingsHost.
    const SharedSettings& CurrentSettings() const override { return settings_; }
    void ApplySettings(const SharedSettings& edited) override;
    HWND MainWindow() const override { return Hwnd(); }
    void PositionsAsked(bool done) override {
        keeper_->PositionsAsked(done);
        ArmUpkeep();
    }
    // The program's icon (the system's application icon when the program file has none).
    HICON Icon() const override { return icon_ ? icon_.Get() : LoadIconW(nullptr, IDI_APPLICATION); }

    // What sends the tray icon's requests to the shell; set before Load (tests record them).
    void SetTrayNotifier(IconTray::Notifier notifier) { trayNotifier_ = std::move(notifier); }
    // Whether WM_DESTROY ends the message loop (the program's own window does; tests' need not).
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

private:
    bool WaitingForShell() const { return session_ && session_->RequestInFlight(); }
    bool askingName_ = false;  // the name box is open: the menu's save does not open a second
    void NoticeScreen() {
        if (keeper_) keeper_->OnScreenMayHaveChanged(GetTickCount64());
    }
    void NoticeLook() {
        if (keeper_) keeper_->OnLookMayHaveChanged(GetTickCount64());
    }
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    // The mouse came over the window or its toolbar (a message of theirs told): out at once.
    void MouseCame() {
        if (!mouseOver_ && !following_) FollowMouse();
    }
    static LRESULT CALLBACK BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    // Arms the upkeep's one-shot timer for the keeper's next due duty, or stops it.
    void ArmUpkeep();
    void RunUpkeep();
    LRESULT OnCopyData(const COPYDATASTRUCT* data);
    LRESULT OnNotify(const NMHDR& header, LPARAM lParam);

    void Form_Load();
    void TakeIcons();
    // Puts the view modes' state into the tray menu, once the tray's window exists.
    void ShowModesInTrayMenu();
    void FitToToolbar();
    void Form_Unload();
    // The settings record, and the icon positions when so configured.
    void SaveAtExit();
    // Log-off: ends the program, or, inside a wait for the shell, saves at once and ends after it.
    void EndSession();
    // Shows the window left of the screen in the order ToolTopMost asks for; the next placement
    // puts it back into its corner, or hides it for the tray.
    void ApplyTopMost();
    bool CreateToolbar();
    void MoveTo(double leftTwips, double topTwips);
    void MeasureScreen();

    HWND barBtn_ = nullptr;
    SharedSettings settings_;
    std::unique_ptr<ShellSession> session_;
    std::unique_ptr<DesktopKeeper> keeper_;
    std::unique_ptr<frmTask> task_;
    std::unique_ptr<frmSet> set_;
    ScopedIcon icon_;
    ScopedIcon smallIcon_;
    IconTray::Notifier trayNotifier_;
    ScopedImageList imageList1_;
    std::wstring toolTips_[kButtonCount + 1];
    static constexpr UINT_PTR kTimer1 = 1;
    static constexpr UINT_PTR kUpkeepTimer = 2;
    static constexpr UINT kFolderChanged = WM_APP + 1;
    static constexpr UINT kRunDeferred = WM_APP + 2;
    static constexpr UINT kDesktopEvent = WM_APP + 3;
    // WM_DPICHANGED, which reaches per-monitor-aware windows of Windows 8.1 and later.
    static constexpr UINT kDpiChanged = 0x02E0;
    // While the toolbar is out, the mouse is looked at this often, besides its leave message.
    static constexpr UINT kMouseCheckMs = 50;

    bool mouseOver_ = false;
    bool following_ = false;
    WindowTimer timer1_{kTimer1};
    WindowTimer upkeep_{kUpkeepTimer};
    ULONGLONG upkeepDue_ = kNeverDue;
    UINT upkeepPeriod_ = USER_TIMER_MINIMUM;
    bool upkeepStarted_ = false;
    ScopedSubclass barSubclass_;
    // The broadcast of a shell that (re)built its taskbar.
    UINT taskbarCreated_ = 0;

    // Where the window was last put, in pixels.
    bool placed_ = false;
    POINT placedAt_ = {};
    bool unloading_ = false;
    // Commands wait until the load sequence is over.
    bool loaded_ = false;
    bool quitOnDestroy_ = true;

    double tppX_ = 15;
    double tppY_ = 15;
    double left_ = 0;
    double top_ = 0;
    double width_ = kBarWidthTwips;
    double height_ = kBarHeightTwips;
    // The primary screen in pixels; it changes only with the display settings.
    SIZE screenPixels_ = {};
};

}  // namespace iv
