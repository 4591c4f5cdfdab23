#include "shell/ListViewStyles.h"

#include <commctrl.h>

#include "settings/Settings.h"

namespace iv {

uint32_t ExtendedStyleBits(const int16_t* styleFlags) {
    uint32_t bits = 0;
    for (int i = kToolTipsFlag; i < kTextColorFlag; ++i) {
        if (styleFlags[i] == 1) bits |= kExStyleBits[i];
    }
    return bits;
}

std::optional<COLORREF> TextBackground(const int16_t* styleFlags, std::optional<COLORREF> saved) {
    return styleFlags[kTextColorFlag] == 1 ? CLR_NONE : saved;
}

void LabelBackground::TryRead(ShellSession& session, HWND listView, UINT timeoutMs) {
    if (saved_ || setByProgram_) return;
    LRESULT colour = 0;
    if (session.Send(listView, LVM_GETTEXTBKCOLOR, 0, 0, &colour, timeoutMs)) saved_ = static_cast<COLORREF>(colour);
}

void LabelBackground::Apply(ShellSession& session, HWND listView, const int16_t* styleFlags) {
    TryRead(session, listView);
    const std::optional<COLORREF> colour = TextBackground(styleFlags, saved_);
    if (!colour || !listView) return;
    setByProgram_ = true;
    session.Send(listView, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(*colour));
}

void InvalidateWindow(HWND hwnd) {
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
}

void ApplyListViewStyles(ShellSession& session, const DesktopWindowHandles& windows, const int16_t* styleFlags,
                         LabelBackground& label) {
    const HWND listView = windows.ListView;
    // A mask of 0 makes every extended style take its value from the bits, clearing the rest.
    session.Send(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ExtendedStyleBits(styleFlags)));
    label.Apply(session, listView, styleFlags);
    InvalidateWindow(windows.DefView);
    InvalidateWindow(listView);
}

void RedrawDesktop(DesktopWindowHandles& windows) {
    windows = FindDesktopWindows();
    InvalidateWindow(windows.ListView);
}

}  // namespace iv
