// The small box that asks for a layout's name before the desktop is saved under it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "base/ScopedWin.h"
#include "base/Window.h"

namespace iv {

class frmLayoutName : public DialogWindow {
public:
    static constexpr int kNameBox = 101;

    frmLayoutName() = default;

    // Asks for a name until the user gives one that `allowed` takes, or cancels; the name given,
    // or empty when cancelled. A name refused is said so in a box, and asked for again.
    std::wstring Ask(HWND owner);

    std::function<bool(const std::wstring&)> allowed;

private:
    INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void CreateControls();
    void Accept();

    ScopedFont font_;
    std::wstring name_;
};

}  // namespace iv
