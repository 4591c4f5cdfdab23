#include "tray/IconTray.h"

#include <algorithm>
#include <cmath>

#include "base/Twips.h"
#include "base/Window.h"

namespace iv {
namespace {

constexpr wchar_t kClassName[] = L"IconvaleTrayIcon";
constexpr size_t kTipChars = 64;

}  // namespace

TrayEvent DecodeTrayCallback(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_MOUSEMOVE: return TrayEvent::MouseMove;
        case WM_LBUTTONDOWN: return TrayEvent::MouseLeftDown;
        case WM_LBUTTONUP: return TrayEvent::MouseLeftUp;
        case WM_RBUTTONDOWN: return TrayEvent::MouseRightDown;
        case WM_RBUTTONUP: return TrayEvent::MouseRightUp;
        case WM_LBUTTONDBLCLK: return TrayEvent::LeftDblClick;
        case WM_RBUTTONDBLCLK: return TrayEvent::RightDblClick;
        default: return TrayEvent::None;
    }
}

NOTIFYICONDATAW BuildNotifyRecord(HWND hwnd, HICON icon, const std::wstring& tip) {
    NOTIFYICONDATAW record = {};
    record.cbSize = NOTIFYICONDATAW_V1_SIZE;
    record.hWnd = hwnd;
    record.uID = kTrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = icon;
    const size_t length = std::min(tip.size(), kTipChars - 1);
    for (size_t i = 0; i < kTipChars; ++i) record.szTip[i] = i < length ? tip[i] : L' ';
    record.szTip[length] = L'\0';
    return record;
}

SIZE IconTraySizeTwips(bool hasPicture, SIZE picturePixels, bool singleBorder, double twipsPerPixelX,
                       double twipsPerPixelY) {
    if (!hasPicture) {
        return {static_cast<LONG>(std::lround(28 * twipsPerPixelX)),
                static_cast<LONG>(std::lround(28 * twipsPerPixelY))};
    }
    const LONG border = singleBorder ? 60 : 0;
    return {static_cast<LONG>(std::lround(picturePixels.cx * twipsPerPixelX)) + border,
            static_cast<LONG>(std::lround(picturePixels.cy * twipsPerPixelY)) + border};
}

IconTray::IconTray(Notifier notifier) : notifier_(std::move(notifier)) {
    if (!notifier_)
        notifier_ = [](DWORD message, NOTIFYICONDATAW* record) { return Shell_NotifyIconW(message, record); };
}

IconTray::~IconTray() {
    if (Hwnd()) DestroyWindow(Hwnd());
}

bool IconTray::Create(HWND host) {
    if (!EnsureWindowClass(kClassName)) return false;
    // A top-level window (owned by the host, never shown), so that broadcasts reach it too.
    Window::Create(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, host);
    // After a restart of the shell the notification area is new and every icon is gone.
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    return Hwnd() != nullptr;
}

void IconTray::NotifyTray() {
    NOTIFYICONDATAW record = BuildNotifyRecord(Hwnd(), picture_, toolTipText_);
    const DWORD action = pending_;
    const bool done = notifier_(action, &record) != FALSE;
    pending_ = NIM_MODIFY;
    shown_ = action != NIM_DELETE && done;
    KeepTrying();
}

void IconTray::KeepTrying() {
    if (!Hwnd()) return;
    if (enable_ && !shown_) {
        SetTimer(Hwnd(), kRetryTimer, kRetryMs, nullptr);
    } else {
        KillTimer(Hwnd(), kRetryTimer);
    }
}

void IconTray::Retry() {
    // A modify that succeeds proves the icon is there after all; otherwise it is added again.
    NOTIFYICONDATAW record = BuildNotifyRecord(Hwnd(), picture_, toolTipText_);
    shown_ = notifier_(NIM_MODIFY, &record) || notifier_(NIM_ADD, &record);
    KeepTrying();
}

void IconTray::Resize() {
    SIZE pixels = {};
    ICONINFO info = {};
    if (picture_ && GetIconInfo(picture_, &info)) {
        BITMAP bitmap = {};
        GetObjectW(info.hbmMask, sizeof bitmap, &bitmap);
        pixels = {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
        if (info.hbmColor) DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    const TwipsScale tpp = ScreenTwipsPerPixel();
    size_ = IconTraySizeTwips(picture_ != nullptr, pixels, false, tpp.x, tpp.y);
}

void IconTray::SetPicture(HICON picture) {
    picture_ = picture;
    Resize();
    if (enable_) NotifyTray();
}

void IconTray::ReadProperties(const IconTrayProperties& stored) {
    toolTipText_ = stored.ToolTip.value_or(L"");
    SetPicture(stored.Picture.value_or(nullptr));
    enable_ = stored.Enable.value_or(false);
}

IconTrayProperties IconTray::WriteProperties() const {
    IconTrayProperties stored;
    if (picture_) stored.Picture = picture_;
    if (!toolTipText_.empty()) stored.ToolTip = toolTipText_;
    if (enable_) stored.Enable = true;
    return stored;
}

void IconTray::SetToolTipText(const std::wstring& text) {
    toolTipText_ = text;
    if (enable_) NotifyTray();
}

void IconTray::SetEnable(bool enable) {
    enable_ = enable;
    pending_ = enable ? NIM_ADD : NIM_DELETE;
    NotifyTray();
    if (!enable) pending_ = NIM_ADD;
}

void IconTray::frmParent_Load() {
    if (enable_) NotifyTray();
}

void IconTray::frmParent_Unload() {
    if (!enable_) return;
    pending_ = NIM_DELETE;
    NotifyTray();
    pending_ = NIM_ADD;
}

LRESULT IconTray::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kTrayCallbackMessage && wParam == kTrayIconId) {
        // A callback sent while this thread waits for the shell would open its menu inside that
        // wait: it is handled once the wait is over.
        if (DeferWhileWaiting && DeferWhileWaiting(Hwnd(), msg, wParam, lParam)) return 0;
        const TrayEvent event = DecodeTrayCallback(static_cast<UINT>(lParam));
        if (event != TrayEvent::None && OnEvent) OnEvent(event);
        return 0;
    }
    if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
        if (enable_) {
            pending_ = NIM_ADD;
            NotifyTray();
        }
        return 0;
    }
    if (msg == WM_TIMER && wParam == kRetryTimer) {
        if (enable_ && !shown_) {
            Retry();
        } else {
            KeepTrying();
        }
        return 0;
    }
    return Default(msg, wParam, lParam);
}

}  // namespace iv
