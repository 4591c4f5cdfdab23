#include "tray/frmTask.h"

#include "app/State.h"
#include "app/WindowClass.h"
#include "app/frmMain.h"
#include "desktop/ListViewStyles.h"

namespace iv {
namespace {

constexpr wchar_t kClassName[] = L"IconvaleTaskWindow";
constexpr wchar_t kCaption[] = L"Task";
constexpr wchar_t kTip[] = L"Kivo";

constexpr const wchar_t* kMenuIconCaptions[4] = {L"大きいｱｲｺﾝ(&G)", L"小さいｱｲｺﾝ(&M)", L"一覧(&L)", L"詳細(&D)"};
constexpr wchar_t kSettingCaption[] = L"設定(&S)";
constexpr wchar_t kRedrawCaption[] = L"ﾃﾞｽｸﾄｯﾌﾟの再描画(&R)";
constexpr wchar_t kExitCaption[] = L"終了(&X)";

// The icon in the notification area: a desktop with four icons on it, 32 x 32.
HICON CreateTrayPicture() {
    constexpr int kSize = 32;
    ScreenDc screen;
    ScopedDc dc(CreateCompatibleDC(screen.Get()));
    ScopedGdiObj colour(CreateCompatibleBitmap(screen.Get(), kSize, kSize));
    ScopedGdiObj mask(CreateBitmap(kSize, kSize, 1, 1, nullptr));
    if (!dc || !colour || !mask) return nullptr;
    {
        SelectObj select(dc.Get(), colour.Get());
        const RECT all = {0, 0, kSize, kSize};
        ScopedGdiObj frame(CreateSolidBrush(RGB(32, 32, 32)));
        ScopedGdiObj screenFill(CreateSolidBrush(RGB(40, 110, 200)));
        ScopedGdiObj item(CreateSolidBrush(RGB(255, 255, 255)));
        FillRect(dc.Get(), &all, static_cast<HBRUSH>(frame.Get()));
        const RECT inside = {2, 2, kSize - 2, kSize - 2};
        FillRect(dc.Get(), &inside, static_cast<HBRUSH>(screenFill.Get()));
        for (int row = 0; row < 2; ++row) {
            for (int column = 0; column < 2; ++column) {
                const RECT r = {5 + column * 13, 5 + row * 13, 13 + column * 13, 13 + row * 13};
                FillRect(dc.Get(), &r, static_cast<HBRUSH>(item.Get()));
            }
        }
    }
    {
        SelectObj select(dc.Get(), mask.Get());
        PatBlt(dc.Get(), 0, 0, kSize, kSize, BLACKNESS);  // every pixel opaque
    }
    ICONINFO info = {};
    info.fIcon = TRUE;
    info.hbmColor = static_cast<HBITMAP>(colour.Get());
    info.hbmMask = static_cast<HBITMAP>(mask.Get());
    return CreateIconIndirect(&info);
}

}  // namespace

frmTask::frmTask(frmMain& main, IconTray::Notifier notifier) : main_(main), ucTask_(std::move(notifier)) {}

frmTask::~frmTask() { Unload(); }

bool frmTask::Load() {
    if (hwnd_) return true;
    if (!EnsureWindowClass(kClassName, WndProc)) return false;
    CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, kCaption, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                    GetModuleHandleW(nullptr), this);
    if (!hwnd_ || !ucTask_.Create(hwnd_)) return false;

    // The stored properties of ucTask: its tip and picture; Enable is not stored, so false.
    picture_.Reset(CreateTrayPicture());
    IconTrayProperties stored;
    stored.ToolTip = kTip;
    stored.Picture = picture_.Get();
    ucTask_.ReadProperties(stored);
    ucTask_.OnEvent = [this](TrayEvent event) {
        if (event == TrayEvent::LeftDblClick) ucTask_LeftDblClick();
        if (event == TrayEvent::MouseRightUp) ucTask_MouseRightUp();
    };
    ucTask_.frmParent_Load();
    return true;
}

void frmTask::Unload() {
    if (!hwnd_) return;
    ucTask_.frmParent_Unload();
    DestroyWindow(hwnd_);
}

void frmTask::SetMenuIconVisible(int index, bool visible) { visible_[index] = visible; }

void frmTask::SetMenuIconChecked(int index, bool checked) { checked_[index] = checked; }

HMENU frmTask::BuildMenu() const {
    HMENU menu = CreatePopupMenu();
    // A menu has no hidden items: the items of modes that do not cycle are left out.
    for (int k = 0; k < 4; ++k) {
        if (!visible_[k]) continue;
        const UINT flags = MF_STRING | static_cast<UINT>(checked_[k] ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(menu, flags, kMenuIcon + static_cast<UINT>(k),
                    kMenuIconCaptions[k]);
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuSetting, kSettingCaption);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuRedraw, kRedrawCaption);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kMenuExit, kExitCaption);
    return menu;
}

void frmTask::ucTask_LeftDblClick() { main_.ShowSettings(); }

void frmTask::ucTask_MouseRightUp() {
    ScopedMenu menu(BuildMenu());
    POINT at = {};
    GetCursorPos(&at);
    // A tray menu closes when the user clicks elsewhere only if its owner is in the foreground,
    // and the null message lets the next click through.
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(menu.Get(), 0, at.x, at.y, 0, hwnd_, nullptr);
    PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void frmTask::menuIcon_Click(int index) {
    if (CurrentViewMode > 0 && CurrentViewMode <= 4) SetMenuIconChecked(CurrentViewMode - 1, false);
    CurrentViewMode = static_cast<int16_t>(index);
    main_.SetBarBtn();
    InvalidateWindow(DesktopWindows.ListView);
}

void frmTask::menuRedraw_Click() { RedrawDesktop(); }

void frmTask::menuExit_Click() { PostMessageW(main_.Hwnd(), WM_CLOSE, 0, 0); }

LRESULT CALLBACK frmTask::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<frmTask*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<frmTask*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->HandleMessage(msg, wParam, lParam) : DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT frmTask::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND: {
            const UINT id = LOWORD(wParam);
            if (id >= kMenuIcon && id < kMenuIcon + 4) {
                menuIcon_Click(static_cast<int>(id - kMenuIcon));
            } else if (id == kMenuSetting) {
                ucTask_LeftDblClick();
            } else if (id == kMenuRedraw) {
                menuRedraw_Click();
            } else if (id == kMenuExit) {
                menuExit_Click();
            }
            return 0;
        }
        case WM_NCDESTROY: {
            const HWND hwnd = hwnd_;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            hwnd_ = nullptr;
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        }
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

}  // namespace iv
