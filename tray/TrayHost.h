// What the tray host asks of the window that owns the program: declared here so that the tray
// needs nothing of the layer above it.
#pragma once
#include <string>

#include "desktop/DesktopKeeper.h"

namespace iv {

class TrayHost : public ViewModeHost {
public:
    // Finds the desktop afresh and repaints it.
    virtual void RedrawDesktop() = 0;
    // Opens the settings dialog, or brings it (or a box open over it) forward.
    virtual void ShowSettings() = 0;
    // Puts the icons where a named layout has them.
    virtual void RestoreLayout(const std::wstring& name) = 0;
    // Asks for a name and keeps the desktop's arrangement under it.
    virtual void SaveLayoutAs() = 0;
    // Ends the program once the current message has been handled.
    virtual void Exit() = 0;
    // The conversation with the shell: what a menu choice would start inside a wait for the
    // shell's answer is deferred until the wait is over.
    virtual ShellSession& Shell() = 0;

protected:
    ~TrayHost() = default;
};

}  // namespace iv
