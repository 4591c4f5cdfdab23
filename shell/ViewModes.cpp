#include "shell/ViewModes.h"

#include <commctrl.h>

namespace iv {
namespace {

bool Shows(ShellSession& session, HWND listView, int16_t mode, bool& unknown) {
    const std::optional<DWORD> view = ReadListViewView(session, listView);
    unknown = !view;
    return view && *view == ListViewViewOf(mode);
}

// Has the desktop show a view mode in the way that works there, and learns that way on the first
// switch whose outcome the list view can tell. A read that timed out tells nothing.
void ShowMode(ShellSession& session, HWND defView, HWND listView, ViewCommands& commands, int16_t mode) {
    const int16_t index = static_cast<int16_t>(mode - 1);
    switch (commands) {
        case ViewCommands::Classic: session.Send(defView, WM_COMMAND, kViewCommands[index], 0); return;
        case ViewCommands::Later: session.Send(defView, WM_COMMAND, kLaterViewCommands[index], 0); return;
        case ViewCommands::Direct: session.Send(listView, LVM_SETVIEW, ListViewViewOf(mode), 0); return;
        case ViewCommands::Unknown: break;
    }
    bool unknown = false;
    // A list view that shows the mode already cannot tell whether the command acted.
    const bool already = Shows(session, listView, mode, unknown);
    session.Send(defView, WM_COMMAND, kViewCommands[index], 0);
    if (already || unknown) return;
    if (Shows(session, listView, mode, unknown)) {
        commands = ViewCommands::Classic;
        return;
    }
    if (unknown) return;
    session.Send(defView, WM_COMMAND, kLaterViewCommands[index], 0);
    if (Shows(session, listView, mode, unknown)) {
        commands = ViewCommands::Later;
        return;
    }
    if (unknown) return;
    session.Send(listView, LVM_SETVIEW, ListViewViewOf(mode), 0);
    if (Shows(session, listView, mode, unknown)) commands = ViewCommands::Direct;
}

}  // namespace

std::optional<DWORD> ReadListViewView(ShellSession& session, HWND listView) {
    LRESULT view = 0;
    if (!session.Send(listView, LVM_GETVIEW, 0, 0, &view)) return std::nullopt;
    return static_cast<DWORD>(view);
}

int16_t ShownViewMode(ShellSession& session, HWND listView) {
    const std::optional<DWORD> view = ReadListViewView(session, listView);
    return view ? ViewModeOfListView(static_cast<LRESULT>(*view)) : int16_t{0};
}

void SetDesktopViewMode(ShellSession& session, DesktopWindowHandles& windows, ViewCommands& commands, int16_t mode,
                        int16_t previousMode) {
    windows = FindDesktopWindows();
    if (!IsViewMode(mode)) return;
    const HWND defView = windows.DefView;
    const HWND listView = windows.ListView;
    const bool oldWin9x = session.Family().oldWin9x;

    STYLESTRUCT& change = session.StyleChange();
    change.styleOld = 0;
    change.styleNew = ViewModeNewStyle(mode, oldWin9x);
    const auto styleChange = reinterpret_cast<LPARAM>(&change);

    if (oldWin9x) {
        session.Send(listView, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), styleChange);
    } else if (mode == kDetailsMode) {
        session.Send(listView, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), styleChange);
        if (commands == ViewCommands::Unknown || commands == ViewCommands::Classic) {
            session.Send(defView, WM_COMMAND, PreviousModeCommand(previousMode), 0);
        }
        ShowMode(session, defView, listView, commands, mode);
        session.SetHeaderVisible(listView, true);
    } else {
        ShowMode(session, defView, listView, commands, mode);
        session.SetHeaderVisible(listView, false);
        session.Send(listView, WM_STYLECHANGED, static_cast<WPARAM>(GWL_STYLE), styleChange);
    }
}

}  // namespace iv
