// Hosts the platform's own shell view of the desktop folder inside "Progman", as a shell does.
// Test fixture only; never shipped.
#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <memory>

namespace standin::detail {

class ShellHost {
public:
    // Creates the view window inside `progman`, filling `bounds`. nullptr on failure.
    static std::unique_ptr<ShellHost> Create(HWND progman, const RECT& bounds);
    ~ShellHost();
    ShellHost(const ShellHost&) = delete;
    ShellHost& operator=(const ShellHost&) = delete;

    HWND View() const;  // the "SHELLDLL_DefView" window
    // The platform's shell view object; not add-ref'd, null once closed.
    IShellView* ShellView() const;
    // What "Progman" hands out for CWM_GETISHELLBROWSER; not add-ref'd, as the shell does it.
    void* Browser() const;
    void Resize(const RECT& bounds);
    // True when the desktop folders changed on disk since the last call.
    bool FolderChanged();
    // Rereads the folder into the view.
    void Refresh();
    // Tears the view down; must run while `progman` still exists.
    void Close();

    struct Impl;

private:
    explicit ShellHost(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace standin::detail
