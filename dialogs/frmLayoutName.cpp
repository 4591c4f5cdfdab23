#include "dialogs/frmLayoutName.h"

#include <commctrl.h>

#include "base/MessageBox.h"
#include "base/Twips.h"
#include "res/texts.h"

namespace iv {
namespace {

// The longest name the store keeps.
constexpr int kLongestName = 200;

// Places in twips, as the other windows lay out theirs.
constexpr int kWidthTwips = 4800;
constexpr int kHeightTwips = 1500;

}  // namespace

std::wstring frmLayoutName::Ask(HWND owner) {
    name_.clear();
    // An empty template: the controls are laid out when it is created.
    struct alignas(4) {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, title;
    } templ = {};
    templ.dialog.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    templ.dialog.dwExtendedStyle = WS_EX_CONTROLPARENT;
    return RunModal(&templ.dialog, owner) == IDOK ? name_ : std::wstring();
}

void frmLayoutName::CreateControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    font_.Reset(CreateMessageFont());
    const TwipsScale scale = ScreenTwipsPerPixel();
    const double tppX = scale.x;
    const double tppY = scale.y;
    const auto create = [&](const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int left, int top,
                            int width, int height, int id) {
        const HWND control =
            CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, TwipsToPixels(left, tppX),
                            TwipsToPixels(top, tppY), TwipsToPixels(width, tppX), TwipsToPixels(height, tppY), Hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
        return control;
    };
    // In tab order: the label's mnemonic leads to the box after it.
    create(WC_STATICW, text::kLayoutNameLabel, SS_LEFT, 0, 120, 120, 4560, 240, -1);
    const HWND box =
        create(WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 120, 400, 4560, 330, kNameBox);
    SendMessageW(box, EM_LIMITTEXT, kLongestName, 0);
    create(WC_BUTTONW, text::kOk, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 2280, 960, 1095, 375, IDOK);
    create(WC_BUTTONW, text::kCancel, WS_TABSTOP, 0, 3585, 960, 1095, 375, IDCANCEL);
    RECT frame = {0, 0, TwipsToPixels(kWidthTwips, tppX), TwipsToPixels(kHeightTwips, tppY)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(Hwnd(), GWL_EXSTYLE)));
    SetWindowPos(Hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(Hwnd(), text::kLayoutNameCaption);
}

void frmLayoutName::Accept() {
    const HWND box = GetDlgItem(Hwnd(), kNameBox);
    std::wstring name(static_cast<size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    name.resize(static_cast<size_t>(GetWindowTextW(box, name.data(), static_cast<int>(name.size()))));
    if (allowed && !allowed(name)) {
        ShowMessage(Hwnd(), text::kLayoutNameRefused, text::kProductName, MB_OK | MB_ICONEXCLAMATION);
        SetFocus(box);
        SendMessageW(box, EM_SETSEL, 0, -1);
        return;
    }
    name_ = std::move(name);
    EndDialog(Hwnd(), IDOK);
}

INT_PTR frmLayoutName::HandleMessage(UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            CreateControls();
            SetFocus(GetDlgItem(Hwnd(), kNameBox));
            // Focus is set here: the dialog manager must not set it again.
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) Accept();
            if (LOWORD(wParam) == IDCANCEL) EndDialog(Hwnd(), IDCANCEL);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace iv
