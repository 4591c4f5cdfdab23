#include "shell/FolderView.h"

#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "base/ScopedWin.h"
#include "base/SideThread.h"
#include "settings/RegKeys.h"
#include "shell/DesktopIcons.h"
#include "shell/ShellSession.h"

namespace iv {
namespace {

// ID lists asked for by one IEnumIDList::Next: a round trip shared by this many items.
constexpr ULONG kListBatch = 256;
// No ID list of the desktop's is longer; a longer one is not taken.
constexpr size_t kLongestIdList = 0x10000;
// Names longer than this are cut: no item of the desktop has one.
constexpr UINT kNameChars = 1024;

struct TaskMemFreer {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};
using ScopedIdList = Scoped<PITEMID_CHILD, nullptr, TaskMemFreer>;

struct ItemNames {
    std::wstring text;
    std::wstring parsingName;
};
using NamesByIdList = std::map<ItemIdList, ItemNames>;

// Explorer's "hide extensions for known file types": the one setting that changes how the
// desktop names an item it keeps the same ID list for.
std::wstring HideExtensionsSetting() {
    return RegKeys::GetRegValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced",
                                L"HideFileExt");
}

}  // namespace

namespace folder {

// What the worker holds of the route, touched on its thread only.
struct Route {
    ComPtr<IFolderView> view;
    HWND window = nullptr;
    // This process's own desktop folder, which names the view's items from their ID lists.
    ComPtr<IShellFolder> desktop;
    // The names of the last read's items, and the setting they were read under: asking for an
    // item's two names costs about a fifth of asking the shell for its place.
    NamesByIdList names;
    std::wstring namesHideExtensions;
    void Forget() {
        view.Reset();
        window = nullptr;
    }
};

// One request to the worker, and when the shell last answered one of its calls.
struct Task {
    std::function<FolderAnswer(Route&, Task&)> work;
    ScopedHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<ULONGLONG> lastAnswer{GetTickCount64()};
    std::atomic<UINT> limitMs{kShellTimeoutMs};
    FolderAnswer answer = FolderAnswer::Failed;
    void Answered() {
        lastAnswer = GetTickCount64();
        limitMs = kShellTimeoutMs;
    }
    // The next call carries this many icons' work.
    void Carries(size_t icons) { limitMs = TimeoutForIcons(icons); }
};

}  // namespace folder

using folder::Route;
using FolderTask = folder::Task;

// What the owner and the worker thread share; the thread's reference keeps it while a call into
// a hung shell outlives the owner.
struct FolderView::Shared {
    Shared() {
        InitializeCriticalSection(&lock);
        wake.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    ~Shared() { DeleteCriticalSection(&lock); }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    void Release() {
        if (--refs == 0) delete this;
    }
    std::shared_ptr<FolderTask> Task() {
        EnterCriticalSection(&lock);
        std::shared_ptr<FolderTask> current = task;
        LeaveCriticalSection(&lock);
        return current;
    }
    static DWORD WINAPI Run(void* parameter);

    std::atomic<LONG> refs{2};
    CRITICAL_SECTION lock;
    ScopedHandle wake;
    ScopedHandle thread;
    std::shared_ptr<FolderTask> task;  // waiting or running
    bool quit = false;
};

namespace {

// A failure that says the view is gone (the shell restarted or ended), not that it refused.
bool ViewGone(HRESULT hr) {
    return HRESULT_FACILITY(hr) == FACILITY_RPC || hr == CO_E_OBJNOTCONNECTED ||
           hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}

// A call that failed: the route is walked afresh next time, and nothing more is asked of that view
// (it may be gone with its shell).
FolderAnswer Failure(Route& route) {
    route.Forget();
    return FolderAnswer::Failed;
}

FolderAnswer OpenRoute(Route& route, FolderTask& task, HWND defView) {
    if (route.view && route.window == defView && IsWindow(defView)) return FolderAnswer::Done;
    route.Forget();
    route.names.clear();
    if (!route.desktop && FAILED(SHGetDesktopFolder(route.desktop.Put()))) return FolderAnswer::Failed;
    if (WalkRoute(defView, route.view.Put(), [&task] { task.Answered(); }) != FolderAnswer::Done) return Failure(route);
    route.window = defView;
    return FolderAnswer::Done;
}

std::wstring NameOf(IShellFolder* folder, PCUITEMID_CHILD id, SHGDNF kind) {
    STRRET name = {};
    wchar_t text[kNameChars] = {};
    if (FAILED(folder->GetDisplayNameOf(id, kind, &name)) || FAILED(StrRetToBufW(&name, id, text, kNameChars))) {
        return {};
    }
    return text;
}

PCUITEMID_CHILD IdOf(const ItemIdList& id) { return reinterpret_cast<PCUITEMID_CHILD>(id.data()); }

// The view's items, as many as the store can keep apart, in the view's own order.
FolderAnswer ListItems(Route& route, FolderTask& task, size_t count, std::vector<FolderItem>& items) {
    ComPtr<IEnumIDList> list;
    task.Carries(count);
    HRESULT hr = route.view->Items(SVGIO_ALLVIEW, IID_PPV_ARGS(list.Put()));
    task.Answered();
    if (FAILED(hr) || !list) return Failure(route);
    for (;;) {
        PITEMID_CHILD batch[kListBatch] = {};
        ULONG fetched = 0;
        task.Carries(kListBatch);
        hr = list->Next(kListBatch, batch, &fetched);
        task.Answered();
        fetched = SUCCEEDED(hr) ? std::min(fetched, kListBatch) : 0;
        for (ULONG k = 0; k < fetched; ++k) {
            const ScopedIdList owned(batch[k]);
            const auto* bytes = reinterpret_cast<const uint8_t*>(owned.Get());
            const size_t size = bytes ? ItemIdListBytes(bytes, kLongestIdList) : 0;
            if (size == 0 || items.size() >= static_cast<size_t>(kMaxDesktopItems)) continue;
            FolderItem item;
            item.id.assign(bytes, bytes + size);
            items.push_back(std::move(item));
        }
        if (FAILED(hr)) return Failure(route);
        if (hr != S_OK || fetched == 0) return FolderAnswer::Done;
    }
}

FolderAnswer ReadItems(Route& route, FolderTask& task, HWND defView, FolderRead& read) {
    const FolderAnswer open = OpenRoute(route, task, defView);
    if (open != FolderAnswer::Done) return open;
    IFolderView* view = route.view.Get();
    int count = 0;
    HRESULT hr = view->ItemCount(SVGIO_ALLVIEW, &count);
    task.Answered();
    if (FAILED(hr)) return Failure(route);
    read.countBefore = count;
    if (ListItems(route, task, static_cast<size_t>(std::max(count, 0)), read.items) != FolderAnswer::Done) {
        return FolderAnswer::Failed;
    }
    // The names come from this process's own desktop folder: read beside the calls into the
    // shell, not after each of them, and only for ID lists the last read did not name.
    IShellFolder* desktop = route.desktop.Get();
    std::vector<FolderItem>& items = read.items;
    std::wstring hideExtensions = HideExtensionsSetting();
    if (hideExtensions != route.namesHideExtensions) route.names.clear();
    route.namesHideExtensions = std::move(hideExtensions);
    NamesByIdList named;
    SideThread names([desktop, &items, &known = route.names, &named] {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (FolderItem& item : items) {
            if (const auto found = known.find(item.id); found != known.end()) {
                item.text = found->second.text;
                item.parsingName = found->second.parsingName;
            } else {
                item.text = NameOf(desktop, IdOf(item.id), SHGDN_INFOLDER);
                item.parsingName = NameOf(desktop, IdOf(item.id), SHGDN_FORPARSING);
            }
            if (!item.text.empty()) named.emplace(item.id, ItemNames{item.text, item.parsingName});
        }
        if (SUCCEEDED(com)) CoUninitialize();
    });
    for (FolderItem& item : items) {
        POINT at = {};
        hr = view->GetItemPosition(IdOf(item.id), &at);
        task.Answered();
        if (ViewGone(hr)) return Failure(route);
        item.placed = SUCCEEDED(hr);
        item.at = at;
    }
    hr = view->GetSpacing(&read.spacing);
    task.Answered();
    if (FAILED(hr)) return Failure(route);
    hr = view->GetAutoArrange();
    task.Answered();
    if (FAILED(hr)) return Failure(route);
    read.autoArrange = hr == S_OK;
    hr = view->ItemCount(SVGIO_ALLVIEW, &count);
    task.Answered();
    if (FAILED(hr)) return Failure(route);
    read.countAfter = count;
    names.Join();
    route.names = std::move(named);
    return FolderAnswer::Done;
}

FolderAnswer MoveItems(Route& route, FolderTask& task, HWND defView, const std::vector<ItemIdList>& items,
                       std::vector<POINT> places) {
    const FolderAnswer open = OpenRoute(route, task, defView);
    if (open != FolderAnswer::Done) return open;
    std::vector<PCUITEMID_CHILD> ids;
    for (const ItemIdList& id : items) ids.push_back(IdOf(id));
    task.Carries(ids.size());
    const HRESULT hr =
        route.view->SelectAndPositionItems(static_cast<UINT>(ids.size()), ids.data(), places.data(), SVSI_POSITIONITEM);
    task.Answered();
    return SUCCEEDED(hr) ? FolderAnswer::Done : Failure(route);
}

}  // namespace

FolderAnswer WalkRoute(HWND defView, IFolderView** view, const std::function<void()>& answered) {
    *view = nullptr;
    // The desktop's shell windows live in the shell's process: never an object of this one.
    ComPtr<IShellWindows> windows;
    HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(windows.Put()));
    answered();
    if (FAILED(hr)) return FolderAnswer::Failed;
    VARIANT desktop;
    VariantInit(&desktop);
    V_VT(&desktop) = VT_I4;
    V_I4(&desktop) = CSIDL_DESKTOP;
    VARIANT root;
    VariantInit(&root);
    long window = 0;
    ComPtr<IDispatch> dispatch;
    hr = windows->FindWindowSW(&desktop, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, dispatch.Put());
    answered();
    if (hr != S_OK || !dispatch) return FolderAnswer::Failed;
    ComPtr<IServiceProvider> provider;
    hr = dispatch->QueryInterface(IID_PPV_ARGS(provider.Put()));
    answered();
    if (FAILED(hr)) return FolderAnswer::Failed;
    ComPtr<IShellBrowser> browser;
    hr = provider->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.Put()));
    answered();
    if (FAILED(hr) || !browser) return FolderAnswer::Failed;
    ComPtr<IShellView> shellView;
    hr = browser->QueryActiveShellView(shellView.Put());
    answered();
    if (FAILED(hr) || !shellView) return FolderAnswer::Failed;
    // The platform's own desktop may answer with a view that is not the one on screen (Wine's has
    // no window at all): only the view of the desktop found by its windows counts.
    HWND viewWindow = nullptr;
    hr = shellView->GetWindow(&viewWindow);
    answered();
    if (FAILED(hr) || viewWindow != defView) return FolderAnswer::Failed;
    hr = shellView->QueryInterface(IID_PPV_ARGS(view));
    answered();
    if (FAILED(hr) || !*view) return FolderAnswer::Failed;
    return FolderAnswer::Done;
}

size_t ItemIdListBytes(const uint8_t* list, size_t limit) {
    size_t offset = 0;
    while (offset + sizeof(USHORT) <= limit) {
        const size_t cb = static_cast<size_t>(list[offset]) | (static_cast<size_t>(list[offset + 1]) << 8);
        if (cb == 0) return offset + sizeof(USHORT);
        if (cb < sizeof(USHORT)) return 0;
        offset += cb;
    }
    return 0;
}

DWORD WINAPI FolderView::Shared::Run(void* parameter) {
    auto* self = static_cast<Shared*>(parameter);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        Route route;
        for (;;) {
            WaitForSingleObject(self->wake.Get(), INFINITE);
            EnterCriticalSection(&self->lock);
            const bool quit = self->quit;
            const std::shared_ptr<FolderTask> task = self->task;
            LeaveCriticalSection(&self->lock);
            if (task) {
                task->Answered();
                task->answer = SUCCEEDED(com) ? task->work(route, *task) : FolderAnswer::Failed;
                EnterCriticalSection(&self->lock);
                self->task.reset();
                LeaveCriticalSection(&self->lock);
                SetEvent(task->done.Get());
            }
            if (quit) break;
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    self->Release();
    return 0;
}

FolderView::~FolderView() {
    if (!shared_) return;
    EnterCriticalSection(&shared_->lock);
    shared_->quit = true;
    LeaveCriticalSection(&shared_->lock);
    SetEvent(shared_->wake.Get());
    // Long enough to let go of the shell's objects in order; a worker held by a hung shell ends
    // when the call does, or with the process.
    WaitForSingleObject(shared_->thread.Get(), kShellTimeoutMs);
    shared_->Release();
}

bool FolderView::Busy() const { return shared_ && shared_->Task() != nullptr; }

template <typename Work>
FolderAnswer FolderView::Run(ShellSession& session, Work work) {
    if (Busy()) return FolderAnswer::NoAnswer;
    if (!shared_) {
        auto* shared = new Shared;
        // Without its event the worker would never wait: it runs only with one.
        if (shared->wake) shared->thread.Reset(CreateThread(nullptr, 0, Shared::Run, shared, 0, nullptr));
        if (!shared->thread) {
            delete shared;
            return FolderAnswer::Failed;
        }
        shared_ = shared;
    }
    auto task = std::make_shared<FolderTask>();
    task->work = std::move(work);
    EnterCriticalSection(&shared_->lock);
    shared_->task = task;
    LeaveCriticalSection(&shared_->lock);
    SetEvent(shared_->wake.Get());
    if (!session.WaitForShell(task->done.Get(), task->lastAnswer, task->limitMs)) return FolderAnswer::NoAnswer;
    return task->answer;
}

FolderAnswer FolderView::Open(ShellSession& session, HWND defView) {
    // The route leads nowhere on a desktop whose shell registers no desktop with its windows (the
    // platform's own desktop does not lead to this view): a walk costs a few calls into the shell.
    constexpr ULONGLONG kRefusedMs = 10000;
    const ULONGLONG now = GetTickCount64();
    if (defView == refused_ && now - refusedAt_ < kRefusedMs) return FolderAnswer::Failed;
    const FolderAnswer answer =
        Run(session, [defView](Route& route, FolderTask& task) { return OpenRoute(route, task, defView); });
    if (answer == FolderAnswer::Failed) {
        refused_ = defView;
        refusedAt_ = now;
    }
    return answer;
}

FolderAnswer FolderView::Read(ShellSession& session, HWND defView, FolderRead& read) {
    auto result = std::make_shared<FolderRead>();
    const FolderAnswer answer = Run(session, [defView, result](Route& route, FolderTask& task) {
        return ReadItems(route, task, defView, *result);
    });
    if (answer == FolderAnswer::Done) read = std::move(*result);
    return answer;
}

FolderAnswer FolderView::Move(ShellSession& session, HWND defView, const std::vector<ItemIdList>& items,
                              const std::vector<POINT>& places) {
    return Run(session, [defView, items, places](Route& route, FolderTask& task) {
        return MoveItems(route, task, defView, items, places);
    });
}

}  // namespace iv
