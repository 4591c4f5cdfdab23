// The main window: a narrow borderless toolbar tucked into a corner of the screen.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "app/WinVersion.h"
#include "base/ScopedWin.h"
#include "base/Window.h"
#include "desktop/DesktopFolders.h"
#include "desktop/DesktopWatcher.h"
#include "desktop/DesktopWindows.h"
#include "desktop/ListViewStyles.h"
#include "dialogs/SettingsHost.h"
#include "dialogs/frmSet.h"
#include "settings/Settings.h"
#include "tray/frmTask.h"

namespace iv {

// The toolbar window's class: a command line finds the running instance by it.
inline constexpr wchar_t kToolbarWindowClass[] = L"IconvaleToolbarWindow";

// Owns the program's state: the settings, the desktop windows as last found, the watcher's
// memory, the platform flags and the label background found at start-up.
class frmMain final : public Window, public SettingsHost {
public:
    // Toolbar button indexes; the click handler dispatches on them. 5..10 are hidden entries.
    static constexpr int kViewButton = 1;
    static constexpr int kSettingsButton = 3;
    static constexpr int kRedrawButton = 11;
    static constexpr int kExitButton = 13;
    static constexpr int kButtonCount = 13;

    // Size of the window and of its toolbar, in twips.
    static constexpr int32_t kBarWidthTwips = 360;
    static constexpr int32_t kBarHeightTwips = 1740;

    // Images of ImageList1, numbered from 1 as the buttons refer to them.
    static constexpr int kImageSettings = 5;
    static constexpr int kImageExit = 11;
    static constexpr int kImageRedraw = 12;
    static constexpr int kImageCount = 12;

    frmMain();
    ~frmMain();
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Creates the window (hidden) with its toolbar and runs the load sequence.
    bool Load();
    // Runs the unload sequence and destroys the window.
    void Unload();

    void SetBarBtn() override;
    // Switches to a mode (1..4) named by a command, whether it cycles or not: the toolbar button
    // then offers the next cycling mode and the tray menu marks it. True when the desktop shows it.
    bool SetViewMode(int16_t mode);
    // Carries out a command sent by another start of the program; returns its exit code.
    int RunCommand(const CommandLine& command);
    void PlaceToolbar(int16_t& showFully);
    void barBtn_ButtonClick(int index);
    // The watcher's tick: slides the toolbar out under the mouse and keeps the desktop in shape.
    void Timer1_Timer();
    // Reads the mouse and slides the toolbar out while it is over it, or tucks it away.
    void FollowMouse();

    HWND Toolbar() const { return barBtn_; }
    HIMAGELIST ImageList1() const { return imageList1_.Get(); }
    bool IsLoaded() const { return Hwnd() != nullptr; }

    // Window position and size in twips, as last set.
    double Left() const { return left_; }
    double Top() const { return top_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    double TwipsPerPixelX() const { return tppX_; }
    double TwipsPerPixelY() const { return tppY_; }

    // The screen size in twips as last computed by PlaceToolbar.
    int32_t ScreenWidthTwips() const { return screenWidthTwips_; }
    int32_t ScreenHeightTwips() const { return screenHeightTwips_; }

    // Tool tip text of a button.
    const std::wstring& ToolTip(int index) const { return toolTips_[index]; }

    // The settings dialog (not loaded until shown).
    frmSet& SettingsDialog();
    // The open modeless dialog whose keys the message loop hands to IsDialogMessage, if any.
    HWND ModelessDialog() const { return set_ && set_->IsLoaded() ? set_->Hwnd() : nullptr; }

    const DesktopWatcher& Watcher() const { return watcher_; }
    std::optional<COLORREF> SavedTextBkColor() const { return label_.Saved(); }
    Flag IsOldWin9x() const { return isOldWin9x_; }

    // SettingsHost (and TrayHost).
    SharedSettings& Settings() override { return settings_; }
    DesktopWindowHandles& Desktop() override { return desktop_; }
    void ShowSettings() override;
    void Exit() override;
    HWND MainWindow() const override { return Hwnd(); }
    // The program's icon (the system's application icon when the program file has none).
    HICON Icon() const override { return icon_ ? icon_.Get() : LoadIconW(nullptr, IDI_APPLICATION); }
    frmTask& Task() override;
    // Shows the window left of the screen in the order ToolTopMost asks for; the watcher's next
    // tick puts it back into its corner, or hides it for the tray.
    void ApplyTopMost() override;
    void ApplyDesktopStyles() override;
    bool IsWinNT() const override { return isWinNT_ != kFalse; }
    void StartFollowingScreen() override;
    // What sends the tray icon's requests to the shell; set before Load (tests record them).
    void SetTrayNotifier(IconTray::Notifier notifier) { trayNotifier_ = std::move(notifier); }

    // Whether WM_DESTROY ends the message loop (the program's own window does; tests' need not).
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnToolbarCustomDraw(const NMTBCUSTOMDRAW& draw);
    LRESULT OnCopyData(const COPYDATASTRUCT& data);
    // Shows CurrentViewMode on the button and in the menu, and switches the desktop to it.
    void ShowViewMode(int16_t previousMode);

    void Form_Load();
    void WatchForNewDesktop(ULONGLONG now);
    // Restores the layout of a new screen size once the change has settled, and keeps the current
    // size's layout up to date while the desktop is calm.
    void FollowScreen(ULONGLONG now);
    // With the screen-follow option on, in the icon views: the layout under the size's key now.
    void SaveFollowedLayout();
    void ApplyToNewDesktop();
    void Form_Unload();
    // The settings record, and the icon positions when so configured.
    void SaveAtExit();
    // Log-off: ends the program, or, inside a wait for the shell, saves at once and ends after it.
    void EndSession();
    bool CreateToolbar();
    void BuildImageList1();
    void MoveTo(double leftTwips, double topTwips);
    void MeasureScreen();

    HWND barBtn_ = nullptr;
    SharedSettings settings_;
    DesktopWindowHandles desktop_;
    DesktopWatcher watcher_;
    LabelBackground label_;
    ViewCommands viewCommands_ = ViewCommands::Unknown;
    Flag isOldWin9x_ = kFalse;
    Flag isWinNT_ = kTrue;
    std::unique_ptr<frmTask> task_;
    std::unique_ptr<frmSet> set_;
    ScopedIcon icon_;
    ScopedIcon smallIcon_;
    IconTray::Notifier trayNotifier_;
    ScopedImageList imageList1_;
    std::wstring toolTips_[kButtonCount + 1];
    static constexpr UINT_PTR kTimer1 = 1;
    static constexpr UINT kFolderChanged = WM_APP + 1;
    // How often each of the watcher's checks runs, in ms. The tray and toolbar switch and the
    // toolbar's placement run on every tick.
    static constexpr UINT kMouseCheckMs = 50;
    static constexpr UINT kScrollCheckMs = 50;
    static constexpr UINT kLabelCheckMs = 100;
    static constexpr UINT kCountCheckMs = 500;
    // After a change of the Desktop folders, and while a new desktop settles, the count is checked
    // this often, for this long.
    static constexpr UINT kEagerCountCheckMs = 25;
    static constexpr UINT kEagerCountMs = 2000;
    // A new desktop whose item count has held this long has settled.
    static constexpr UINT kSettleMs = 1000;
    // The screen size is looked at this often (a change also arrives as WM_DISPLAYCHANGE), and a
    // calm desktop's positions are read at most this often (about 1.5 ms per item here).
    static constexpr UINT kScreenCheckMs = 250;
    static constexpr UINT kCalmSaveMs = 30000;

    ULONGLONG nextMouseCheck_ = 0;
    ULONGLONG nextScrollCheck_ = 0;
    ULONGLONG nextLabelCheck_ = 0;
    ULONGLONG nextCountCheck_ = 0;
    ULONGLONG countBurstUntil_ = 0;
    ULONGLONG nextScreenCheck_ = 0;
    ULONGLONG nextCalmSave_ = 0;
    bool mouseOver_ = false;
    // The list view the settings were applied to; any other is a new desktop.
    HWND appliedListView_ = nullptr;
    int32_t settlingCount_ = -1;
    ULONGLONG settlingSince_ = 0;
    std::unique_ptr<DesktopFolderWatch> folderWatch_;

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
    // The primary screen in pixels; the placement runs on every tick, the size changes only with
    // the display settings.
    SIZE screenPixels_ = {};
    int32_t screenWidthTwips_ = 0;
    int32_t screenHeightTwips_ = 0;
};

}  // namespace iv
