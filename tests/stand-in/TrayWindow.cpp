#include "TrayWindow.h"

#include <shellapi.h>

#include <cstring>
#include <set>
#include <utility>

namespace standin::detail {
namespace {

constexpr wchar_t kTrayClass[] = L"Shell_TrayWnd";

// The head of the record Wine's shell32 sends with WM_COPYDATA (dwData = the NIM_* message). It
// is the same for 32- and 64-bit callers: the owner window travels as a 32-bit value.
struct NotifyHead {
    LONG owner;
    UINT id;
    UINT flags;
};

LRESULT CALLBACK TrayProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace

struct TrayWindow::Impl {
    HWND window = nullptr;
    int refusalsLeft = 0;
    Logger log;
    std::set<std::pair<LONG, UINT>> icons;  // accepted (owner, id) pairs

    ~Impl() {
        if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    }

    BOOL Notify(DWORD message, const NotifyHead& head) {
        const std::pair<LONG, UINT> key(head.owner, head.id);
        const bool known = icons.count(key) != 0;
        switch (message) {
            case NIM_ADD:
                if (refusalsLeft > 0) {
                    --refusalsLeft;
                    log(L"TRAY ADD refused");
                    return FALSE;
                }
                if (known) {
                    log(L"TRAY ADD duplicate");
                    return FALSE;
                }
                icons.insert(key);
                log(L"TRAY ADD ok");
                return TRUE;
            case NIM_MODIFY: log(known ? L"TRAY MODIFY ok" : L"TRAY MODIFY refused"); return known;
            case NIM_DELETE:
                icons.erase(key);
                log(L"TRAY DELETE");
                return known;
            default: return known;
        }
    }
};

namespace {

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<TrayWindow::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (impl != nullptr && msg == WM_COPYDATA) {
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (copy == nullptr || copy->lpData == nullptr || copy->cbData < sizeof(NotifyHead)) return FALSE;
        NotifyHead head;
        std::memcpy(&head, copy->lpData, sizeof head);
        return impl->Notify(static_cast<DWORD>(copy->dwData), head);
    }
    if (impl != nullptr && msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        impl->window = nullptr;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

std::unique_ptr<TrayWindow> TrayWindow::Create(HINSTANCE instance, int refusals, bool announce, Logger log) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TrayProc;
    wc.hInstance = instance;
    wc.lpszClassName = kTrayClass;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->refusalsLeft = refusals;
    impl->log = std::move(log);
    // Topmost, so that a search by class finds it before a taskbar Wine's explorer may keep.
    impl->window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kTrayClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, instance, impl.get());
    if (impl->window == nullptr) return nullptr;
    if (announce) PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    return std::unique_ptr<TrayWindow>(new TrayWindow(std::move(impl)));
}

TrayWindow::TrayWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TrayWindow::~TrayWindow() = default;

HWND TrayWindow::Window() const { return impl_->window; }

}  // namespace standin::detail
