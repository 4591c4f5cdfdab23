// Building the stand-in's desktop, restarting it, and the desktop's public face.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>

#include "DesktopImpl.h"

namespace standin {

using namespace detail;

namespace {

constexpr wchar_t kProgmanTitle[] = L"Program Manager";
constexpr wchar_t kDecoyTitle[] = L"Open";
constexpr int kListViewId = 1;

constexpr int kGridLeft = 16;
constexpr int kGridTop = 16;
constexpr int kGridDx = 88;
constexpr int kGridDy = 96;

// The module this code is linked into, which owns the window classes.
HINSTANCE ThisModule() {
    static const int anchor = 0;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
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

}  // namespace

POINT detail::GridCell(int cell, int rows) {
    return {kGridLeft + (cell / rows) * kGridDx, kGridTop + (cell % rows) * kGridDy};
}

void Desktop::Impl::TrackHeader(HWND candidate) {
    if (candidate == nullptr || candidate == header || !IsWindow(candidate)) return;
    if (header != nullptr && IsWindow(header)) RemoveWindowSubclass(header, HeaderSubclass, kSubclassId);
    if (SetWindowSubclass(candidate, HeaderSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        header = candidate;
}

void Desktop::Impl::FindHeader() {
    if (listView != nullptr) TrackHeader(ListView_GetHeader(listView));
}

void Desktop::Impl::ClearAutoArrange() {
    if (listView == nullptr) return;
    const LONG_PTR style = GetWindowLongPtrW(listView, GWL_STYLE);
    if ((style & LVS_AUTOARRANGE) == 0) return;
    Quiet quietly(*this);
    SetWindowLongPtrW(listView, GWL_STYLE, style & ~static_cast<LONG_PTR>(LVS_AUTOARRANGE));
}

void Desktop::Impl::ApplyDesktopColours(HWND list) {
    ListView_SetBkColor(list, kDesktopColour);
    ListView_SetTextBkColor(list, kDesktopColour);
    ListView_SetTextColor(list, RGB(255, 255, 255));
}

RECT Desktop::Impl::ClientOf(HWND hwnd) {
    RECT rect = {};
    GetClientRect(hwnd, &rect);
    return rect;
}

Desktop::Impl::~Impl() {
    folderView.reset();
    if (faultHandler != nullptr) RemoveFaultReport(faultHandler);
    Teardown();
    if (hangEnd != nullptr) CloseHandle(hangEnd);
}

// A "SHELLDLL_DefView" of ours holding a list view with the scripted items, filling `host`.
HWND Desktop::Impl::AddScriptedView(HWND host, HINSTANCE instance, size_t items) {
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
    for (size_t i = 0; i < items; ++i) InsertScriptedItem(list, i, static_cast<int>(i));
    // Some list views (Wine's) lay the icons out on their first paint, over any positions
    // set before it; have that paint happen now, off-screen.
    PaintOffScreen(list);
    for (size_t i = 0; i < items; ++i) {
        const POINT at = ScriptedPlace(i);
        ListView_SetItemPosition32(list, static_cast<int>(i), at.x, at.y);
    }
    return newView;
}

// Scripted item `item` inserted at index `at`; its index, or -1.
int Desktop::Impl::InsertScriptedItem(HWND list, size_t item, int at) {
    LVITEMW record = {};
    record.mask = LVIF_TEXT | LVIF_IMAGE;
    record.iItem = at;
    record.pszText = const_cast<wchar_t*>(options.items[item].name.c_str());
    record.iImage = 0;
    return ListView_InsertItem(list, &record);
}

// The first desktop puts each item at its place, a desktop built anew on the default grid.
POINT Desktop::Impl::ScriptedPlace(size_t item) const {
    return generation == 0 ? POINT{options.items[item].x, options.items[item].y}
                           : GridCell(static_cast<int>(item), options.gridRows);
}

bool Desktop::Impl::BuildScripted(HWND host, HINSTANCE instance) {
    view = AddScriptedView(host, instance, options.fillMs > 0 ? 0 : options.items.size());
    if (view == nullptr) return false;
    listView = FindWindowExW(view, nullptr, WC_LISTVIEWW, nullptr);
    if (options.ieServer) AddIeServer(view, instance);
    if (options.fillMs > 0 && listView != nullptr) StartFill();
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
    if (options.iconSize > 0) {
        // The view shares its lists (the system's): this one lasts as long as the stand-in.
        const HIMAGELIST large = ImageList_Create(options.iconSize, options.iconSize, ILC_COLOR32 | ILC_MASK, 1, 1);
        ImageList_AddIcon(large, LoadIconW(nullptr, IDI_APPLICATION));
        ListView_SetImageList(listView, large, LVSIL_NORMAL);
    }
    ClearAutoArrange();
    if (ListView_GetItemCount(listView) > 0) ListView_GetItemPosition(listView, 0, &gridOrigin);
    ApplyDesktopColours(listView);
    if (options.ieServer) AddIeServer(view, ThisModule());
    itemIndex.Invalidate();
    RecordPlaces();
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
    if (AddScriptedView(dialog, instance, options.items.size()) == nullptr) return false;
    mainWindow = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kWorkerClass, L"",
                                 WS_POPUP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 300, 200, 480, 360, nullptr, nullptr,
                                 instance, this);
    if (mainWindow == nullptr) return false;
    topLevel.push_back(mainWindow);
    view = AddScriptedView(mainWindow, instance, options.items.size());
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
    if (generation > 0) RaiseOtherWindows();
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

namespace {

// Top-level windows of other processes that show, from the top down.
BOOL CALLBACK CollectOthersShown(HWND hwnd, LPARAM list) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != GetCurrentProcessId() && IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

}  // namespace

// Wine only ever raises a window in X, so a desktop built again lies above every window there
// and, once the pointer passes over it, takes their mouse messages as well. Each other program's
// window is raised in turn, bottom-most first, which leaves X in the order Windows keeps.
void Desktop::Impl::RaiseOtherWindows() {
    std::vector<HWND> above;
    EnumWindows(CollectOthersShown, reinterpret_cast<LPARAM>(&above));
    // Sent on, not waited for: the owner may itself be waiting for this desktop.
    for (auto it = above.rbegin(); it != above.rend(); ++it) {
        SetWindowPos(*it, HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS);
    }
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
    pulls.clear();
    restarting = false;
}

void Desktop::Impl::Restart() {
    Append(L"RESTART");
    if (folderView) folderView->DesktopGoes();
    Teardown();
    ++generation;
    if (!Build()) Append(L"RESTART failed");
    if (folderView) folderView->DesktopCame();
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
    RecordNewPlaces();
    if (count != static_cast<int>(before.size())) Append(L"LV ITEMS " + std::to_wstring(count));
}

std::unique_ptr<Desktop> Desktop::Create(const Options& options) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    if (!RegisterClasses(ThisModule())) return nullptr;

    auto impl = std::make_unique<Impl>();
    impl->options = options;
    impl->hangEnd = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (impl->hangEnd == nullptr) return nullptr;
    if (options.reportFaults) impl->faultHandler = AddFaultReport(impl.get());
    if (!impl->Build()) return nullptr;
    if (options.folderView && !(impl->folderView = FolderViewServer::Create(*impl))) return nullptr;
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

void Desktop::RefusePositions(std::vector<int> indices) { impl_->options.failPos = std::move(indices); }

int Desktop::Faults() const { return impl_->faultHandler != nullptr ? FaultsReported() : 0; }

HWND Desktop::TrayWindow() const { return impl_->tray ? impl_->tray->Window() : nullptr; }

}  // namespace standin
