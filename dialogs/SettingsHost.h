// What the settings dialog asks of the window that owns the program: declared here so that the
// dialogs need nothing of the layer above them.
#pragma once
#include <windows.h>

#include "tray/TrayHost.h"
#include "tray/frmTask.h"

namespace iv {

class SettingsHost : public TrayHost {
public:
    // The window that owns the program's other windows and any UI the shell shows for them.
    virtual HWND MainWindow() const = 0;
    // The program's icon.
    virtual HICON Icon() const = 0;
    // The tray host, loaded the first time it is needed.
    virtual frmTask& Task() = 0;
    // Puts the toolbar into the always-on-top order ToolTopMost asks for; the watcher then puts
    // it back into its corner, or hides it for the tray.
    virtual void ApplyTopMost() = 0;
    // Applies the extended styles and the label background of the settings to the desktop.
    virtual void ApplyDesktopStyles() = 0;
    // Whether the system is of the NT family (the way the desktop's icons are read).
    virtual bool IsWinNT() const = 0;
    // The screen-follow option was just turned on: the current size's layout is saved now.
    virtual void StartFollowingScreen() = 0;

protected:
    ~SettingsHost() = default;
};

}  // namespace iv
