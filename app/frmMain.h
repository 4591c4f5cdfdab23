// The main window: a narrow borderless toolbar tucked into a corner of the screen.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/ScopedWin.h"
#include "dialogs/frmSet.h"
#include "tray/frmTask.h"

namespace iv {

class frmMain {
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

    void SetBarBtn();
    void PlaceToolbar(int16_t& showFully);
    void barBtn_ButtonClick(int index);
    // The watcher's tick: slides the toolbar out under the mouse and keeps the desktop in shape.
    void Timer1_Timer();

    HWND Hwnd() const { return hwnd_; }
    HWND Toolbar() const { return barBtn_; }
    HIMAGELIST ImageList1() const { return imageList1_.Get(); }
    bool IsLoaded() const { return hwnd_ != nullptr; }

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

    // The tray host, loaded the first time it is needed.
    frmTask& Task();
    // Opens the settings dialog, or brings it forward when it is open.
    void ShowSettings();
    frmSet& Settings();
    // Puts the window into the always-on-top order ToolTopMost asks for and shows it left of the
    // screen; the watcher's next tick puts it back into its corner, or hides it for the tray.
    void ApplyTopMost();
    // The program's icon (the system's application icon when the program file has none).
    HICON Icon() const { return icon_ ? icon_.Get() : LoadIconW(nullptr, IDI_APPLICATION); }
    // What sends the tray icon's requests to the shell; set before Load (tests record them).
    void SetTrayNotifier(IconTray::Notifier notifier) { trayNotifier_ = std::move(notifier); }

    // Whether WM_DESTROY ends the message loop (the program's own window does; tests' need not).
    void SetQuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnToolbarCustomDraw(const NMTBCUSTOMDRAW& draw);

    void Form_Load();
    void Form_Unload();
    bool CreateToolbar();
    void BuildImageList1();
    void MoveTo(double leftTwips, double topTwips);
    void MeasureScreen();

    HWND hwnd_ = nullptr;
    HWND barBtn_ = nullptr;
    std::unique_ptr<frmTask> task_;
    std::unique_ptr<frmSet> set_;
    ScopedIcon icon_;
    ScopedIcon smallIcon_;
    IconTray::Notifier trayNotifier_;
    ScopedImageList imageList1_;
    std::wstring toolTips_[kButtonCount + 1];
    static constexpr UINT_PTR kTimer1 = 1;

    // Where the window was last put, in pixels.
    bool placed_ = false;
    POINT placedAt_ = {};
    bool unloading_ = false;
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
