// The hidden window that hosts the notification-area icon and the menu it opens.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "base/ScopedWin.h"
#include "base/Window.h"
#include "tray/IconTray.h"
#include "tray/TrayHost.h"

namespace iv {

class frmTask : public Window {
public:
    // Menu command ids: menuIcon(k) is kMenuIcon + k.
    static constexpr UINT kMenuIcon = 100;
    static constexpr UINT kMenuSetting = 110;
    static constexpr UINT kMenuRedraw = 111;
    static constexpr UINT kMenuExit = 112;
    static constexpr UINT kMenuSaveLayoutAs = 113;
    // The named layouts in the submenu: kMenuLayout + their place in it.
    static constexpr UINT kMenuLayout = 200;
    static constexpr size_t kMenuLayoutsShown = 100;

    explicit frmTask(TrayHost& host, IconTray::Notifier notifier = nullptr);
    ~frmTask();
    frmTask(const frmTask&) = delete;
    frmTask& operator=(const frmTask&) = delete;

    // Creates the window (never shown) and loads ucTask.
    bool Load();
    // Unloads ucTask (which removes an enabled icon) and destroys the window.
    void Unload();

    IconTray& ucTask() { return ucTask_; }

    // menuIcon(index): visibility follows the cycling flags; one check mark, on the current mode.
    void SetMenuIconVisible(int index, bool visible);
    void SetMenuIconChecked(int index, bool checked);
    bool MenuIconVisible(int index) const { return visible_[index]; }
    bool MenuIconChecked(int index) const { return checked_[index]; }

    // The popup as it would open now (built afresh from the items' state and the named layouts).
    HMENU BuildMenu();

    void ucTask_LeftDblClick();
    void ucTask_MouseRightUp();
    void menuIcon_Click(int index);
    void menuRedraw_Click();
    void menuLayout_Click(size_t index);
    void menuSaveLayoutAs_Click();
    void menuExit_Click();

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    TrayHost& host_;
    IconTray ucTask_;
    ScopedIcon picture_;
    bool visible_[4] = {true, true, true, true};
    bool checked_[4] = {};
    std::vector<std::wstring> layouts_;  // the names the submenu showed last
};

}  // namespace iv
