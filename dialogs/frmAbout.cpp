#include "dialogs/frmAbout.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "base/ModulePath.h"
#include "base/Twips.h"
#include "base/Window.h"
#include "res/texts.h"
#include "res/version.h"

namespace iv {
namespace {

constexpr wchar_t kClassName[] = L"IconvaleAboutWindow";
constexpr wchar_t kMailLink[] = L"" ICONVALE_MAIL_LINK;
constexpr wchar_t kWebLink[] = L"" ICONVALE_WEB_LINK;
constexpr int kLinkPoints = 9;

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

enum ControlId { kPicIcon = 100, kTitle, kCopy, kMail, kUrl };

// A control's place in twips.
struct Placement {
    int left, top, width, height;
};

}  // namespace

std::wstring AboutTitle(const wchar_t* modulePath) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(modulePath, &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !GetFileVersionInfoW(modulePath, 0, size, block.data())) return text::kProductName;

    std::wstring name = text::kProductName;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
        length >= sizeof *translation) {
        wchar_t key[64];
        swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductName", translation->language, translation->codePage);
        wchar_t* product = nullptr;
        if (VerQueryValueW(block.data(), key, reinterpret_cast<void**>(&product), &length) && product && *product) {
            name = product;
        }
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof *fixed) {
        return name;
    }
    return name + L"   Ver " + std::to_wstring(HIWORD(fixed->dwProductVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwProductVersionMS));
}

frmAbout::frmAbout(HICON icon)
    : OpenLink(
          [](const std::wstring& link) { ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOW); }),
      icon_(icon) {}

frmAbout::~frmAbout() { Unload(); }

bool frmAbout::Load() {
    if (Hwnd()) return true;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!EnsureWindowClass(kClassName, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;

    const TwipsScale tpp = ScreenTwipsPerPixel();
    tppX_ = tpp.x;
    tppY_ = tpp.y;
    const int dpiY = static_cast<int>(1440.0 / tppY_ + 0.5);
    messageFont_.Reset(CreateMessageFont());
    linkFont_.Reset(CreateFontW(-MulDiv(kLinkPoints, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, TRUE, FALSE,
                                SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, text::kLinkFace));
    mailColor_ = urlColor_ = kLinkColor;

    // An owned window gets no taskbar button; a hidden owner leaves the box free of the caller's windows.
    owner_.Reset(CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
    RECT frame = {0, 0, TwipsToPixels(kClientWidthTwips, tppX_), TwipsToPixels(kClientHeightTwips, tppY_)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (!Create(kExStyle, kClassName, text::kVersionInfo, kStyle, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, owner_.Get())) {
        Unload();
        return false;
    }
    ShowWindow(Hwnd(), SW_SHOW);
    return true;
}

void frmAbout::Unload() {
    // Enabled again before the box goes, so that activation falls back on one of them.
    EnableDisabled();
    if (Hwnd()) DestroyWindow(Hwnd());
    owner_.Reset();
    messageFont_.Reset();
    linkFont_.Reset();
}

void frmAbout::ShowModal() {
    if (!Load()) return;
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(this));
    MSG msg = {};
    while (Hwnd()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            Unload();
            // The quit is the caller's loop's to see.
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(Hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EnableDisabled();
}

BOOL CALLBACK frmAbout::DisableOne(HWND hwnd, LPARAM data) {
    auto* self = reinterpret_cast<frmAbout*>(data);
    if (hwnd != self->Hwnd() && hwnd != self->owner_.Get() && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        self->disabled_.push_back(hwnd);
    }
    return TRUE;
}

void frmAbout::EnableDisabled() {
    for (HWND hwnd : disabled_) {
        if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    }
    disabled_.clear();
}

void frmAbout::FitToText(HWND label, HFONT font, int maxRight) {
    wchar_t text[512] = {};
    const int length = GetWindowTextW(label, text, static_cast<int>(std::size(text)));
    SIZE extent = {};
    TEXTMETRICW metrics = {};
    {
        ScreenDc screen;
        SelectObj select(screen.Get(), font);
        GetTextExtentPoint32W(screen.Get(), text, length, &extent);
        GetTextMetricsW(screen.Get(), &metrics);
    }
    RECT r = {};
    GetWindowRect(label, &r);
    MapWindowPoints(nullptr, Hwnd(), reinterpret_cast<POINT*>(&r), 2);
    // One pixel below the text keeps the underline in view.
    const int width = std::min<int>(std::max<int>(r.right - r.left, extent.cx), maxRight - r.left);
    const int height = std::max<int>(r.bottom - r.top, metrics.tmHeight + 1);
    SetWindowPos(label, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool frmAbout::CreateControls() {
    const auto add = [this](const wchar_t* cls, const wchar_t* text, DWORD style, int id, Placement at, HGDIOBJ font) {
        const HWND control = CreateWindowExW(
            0, cls, text, WS_CHILD | WS_VISIBLE | style, TwipsToPixels(at.left, tppX_), TwipsToPixels(at.top, tppY_),
            TwipsToPixels(at.width, tppX_), TwipsToPixels(at.height, tppY_), Hwnd(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return control;
    };
    // Every static takes the mouse (SS_NOTIFY), so that only the background is the window's own. A text
    // too long for its one-line label ends in "..." rather than wrapping out of sight.
    constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX | SS_NOTIFY | SS_ENDELLIPSIS;
    const HGDIOBJ font = messageFont_.Get();
    picIcon_ =
        add(WC_STATICW, nullptr, SS_ICON | SS_REALSIZECONTROL | SS_NOTIFY, kPicIcon, {240, 240, 480, 480}, nullptr);
    lblTitle_ = add(WC_STATICW, AboutTitle(ModulePath().c_str()).c_str(), kLabel, kTitle, {1050, 240, 2430, 180}, font);
    lblCopy_ = add(WC_STATICW, L"" ICONVALE_COPYRIGHT, kLabel, kCopy, {1080, 480, 1965, 180}, font);
    txtMail_ = add(WC_STATICW, kMailLink, kLabel, kMail, {1080, 840, 1965, 180}, linkFont_.Get());
    txtUrl_ = add(WC_STATICW, kWebLink, kLabel, kUrl, {1080, 1080, 1800, 180}, linkFont_.Get());
    cmdOK_ = add(WC_BUTTONW, text::kOk, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {1440, 1440, 1140, 345}, font);
    if (!picIcon_ || !lblTitle_ || !lblCopy_ || !txtMail_ || !txtUrl_ || !cmdOK_) return false;
    SendMessageW(picIcon_, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    // A link shows its whole address: its label grows to fit the text, up to the box's margin.
    const int maxRight = TwipsToPixels(kClientWidthTwips - 240, tppX_);
    for (HWND link : {txtMail_, txtUrl_}) FitToText(link, linkFont_.Get(), maxRight);
    return SetWindowSubclass(txtMail_, LinkProc, 0, reinterpret_cast<DWORD_PTR>(this)) &&
           SetWindowSubclass(txtUrl_, LinkProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

void frmAbout::SetLinkColors(COLORREF mail, COLORREF url) {
    if (mailColor_ != mail) {
        mailColor_ = mail;
        InvalidateRect(txtMail_, nullptr, TRUE);
    }
    if (urlColor_ != url) {
        urlColor_ = url;
        InvalidateRect(txtUrl_, nullptr, TRUE);
    }
}

LRESULT CALLBACK frmAbout::LinkProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<frmAbout*>(data);
    switch (msg) {
        case WM_SETCURSOR: SetCursor(LoadCursorW(nullptr, IDC_HAND)); return TRUE;
        case WM_MOUSEMOVE:
            if (hwnd == self->txtMail_) {
                self->SetLinkColors(kHoverColor, kLinkColor);
            } else {
                self->SetLinkColors(kLinkColor, kHoverColor);
            }
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(hwnd, LinkProc, id); break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT frmAbout::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: return CreateControls() ? 0 : -1;
        case WM_ACTIVATE:
            // Keeps Enter on the default button after the box has been in the background.
            if (LOWORD(wParam) != WA_INACTIVE && cmdOK_) SetFocus(cmdOK_);
            return 0;
        case WM_CTLCOLORSTATIC: {
            const LRESULT brush = Default(msg, wParam, lParam);
            const auto control = reinterpret_cast<HWND>(lParam);
            if (control == txtMail_ || control == txtUrl_) {
                SetTextColor(reinterpret_cast<HDC>(wParam), control == txtMail_ ? mailColor_ : urlColor_);
            }
            return brush;
        }
        case WM_MOUSEMOVE:
            // Leaving a link for the background puts both back; a red link stays red until then.
            if (mailColor_ == kHoverColor || urlColor_ == kHoverColor) SetLinkColors(kLinkColor, kLinkColor);
            return 0;
        case WM_COMMAND: {
            const auto from = reinterpret_cast<HWND>(lParam);
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                Unload();
            } else if (HIWORD(wParam) == STN_CLICKED && (from == txtMail_ || from == txtUrl_)) {
                if (OpenLink) OpenLink(from == txtMail_ ? kMailLink : kWebLink);
            }
            return 0;
        }
        case WM_CLOSE: Unload(); return 0;
        case WM_NCDESTROY: picIcon_ = lblTitle_ = lblCopy_ = txtMail_ = txtUrl_ = cmdOK_ = nullptr; break;
        default: break;
    }
    return Default(msg, wParam, lParam);
}

}  // namespace iv
