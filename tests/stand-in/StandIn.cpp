#include "StandIn.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <utility>

#include "ShellHost.h"

namespace standin {
namespace {

// The shell's private "give me your IShellBrowser" message, answered by the view's host.
constexpr UINT kGetShellBrowser = WM_USER + 7;

constexpr UINT kViewLargeIcons = 0x7029;
constexpr UINT kViewSmallIcons = 0x702A;
constexpr UINT kViewList = 0x702B;
constexpr UINT kViewDetails = 0x702C;

constexpr UINT_PTR kFolderTimer = 1;
constexpr UINT kFolderPollMs = 500;
constexpr UINT_PTR kHangTimer = 2;
constexpr UINT_PTR kSubclassId = 1;
constexpr int kListViewId = 1;

constexpr wchar_t kProgmanClass[] = L"Progman";
constexpr wchar_t kProgmanTitle[] = L"Program Manager";
constexpr wchar_t kViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kIeServerClass[] = L"Internet Explorer_Server";

constexpr COLORREF kDesktopColour = RGB(58, 110, 165);

// Generated items go down columns from the top left, as a fresh desktop fills up.
constexpr int kGridRows = 6;
constexpr int kGridLeft = 16;
constexpr int kGridTop = 16;
constexpr int kGridDx = 88;
constexpr int kGridDy = 96;
constexpr long kMaxGeneratedItems = 100000;

std::wstring Hex32(DWORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(value));
    return text;
}

std::wstring Hex16(WORD value) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%04X", static_cast<unsigned>(value));
    return text;
}

DWORD Low32(WPARAM value) { return static_cast<DWORD>(value & 0xFFFFFFFFu); }

std::wstring StyleWhich(WPARAM which) {
    const LONG index = static_cast<LONG>(Low32(which));
    if (index == GWL_STYLE) return L"GWL_STYLE";
    if (index == GWL_EXSTYLE) return L"GWL_EXSTYLE";
    return Hex32(Low32(which));
}

std::wstring StyleChangedLine(const wchar_t* prefix, WPARAM which, LPARAM lParam) {
    std::wstring line = prefix;
    line += L" WM_STYLECHANGED ";
    line += StyleWhich(which);
    const auto* change = reinterpret_cast<const STYLESTRUCT*>(lParam);
    if (change == nullptr) return line + L" old=? new=?";
    line += L" old=" + Hex32(change->styleOld) + L" new=" + Hex32(change->styleNew);
    return line;
}

void AppendUtf8Line(const std::wstring& path, const std::wstring& line) {
    std::string bytes;
    if (!line.empty()) {
        const int size =
            WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
        if (size > 0) {
            bytes.resize(static_cast<size_t>(size));
            WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr,
                                nullptr);
        }
    }
    bytes += '\n';
    // Opened per line so readers may truncate or replace the file between lines.
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The module this code is linked into, which owns the window classes.
HINSTANCE ThisModule() {
    static const int anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

void FillDesktopColour(HWND hwnd, HDC dc) {
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(kDesktopColour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
}

void PaintOffScreen(HWND hwnd) {
    HDC screen = GetDC(hwnd);
    if (screen == nullptr) return;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
    if (memory != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
        SelectObject(memory, old);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (memory != nullptr) DeleteDC(memory);
    ReleaseDC(hwnd, screen);
}

// Active Desktop's HTML layer, which sits in the view beside the list view.
void AddIeServer(HWND view, HINSTANCE instance) {
    RECT client = {};
    GetClientRect(view, &client);
    CreateWindowExW(0, kIeServerClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom, view, nullptr,
                    instance, nullptr);
}

bool IsClass(HWND hwnd, const wchar_t* name) {
    wchar_t actual[64] = {};
    return GetClassNameW(hwnd, actual, 64) > 0 && lstrcmpiW(actual, name) == 0;
}

LRESULT CALLBACK ProgmanProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScriptedViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ViewSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK ListViewSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
LRESULT CALLBACK HeaderSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

bool RegisterClasses(HINSTANCE instance) {
    struct WindowClass {
        const wchar_t* name;
        WNDPROC proc;
    };
    const WindowClass classes[] = {
        {kProgmanClass, ProgmanProc},
        {kViewClass, ScriptedViewProc},
        {kIeServerClass, DefWindowProcW},
    };
    for (const WindowClass& cls : classes) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = cls.proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = cls.name;
        if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    }
    return true;
}

// A document icon in both sizes, so that the items look like files in every view.
void AttachImageLists(HWND listView) {
    HIMAGELIST large =
        ImageList_Create(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), ILC_COLOR32 | ILC_MASK, 1, 1);
    HIMAGELIST small =
        ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 1, 1);
    SHFILEINFOW info = {};
    if (SHGetFileInfoW(L"document.txt", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_LARGEICON) != 0 &&
        info.hIcon != nullptr) {
        ImageList_AddIcon(large, info.hIcon);
        ImageList_AddIcon(small, info.hIcon);
        DestroyIcon(info.hIcon);
    } else {
        HICON fallback = LoadIconW(nullptr, IDI_APPLICATION);  // shared; not destroyed
        ImageList_AddIcon(large, fallback);
        ImageList_AddIcon(small, fallback);
    }
    // Without LVS_SHAREIMAGELISTS the list view destroys both lists with itself.
    ListView_SetImageList(listView, large, LVSIL_NORMAL);
    ListView_SetImageList(listView, small, LVSIL_SMALL);
}

bool ParseInt(const std::wstring& text, long low, long high, long& value) {
    // Digits with an optional minus only; wcstol alone would also take blanks and a plus.
    if (text.empty() || (text[0] != L'-' && (text[0] < L'0' || text[0] > L'9'))) return false;
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const long parsed = std::wcstol(begin, &end, 10);
    if (errno != 0 || end == begin || *end != L'\0' || parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

}  // namespace

struct Desktop::Impl {
    Options options;
    HWND progman = nullptr;
    HWND view = nullptr;
    HWND listView = nullptr;
    HWND header = nullptr;
    std::unique_ptr<detail::ShellHost> shell;
    HANDLE hangEnd = nullptr;
    POINT gridOrigin = {};  // where the platform's view put its first icon
    int quiet = 0;          // > 0 while the stand-in itself talks to its windows; owner thread only

    mutable std::mutex logMutex;
    std::vector<std::wstring> log;

    ~Impl() {
        if (progman != nullptr && IsWindow(progman)) DestroyWindow(progman);
        shell.reset();
        if (hangEnd != nullptr) CloseHandle(hangEnd);
    }

    void Record(std::wstring line) {
        if (quiet > 0) return;
        std::lock_guard<std::mutex> lock(logMutex);
        if (!options.logPath.empty()) AppendUtf8Line(options.logPath, line);
        log.push_back(std::move(line));
    }

    struct Quiet {
        explicit Quiet(Impl& impl) : impl_(impl) { ++impl_.quiet; }
        ~Quiet() { --impl_.quiet; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;
        Impl& impl_;
    };

    void TrackHeader(HWND candidate) {
        if (candidate == nullptr || candidate == header || !IsWindow(candidate)) return;
        if (header != nullptr && IsWindow(header)) RemoveWindowSubclass(header, HeaderSubclass, kSubclassId);
        if (SetWindowSubclass(candidate, HeaderSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
            header = candidate;
    }

    void FindHeader() {
        if (listView != nullptr) TrackHeader(ListView_GetHeader(listView));
    }

    void ClearAutoArrange() {
        if (listView == nullptr) return;
        const LONG_PTR style = GetWindowLongPtrW(listView, GWL_STYLE);
        if ((style & LVS_AUTOARRANGE) == 0) return;
        Quiet quietly(*this);
        SetWindowLongPtrW(listView, GWL_STYLE, style & ~static_cast<LONG_PTR>(LVS_AUTOARRANGE));
    }

    void ApplyDesktopColours() {
        ListView_SetBkColor(listView, kDesktopColour);
        ListView_SetTextBkColor(listView, kDesktopColour);
        ListView_SetTextColor(listView, RGB(255, 255, 255));
    }

    RECT ClientOf(HWND hwnd) const {
        RECT rect = {};
        GetClientRect(hwnd, &rect);
        return rect;
    }

    bool BuildScripted(HINSTANCE instance);
    bool BuildShell();
    void SwitchScriptedView(UINT command);
    void RefreshShellKeepingPositions();
    void Hang();
};

namespace {

LRESULT CALLBACK ProgmanProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Desktop::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (impl == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SIZE: {
            const RECT client = impl->ClientOf(hwnd);
            if (impl->shell) {
                impl->shell->Resize(client);
            } else if (impl->view != nullptr) {
                MoveWindow(impl->view, 0, 0, client.right, client.bottom, TRUE);
            }
            return 0;
        }
        case WM_DISPLAYCHANGE:
            SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        case WM_WINDOWPOSCHANGING: {
            // A desktop stays beneath every other window.
            auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
            if ((pos->flags & SWP_NOZORDER) == 0) pos->hwndInsertAfter = HWND_BOTTOM;
            return 0;
        }
        case WM_ERASEBKGND: FillDesktopColour(hwnd, reinterpret_cast<HDC>(wParam)); return 1;
        case kGetShellBrowser: return impl->shell ? reinterpret_cast<LRESULT>(impl->shell->Browser()) : 0;
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
            break;
        case WM_DESTROY:
            KillTimer(hwnd, kFolderTimer);
            KillTimer(hwnd, kHangTimer);
            // The view must go while its host window still exists.
            if (impl->shell) impl->shell->Close();
            if (impl->options.quitOnClose) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            impl->progman = nullptr;
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
        case WM_COMMAND: impl->SwitchScriptedView(LOWORD(wParam)); return 0;
        case WM_SETFOCUS:
            if (impl->listView != nullptr) SetFocus(impl->listView);
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
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ViewSubclass, kSubclassId);
            if (impl->view == hwnd) impl->view = nullptr;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ListViewSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
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
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, ListViewSubclass, kSubclassId);
            if (impl->listView == hwnd) impl->listView = nullptr;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK HeaderSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
    switch (msg) {
        case WM_STYLECHANGED: impl->Record(StyleChangedLine(L"HDR", wParam, lParam)); break;
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, HeaderSubclass, kSubclassId);
            if (impl->header == hwnd) impl->header = nullptr;
            break;
        default: break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool Desktop::Impl::BuildScripted(HINSTANCE instance) {
    const RECT client = ClientOf(progman);
    view = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
                           client.right, client.bottom, progman, nullptr, instance, this);
    if (view == nullptr) return false;
    SetWindowSubclass(view, ViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    if (!options.noListView) {
        listView = CreateWindowExW(
            0, WC_LISTVIEWW, L"FolderView",
            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | LVS_ICON | LVS_ALIGNLEFT | LVS_SHOWSELALWAYS, 0,
            0, client.right, client.bottom, view, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListViewId)), instance,
            nullptr);
        if (listView == nullptr) return false;
        SetWindowSubclass(listView, ListViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        AttachImageLists(listView);
        ApplyDesktopColours();
        for (size_t i = 0; i < options.items.size(); ++i) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = static_cast<int>(i);
            item.pszText = const_cast<wchar_t*>(options.items[i].name.c_str());
            item.iImage = 0;
            ListView_InsertItem(listView, &item);
        }
        // Some list views (Wine's) lay the icons out on their first paint, over any positions
        // set before it; have that paint happen now, off-screen.
        PaintOffScreen(listView);
        for (size_t i = 0; i < options.items.size(); ++i)
            ListView_SetItemPosition32(listView, static_cast<int>(i), options.items[i].x, options.items[i].y);
    }
    if (options.ieServer) AddIeServer(view, instance);
    return true;
}

bool Desktop::Impl::BuildShell() {
    shell = detail::ShellHost::Create(progman, ClientOf(progman));
    if (!shell) return false;
    view = shell->View();
    SetWindowSubclass(view, ViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    listView = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
    if (listView == nullptr) return false;
    SetWindowSubclass(listView, ListViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    ClearAutoArrange();
    if (ListView_GetItemCount(listView) > 0) ListView_GetItemPosition(listView, 0, &gridOrigin);
    ApplyDesktopColours();
    if (options.ieServer) AddIeServer(view, ThisModule());
    // The platform's view only notices changes made by this process; others' need a refresh.
    SetTimer(progman, kFolderTimer, kFolderPollMs, nullptr);
    return true;
}

void Desktop::Impl::SwitchScriptedView(UINT command) {
    if (listView == nullptr) return;
    DWORD type = 0;
    switch (command) {
        case kViewLargeIcons: type = LVS_ICON; break;
        case kViewSmallIcons: type = LVS_SMALLICON; break;
        case kViewList: type = LVS_LIST; break;
        case kViewDetails: type = LVS_REPORT; break;
        default: return;
    }
    const LONG_PTR style = GetWindowLongPtrW(listView, GWL_STYLE);
    SetWindowLongPtrW(listView, GWL_STYLE,
                      (style & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | static_cast<LONG_PTR>(type));
    if (type == LVS_REPORT) {
        HWND columns = ListView_GetHeader(listView);
        if (columns == nullptr || Header_GetItemCount(columns) <= 0) {
            LVCOLUMNW column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 240;
            column.pszText = const_cast<wchar_t*>(L"Name");
            ListView_InsertColumn(listView, 0, &column);
        }
    }
}

void Desktop::Impl::RefreshShellKeepingPositions() {
    Quiet quietly(*this);
    struct Placed {
        std::wstring name;
        POINT at;
        bool used;
    };
    const auto nameOf = [this](int index) {
        wchar_t name[MAX_PATH] = {};
        ListView_GetItemText(listView, index, 0, name, MAX_PATH);
        return std::wstring(name);
    };
    std::vector<Placed> before;
    if (listView != nullptr) {
        const int count = ListView_GetItemCount(listView);
        for (int i = 0; i < count; ++i) {
            POINT at = {};
            ListView_GetItemPosition(listView, i, &at);
            before.push_back({nameOf(i), at, false});
        }
    }
    const bool arranged = listView != nullptr && (GetWindowLongPtrW(listView, GWL_STYLE) & LVS_AUTOARRANGE) != 0;
    shell->Refresh();
    if (listView == nullptr) return;
    if (!arranged) ClearAutoArrange();

    // Items that were there before keep their places, as on a real desktop (equal names pair
    // up in order); new ones take the first free cell of the icon grid.
    const int count = ListView_GetItemCount(listView);
    std::vector<int> fresh;
    std::vector<POINT> taken;
    for (int i = 0; i < count; ++i) {
        const std::wstring name = nameOf(i);
        bool kept = false;
        for (Placed& old : before) {
            if (!old.used && old.name == name) {
                old.used = true;
                kept = true;
                ListView_SetItemPosition32(listView, i, old.at.x, old.at.y);
                taken.push_back(old.at);
                break;
            }
        }
        if (!kept) fresh.push_back(i);
    }
    const DWORD spacing = static_cast<DWORD>(ListView_GetItemSpacing(listView, FALSE));
    const int dx = std::max(1, static_cast<int>(LOWORD(spacing)));
    const int dy = std::max(1, static_cast<int>(HIWORD(spacing)));
    const int rows = std::max(1, static_cast<int>((ClientOf(listView).bottom - gridOrigin.y) / dy));
    int cell = 0;
    for (const int index : fresh) {
        for (;; ++cell) {
            const POINT at = {gridOrigin.x + (cell / rows) * dx, gridOrigin.y + (cell % rows) * dy};
            bool free = true;
            for (const POINT& other : taken) {
                if (std::abs(other.x - at.x) < dx / 2 + 1 && std::abs(other.y - at.y) < dy / 2 + 1) {
                    free = false;
                    break;
                }
            }
            if (free) {
                ListView_SetItemPosition32(listView, index, at.x, at.y);
                taken.push_back(at);
                break;
            }
        }
    }
}

void Desktop::Impl::Hang() {
    // Waiting on a kernel object, not a message wait: sent messages stay unanswered too.
    WaitForSingleObject(hangEnd, INFINITE);
}

std::unique_ptr<Desktop> Desktop::Create(const Options& options) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const HINSTANCE instance = ThisModule();
    if (!RegisterClasses(instance)) return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->hangEnd = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (impl->hangEnd == nullptr) return nullptr;

    // Untitled and hidden until complete, so that a search for the desktop finds only a whole one.
    impl->progman = CreateWindowExW(WS_EX_TOOLWINDOW, kProgmanClass, L"", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                    0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                                    nullptr, instance, impl.get());
    if (impl->progman == nullptr) return nullptr;
    {
        Impl::Quiet quietly(*impl);
        const bool built = options.mode == Options::Mode::Shell ? impl->BuildShell() : impl->BuildScripted(instance);
        if (!built) return nullptr;
        impl->FindHeader();
    }
    SetWindowTextW(impl->progman, kProgmanTitle);
    ShowWindow(impl->progman, SW_SHOWNOACTIVATE);
    SetWindowPos(impl->progman, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(impl->progman);
    if (options.hangAfterMs >= 0) SetTimer(impl->progman, kHangTimer, static_cast<UINT>(options.hangAfterMs), nullptr);
    return std::unique_ptr<Desktop>(new Desktop(std::move(impl)));
}

Desktop::Desktop(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Desktop::~Desktop() = default;

HWND Desktop::Progman() const { return impl_->progman; }
HWND Desktop::DefView() const { return impl_->view; }
HWND Desktop::ListView() const { return impl_->listView; }
HWND Desktop::Header() const { return impl_->header; }

std::vector<std::wstring> Desktop::Log() const {
    std::lock_guard<std::mutex> lock(impl_->logMutex);
    return impl_->log;
}

void Desktop::ClearLog() {
    std::lock_guard<std::mutex> lock(impl_->logMutex);
    impl_->log.clear();
}

void Desktop::EndHang() { SetEvent(impl_->hangEnd); }

bool ParseCommandLine(int argc, wchar_t** argv, Options& options) {
    if (argc > 0 && argv == nullptr) return false;
    long generated = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) return false;
        const std::wstring arg = argv[i];
        const auto valueOf = [&arg](const wchar_t* prefix, std::wstring& value) {
            const std::wstring head = prefix;
            if (arg.compare(0, head.size(), head) != 0) return false;
            value = arg.substr(head.size());
            return true;
        };
        std::wstring value;
        long number = 0;
        if (arg == L"--shell") {
            options.mode = Options::Mode::Shell;
        } else if (arg == L"--scripted") {
            options.mode = Options::Mode::Scripted;
        } else if (arg == L"--ie-server") {
            options.ieServer = true;
        } else if (arg == L"--no-listview") {
            options.noListView = true;
        } else if (arg == L"--log-paint") {
            options.logPaint = true;
        } else if (valueOf(L"--log=", value)) {
            if (value.empty()) return false;
            if (value[0] == L'/') {
                for (wchar_t& c : value) {
                    if (c == L'/') c = L'\\';
                }
                value = L"Z:" + value;
            }
            options.logPath = value;
        } else if (valueOf(L"--hang-after=", value)) {
            if (!ParseInt(value, 0, INT_MAX, number)) return false;
            options.hangAfterMs = static_cast<int>(number);
        } else if (valueOf(L"--items=", value)) {
            if (!ParseInt(value, 0, kMaxGeneratedItems - generated, number)) return false;
            for (long k = 0; k < number; ++k, ++generated) {
                const int cell = static_cast<int>(generated);
                options.items.push_back({L"Item " + std::to_wstring(k + 1), kGridLeft + (cell / kGridRows) * kGridDx,
                                         kGridTop + (cell % kGridRows) * kGridDy});
            }
        } else if (valueOf(L"--item=", value)) {
            const size_t at = value.rfind(L'@');
            if (at == std::wstring::npos) return false;
            const std::wstring place = value.substr(at + 1);
            const size_t comma = place.find(L',');
            if (comma == std::wstring::npos) return false;
            long x = 0;
            long y = 0;
            if (!ParseInt(place.substr(0, comma), INT_MIN, INT_MAX, x) ||
                !ParseInt(place.substr(comma + 1), INT_MIN, INT_MAX, y)) {
                return false;
            }
            options.items.push_back({value.substr(0, at), static_cast<int>(x), static_cast<int>(y)});
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace standin
