// What the program asks of the desktop list view besides its view mode, and the redraw rules.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>

#include "shell/DesktopWindows.h"
#include "shell/ShellSession.h"

namespace iv {

// Extended list-view styles of StyleFlags[0..9], in flag order: info tips, full-row select,
// grid lines, header drag and drop, sub-item images, one-click and two-click activation, hot
// tracking, cold and hot underlining.
inline constexpr uint32_t kExStyleBits[10] = {0x0400, 0x0020, 0x0001, 0x0010, 0x0002,
                                              0x0040, 0x0080, 0x0008, 0x1000, 0x0800};

// The extended styles the flags (StyleFlags) ask for; only a flag of exactly 1 turns its style on.
uint32_t ExtendedStyleBits(const int16_t* styleFlags);

// The label background the flags ask for: none (CLR_NONE) while "Text Color" is 1, otherwise the
// desktop's own colour; nothing to set while that colour is unknown.
std::optional<COLORREF> TextBackground(const int16_t* styleFlags, std::optional<COLORREF> saved);

// The desktop's own label background. Unknown until the list view has answered; it can be read
// only until the program sets the background itself, after which the list view reports the
// program's colour, not the shell's.
class LabelBackground {
public:
    // Reads the colour when it is unknown and may still be read.
    void TryRead(ShellSession& session, HWND listView, UINT timeoutMs = kShellTimeoutMs);
    // Sets the background the flags ask for, if any.
    void Apply(ShellSession& session, HWND listView, const int16_t* styleFlags);
    std::optional<COLORREF> Saved() const { return saved_; }
    // Unknown and still readable.
    bool ToRead() const { return !saved_ && !setByProgram_; }

private:
    std::optional<COLORREF> saved_;
    bool setByProgram_ = false;
};

// Sets every extended style to what the flags ask (clearing any other), sets the label
// background and repaints the desktop.
void ApplyListViewStyles(ShellSession& session, const DesktopWindowHandles& windows, const int16_t* styleFlags,
                         LabelBackground& label);

// Finds the desktop windows afresh and repaints the list view.
void RedrawDesktop(DesktopWindowHandles& windows);

// Invalidates a window's whole client area with erase; does nothing for a missing window (a null
// handle would repaint every window on the screen).
void InvalidateWindow(HWND hwnd);

}  // namespace iv
