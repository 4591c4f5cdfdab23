// Small move-only owners for the handles the program takes.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

namespace iv {

// Owns one value of a handle type; Close is called once for a value other than Invalid.
template <typename T, T Invalid, typename Closer>
class Scoped {
public:
    Scoped() = default;
    explicit Scoped(T value) : value_(value) {}
    ~Scoped() { Reset(); }
    Scoped(Scoped&& other) noexcept : value_(std::exchange(other.value_, Invalid)) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) {
            Reset();
            value_ = std::exchange(other.value_, Invalid);
        }
        return *this;
    }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;

    T Get() const { return value_; }
    T* Receive() {
        Reset();
        return &value_;
    }
    explicit operator bool() const { return value_ != Invalid; }
    void Reset(T value = Invalid) {
        if (value_ != Invalid) Closer{}(value_);
        value_ = value;
    }

private:
    T value_ = Invalid;
};

struct RegKeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
struct HandleCloser {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
struct GdiCloser {
    void operator()(HGDIOBJ obj) const { DeleteObject(obj); }
};
struct DcCloser {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct IconCloser {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct MenuCloser {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
struct ImageListDestroyer {
    void operator()(HIMAGELIST list) const { ImageList_Destroy(list); }
};
struct ModuleFreer {
    void operator()(HMODULE module) const { FreeLibrary(module); }
};
struct WindowCloser {
    void operator()(HWND hwnd) const { DestroyWindow(hwnd); }
};
struct WinEventUnhooker {
    void operator()(HWINEVENTHOOK hook) const { UnhookWinEvent(hook); }
};

using ScopedRegKey = Scoped<HKEY, nullptr, RegKeyCloser>;
using ScopedHandle = Scoped<HANDLE, nullptr, HandleCloser>;
// CreateFileW fails with INVALID_HANDLE_VALUE, not null: this makes it the null a ScopedHandle
// takes for none.
inline HANDLE FileOrNull(HANDLE file) { return file == INVALID_HANDLE_VALUE ? nullptr : file; }
using ScopedGdiObj = Scoped<HGDIOBJ, nullptr, GdiCloser>;
using ScopedFont = Scoped<HFONT, nullptr, GdiCloser>;
using ScopedBrush = Scoped<HBRUSH, nullptr, GdiCloser>;
using ScopedBitmap = Scoped<HBITMAP, nullptr, GdiCloser>;
using ScopedDc = Scoped<HDC, nullptr, DcCloser>;
using ScopedIcon = Scoped<HICON, nullptr, IconCloser>;
using ScopedMenu = Scoped<HMENU, nullptr, MenuCloser>;
using ScopedModule = Scoped<HMODULE, nullptr, ModuleFreer>;
using ScopedWindow = Scoped<HWND, nullptr, WindowCloser>;
using ScopedImageList = Scoped<HIMAGELIST, nullptr, ImageListDestroyer>;
using ScopedWinEventHook = Scoped<HWINEVENTHOOK, nullptr, WinEventUnhooker>;

// A window timer of one id, killed with its owner: a periodic timer runs until Stop, a one-shot
// one is stopped by its handler.
class WindowTimer {
public:
    explicit WindowTimer(UINT_PTR id) : id_(id) {}
    ~WindowTimer() { Stop(); }
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    // (Re)starts the timer with this period; false when the system refused it.
    bool Start(HWND window, UINT ms) {
        if (running_ && window != window_) Stop();
        window_ = window;
        running_ = SetTimer(window_, id_, ms, nullptr) != 0;
        return running_;
    }
    void Stop() {
        if (running_) KillTimer(window_, id_);
        running_ = false;
    }
    bool Running() const { return running_; }
    UINT_PTR Id() const { return id_; }

private:
    HWND window_ = nullptr;
    UINT_PTR id_;
    bool running_ = false;
};

// A procedure put in front of a window's own, taken out again with the owner (or the window).
class ScopedSubclass {
public:
    ScopedSubclass() = default;
    ~ScopedSubclass() { Reset(); }
    ScopedSubclass(const ScopedSubclass&) = delete;
    ScopedSubclass& operator=(const ScopedSubclass&) = delete;

    bool Set(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
        Reset();
        if (!SetWindowSubclass(window, proc, id, data)) return false;
        window_ = window;
        proc_ = proc;
        id_ = id;
        return true;
    }
    void Reset() {
        if (window_ && IsWindow(window_)) RemoveWindowSubclass(window_, proc_, id_);
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
    SUBCLASSPROC proc_ = nullptr;
    UINT_PTR id_ = 0;
};

// A screen device context borrowed for the lifetime of the object.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectObj {
public:
    SelectObj(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectObj() { SelectObject(dc_, old_); }
    SelectObj(const SelectObj&) = delete;
    SelectObj& operator=(const SelectObj&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Puts the calling thread into a single-threaded apartment for the lifetime of the object,
// unless it already is in one; a thread in the multithreaded apartment stays there.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();  // S_OK and S_FALSE each need their own call
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

// Owns one reference to a COM object.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    void Reset() {
        if (ptr_) std::exchange(ptr_, nullptr)->Release();
    }
    // For the out-parameter of CoCreateInstance and QueryInterface, through IID_PPV_ARGS, which
    // takes the interface's id from this pointer's type.
    T** Put() {
        Reset();
        return &ptr_;
    }

private:
    T* ptr_ = nullptr;
};

}  // namespace iv
