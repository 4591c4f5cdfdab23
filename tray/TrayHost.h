// What the tray host asks of the window that owns the program: declared here so that the tray
// needs nothing of the layer above it.
#pragma once
#include "desktop/DesktopWindows.h"
#include "settings/Settings.h"

namespace iv {

class TrayHost {
public:
    // The program's settings and the desktop windows as last found.
    virtual SharedSettings& Settings() = 0;
    virtual DesktopWindowHandles& Desktop() = 0;
    // Advances the view mode to the next cycling mode after CurrentViewMode and switches to it.
    virtual void SetBarBtn() = 0;
    // Opens the settings dialog, or brings it (or a box open over it) forward.
    virtual void ShowSettings() = 0;
    // Ends the program once the current message has been handled.
    virtual void Exit() = 0;

protected:
    ~TrayHost() = default;
};

}  // namespace iv
