// A notification area of the stand-in's own: the window Wine's Shell_NotifyIconW sends its
// requests to. Test fixture only; never shipped.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace standin::detail {

class TrayWindow {
public:
    using Logger = std::function<void(std::wstring)>;

    // Refuses the first `refusals` NIM_ADD requests. `announce`: broadcast "TaskbarCreated" once
    // the window exists, as a restarted shell does. nullptr on failure.
    static std::unique_ptr<TrayWindow> Create(HINSTANCE instance, int refusals, bool announce, Logger log);
    ~TrayWindow();
    TrayWindow(const TrayWindow&) = delete;
    TrayWindow& operator=(const TrayWindow&) = delete;

    HWND Window() const;

    struct Impl;

private:
    explicit TrayWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace standin::detail
