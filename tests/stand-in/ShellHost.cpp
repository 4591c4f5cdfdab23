#include "ShellHost.h"

#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/ScopedWin.h"

namespace standin::detail {
namespace {

struct ChangeCloser {
    void operator()(HANDLE change) const { FindCloseChangeNotification(change); }
};
using ScopedChange = iv::Scoped<HANDLE, nullptr, ChangeCloser>;

// The least a shell view asks of its browser. Everything else it may query is refused; in
// particular ICommDlgBrowser, whose presence turns the view into a file dialog's view.
class MinimalBrowser final : public IShellBrowser {
public:
    explicit MinimalBrowser(HWND owner) : owner_(owner) {}
    MinimalBrowser(const MinimalBrowser&) = delete;
    MinimalBrowser& operator=(const MinimalBrowser&) = delete;

    void SetView(IShellView* view) { view_ = view; }  // not owned: the host holds the view

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IShellBrowser)) {
            *ppv = static_cast<IShellBrowser*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (hwnd == nullptr) return E_POINTER;
        *hwnd = owner_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE InsertMenusSB(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMenuSB(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenusSB(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusTextSB(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModelessSB(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorSB(MSG*, WORD) override { return S_FALSE; }
    // A desktop opens folders in new windows; there is nothing to navigate here.
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
        *view = view_;
        if (view_ == nullptr) return E_FAIL;
        view_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnViewWindowActive(IShellView*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetToolbarItems(LPTBBUTTONSB, UINT, UINT) override { return S_OK; }

private:
    ~MinimalBrowser() = default;

    LONG refs_ = 1;
    HWND owner_;
    IShellView* view_ = nullptr;
};

std::wstring FolderPath(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

// What the desktop shows from disk: the names in the user's and the common desktop folders.
std::vector<std::wstring> Snapshot(const std::vector<std::wstring>& folders) {
    std::vector<std::wstring> names;
    for (const std::wstring& folder : folders) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") names.push_back(folder + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

struct ShellHost::Impl {
    bool oleInitialized = false;
    MinimalBrowser* browser = nullptr;
    IShellView* view = nullptr;
    HWND viewWindow = nullptr;
    std::vector<std::wstring> folders;
    std::vector<std::wstring> snapshot;
    // Told of every name that comes or goes in the folders, as the shell is: only then are they
    // listed again (listing thousands of files at every poll would hold up the desktop's thread).
    std::vector<ScopedChange> changes;

    ~Impl() {
        Close();
        if (browser != nullptr) browser->Release();
        if (oleInitialized) OleUninitialize();
    }

    void Close() {
        if (view != nullptr) {
            view->UIActivate(SVUIA_DEACTIVATE);
            view->DestroyViewWindow();
            view->Release();
            view = nullptr;
        }
        if (browser != nullptr) browser->SetView(nullptr);
        viewWindow = nullptr;
    }
};

std::unique_ptr<ShellHost> ShellHost::Create(HWND progman, const RECT& bounds) {
    auto impl = std::make_unique<Impl>();
    // OLE rather than plain COM: the view registers itself as a drop target.
    const HRESULT ole = OleInitialize(nullptr);
    impl->oleInitialized = SUCCEEDED(ole);

    for (const int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY}) {
        std::wstring path = FolderPath(csidl);
        if (!path.empty()) impl->folders.push_back(std::move(path));
    }
    for (const std::wstring& folder : impl->folders) {
        const HANDLE change = FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                                           FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
        if (change == INVALID_HANDLE_VALUE) {
            impl->changes.clear();
            break;
        }
        impl->changes.emplace_back(change);
    }
    impl->snapshot = Snapshot(impl->folders);

    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    IShellView* view = nullptr;
    const HRESULT created = desktop->CreateViewObject(progman, IID_IShellView, reinterpret_cast<void**>(&view));
    desktop->Release();
    if (FAILED(created) || view == nullptr) return nullptr;
    impl->view = view;

    impl->browser = new MinimalBrowser(progman);
    impl->browser->SetView(view);
    FOLDERSETTINGS settings = {};
    settings.ViewMode = FVM_ICON;
    settings.fFlags = FWF_DESKTOP | FWF_NOCLIENTEDGE | FWF_NOSCROLL | FWF_TRANSPARENT;
    RECT rect = bounds;
    HWND window = nullptr;
    if (FAILED(view->CreateViewWindow(nullptr, &settings, impl->browser, &rect, &window)) || window == nullptr) {
        return nullptr;
    }
    impl->viewWindow = window;
    view->UIActivate(SVUIA_ACTIVATE_NOFOCUS);
    return std::unique_ptr<ShellHost>(new ShellHost(std::move(impl)));
}

ShellHost::ShellHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ShellHost::~ShellHost() = default;

HWND ShellHost::View() const { return impl_->viewWindow; }

IShellView* ShellHost::ShellView() const { return impl_->view; }

void* ShellHost::Browser() const { return static_cast<IShellBrowser*>(impl_->browser); }

void ShellHost::Resize(const RECT& bounds) {
    if (impl_->viewWindow == nullptr) return;
    MoveWindow(impl_->viewWindow, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
               TRUE);
}

bool ShellHost::FolderChanged() {
    // Without the notifications every poll lists the folders.
    if (!impl_->changes.empty()) {
        bool told = false;
        for (const ScopedChange& change : impl_->changes) {
            if (WaitForSingleObject(change.Get(), 0) != WAIT_OBJECT_0) continue;
            told = true;
            FindNextChangeNotification(change.Get());
        }
        if (!told) return false;
    }
    std::vector<std::wstring> now = Snapshot(impl_->folders);
    if (now == impl_->snapshot) return false;
    impl_->snapshot = std::move(now);
    return true;
}

void ShellHost::Refresh() {
    if (impl_->view != nullptr) impl_->view->Refresh();
}

void ShellHost::Close() { impl_->Close(); }

}  // namespace standin::detail
