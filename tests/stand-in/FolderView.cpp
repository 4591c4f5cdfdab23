// The folder view's objects, as FolderView.h describes them, and the faults their calls meet.
#include "FolderView.h"

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "DesktopImpl.h"
#include "FolderRoute.h"
#include "tests/stand-in/proxy/ProxyClsid.h"

namespace standin::detail {

std::string IdListBytes(PCUIDLIST_RELATIVE list) {
    if (list == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(list), ILGetSize(list));
}

LRESULT ListViewCall(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
    const auto proc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(list, GCLP_WNDPROC));
    if (proc == nullptr || GetWindowThreadProcessId(list, nullptr) != GetCurrentThreadId())
        return SendMessageW(list, msg, wParam, lParam);
    return CallWindowProcW(proc, list, msg, wParam, lParam);
}

PCUITEMID_CHILD ItemIdList(HWND list, int index) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!ListViewCall(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<PCUITEMID_CHILD>(item.lParam);
}

void ItemIndex::Build(HWND list) {
    lists_.clear();
    indexes_.clear();
    const auto count = static_cast<int>(ListViewCall(list, LVM_GETITEMCOUNT));
    indexes_.reserve(static_cast<size_t>(count));
    texts_.assign(static_cast<size_t>(count), std::nullopt);
    for (int i = 0; i < count; ++i) {
        if (PCUITEMID_CHILD item = ItemIdList(list, i)) {
            lists_.push_back(IdListBytes(item));
            indexes_.emplace(lists_.back(), i);
        }
    }
    built_ = true;
}

const std::vector<std::string>& ItemIndex::Lists(HWND list) {
    if (!built_) Build(list);
    return lists_;
}

const std::wstring& ItemIndex::Text(HWND list, int index) {
    static const std::wstring none;
    if (!built_) Build(list);
    if (index < 0 || static_cast<size_t>(index) >= texts_.size()) return none;
    std::optional<std::wstring>& text = texts_[static_cast<size_t>(index)];
    if (!text) {
        wchar_t answer[MAX_PATH] = {};
        LVITEMW item = {};
        item.pszText = answer;
        item.cchTextMax = MAX_PATH;
        ListViewCall(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        text = answer;
    }
    return *text;
}

int ItemIndex::Find(HWND list, const std::string& bytes) {
    if (list == nullptr || bytes.empty()) return -1;
    if (!built_) Build(list);
    const auto found = indexes_.find(bytes);
    return found != indexes_.end() ? found->second : -1;
}

namespace {

using iv::ComPtr;

class Server;
class Served;

// The objects alive, as their server knows them; it lives as long as any of them.
struct LiveObjects {
    std::mutex mutex;
    std::set<Served*> objects;
};

// What every object handed out shares: a reference count that the last caller may drop on any
// thread, and the way back to its server, cut when its desktop goes (then its calls fail).
class Served {
public:
    virtual IUnknown* Identity() = 0;
    // Desktop thread only: drops what ties the object to its desktop.
    virtual void CutOff() { server_ = nullptr; }
    bool CutOffAlready() const { return server_ == nullptr; }
    // A reference unless the object is already going.
    bool TryAddRef() {
        for (LONG refs = refs_; refs > 0;) {
            const LONG seen = InterlockedCompareExchange(&refs_, refs + 1, refs);
            if (seen == refs) return true;
            refs = seen;
        }
        return false;
    }

protected:
    explicit Served(Server* server);
    virtual ~Served();
    ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG Drop() {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    Server* server_;

private:
    LONG refs_ = 1;
    std::shared_ptr<LiveObjects> live_;
};

// The IDispatch of an object that is reached through its vtable only.
template <typename Base>
class NoAutomation : public Base {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

template <typename T>
HRESULT Answer(T* object, void** ppv) {
    *ppv = object;
    object->AddRef();
    return S_OK;
}

class ViewObject;

class Server final : public FolderViewServer {
public:
    explicit Server(Desktop::Impl& desktop) : desktop_(desktop), live_(std::make_shared<LiveObjects>()) {}
    ~Server() override { Close(); }

    bool Start();
    void DesktopGoes() override;
    void DesktopCame() override;
    void DisconnectRetired() override;
    void Close() override;

    Desktop::Impl& Desktop() { return desktop_; }
    const std::shared_ptr<LiveObjects>& Live() const { return live_; }
    bool Closed() const { return closed_; }
    // The current desktop's objects, made when first asked for; each answer is add-ref'd.
    IDispatch* DesktopDispatch();
    IShellBrowser* Browser();
    IShellView* View();

    // A call of an IFolderView (folderView) or IEnumIDList method begins: counted, and met by the
    // fault options. S_OK when it goes on, else what it answers.
    HRESULT Enter(Served& object, const wchar_t* method, bool folderView);
    void Leave() { --depth_; }

private:
    // Waits as a shell inside a call of its own does: messages sent to the thread are answered,
    // posted ones (further calls among them) wait. False when the desktop is closing meanwhile.
    bool Wait(DWORD ms);
    bool ClosePending();
    // Cuts every live object off; they are held until disconnected.
    std::vector<Served*> CutAll();
    static void Disconnect(std::vector<Served*>& objects);

    Desktop::Impl& desktop_;
    iv::ComApartment apartment_;  // COM outlives each shell view's own OleInitialize across restarts
    std::shared_ptr<LiveObjects> live_;
    RouteLock lock_;
    RouteRegistry registry_;
    ComPtr<IClassFactory> factory_;
    DWORD cookie_ = 0;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IShellBrowser> browser_;
    ComPtr<IShellView> view_;
    std::vector<Served*> retired_;
    int calls_ = 0;
    int depth_ = 0;
    bool closing_ = false;
    bool closed_ = false;
};

Served::Served(Server* server) : server_(server), live_(server->Live()) {
    std::lock_guard<std::mutex> lock(live_->mutex);
    live_->objects.insert(this);
}

Served::~Served() {
    std::lock_guard<std::mutex> lock(live_->mutex);
    live_->objects.erase(this);
}

// One call: entered at construction, left at destruction.
class Call {
public:
    Call(Served& object, Server* server, const wchar_t* method, bool folderView)
        : server_(server),
          refusal_(server != nullptr ? server->Enter(object, method, folderView) : RPC_E_DISCONNECTED) {}
    ~Call() {
        if (server_ != nullptr) server_->Leave();
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    HRESULT Refusal() const { return refusal_; }

private:
    Server* server_;
    HRESULT refusal_;
};

class IdListEnum final : public IEnumIDList, public Served {
public:
    using Lists = std::shared_ptr<const std::vector<std::string>>;
    IdListEnum(Server* server, Lists lists, size_t next) : Served(server), lists_(std::move(lists)), next_(next) {}

    IUnknown* Identity() override { return static_cast<IEnumIDList*>(this); }
    void CutOff() override {
        Served::CutOff();
        lists_.reset();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumIDList))
            return Answer(static_cast<IEnumIDList*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, PITEMID_CHILD* items, ULONG* fetched) override {
        if (fetched != nullptr) *fetched = 0;
        const Call call(*this, server_, L"Next", false);
        if (FAILED(call.Refusal())) return call.Refusal();
        if (items == nullptr) return E_POINTER;
        if (count > 1 && fetched == nullptr) return E_INVALIDARG;
        ULONG given = 0;
        for (; given < count && next_ < lists_->size(); ++given, ++next_) {
            const std::string& bytes = (*lists_)[next_];
            items[given] = static_cast<PITEMID_CHILD>(CoTaskMemAlloc(bytes.size()));
            if (items[given] == nullptr) {
                for (ULONG i = 0; i < given; ++i) CoTaskMemFree(std::exchange(items[i], nullptr));
                return E_OUTOFMEMORY;
            }
            memcpy(items[given], bytes.data(), bytes.size());
        }
        if (fetched != nullptr) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const Call call(*this, server_, L"Skip", false);
        if (FAILED(call.Refusal())) return call.Refusal();
        const size_t left = lists_->size() - next_;
        next_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        const Call call(*this, server_, L"Reset", false);
        if (FAILED(call.Refusal())) return call.Refusal();
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) override {
        if (copy == nullptr) return E_POINTER;
        *copy = nullptr;
        const Call call(*this, server_, L"Clone", false);
        if (FAILED(call.Refusal())) return call.Refusal();
        *copy = new IdListEnum(server_, lists_, next_);
        return S_OK;
    }

private:
    ~IdListEnum() override = default;

    Lists lists_;
    size_t next_;
};

// The desktop's shell view: IShellView passed on to the platform's, IFolderView over its list view.
class ViewObject final : public IShellView, public IFolderView, public Served {
public:
    ViewObject(Server* server, IShellView* platform) : Served(server) {
        platform->AddRef();
        *platform_.Put() = platform;
    }

    IUnknown* Identity() override { return static_cast<IShellView*>(this); }
    void CutOff() override {
        Served::CutOff();
        platform_.Reset();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IShellView))
            return Answer(static_cast<IShellView*>(this), ppv);
        if (IsEqualIID(riid, IID_IFolderView)) return Answer(static_cast<IFolderView*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

    // IOleWindow, IShellView.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (hwnd != nullptr) *hwnd = nullptr;
        return platform_ ? platform_->GetWindow(hwnd) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg) override {
        return platform_ ? platform_->TranslateAccelerator(msg) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override {
        return platform_ ? platform_->EnableModeless(enable) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE UIActivate(UINT state) override {
        return platform_ ? platform_->UIActivate(state) : RPC_E_DISCONNECTED;
    }
    // The desktop's refresh, as F5 on it (the platform's view would lose every icon's place).
    HRESULT STDMETHODCALLTYPE Refresh() override {
        if (server_ == nullptr) return RPC_E_DISCONNECTED;
        server_->Desktop().Refresh();
        return S_OK;
    }
    // The desktop's window is the desktop's, not its callers', to make and to destroy.
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*, RECT*,
                                               HWND* hwnd) override {
        if (hwnd != nullptr) *hwnd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS settings) override {
        return platform_ ? platform_->GetCurrentInfo(settings) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE, LPARAM) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveViewState() override {
        return platform_ ? platform_->SaveViewState() : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD item, SVSIF flags) override {
        return platform_ ? platform_->SelectItem(item, flags) : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT item, REFIID riid, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return platform_ ? platform_->GetItemObject(item, riid, ppv) : RPC_E_DISCONNECTED;
    }

    // IFolderView.
    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFolder(REFIID, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Item(int index, PITEMID_CHILD* item) override {
        if (item != nullptr) *item = nullptr;
        const Call call(*this, server_, L"Item", true);
        if (FAILED(call.Refusal())) return call.Refusal();
        if (item == nullptr) return E_POINTER;
        Desktop::Impl& desktop = server_->Desktop();
        const Desktop::Impl::Quiet quietly(desktop);
        const std::string bytes = IdListBytes(ItemIdList(desktop.listView, index));
        if (bytes.empty()) return E_INVALIDARG;
        *item = static_cast<PITEMID_CHILD>(CoTaskMemAlloc(bytes.size()));
        if (*item == nullptr) return E_OUTOFMEMORY;
        memcpy(*item, bytes.data(), bytes.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ItemCount(UINT flags, int* count) override {
        if (count != nullptr) *count = 0;
        const Call call(*this, server_, L"ItemCount", true);
        if (FAILED(call.Refusal())) return call.Refusal();
        if (count == nullptr) return E_POINTER;
        const HWND list = server_->Desktop().listView;
        const Desktop::Impl::Quiet quietly(server_->Desktop());
        switch (flags & SVGIO_TYPE_MASK) {
            case SVGIO_ALLVIEW: *count = static_cast<int>(ListViewCall(list, LVM_GETITEMCOUNT)); return S_OK;
            case SVGIO_SELECTION: *count = static_cast<int>(ListView_GetSelectedCount(list)); return S_OK;
            default: return E_INVALIDARG;
        }
    }
    HRESULT STDMETHODCALLTYPE Items(UINT flags, REFIID riid, void** ppv) override {
        if (ppv != nullptr) *ppv = nullptr;
        const Call call(*this, server_, L"Items", true);
        if (FAILED(call.Refusal())) return call.Refusal();
        if (ppv == nullptr) return E_POINTER;
        const UINT which = flags & SVGIO_TYPE_MASK;
        if (which != SVGIO_ALLVIEW && which != SVGIO_SELECTION) return E_INVALIDARG;
        if (!IsEqualIID(riid, IID_IEnumIDList) && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
        Desktop::Impl& desktop = server_->Desktop();
        auto lists = std::make_shared<std::vector<std::string>>();
        {
            const Desktop::Impl::Quiet quietly(desktop);
            if (which == SVGIO_ALLVIEW) {
                *lists = desktop.itemIndex.Lists(desktop.listView);
            } else {
                for (int i = ListView_GetNextItem(desktop.listView, -1, LVNI_SELECTED); i >= 0;
                     i = ListView_GetNextItem(desktop.listView, i, LVNI_SELECTED)) {
                    std::string bytes = IdListBytes(ItemIdList(desktop.listView, i));
                    if (!bytes.empty()) lists->push_back(std::move(bytes));
                }
            }
        }
        desktop.Append(L"FV ITEMS " + std::to_wstring(lists->size()));
        *ppv = static_cast<IEnumIDList*>(new IdListEnum(server_, std::move(lists), 0));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD item, POINT* point) override {
        if (point != nullptr) *point = {};
        const Call call(*this, server_, L"GetItemPosition", true);
        if (FAILED(call.Refusal())) return call.Refusal();
        if (item == nullptr || point == nullptr) return E_INVALIDARG;
        Desktop::Impl& desktop = server_->Desktop();
        std::wstring name;
        {
            const Desktop::Impl::Quiet quietly(desktop);
            const int index = desktop.itemIndex.Find(desktop.listView, IdListBytes(item));
            if (index < 0 || !ListViewCall(desktop.listView, LVM_GETITEMPOSITION, static_cast<WPARAM>(index),
                                           reinterpret_cast<LPARAM>(point))) {
                return E_INVALIDARG;
            }
            if (!desktop.options.fvFailPos.empty() && desktop.TextOf(index) == desktop.options.fvFailPos) return E_FAIL;
            if (desktop.options.logGetPos) name = desktop.TextOf(index);
        }
        if (desktop.options.logGetPos)
            desktop.Append(L"FV GETPOS " + name + L" " + std::to_wstring(point->x) + L" " + std::to_wstring(point->y));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSpacing(POINT* point) override { return Spacing(L"GetSpacing", point); }
    HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT* point) override { return Spacing(L"GetDefaultSpacing", point); }
    HRESULT STDMETHODCALLTYPE GetAutoArrange() override {
        const Call call(*this, server_, L"GetAutoArrange", true);
        if (FAILED(call.Refusal())) return call.Refusal();
        return (GetWindowLongPtrW(server_->Desktop().listView, GWL_STYLE) & LVS_AUTOARRANGE) != 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SelectItem(int, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT count, PCUITEMID_CHILD_ARRAY items, POINT* points,
                                                     DWORD flags) override {
        const Call call(*this, server_, L"SelectAndPositionItems", true);
        if (FAILED(call.Refusal())) return call.Refusal();
        if ((count > 0 && items == nullptr) || ((flags & SVSI_POSITIONITEM) != 0 && points == nullptr))
            return E_INVALIDARG;
        Desktop::Impl& desktop = server_->Desktop();
        const HWND list = desktop.listView;
        std::vector<std::wstring> lines = {L"FV POSITIONS " + std::to_wstring(count)};
        {
            const Desktop::Impl::Quiet quietly(desktop);
            if ((flags & SVSI_DESELECTOTHERS) != 0) ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
            // All the moves under one repaint, as a shell arranges many icons at once.
            SendMessageW(list, WM_SETREDRAW, FALSE, 0);
            for (UINT i = 0; i < count; ++i) {
                const int index = desktop.itemIndex.Find(list, IdListBytes(items[i]));
                std::wstring line = L"FV POSITION " + (index >= 0 ? desktop.TextOf(index) : L"(unknown)");
                if ((flags & SVSI_POSITIONITEM) != 0) {
                    line += L" " + std::to_wstring(points[i].x) + L" " + std::to_wstring(points[i].y);
                    if (index >= 0) {
                        ListViewCall(list, LVM_SETITEMPOSITION32, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(&points[i]));
                        desktop.Remember(index);
                    }
                }
                if (index >= 0 && (flags & (SVSI_SELECT | SVSI_DESELECT)) != 0)
                    ListView_SetItemState(list, index, (flags & SVSI_SELECT) != 0 ? LVIS_SELECTED : 0, LVIS_SELECTED);
                lines.push_back(std::move(line));
            }
            SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(list, nullptr, TRUE);
        }
        desktop.Append(std::move(lines));
        return S_OK;
    }

private:
    ~ViewObject() override = default;

    HRESULT Spacing(const wchar_t* method, POINT* point) {
        if (point != nullptr) *point = {};
        const Call call(*this, server_, method, true);
        if (FAILED(call.Refusal())) return call.Refusal();
        if (point == nullptr) return E_POINTER;
        const Desktop::Impl::Quiet quietly(server_->Desktop());
        const auto spacing = static_cast<DWORD>(ListView_GetItemSpacing(server_->Desktop().listView, FALSE));
        *point = {LOWORD(spacing), HIWORD(spacing)};
        return S_OK;
    }

    ComPtr<IShellView> platform_;
};

// The desktop's browser: its window and its active view.
class RouteBrowser final : public IShellBrowser, public Served {
public:
    explicit RouteBrowser(Server* server) : Served(server) {}

    IUnknown* Identity() override { return static_cast<IShellBrowser*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IShellBrowser))
            return Answer(static_cast<IShellBrowser*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (hwnd == nullptr) return E_POINTER;
        *hwnd = server_ != nullptr ? server_->Desktop().progman : nullptr;
        return server_ != nullptr ? S_OK : RPC_E_DISCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU, HOLEMENU, HWND) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BrowseObject(PCUIDLIST_RELATIVE, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetViewStateStream(DWORD, IStream** stream) override {
        if (stream != nullptr) *stream = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetControlWindow(UINT, HWND* hwnd) override {
        if (hwnd != nullptr) *hwnd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SendControlMsg(UINT, UINT, WPARAM, LPARAM, LRESULT* result) override {
        if (result != nullptr) *result = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE QueryActiveShellView(IShellView** view) override {
        if (view == nullptr) return E_POINTER;
        *view = server_ != nullptr ? server_->View() : nullptr;
        return *view != nullptr ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return E_NOTIMPL; }

private:
    ~RouteBrowser() override = default;
};

// What FindWindowSW hands out for the desktop: a dispatch object that provides its browser.
class DesktopObject final : public NoAutomation<IDispatch>, public IServiceProvider, public Served {
public:
    explicit DesktopObject(Server* server) : Served(server) {}

    IUnknown* Identity() override { return static_cast<IDispatch*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch))
            return Answer(static_cast<IDispatch*>(this), ppv);
        if (IsEqualIID(riid, IID_IServiceProvider)) return Answer(static_cast<IServiceProvider*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (server_ == nullptr) return RPC_E_DISCONNECTED;
        if (!IsEqualGUID(service, SID_STopLevelBrowser) && !IsEqualGUID(service, SID_SShellBrowser))
            return E_NOINTERFACE;
        ComPtr<IShellBrowser> browser;
        *browser.Put() = server_->Browser();
        return browser->QueryInterface(riid, ppv);
    }

private:
    ~DesktopObject() override = default;
};

class ShellWindowsObject final : public NoAutomation<IShellWindows>, public Served {
public:
    explicit ShellWindowsObject(Server* server) : Served(server) {}

    IUnknown* Identity() override { return static_cast<IShellWindows*>(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IShellWindows))
            return Answer(static_cast<IShellWindows*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return Drop(); }

    HRESULT STDMETHODCALLTYPE get_Count(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Item(VARIANT, IDispatch** folder) override {
        if (folder != nullptr) *folder = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** items) override {
        if (items != nullptr) *items = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Register(IDispatch*, LONG, int, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterPending(LONG, VARIANT*, VARIANT*, int, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Revoke(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnNavigate(LONG, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnActivated(LONG, VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindWindowSW(VARIANT* location, VARIANT* root, int windowClass, LONG* hwnd, int flags,
                                           IDispatch** dispatch) override {
        if (hwnd != nullptr) *hwnd = 0;
        if (dispatch != nullptr) *dispatch = nullptr;
        if (server_ == nullptr) return RPC_E_DISCONNECTED;
        Desktop::Impl& desktop = server_->Desktop();
        if (windowClass != SWC_DESKTOP || !IsDesktop(location) || (root != nullptr && root->vt != VT_EMPTY) ||
            desktop.progman == nullptr || !desktop.shell)
            return S_FALSE;
        if ((flags & SWFO_NEEDDISPATCH) != 0) {
            if (dispatch == nullptr) return E_POINTER;
            *dispatch = server_->DesktopDispatch();
        }
        if (hwnd != nullptr) *hwnd = HandleToLong(desktop.progman);
        desktop.Append(L"FV ROUTE");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnCreated(LONG, IUnknown*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ProcessAttachDetach(VARIANT_BOOL) override { return E_NOTIMPL; }

private:
    ~ShellWindowsObject() override = default;

    // CSIDL_DESKTOP as a number of any integer type.
    static bool IsDesktop(const VARIANT* location) {
        VARIANT number;
        VariantInit(&number);
        const bool desktop = location != nullptr &&
                             SUCCEEDED(VariantChangeType(&number, const_cast<VARIANT*>(location), 0, VT_I4)) &&
                             number.lVal == CSIDL_DESKTOP;
        VariantClear(&number);
        return desktop;
    }
};

// The class object the route's CoCreateInstance reaches; it lives as long as the server serves.
class RouteFactory final : public IClassFactory {
public:
    explicit RouteFactory(Server* server) : server_(server) {}
    void Stop() { server_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory))
            return Answer(static_cast<IClassFactory*>(this), ppv);
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        if (server_ == nullptr || server_->Closed()) return CO_E_SERVER_STOPPING;
        auto* windows = new ShellWindowsObject(server_);
        const HRESULT hr = windows->QueryInterface(riid, ppv);
        windows->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ~RouteFactory() = default;

    Server* server_;
    LONG refs_ = 1;
};

// The proxy DLL next to this program (or the test program linking the stand-in).
std::wstring OwnProxyDll() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, length);
    dll.erase(dll.find_last_of(L"\\/") + 1);
    return dll + kProxyDllName;
}

bool Server::Start() {
    if (!lock_.Take()) {
        desktop_.Append(L"FV failed: another stand-in serves the folder view");
        return false;
    }
    const bool leftover = RouteRegistry::PutBackLeftovers();
    const CLSID route = NewRouteClsid();
    auto* factory = new RouteFactory(this);
    *factory_.Put() = factory;
    HRESULT hr = CoRegisterClassObject(route, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
    std::vector<std::wstring> dlls = {OwnProxyDll()};
    if (!desktop_.options.peerProxy.empty()) dlls.push_back(desktop_.options.peerProxy);
    std::wstring why = L"CoRegisterClassObject failed";
    if (FAILED(hr) || !registry_.Register(dlls, route, why)) {
        desktop_.Append(L"FV failed: " + why);
        return false;
    }
    if (leftover) desktop_.Append(L"FV LEFTOVER");
    desktop_.Append(L"FV READY");
    return true;
}

IDispatch* Server::DesktopDispatch() {
    if (!dispatch_) *dispatch_.Put() = new DesktopObject(this);
    dispatch_->AddRef();
    return dispatch_.Get();
}

IShellBrowser* Server::Browser() {
    if (!browser_) *browser_.Put() = new RouteBrowser(this);
    browser_->AddRef();
    return browser_.Get();
}

IShellView* Server::View() {
    if (!view_) {
        IShellView* platform = desktop_.shell ? desktop_.shell->ShellView() : nullptr;
        if (platform == nullptr) return nullptr;
        *view_.Put() = new ViewObject(this, platform);
    }
    view_->AddRef();
    return view_.Get();
}

HRESULT Server::Enter(Served& object, const wchar_t* method, bool folderView) {
    ++depth_;
    const Options& options = desktop_.options;
    const int nth = ++calls_;
    if (options.fvRestartIn == nth) {
        desktop_.Append(L"FV RESTART");
        desktop_.Restart();
        return RPC_E_DISCONNECTED;
    }
    if (options.fvHang > 0 && nth >= options.fvHang) {
        desktop_.Append(std::wstring(L"FV HANG ") + method);
        if (!Wait(INFINITE)) return E_FAIL;
    } else if (options.fvSlowMs > 0 && (options.fvSlowNth == 0 || options.fvSlowNth == nth)) {
        desktop_.Append(std::wstring(L"FV SLOW ") + method + L" " + std::to_wstring(options.fvSlowMs));
        if (!Wait(static_cast<DWORD>(options.fvSlowMs))) return E_FAIL;
    }
    if (object.CutOffAlready()) return RPC_E_DISCONNECTED;
    if (folderView && options.fvFail) {
        desktop_.Append(std::wstring(L"FV FAIL ") + method);
        return E_FAIL;
    }
    return S_OK;
}

bool Server::ClosePending() {
    MSG msg;
    closing_ = closing_ || closed_ || desktop_.mainWindow == nullptr ||
               PeekMessageW(&msg, desktop_.mainWindow, WM_CLOSE, WM_CLOSE, PM_NOREMOVE);
    return closing_;
}

bool Server::Wait(DWORD ms) {
    const ULONGLONG end = ms == INFINITE ? ~0ULL : GetTickCount64() + ms;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        // A close is looked for every 50 ms: it comes posted, and only sent messages wake the wait.
        if (ClosePending()) return false;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(50, end - now));
        const DWORD woken = MsgWaitForMultipleObjects(1, &desktop_.hangEnd, FALSE, slice, QS_SENDMESSAGE);
        if (woken == WAIT_OBJECT_0) return true;  // Desktop::EndHang
        MSG msg;
        if (woken == WAIT_OBJECT_0 + 1) PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return !ClosePending();
}

std::vector<Served*> Server::CutAll() {
    std::vector<Served*> taken;
    {
        std::lock_guard<std::mutex> lock(live_->mutex);
        for (Served* object : live_->objects) {
            if (object->TryAddRef()) taken.push_back(object);
        }
        live_->objects.clear();
    }
    for (Served* object : taken) object->CutOff();
    dispatch_.Reset();
    browser_.Reset();
    view_.Reset();
    return taken;
}

void Server::Disconnect(std::vector<Served*>& objects) {
    for (Served* object : objects) {
        IUnknown* identity = object->Identity();
        CoDisconnectObject(identity, 0);
        identity->Release();
    }
    objects.clear();
}

void Server::DesktopGoes() {
    std::vector<Served*> cut = CutAll();
    retired_.insert(retired_.end(), cut.begin(), cut.end());
}

void Server::DesktopCame() {
    if (depth_ == 0) {
        Disconnect(retired_);
    } else if (!retired_.empty()) {
        PostMessageW(desktop_.mainWindow, kDisconnectMessage, 0, 0);
    }
}

void Server::DisconnectRetired() {
    if (depth_ == 0) {
        Disconnect(retired_);
    } else {
        PostMessageW(desktop_.mainWindow, kDisconnectMessage, 0, 0);
    }
}

void Server::Close() {
    if (closed_) return;
    closed_ = true;
    registry_.Unregister();
    if (cookie_ != 0) CoRevokeClassObject(std::exchange(cookie_, 0));
    if (factory_) static_cast<RouteFactory*>(factory_.Get())->Stop();
    factory_.Reset();
    DesktopGoes();
    // A call still in flight (the desktop closed during a wait) is left to the process's end.
    if (depth_ == 0) Disconnect(retired_);
}

}  // namespace

std::unique_ptr<FolderViewServer> FolderViewServer::Create(Desktop::Impl& desktop) {
    auto server = std::make_unique<Server>(desktop);
    if (!server->Start()) return nullptr;
    return server;
}

}  // namespace standin::detail
