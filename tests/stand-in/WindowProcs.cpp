// The window procedures of the stand-in's desktop: "Progman" and the "WorkerW" windows, the view,
// and the subclasses of the view, the list view and its header, which log what they are sent.
#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include "DesktopImpl.h"

namespace standin {

using namespace detail;

namespace {

// The shell's private "give me your IShellBrowser" message, answered by the view's host.
constexpr UINT kGetShellBrowser = WM_USER + 7;

constexpr UINT kViewLargeIcons = 0x7029;
constexpr UINT kViewSmallIcons = 0x702A;
constexpr UINT kViewList = 0x702B;
constexpr UINT kViewDetails = 0x702C;
// The commands of the shell view since Vista.
constexpr UINT kLaterDetails = 0x704B;
constexpr UINT kLaterExtraLarge = 0x704D;
constexpr UINT kLaterMedium = 0x704E;
constexpr UINT kLaterLarge = 0x704F;
constexpr UINT kLaterSmall = 0x7050;
constexpr UINT kLaterList = 0x7051;

void FillDesktopColour(HWND hwnd, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(kDesktopColour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
}

bool IsClass(HWND hwnd, const wchar_t* name) {
    wchar_t actual[64] = {};
    return GetClassNameW(hwnd, actual, 64) > 0 && lstrcmpiW(actual, name) == 0;
}

bool RequestOf(UINT msg, Request& kind) {
    switch (msg) {
        case LVM_GETITEMW:
        case LVM_GETITEMA: kind = Request::GetText; return true;
        case LVM_GETITEMPOSITION: kind = Request::GetPos; return true;
        case LVM_GETITEMCOUNT: kind = Request::Count; return true;
        case LVM_SETITEMPOSITION: kind = Request::SetPos; return true;
        case LVM_GETTEXTBKCOLOR: kind = Request::TextBk; return true;
        default: return false;
    }
}

// Keeps a desktop window directly above `below` in the Z order, as the shell's windows stay.
void KeepDirectlyAbove(HWND hwnd, HWND below, WINDOWPOS* pos) {
    if ((pos->flags & SWP_NOZORDER) != 0 || below == nullptr || !IsWindow(below)) return;
    const HWND above = GetWindow(below, GW_HWNDPREV);
    if (above == hwnd) {
        pos->flags |= SWP_NOZORDER;
        return;
    }
    pos->hwndInsertAfter = above != nullptr ? above : HWND_TOP;
}

}  // namespace

namespace detail {

// "Progman" and the "WorkerW" windows.
LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Desktop::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (impl == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const bool shellHere = impl->shell && GetParent(impl->shell->View()) == hwnd;
    switch (msg) {
        case WM_SIZE: {
            const RECT client = impl->ClientOf(hwnd);
            for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
                if (shellHere && child == impl->shell->View()) {
                    impl->shell->Resize(client);
                } else {
                    MoveWindow(child, 0, 0, client.right, client.bottom, TRUE);
                }
            }
            return 0;
        }
        case WM_DISPLAYCHANGE:
            if (GetParent(hwnd) == nullptr)
                SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                             SWP_NOZORDER | SWP_NOACTIVATE);
            // Like the shell, once the view has its new size: icons a smaller screen left outside
            // come back in, the rest stay.
            if (hwnd == impl->progman) impl->PullIconsIn();
            return 0;
        case WM_WINDOWPOSCHANGING: {
            // A desktop stays beneath every other window: "Progman" at the bottom, a raised view's
            // "WorkerW" right above it, the empty one above that.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if (hwnd == impl->progman) {
                if ((pos->flags & SWP_NOZORDER) == 0) pos->hwndInsertAfter = HWND_BOTTOM;
            } else if (hwnd == impl->viewWorker) {
                KeepDirectlyAbove(hwnd, impl->progman, pos);
            } else if (hwnd == impl->emptyWorker) {
                KeepDirectlyAbove(hwnd, impl->viewWorker, pos);
            }
            return 0;
        }
        case WM_ERASEBKGND: FillDesktopColour(hwnd, reinterpret_cast<HDC>(wParam)); return 1;
        case kGetShellBrowser: return shellHere ? reinterpret_cast<LRESULT>(impl->shell->Browser()) : 0;
        case kRestartMessage: impl->Restart(); return 0;
        case kRefreshMessage: impl->Refresh(); return 0;
        case kMoveIconMessage:
            impl->MoveIcon(static_cast<int>(wParam), {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case kDisconnectMessage:
            if (impl->folderView) impl->folderView->DisconnectRetired();
            return 0;
        case WM_TIMER:
            if (wParam == kFolderTimer) {
                if (impl->shell && impl->shell->FolderChanged()) impl->RefreshShellKeepingPositions();
                return 0;
            }
            if (wParam == kHangTimer) {
                KillTimer(hwnd, kHangTimer);
                impl->Hang();
                return 0;
            }
            if (wParam == kRestartTimer) {
                KillTimer(hwnd, kRestartTimer);
                impl->Restart();
                return 0;
            }
            if (wParam == kFillTimer) {
                impl->Fill();
                return 0;
            }
            if (wParam == kSqueezeTimer) {
                impl->Squeeze();
                return 0;
            }
            break;
        case WM_DESTROY:
            KillTimer(hwnd, kFolderTimer);
            KillTimer(hwnd, kHangTimer);
            KillTimer(hwnd, kRestartTimer);
            KillTimer(hwnd, kFillTimer);
            KillTimer(hwnd, kSqueezeTimer);
            // The view must go while its host window still exists.
            if (shellHere) impl->shell->Close();
            // The folder view's route goes with the desktop, not with the process, which may linger.
            if (hwnd == impl->mainWindow && !impl->restarting && impl->folderView) impl->folderView->Close();
            if (hwnd == impl->mainWindow && !impl->restarting && impl->options.quitOnClose) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            if (impl->progman == hwnd) impl->progman = nullptr;
            if (impl->viewWorker == hwnd) impl->viewWorker = nullptr;
            if (impl->emptyWorker == hwnd) impl->emptyWorker = nullptr;
            if (impl->mainWindow == hwnd) impl->mainWindow = nullptr;
            break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ScriptedViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Desktop::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (impl == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SIZE: {
            const RECT client = impl->ClientOf(hwnd);
            for (HWND child = GetWindow(hwnd, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
                MoveWindow(child, 0, 0, client.right, client.bottom, TRUE);
            return 0;
        }
        case WM_COMMAND:
            impl->SwitchScriptedView(FindWindowExW(hwnd, nullptr, WC_LISTVIEWW, nullptr), LOWORD(wParam));
            return 0;
        case WM_SETFOCUS:
            if (HWND list = FindWindowExW(hwnd, nullptr, WC_LISTVIEWW, nullptr)) SetFocus(list);
            return 0;
        case WM_ERASEBKGND: FillDesktopColour(hwnd, reinterpret_cast<HDC>(wParam)); return 1;
        case WM_NCDESTROY: SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0); break;
        default: break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ViewSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
    switch (msg) {
        case WM_COMMAND: {
            impl->Record(L"VIEW WM_COMMAND " + Hex16(LOWORD(wParam)));
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            impl->FindHeader();
            return result;
        }
        case WM_NOTIFY: {
            // The shell view's items came or went: their indexes are to be looked up anew.
            const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
            if (code == LVN_INSERTITEM || code == LVN_DELETEITEM || code == LVN_DELETEALLITEMS)
                impl->itemIndex.Invalidate();
            break;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ViewSubclass, kSubclassId);
            if (impl->view == hwnd) impl->view = nullptr;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT ListViewMessage(Desktop::Impl* impl, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_STYLECHANGED: {
            impl->Record(StyleChangedLine(L"LV", wParam, lParam));
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            impl->FindHeader();
            return result;
        }
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            impl->Record(L"LV LVM_SETEXTENDEDLISTVIEWSTYLE mask=" + Hex32(Low32(wParam)) + L" style=" +
                         Hex32(static_cast<DWORD>(static_cast<ULONG_PTR>(lParam) & 0xFFFFFFFFu)));
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            impl->FindHeader();  // LVS_EX_HEADERINALLVIEWS makes one
            return result;
        }
        case LVM_SETTEXTBKCOLOR:
            impl->Record(L"LV LVM_SETTEXTBKCOLOR " +
                         Hex32(static_cast<DWORD>(static_cast<ULONG_PTR>(lParam) & 0xFFFFFFFFu)));
            break;
        case LVM_SETITEMPOSITION:
            impl->Record(L"LV LVM_SETITEMPOSITION " + std::to_wstring(static_cast<int>(wParam)) + L" " +
                         std::to_wstring(static_cast<short>(LOWORD(lParam))) + L" " +
                         std::to_wstring(static_cast<short>(HIWORD(lParam))));
            break;
        case LVM_SETITEMPOSITION32: {
            if (impl->quiet > 0) break;
            // The POINT comes from whoever sent the message; a foreign process may hand over an
            // address that is not ours, which must not take the desktop down.
            POINT point = {};
            SIZE_T read = 0;
            const std::wstring prefix = L"LV LVM_SETITEMPOSITION32 " + std::to_wstring(static_cast<int>(wParam));
            if (lParam == 0 ||
                !ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<LPCVOID>(lParam), &point, sizeof point,
                                   &read) ||
                read != sizeof point) {
                impl->Record(prefix + L" unreadable");
                return FALSE;
            }
            impl->Record(prefix + L" " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y));
            break;
        }
        case LVM_SORTITEMS:
        case LVM_SORTITEMSEX:
        case LVM_SETITEMW:
        case LVM_SETITEMA:
        case LVM_SETITEMTEXTW:
        case LVM_SETITEMTEXTA: impl->itemIndex.Invalidate(); break;
        case LVM_INSERTCOLUMNW:
        case LVM_INSERTCOLUMNA:
        case LVM_SETVIEW: {
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            impl->FindHeader();
            return result;
        }
        case WM_PARENTNOTIFY:
            if (LOWORD(wParam) == WM_CREATE && IsClass(reinterpret_cast<HWND>(lParam), WC_HEADERW))
                impl->TrackHeader(reinterpret_cast<HWND>(lParam));
            break;
        case WM_PAINT:
            if (impl->options.logPaint) impl->Record(L"LV WM_PAINT");
            break;
        case WM_SETREDRAW:
            if (impl->options.logRedraw) impl->Record(L"LV WM_SETREDRAW " + std::to_wstring(wParam != 0 ? 1 : 0));
            break;
        case WM_KEYDOWN:
            // The desktop's refresh instead of the platform view's, which would lose every place.
            if (wParam == VK_F5 && impl->shell) {
                impl->Refresh();
                return 0;
            }
            break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ListViewSubclass, kSubclassId);
            if (impl->listView == hwnd) impl->listView = nullptr;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ListViewSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
    Request kind = Request::GetText;
    if (impl->quiet > 0 || !RequestOf(msg, kind)) return ListViewMessage(impl, hwnd, msg, wParam, lParam);
    return impl->AnswerRequest(kind, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK HeaderSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
    switch (msg) {
        case WM_STYLECHANGING:
            // A slow header holds up whoever changes its style: that is a send to this thread.
            for (const Options::Slow& rule : impl->options.slow) {
                if (rule.kind != Request::Header) continue;
                impl->Append(L"LV SLOW header - " + std::to_wstring(rule.ms) + (rule.pump ? L" pump" : L""));
                impl->Busy(rule, L"header -");
                break;
            }
            break;
        case WM_STYLECHANGED: impl->Record(StyleChangedLine(L"HDR", wParam, lParam)); break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, HeaderSubclass, kSubclassId);
            if (impl->header == hwnd) impl->header = nullptr;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace detail

void Desktop::Impl::SwitchScriptedView(HWND list, UINT command) {
    if (list == nullptr || options.commands == Options::Commands::None) return;
    DWORD type = 0;
    if (options.commands == Options::Commands::Classic) {
        switch (command) {
            case kViewLargeIcons: type = LVS_ICON; break;
            case kViewSmallIcons: type = LVS_SMALLICON; break;
            case kViewList: type = LVS_LIST; break;
            case kViewDetails: type = LVS_REPORT; break;
            default: return;
        }
        const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
        SetWindowLongPtrW(list, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | static_cast<LONG_PTR>(type));
    } else {
        // The later view has more sizes of icons than a list view; all of them show as icons.
        switch (command) {
            case kLaterDetails: type = LV_VIEW_DETAILS; break;
            case kLaterExtraLarge:
            case kLaterMedium:
            case kLaterLarge: type = LV_VIEW_ICON; break;
            case kLaterSmall: type = LV_VIEW_SMALLICON; break;
            case kLaterList: type = LV_VIEW_LIST; break;
            default: return;
        }
        SendMessageW(list, LVM_SETVIEW, type, 0);
    }
    if (command == kViewDetails || command == kLaterDetails) {
        HWND columns = ListView_GetHeader(list);
        if (columns == nullptr || Header_GetItemCount(columns) <= 0) {
            LVCOLUMNW column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 240;
            column.pszText = const_cast<wchar_t*>(L"Name");
            ListView_InsertColumn(list, 0, &column);
        }
    }
}

}  // namespace standin
