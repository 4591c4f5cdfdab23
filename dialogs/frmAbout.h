// The About box: the product and its version, the copyright and the author's two links.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/ScopedWin.h"
#include "base/Window.h"

namespace iv {

// "<product>   Ver <major>.<minor>" from the version resource of a module file; only the
// product name when the file has none.
std::wstring AboutTitle(const wchar_t* modulePath);

class frmAbout : public Window {
public:
    static constexpr COLORREF kLinkColor = RGB(0, 0, 255);
    static constexpr COLORREF kHoverColor = RGB(255, 0, 0);
    // Client area, in twips.
    static constexpr int kClientWidthTwips = 3795;
    static constexpr int kClientHeightTwips = 1860;

    // icon: the picture shown, normally the main window's; it stays the caller's.
    explicit frmAbout(HICON icon);
    ~frmAbout();
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    // Creates and shows the window and returns at once.
    bool Load();
    void Unload();
    // Shows the window and returns once it is closed; meanwhile the thread's other windows are
    // disabled.
    void ShowModal();

    // Opens a link that was clicked; the shell's open verb unless replaced.
    std::function<void(const std::wstring&)> OpenLink;

    HWND Picture() const { return picIcon_; }
    HWND Title() const { return lblTitle_; }
    HWND Copyright() const { return lblCopy_; }
    HWND Mail() const { return txtMail_; }
    HWND Url() const { return txtUrl_; }
    HWND OkButton() const { return cmdOK_; }
    COLORREF MailColor() const { return mailColor_; }
    COLORREF UrlColor() const { return urlColor_; }

private:
    static LRESULT CALLBACK LinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR self);
    static BOOL CALLBACK DisableOne(HWND hwnd, LPARAM self);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool CreateControls();
    void FitToText(HWND label, HFONT font, int maxRight);
    void SetLinkColors(COLORREF mail, COLORREF url);
    void EnableDisabled();

    HICON icon_;
    HWND picIcon_ = nullptr;
    HWND lblTitle_ = nullptr;
    HWND lblCopy_ = nullptr;
    HWND txtMail_ = nullptr;
    HWND txtUrl_ = nullptr;
    HWND cmdOK_ = nullptr;
    // Never shown; owning the box keeps it off the taskbar.
    ScopedWindow owner_;
    ScopedFont messageFont_;
    ScopedFont linkFont_;
    COLORREF mailColor_ = kLinkColor;
    COLORREF urlColor_ = kLinkColor;
    double tppX_ = 15;
    double tppY_ = 15;
    std::vector<HWND> disabled_;
};

}  // namespace iv
