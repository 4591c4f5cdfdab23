#include "StandIn.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <utility>

#include "ShellHost.h"
#include "TrayWindow.h"

namespace standin {
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

constexpr UINT_PTR kFolderTimer = 1;
// As soon after a change of the Desktop folder as a shell shows it.
constexpr UINT kFolderPollMs = 50;
constexpr UINT_PTR kHangTimer = 2;
constexpr UINT_PTR kRestartTimer = 3;
constexpr UINT_PTR kSubclassId = 1;
constexpr int kListViewId = 1;

constexpr wchar_t kProgmanClass[] = L"Progman";
constexpr wchar_t kProgmanTitle[] = L"Program Manager";
constexpr wchar_t kViewClass[] = L"SHELLDLL_DefView";
constexpr wchar_t kWorkerClass[] = L"WorkerW";
constexpr wchar_t kDecoyTitle[] = L"Open";
constexpr wchar_t kIeServerClass[] = L"Internet Explorer_Server";

constexpr COLORREF kDesktopColour = RGB(58, 110, 165);

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

std::wstring HexPointer(ULONG_PTR value) {
    wchar_t text[24];
    swprintf(text, 24, L"0x%0*llX", static_cast<int>(sizeof value * 2), static_cast<unsigned long long>(value));
    return text;
}

const wchar_t* RequestName(Request kind) {
    switch (kind) {
        case Request::GetText: return L"gettext";
        case Request::GetPos: return L"getpos";
        case Request::Count: return L"count";
        case Request::SetPos: return L"setpos";
        case Request::TextBk: return L"textbk";
        case Request::Header: return L"header";
    }
    return L"?";
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

// The item a LVM_GETITEM record asks about, or -1. The record is in this process but comes from
// whoever sent the message, so it is read without trusting the address; iItem follows the
// 32-bit mask in both bitnesses' layouts.
int ItemOfRecord(LPARAM record) {
    int item = -1;
    SIZE_T read = 0;
    if (record == 0 ||
        !ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const char*>(record) + offsetof(LVITEMW, iItem), &item,
                           sizeof item, &read) ||
        read != sizeof item) {
        return -1;
    }
    return item;
}

// Where generated items go: down columns from the top left, as a fresh desktop fills up.
POINT GridCell(int cell) { return {kGridLeft + (cell / kGridRows) * kGridDx, kGridTop + (cell % kGridRows) * kGridDy}; }

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

LRESULT CALLBACK HostProc(HWND, UINT, WPARAM, LPARAM);
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
        {kProgmanClass, HostProc},
        {kWorkerClass, HostProc},
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

// "NAME@X,Y"; NAME may itself contain '@' (the last one splits).
bool ParsePlacedItem(const std::wstring& text, Item& item) {
    const size_t at = text.rfind(L'@');
    if (at == std::wstring::npos) return false;
    const std::wstring place = text.substr(at + 1);
    const size_t comma = place.find(L',');
    if (comma == std::wstring::npos) return false;
    long x = 0;
    long y = 0;
    if (!ParseInt(place.substr(0, comma), INT_MIN, INT_MAX, x) ||
        !ParseInt(place.substr(comma + 1), INT_MIN, INT_MAX, y))
        return false;
    item = {text.substr(0, at), static_cast<int>(x), static_cast<int>(y)};
    return true;
}

// "I[,J...]", each a non-negative item index.
bool ParseIndexList(const std::wstring& text, std::vector<int>& indices) {
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(L',', from);
        long index = 0;
        if (!ParseInt(text.substr(from, comma == std::wstring::npos ? std::wstring::npos : comma - from), 0, INT_MAX,
                      index))
            return false;
        indices.push_back(static_cast<int>(index));
        if (comma == std::wstring::npos) return true;
        from = comma + 1;
    }
}

// "KIND:MS[@INDEX][#N]".
bool ParseSlow(const std::wstring& text, Options::Slow& slow) {
    const size_t colon = text.find(L':');
    if (colon == std::wstring::npos) return false;
    const std::wstring kind = text.substr(0, colon);
    bool known = false;
    for (const Request candidate :
         {Request::GetText, Request::GetPos, Request::Count, Request::SetPos, Request::TextBk, Request::Header}) {
        if (kind == RequestName(candidate)) {
            slow.kind = candidate;
            known = true;
        }
    }
    if (!known) return false;
    std::wstring rest = text.substr(colon + 1);
    long number = 0;
    const size_t hash = rest.find(L'#');
    if (hash != std::wstring::npos) {
        if (!ParseInt(rest.substr(hash + 1), 1, INT_MAX, number)) return false;
        slow.nth = static_cast<int>(number);
        rest.resize(hash);
    }
    const size_t at = rest.find(L'@');
    if (at != std::wstring::npos) {
        if (!ParseInt(rest.substr(at + 1), 0, INT_MAX, number)) return false;
        slow.index = static_cast<int>(number);
        rest.resize(at);
    }
    if (!ParseInt(rest, 0, INT_MAX, number)) return false;
    slow.ms = static_cast<int>(number);
    return true;
}

}  // namespace

struct Desktop::Impl {
    Options options;
    HWND progman = nullptr;
    HWND view = nullptr;
    HWND listView = nullptr;
    HWND header = nullptr;
    HWND viewWorker = nullptr;   // raised tree: the top-level "WorkerW" holding the view
    HWND emptyWorker = nullptr;  // raised tree: the empty "WorkerW" found before it
    HWND mainWindow = nullptr;   // ends the program when closed; holds the timers
    std::vector<HWND> topLevel;  // every top-level window of the desktop, "Progman" last
    std::unique_ptr<detail::ShellHost> shell;
    std::unique_ptr<detail::TrayWindow> tray;
    HANDLE hangEnd = nullptr;
    PVOID faultHandler = nullptr;
    POINT gridOrigin = {};    // where the platform's view put its first icon
    int quiet = 0;            // > 0 while the stand-in itself talks to its windows; owner thread only
    int generation = 0;       // desktops built before this one
    bool restarting = false;  // windows go down for a new desktop, not for good
    int requests[6] = {};     // requests of each kind received, for Options::Slow::nth

    mutable std::mutex logMutex;
    std::vector<std::wstring> log;

    ~Impl();

    void Record(std::wstring line) {
        if (quiet > 0) return;
        Append(std::move(line));
    }

    // Logs even while quiet: for what happens to the stand-in, not what it is asked.
    void Append(std::wstring line) {
        std::lock_guard<std::mutex> lock(logMutex);
        if (!options.logPath.empty()) AppendUtf8Line(options.logPath, line);
        if (options.keepLog) log.push_back(std::move(line));
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

    static void ApplyDesktopColours(HWND list) {
        ListView_SetBkColor(list, kDesktopColour);
        ListView_SetTextBkColor(list, kDesktopColour);
        ListView_SetTextColor(list, RGB(255, 255, 255));
    }

    RECT ClientOf(HWND hwnd) const {
        RECT rect = {};
        GetClientRect(hwnd, &rect);
        return rect;
    }

    bool Build();
    bool BuildScripted(HWND host, HINSTANCE instance);
    bool BuildShell(HWND host);
    bool BuildDecoy(HINSTANCE instance);
    HWND AddScriptedView(HWND host, HINSTANCE instance);
    void Teardown();
    void Restart();
    LRESULT AnswerRequest(Request kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT CarryOut(Request kind, int index, int nth, const std::wstring& what, HWND hwnd, UINT msg, WPARAM wParam,
                     LPARAM lParam);
    void ApplyChanges(HWND hwnd, int textRequest);
    void SwitchScriptedView(HWND list, UINT command);
    void RefreshShellKeepingPositions();
    void Hang();
};

namespace {

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

void PullIconsIn(HWND listView) {
    RECT client = {};
    if (listView == nullptr || !GetClientRect(listView, &client)) return;
    for (int i = 0, count = ListView_GetItemCount(listView); i < count; ++i) {
        RECT icon = {};
        POINT at = {};
        if (!ListView_GetItemRect(listView, i, &icon, LVIR_ICON) || !ListView_GetItemPosition(listView, i, &at))
            continue;
        if (icon.right > client.right || icon.bottom > client.bottom)
            ListView_SetItemPosition(listView, i, at.x + std::min(0L, client.right - icon.right),
                                     at.y + std::min(0L, client.bottom - icon.bottom));
    }
}

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
            if (hwnd == impl->progman) PullIconsIn(impl->listView);
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
            break;
        case WM_DESTROY:
            KillTimer(hwnd, kFolderTimer);
            KillTimer(hwnd, kHangTimer);
            KillTimer(hwnd, kRestartTimer);
            // The view must go while its host window still exists.
            if (shellHere) impl->shell->Close();
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

LRESULT CALLBACK ListViewSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
    Request kind = Request::GetText;
    if (impl->quiet > 0 || !RequestOf(msg, kind)) return ListViewMessage(impl, hwnd, msg, wParam, lParam);
    return impl->AnswerRequest(kind, hwnd, msg, wParam, lParam);
}

// Counts access violations and logs them; the process's own handling goes on as before.
std::atomic<Desktop::Impl*> faultSink{nullptr};
std::atomic<int> faultCount{0};

LONG CALLBACK ReportFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
    ++faultCount;
    const ULONG_PTR how = record->NumberParameters >= 2 ? record->ExceptionInformation[0] : 0;
    const ULONG_PTR where = record->NumberParameters >= 2 ? record->ExceptionInformation[1] : 0;
    const wchar_t* verb = how == 1 ? L" writing " : how == 8 ? L" executing " : L" reading ";
    if (Desktop::Impl* impl = faultSink.load()) {
        impl->Append(L"FAULT access violation at " + HexPointer(reinterpret_cast<ULONG_PTR>(record->ExceptionAddress)) +
                     verb + HexPointer(where));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

LRESULT CALLBACK HeaderSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* impl = reinterpret_cast<Desktop::Impl*>(data);
    switch (msg) {
        case WM_STYLECHANGING:
            // A slow header holds up whoever changes its style: that is a send to this thread.
            for (const Options::Slow& rule : impl->options.slow) {
                if (rule.kind != Request::Header) continue;
                impl->Append(L"LV SLOW header - " + std::to_wstring(rule.ms));
                Sleep(static_cast<DWORD>(rule.ms));
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

}  // namespace

Desktop::Impl::~Impl() {
    if (faultHandler != nullptr) {
        RemoveVectoredExceptionHandler(faultHandler);
        faultSink = nullptr;
    }
    Teardown();
    if (hangEnd != nullptr) CloseHandle(hangEnd);
}

// A "SHELLDLL_DefView" of ours holding a list view with the scripted items, filling `host`.
HWND Desktop::Impl::AddScriptedView(HWND host, HINSTANCE instance) {
    const RECT client = ClientOf(host);
    const HWND newView = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                         0, 0, client.right, client.bottom, host, nullptr, instance, this);
    if (newView == nullptr) return nullptr;
    SetWindowSubclass(newView, ViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    if (options.noListView) return newView;
    const HWND list = CreateWindowExW(
        0, WC_LISTVIEWW, L"FolderView",
        WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | LVS_ICON | LVS_ALIGNLEFT | LVS_SHOWSELALWAYS, 0, 0,
        client.right, client.bottom, newView, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListViewId)), instance,
        nullptr);
    if (list == nullptr) return nullptr;
    SetWindowSubclass(list, ListViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    AttachImageLists(list);
    ApplyDesktopColours(list);
    for (size_t i = 0; i < options.items.size(); ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(options.items[i].name.c_str());
        item.iImage = 0;
        ListView_InsertItem(list, &item);
    }
    // Some list views (Wine's) lay the icons out on their first paint, over any positions
    // set before it; have that paint happen now, off-screen.
    PaintOffScreen(list);
    for (size_t i = 0; i < options.items.size(); ++i) {
        const POINT at =
            generation == 0 ? POINT{options.items[i].x, options.items[i].y} : GridCell(static_cast<int>(i));
        ListView_SetItemPosition32(list, static_cast<int>(i), at.x, at.y);
    }
    return newView;
}

bool Desktop::Impl::BuildScripted(HWND host, HINSTANCE instance) {
    view = AddScriptedView(host, instance);
    if (view == nullptr) return false;
    listView = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
    if (options.ieServer) AddIeServer(view, instance);
    return true;
}

bool Desktop::Impl::BuildShell(HWND host) {
    shell = detail::ShellHost::Create(host, ClientOf(host));
    if (!shell) return false;
    view = shell->View();
    SetWindowSubclass(view, ViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    listView = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
    if (listView == nullptr) return false;
    SetWindowSubclass(listView, ListViewSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    ClearAutoArrange();
    if (ListView_GetItemCount(listView) > 0) ListView_GetItemPosition(listView, 0, &gridOrigin);
    ApplyDesktopColours(listView);
    if (options.ieServer) AddIeServer(view, ThisModule());
    // The platform's view only notices changes made by this process; others' need a refresh.
    SetTimer(mainWindow, kFolderTimer, kFolderPollMs, nullptr);
    return true;
}

// Views that are not the desktop's: one in a file dialog, one in a top-level "WorkerW" of a
// process that never made itself the shell.
bool Desktop::Impl::BuildDecoy(HINSTANCE instance) {
    const HWND dialog = CreateWindowExW(0, WC_DIALOG, kDecoyTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 120, 80, 480,
                                        360, nullptr, nullptr, instance, nullptr);
    if (dialog == nullptr) return false;
    topLevel.push_back(dialog);
    if (AddScriptedView(dialog, instance) == nullptr) return false;
    mainWindow = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kWorkerClass, L"",
                                 WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 300, 200, 480, 360, nullptr, nullptr,
                                 instance, this);
    if (mainWindow == nullptr) return false;
    topLevel.push_back(mainWindow);
    view = AddScriptedView(mainWindow, instance);
    if (view == nullptr) return false;
    listView = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
    ShowWindow(dialog, SW_SHOWNOACTIVATE);
    ShowWindow(mainWindow, SW_SHOWNOACTIVATE);
    return true;
}

bool Desktop::Impl::Build() {
    const HINSTANCE instance = ThisModule();
    {
        Quiet quietly(*this);
        if (options.decoy) return BuildDecoy(instance);
    }
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    const auto topWindow = [&](const wchar_t* cls) {
        const HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, cls, L"", WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0,
                                          0, width, height, nullptr, nullptr, instance, this);
        if (hwnd != nullptr) topLevel.insert(topLevel.begin(), hwnd);
        return hwnd;
    };
    // Untitled and hidden until complete, so that a search for the desktop finds only a whole one.
    progman = topWindow(kProgmanClass);
    if (progman == nullptr) return false;
    mainWindow = progman;
    HWND host = progman;
    if (options.tree == Options::Tree::Raised) {
        viewWorker = topWindow(kWorkerClass);
        emptyWorker = topWindow(kWorkerClass);
        if (viewWorker == nullptr || emptyWorker == nullptr) return false;
        host = viewWorker;
    }
    {
        Quiet quietly(*this);
        const bool built = options.mode == Options::Mode::Shell ? BuildShell(host) : BuildScripted(host, instance);
        if (!built) return false;
        FindHeader();
    }
    if (options.tree == Options::Tree::Win24H2) {
        const RECT client = ClientOf(progman);
        const HWND child = CreateWindowExW(0, kWorkerClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                           client.right, client.bottom, progman, nullptr, instance, this);
        if (child == nullptr) return false;
        SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    SetWindowTextW(progman, kProgmanTitle);
    ShowWindow(progman, SW_SHOWNOACTIVATE);
    if (viewWorker != nullptr) ShowWindow(viewWorker, SW_SHOWNOACTIVATE);
    for (const HWND hwnd : {progman, viewWorker, emptyWorker}) {
        if (hwnd != nullptr) SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    UpdateWindow(progman);
    if (viewWorker != nullptr) UpdateWindow(viewWorker);
    // What the shell does on Windows; under Wine GetShellWindow() is NULL until someone does it.
    // Not in every SDK's headers, hence looked up.
    using SetShellWindowFn = BOOL(WINAPI*)(HWND);
    if (const auto setShellWindow = reinterpret_cast<SetShellWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetShellWindow"))))
        setShellWindow(progman);
    if (options.trayRefusals >= 0) {
        tray = detail::TrayWindow::Create(instance, options.trayRefusals, generation > 0,
                                          [this](std::wstring line) { Record(std::move(line)); });
        if (!tray) return false;
    }
    return true;
}

void Desktop::Impl::Teardown() {
    restarting = true;
    tray.reset();
    // The view must go while its host window still exists.
    if (shell) shell->Close();
    for (const HWND hwnd : topLevel) {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    topLevel.clear();
    shell.reset();
    restarting = false;
}

void Desktop::Impl::Restart() {
    Append(L"RESTART");
    Teardown();
    ++generation;
    if (!Build()) Append(L"RESTART failed");
}

LRESULT Desktop::Impl::AnswerRequest(Request kind, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const int nth = ++requests[static_cast<int>(kind)];
    int index = -1;
    if (kind == Request::GetText) index = ItemOfRecord(lParam);
    if (kind == Request::GetPos || kind == Request::SetPos) index = static_cast<int>(wParam);
    const std::wstring what =
        std::wstring(RequestName(kind)) + L" " + (index >= 0 ? std::to_wstring(index) : std::wstring(L"-"));

    const std::vector<int>* failing = kind == Request::GetText  ? &options.failText
                                      : kind == Request::GetPos ? &options.failPos
                                                                : nullptr;
    LRESULT result = FALSE;
    if (failing != nullptr && index >= 0 && std::find(failing->begin(), failing->end(), index) != failing->end()) {
        Record(L"LV FAIL " + what);
    } else {
        result = CarryOut(kind, index, nth, what, hwnd, msg, wParam, lParam);
    }
    // A refused request counts too: it was answered.
    if (kind == Request::GetText) ApplyChanges(hwnd, nth);
    if (kind == Request::Count && options.logCount && InSendMessage()) Record(L"LV COUNT " + std::to_wstring(result));
    return result;
}

LRESULT Desktop::Impl::CarryOut(Request kind, int index, int nth, const std::wstring& what, HWND hwnd, UINT msg,
                                WPARAM wParam, LPARAM lParam) {
    const Options::Slow* slow = nullptr;
    for (const Options::Slow& rule : options.slow) {
        if (rule.kind == kind && (rule.index < 0 || rule.index == index) && (rule.nth == 0 || rule.nth == nth)) {
            slow = &rule;
            break;
        }
    }
    if (slow != nullptr) {
        Record(L"LV SLOW " + what + L" " + std::to_wstring(slow->ms));
        // Busy, not hung: the thread takes no messages meanwhile, then answers.
        Sleep(static_cast<DWORD>(slow->ms));
    }
    const LRESULT result = ListViewMessage(this, hwnd, msg, wParam, lParam);
    if (slow != nullptr) Record(L"LV LATE " + what + L" done");
    return result;
}

void Desktop::Impl::ApplyChanges(HWND hwnd, int textRequest) {
    for (const Options::Change& change : options.changes) {
        if (change.afterText != textRequest) continue;
        std::wstring line;
        {
            Quiet quietly(*this);
            if (change.insert) {
                const std::wstring name =
                    change.item.name.empty() ? L"Inserted " + std::to_wstring(textRequest) : change.item.name;
                LVITEMW item = {};
                item.mask = LVIF_TEXT | LVIF_IMAGE;
                item.pszText = const_cast<wchar_t*>(name.c_str());
                const int at = ListView_InsertItem(hwnd, &item);
                if (change.placed && at >= 0) ListView_SetItemPosition32(hwnd, at, change.item.x, change.item.y);
                line = L"LV INSERT " + name + L" at 0";
            } else if (change.index < ListView_GetItemCount(hwnd)) {
                wchar_t name[MAX_PATH] = {};
                ListView_GetItemText(hwnd, change.index, 0, name, MAX_PATH);
                ListView_DeleteItem(hwnd, change.index);
                line = L"LV REMOVE " + std::to_wstring(change.index) + L" " + name;
            } else {
                line = L"LV REMOVE " + std::to_wstring(change.index) + L" missing";
            }
        }
        Record(std::move(line));
    }
}

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
    if (count != static_cast<int>(before.size())) Append(L"LV ITEMS " + std::to_wstring(count));
}

void Desktop::Impl::Hang() {
    // Waiting on a kernel object, not a message wait: sent messages stay unanswered too.
    WaitForSingleObject(hangEnd, INFINITE);
}

std::unique_ptr<Desktop> Desktop::Create(const Options& options) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    if (!RegisterClasses(ThisModule())) return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->hangEnd = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (impl->hangEnd == nullptr) return nullptr;
    if (options.reportFaults) {
        faultCount = 0;
        faultSink = impl.get();
        // First in line, so that no handler of the process hides a fault from it.
        impl->faultHandler = AddVectoredExceptionHandler(1, ReportFault);
    }
    if (!impl->Build()) return nullptr;
    if (options.hangAfterMs >= 0)
        SetTimer(impl->mainWindow, kHangTimer, static_cast<UINT>(options.hangAfterMs), nullptr);
    if (options.restartAfterMs >= 0)
        SetTimer(impl->mainWindow, kRestartTimer, static_cast<UINT>(options.restartAfterMs), nullptr);
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

void Desktop::Restart() { impl_->Restart(); }

int Desktop::Faults() const { return impl_->faultHandler != nullptr ? faultCount.load() : 0; }

HWND Desktop::TrayWindow() const { return impl_->tray ? impl_->tray->Window() : nullptr; }

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
        } else if (arg == L"--log-count") {
            options.logCount = true;
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
                const POINT at = GridCell(static_cast<int>(generated));
                options.items.push_back({L"Item " + std::to_wstring(k + 1), at.x, at.y});
            }
        } else if (valueOf(L"--item=", value)) {
            Item item;
            if (!ParsePlacedItem(value, item)) return false;
            options.items.push_back(item);
        } else if (valueOf(L"--slow=", value)) {
            Options::Slow slow;
            if (!ParseSlow(value, slow)) return false;
            options.slow.push_back(slow);
        } else if (valueOf(L"--fail-text=", value)) {
            if (!ParseIndexList(value, options.failText)) return false;
        } else if (valueOf(L"--fail-pos=", value)) {
            if (!ParseIndexList(value, options.failPos)) return false;
        } else if (valueOf(L"--insert-after=", value) || valueOf(L"--remove-after=", value)) {
            Options::Change change;
            change.insert = arg.compare(0, 9, L"--insert-") == 0;
            const size_t colon = value.find(L':');
            if (!ParseInt(value.substr(0, colon), 1, INT_MAX, number)) return false;
            change.afterText = static_cast<int>(number);
            if (colon != std::wstring::npos) {
                const std::wstring rest = value.substr(colon + 1);
                if (change.insert) {
                    change.placed = ParsePlacedItem(rest, change.item);
                    if (!change.placed) change.item.name = rest;
                    if (change.item.name.empty()) return false;
                } else {
                    if (!ParseInt(rest, 0, INT_MAX, number)) return false;
                    change.index = static_cast<int>(number);
                }
            }
            options.changes.push_back(change);
        } else if (valueOf(L"--tray=", value)) {
            if (!ParseInt(value, 0, INT_MAX, number)) return false;
            options.trayRefusals = static_cast<int>(number);
        } else if (valueOf(L"--tree=", value)) {
            if (value == L"classic") {
                options.tree = Options::Tree::Classic;
            } else if (value == L"raised") {
                options.tree = Options::Tree::Raised;
            } else if (value == L"24h2") {
                options.tree = Options::Tree::Win24H2;
            } else {
                return false;
            }
        } else if (valueOf(L"--commands=", value)) {
            if (value == L"classic") {
                options.commands = Options::Commands::Classic;
            } else if (value == L"later") {
                options.commands = Options::Commands::Later;
            } else if (value == L"none") {
                options.commands = Options::Commands::None;
            } else {
                return false;
            }
        } else if (arg == L"--decoy") {
            options.decoy = true;
        } else if (valueOf(L"--restart-after=", value)) {
            if (!ParseInt(value, 0, INT_MAX, number)) return false;
            options.restartAfterMs = static_cast<int>(number);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace standin
