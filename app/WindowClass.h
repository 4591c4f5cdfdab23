// Registering the window classes of the program's own windows.
#pragma once
#include <windows.h>

namespace iv {

// Registers a class of this module once; true when it is (or already was) registered.
inline bool EnsureWindowClass(const wchar_t* name, WNDPROC proc, HBRUSH background = nullptr) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(instance, name, &wc)) return true;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

}  // namespace iv
