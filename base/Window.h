// The base of every window of the program's own: one static procedure that finds the object
// behind a window handle and hands each message to it.
#pragma once
#include <windows.h>

namespace iv {

// Registers a class of this module once; true when it is (or already was) registered. Its
// procedure is Window's, so every window of the class must be created through Window::Create.
bool EnsureWindowClass(const wchar_t* name, HBRUSH background = nullptr);

class Window {
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const { return hwnd_; }

protected:
    Window() = default;
    ~Window() = default;

    // Creates a window of a class registered by EnsureWindowClass for this object; Hwnd() is set
    // from WM_NCCREATE on, so the handler sees WM_CREATE with it.
    HWND Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y, int width,
                int height, HWND parent);

    // Every message of the window; WM_NCDESTROY is the last, after which Hwnd() is null.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcW(hwnd_, msg, wParam, lParam); }

private:
    friend LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// A new font of the system's message font, as dialogs and message boxes show their text; null when
// the system tells none. The caller owns it.
HFONT CreateMessageFont();

// The same for a dialog, which the dialog manager creates: the object is taken at
// WM_INITDIALOG (its lParam), so the dialog keeps what the dialog manager gives it.
class DialogWindow {
public:
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }

protected:
    DialogWindow() = default;
    ~DialogWindow() = default;

    // Creates a modeless dialog from an in-memory template for this object.
    HWND CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND owner);
    // The same as a modal dialog: returns the code given to EndDialog once it is closed.
    INT_PTR RunModal(const DLGTEMPLATE* dialogTemplate, HWND owner);

    // Every message the dialog procedure sees from WM_INITDIALOG on; WM_NCDESTROY is the last.
    virtual INT_PTR HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

}  // namespace iv
