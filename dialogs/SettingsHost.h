// What the settings dialog asks of the window that owns the program: declared here so that the
// dialogs need nothing of the layer above them.
#pragma once
#include <windows.h>

#include "shell/ShellSession.h"
#include "settings/Settings.h"

namespace iv {

class SettingsHost {
public:
    // The settings in force, which the dialog's trees are drawn from when it opens.
    virtual const SharedSettings& CurrentSettings() const = 0;
    // Takes the settings the dialog edited (its draft) and applies them at once: the desktop's
    // styles and view mode, the toolbar's order and place, the tray menu's items, and a save of
    // the layout when following the screen was just turned on. The view mode stays the host's.
    virtual void ApplySettings(const SharedSettings& edited) = 0;
    // The conversation with the shell, for the commands that act at once.
    virtual ShellSession& Shell() = 0;
    // The dialog ran a save or restore (`done`: in full): what is on screen is the user's now.
    virtual void PositionsAsked(bool done) = 0;
    // The window that owns the program's other windows and any UI the shell shows for them.
    virtual HWND MainWindow() const = 0;
    // The program's icon.
    virtual HICON Icon() const = 0;

protected:
    ~SettingsHost() = default;
};

}  // namespace iv
