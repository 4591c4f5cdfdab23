// The notification-area icon: one icon with a picture, a tip and an on/off state, kept in step
// with the shell through add, modify and delete requests, and its mouse callbacks as events.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <optional>
#include <string>

#include "base/Window.h"

namespace iv {

// Events in the order of their declaration; the number is the event's identity.
enum class TrayEvent {
    None = 0,
    LeftDblClick = 1,
    RightDblClick = 2,
    MouseLeftDown = 3,
    MouseRightDown = 4,
    MouseMove = 5,
    MouseLeftUp = 6,
    MouseRightUp = 7,
};

// The event a mouse message on the icon raises (None for any other message).
TrayEvent DecodeTrayCallback(UINT mouseMessage);

// The message the shell sends back for the icon: a mouse move, whose lParam carries the mouse
// message that happened on the icon.
inline constexpr UINT kTrayCallbackMessage = WM_MOUSEMOVE;
inline constexpr UINT kTrayIconId = 1;

// The notification record in its first-version layout: the tip is the first 63 characters, a
// NUL, and the rest of the field filled with spaces.
NOTIFYICONDATAW BuildNotifyRecord(HWND hwnd, HICON icon, const std::wstring& tip);

// The properties a host stores for the control; a property at its default is not stored.
struct IconTrayProperties {
    std::optional<HICON> Picture;         // "Picture"; default: no picture
    std::optional<std::wstring> ToolTip;  // "ToolTip"; default: empty
    std::optional<bool> Enable;           // "Enable"; default: false
};

// The control's size in twips: 28 x 28 pixels without a picture, else the picture's own size
// (plus 60 twips each way with a single border).
SIZE IconTraySizeTwips(bool hasPicture, SIZE picturePixels, bool singleBorder, double twipsPerPixelX,
                       double twipsPerPixelY);

class IconTray : public Window {
public:
    using Notifier = std::function<BOOL(DWORD message, NOTIFYICONDATAW* record)>;

    // notifier stands for Shell_NotifyIconW (tests record the requests instead).
    explicit IconTray(Notifier notifier = nullptr);
    ~IconTray();
    IconTray(const IconTray&) = delete;
    IconTray& operator=(const IconTray&) = delete;

    // Creates the control's own window, which receives the shell's callbacks.
    bool Create(HWND host);

    HICON Picture() const { return picture_; }
    void SetPicture(HICON picture);
    const std::wstring& ToolTipText() const { return toolTipText_; }
    void SetToolTipText(const std::wstring& text);
    bool Enable() const { return enable_; }
    void SetEnable(bool enable);

    // The control's size in twips, as the picture last set it.
    SIZE SizeTwips() const { return size_; }

    // Reads the host's stored properties: the tip directly, the picture through its setter,
    // Enable directly (so nothing is sent until the host has loaded).
    void ReadProperties(const IconTrayProperties& stored);
    IconTrayProperties WriteProperties() const;

    // Follow the host window: an enabled icon appears when the host loads and goes when it
    // unloads.
    void frmParent_Load();
    void frmParent_Unload();

    // The request NotifyTray sends next: NIM_ADD, NIM_MODIFY or NIM_DELETE.
    DWORD PendingAction() const { return pending_; }
    // Whether the shell has confirmed the icon. While it is wanted and not confirmed (the taskbar
    // refused it, busy at log-on, and no "TaskbarCreated" follows), the control tries again every
    // kRetryMs: the program must never be left without a way in.
    bool Shown() const { return shown_; }
    static constexpr UINT_PTR kRetryTimer = 1;
    static constexpr UINT kRetryMs = 3000;

    // Raised for the mouse messages of the icon.
    std::function<void(TrayEvent)> OnEvent;
    // Keeps a callback that arrives while the program waits for the shell's answer, to be sent
    // again after the wait; true when it was kept.
    std::function<bool(HWND, UINT, WPARAM, LPARAM)> DeferWhileWaiting;

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void NotifyTray();
    void KeepTrying();
    void Retry();
    void Resize();

    Notifier notifier_;
    HICON picture_ = nullptr;
    std::wstring toolTipText_;
    bool enable_ = false;
    DWORD pending_ = NIM_ADD;
    bool shown_ = false;
    SIZE size_ = {};
    UINT taskbarCreated_ = 0;
};

}  // namespace iv
