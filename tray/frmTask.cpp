#include "tray/frmTask.h"

#include "layouts/KeptLayouts.h"
#include "res/texts.h"

namespace iv {
namespace {

constexpr wchar_t kClassName[] = L"IconvaleTaskWindow";
constexpr wchar_t kCaption[] = L"Task";

}  // namespace

frmTask::frmTask(TrayHost& host, IconTray::Notifier notifier) : host_(host), ucTask_(std::move(notifier)) {}

frmTask::~frmTask() { Unload(); }

bool frmTask::Load() {
    if (Hwnd()) return true;
    if (!EnsureWindowClass(kClassName)) return false;
    if (!Create(WS_EX_TOOLWINDOW, kClassName, kCaption, WS_POPUP, 0, 0, 0, 0, nullptr) || !ucTask_.Create(Hwnd())) {
        return false;
    }

    // The stored properties of ucTask: its tip and picture; Enable is not stored, so false.
    // The program's own icon, at the size the notification area shows it.
    picture_.Reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    IconTrayProperties stored;
    stored.ToolTip = text::kEarlierName;
    stored.Picture = picture_.Get();
    ucTask_.ReadProperties(stored);
    ucTask_.OnEvent = [this](TrayEvent event) {
        if (event == TrayEvent::LeftDblClick) ucTask_LeftDblClick();
        if (event == TrayEvent::MouseRightUp) ucTask_MouseRightUp();
    };
    ucTask_.DeferWhileWaiting = [this](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        return host_.Shell().DeferWhileWaiting(hwnd, msg, wParam, lParam);
    };
    ucTask_.frmParent_Load();
    return true;
}

void frmTask::Unload() {
    if (!Hwnd()) return;
    ucTask_.frmParent_Unload();
    DestroyWindow(Hwnd());
}

void frmTask::SetMenuIconVisible(int index, bool visible) { visible_[index] = visible; }

void frmTask::SetMenuIconChecked(int index, bool checked) { checked_[index] = checked; }

HMENU frmTask::BuildMenu() {
    HMENU menu = CreatePopupMenu();
    // A menu has no hidden items: the items of modes that do not cycle are left out.
    for (int k = 0; k < 4; ++k) {
        if (!visible_[k]) continue;
        const UINT flags = MF_STRING | static_cast<UINT>(checked_[k] ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(menu, flags, kMenuIcon + static_cast<UINT>(k), text::kMenuViewModes[k]);
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    // The submenu belongs to the menu once appended, and goes with it.
    const HMENU layouts = CreatePopupMenu();
    layouts_ = NamedLayoutNames();
    if (layouts_.size() > kMenuLayoutsShown) layouts_.resize(kMenuLayoutsShown);
    for (size_t i = 0; i < layouts_.size(); ++i) {
        // A name is shown as it is: an ampersand in it is no mnemonic.
        std::wstring shown;
        for (const wchar_t c : layouts_[i]) shown += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
        AppendMenuW(layouts, MF_STRING, kMenuLayout + i, shown.c_str());
    }
    if (layouts_.empty()) AppendMenuW(layouts, MF_STRING | MF_GRAYED, 0, text::kMenuNoLayouts);
    AppendMenuW(layouts, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(layouts, MF_STRING, kMenuSaveLayoutAs, text::kMenuSaveLayoutAs);
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(layouts), text::kMenuLayouts);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuSetting, text::kMenuSettings);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuRedraw, text::kMenuRedraw);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuExit, text::kMenuExit);
    return menu;
}

void frmTask::ucTask_LeftDblClick() { host_.ShowSettings(); }

void frmTask::ucTask_MouseRightUp() {
    ScopedMenu menu(BuildMenu());
    POINT at = {};
    GetCursorPos(&at);
    // A tray menu closes when the user clicks elsewhere only if its owner is in the foreground,
    // and the null message lets the next click through.
    SetForegroundWindow(Hwnd());
    TrackPopupMenu(menu.Get(), 0, at.x, at.y, 0, Hwnd(), nullptr);
    PostMessageW(Hwnd(), WM_NULL, 0, 0);
}

void frmTask::menuIcon_Click(int index) {
    host_.ChooseViewMode(static_cast<int16_t>(index + 1), ViewModeChoice::ThisOrNextCycling);
}

void frmTask::menuRedraw_Click() { host_.RedrawDesktop(); }

void frmTask::menuExit_Click() { host_.Exit(); }

void frmTask::menuLayout_Click(size_t index) {
    if (index < layouts_.size()) host_.RestoreLayout(layouts_[index]);
}

void frmTask::menuSaveLayoutAs_Click() { host_.SaveLayoutAs(); }

LRESULT frmTask::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND: {
            if (host_.Shell().DeferWhileWaiting(Hwnd(), msg, wParam, lParam)) return 0;
            const UINT id = LOWORD(wParam);
            if (id >= kMenuIcon && id < kMenuIcon + 4) {
                menuIcon_Click(static_cast<int>(id - kMenuIcon));
            } else if (id == kMenuSetting) {
                ucTask_LeftDblClick();
            } else if (id == kMenuRedraw) {
                menuRedraw_Click();
            } else if (id == kMenuExit) {
                menuExit_Click();
            } else if (id == kMenuSaveLayoutAs) {
                menuSaveLayoutAs_Click();
            } else if (id >= kMenuLayout && id < kMenuLayout + kMenuLayoutsShown) {
                menuLayout_Click(id - kMenuLayout);
            }
            return 0;
        }
        default: break;
    }
    return Default(msg, wParam, lParam);
}

}  // namespace iv
