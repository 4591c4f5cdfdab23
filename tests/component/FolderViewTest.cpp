// The stand-in's folder view as the program meets it: the stand-in program serves it, this process
// walks the documented route from a thread of the multithreaded apartment. --standin=PATH picks a
// stand-in of the other bitness; the default is the one next to this program.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

#include "base/ScopedWin.h"
#include "tests/stand-in/StandIn.h"
#include "tests/stand-in/proxy/ProxyClsid.h"
#include "tests/support/Processes.h"
#include "tests/support/Remote.h"

namespace iv {
namespace {

using namespace testing_support;

std::wstring ThisDirectory() {
    wchar_t path[MAX_PATH] = {};
    std::wstring dir(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring StandInProgram() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring program = ThisDirectory() + L"standin.exe";
    for (int i = 1; i < argc; ++i)
        if (wcsncmp(argv[i], L"--standin=", 10) == 0) program = argv[i] + 10;
    LocalFree(argv);
    return program;
}

// What the route replaces, in both registry views.
std::vector<std::wstring> RouteEntries() {
    const wchar_t* keys[] = {L"CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\TreatAs",
                             L"Interface\\{CDE725B0-CCC9-4519-917E-325D72FAB4CE}\\ProxyStubClsid32",
                             L"Interface\\{000214F2-0000-0000-C000-000000000046}\\ProxyStubClsid32"};
    std::vector<std::wstring> values;
    for (const REGSAM view : {REGSAM{KEY_WOW64_64KEY}, REGSAM{KEY_WOW64_32KEY}}) {
        for (const wchar_t* key : keys) {
            wchar_t value[64] = L"(none)";
            DWORD size = sizeof value - sizeof(wchar_t);
            ScopedRegKey opened;
            if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(L"Software\\Classes\\") + key).c_str(), 0,
                              KEY_QUERY_VALUE | view, opened.Receive()) == ERROR_SUCCESS)
                RegQueryValueExW(opened.Get(), nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
            values.push_back(value);
        }
    }
    return values;
}

std::wstring DisplayName(IShellFolder* desktop, PCUITEMID_CHILD item) {
    STRRET name = {};
    wchar_t text[MAX_PATH] = L"(none)";
    if (SUCCEEDED(desktop->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) StrRetToBufW(&name, item, text, MAX_PATH);
    return text;
}

class FolderViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t folder[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, folder), S_OK);
        for (const wchar_t* name : {L"Alpha.txt", L"Beta.txt", L"Gamma.txt"}) {
            files_.push_back(std::wstring(folder) + L"\\" + name);
            CloseHandle(CreateFileW(files_.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        }
        // What a stand-in that was killed left would be put back by the one started here.
        standin::PutBackLeftoverRoute();
        before_ = RouteEntries();
        log_ = TempFileName(L"fvt");
    }
    void TearDown() override {
        Close();
        for (const std::wstring& file : files_) DeleteFileW(file.c_str());
        DeleteFileW(log_.c_str());
    }

    // Starts the stand-in on an empty log and waits until it serves the route.
    bool Start(const std::vector<std::wstring>& faults = {}) {
        CloseHandle(CreateFileW(log_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
        std::vector<std::wstring> args = {L"--shell", L"--folder-view", L"--since-1809", L"--log=" + log_,
                                          L"--peer-proxy=" + ThisDirectory() + standin::kProxyDllName};
        args.insert(args.end(), faults.begin(), faults.end());
        if (!standin_.Start(StandInProgram(), args)) return false;
        WaitUntil([&] { return Logged(L"FV READY") || !standin_.IsRunning(); }, 20000);
        FindDesktop();
        return list_ != nullptr;
    }
    void FindDesktop() {
        progman_ = FindProcessWindow(standin_.Id(), L"Progman");
        view_ = FindWindowExW(progman_, nullptr, L"SHELLDLL_DefView", nullptr);
        list_ = FindWindowExW(view_, nullptr, WC_LISTVIEWW, nullptr);
    }
    // A stand-in of the other bitness ending under a full test run was seen to take over 5 s.
    bool Close() {
        if (progman_) PostMessageW(std::exchange(progman_, nullptr), WM_CLOSE, 0, 0);
        return standin_.WaitForExit(15000);
    }
    bool Logged(const std::wstring& line) const {
        const std::vector<std::wstring> log = ReadLogFile(log_);
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    POINT Place(int index) const {
        POINT at = {};
        RemoteItemPosition(list_, index, at);
        return at;
    }

    std::vector<std::wstring> files_;
    std::vector<std::wstring> before_;
    std::wstring log_;
    ChildProcess standin_;
    HWND progman_ = nullptr;
    HWND view_ = nullptr;
    HWND list_ = nullptr;
};

// The documented route, walked as the program walks it.
struct Route {
    ComPtr<IShellView> view;
    ComPtr<IFolderView> folder;

    HRESULT Walk() {
        ComPtr<IShellWindows> windows;
        ComPtr<IDispatch> found;
        ComPtr<IServiceProvider> services;
        ComPtr<IShellBrowser> browser;
        VARIANT desktop = {};
        desktop.vt = VT_I4;
        VARIANT empty = {};
        LONG hwnd = 0;
        HRESULT hr = CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(windows.Put()));
        if (SUCCEEDED(hr))
            hr = windows->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, found.Put());
        if (hr == S_OK) hr = found->QueryInterface(IID_PPV_ARGS(services.Put()));
        if (SUCCEEDED(hr)) hr = services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.Put()));
        if (SUCCEEDED(hr)) hr = browser->QueryActiveShellView(view.Put());
        if (SUCCEEDED(hr)) hr = view->QueryInterface(IID_PPV_ARGS(folder.Put()));
        return hr;
    }
    HWND Window() const {
        HWND window = nullptr;
        view->GetWindow(&window);
        return window;
    }
};

// A thread of the multithreaded apartment, as the program's COM worker; joined when it goes.
class MtaThread {
public:
    explicit MtaThread(std::function<void()> work)
        : work_(std::move(work)), thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
    ~MtaThread() { Ended(INFINITE); }
    MtaThread(const MtaThread&) = delete;
    MtaThread& operator=(const MtaThread&) = delete;

    bool Ended(DWORD timeoutMs = 30000) const { return WaitForSingleObject(thread_.Get(), timeoutMs) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI Run(void* self) {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        static_cast<MtaThread*>(self)->work_();
        CoUninitialize();
        return 0;
    }

    std::function<void()> work_;
    ScopedHandle thread_;
};

TEST_F(FolderViewTest, TheRouteCarriesWholeIdListsAndTheRecordPutsBackOnlyListViewMoves) {
    ASSERT_TRUE(Start());
    const auto count = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    int alpha = -1;
    ASSERT_TRUE(MtaThread([&] {
                    Route route;
                    ASSERT_EQ(route.Walk(), S_OK);
                    EXPECT_EQ(route.Window(), view_);
                    ComPtr<IEnumIDList> items;
                    ASSERT_HRESULT_SUCCEEDED(route.folder->Items(SVGIO_ALLVIEW, IID_PPV_ARGS(items.Put())));
                    std::vector<PITEMID_CHILD> lists(static_cast<size_t>(count) + 5, nullptr);
                    ULONG fetched = 0;
                    EXPECT_EQ(items->Next(static_cast<ULONG>(lists.size()), lists.data(), &fetched), S_FALSE);
                    ASSERT_EQ(fetched, static_cast<ULONG>(count));
                    // Whole lists name the files in this process too; the items come in the list view's order.
                    ComPtr<IShellFolder> shell;
                    ASSERT_HRESULT_SUCCEEDED(SHGetDesktopFolder(shell.Put()));
                    std::vector<std::wstring> names;
                    for (int i = 0; i < count; ++i) {
                        names.push_back(DisplayName(shell.Get(), lists[static_cast<size_t>(i)]));
                        POINT at = {};
                        EXPECT_HRESULT_SUCCEEDED(route.folder->GetItemPosition(lists[static_cast<size_t>(i)], &at));
                        EXPECT_EQ(at.x, Place(i).x) << names.back();
                    }
                    alpha = static_cast<int>(std::find(names.begin(), names.end(), L"Alpha.txt") - names.begin());
                    const auto beta =
                        static_cast<size_t>(std::find(names.begin(), names.end(), L"Beta.txt") - names.begin());
                    ASSERT_LT(static_cast<size_t>(alpha), names.size());
                    ASSERT_LT(beta, names.size());
                    PCUITEMID_CHILD moved[] = {lists[static_cast<size_t>(alpha)], lists[beta]};
                    POINT to[] = {{400, 300}, {500, 300}};
                    EXPECT_EQ(route.folder->SelectAndPositionItems(2, moved, to, SVSI_POSITIONITEM), S_OK);
                    EXPECT_EQ(Place(alpha).x, 400);
                    EXPECT_EQ(Place(static_cast<int>(beta)).x, 500);
                    for (PITEMID_CHILD list : lists) CoTaskMemFree(list);
                }).Ended());
    EXPECT_TRUE(Logged(L"FV POSITION Alpha.txt 400 300")) << "the ID list led to another item";
    EXPECT_EQ(RouteEntries()[sizeof(void*) == 8 ? 0 : 3].rfind(L"{44A30134-8255-47E7-", 0), 0u);

    // A move by a list-view message alone is put back at the refresh, the folder view's kept.
    const int other = alpha == 0 ? 1 : 0;
    const POINT was = Place(other);
    SendMessageW(list_, LVM_SETITEMPOSITION, static_cast<WPARAM>(other), MAKELPARAM(600, 400));
    EXPECT_EQ(Place(other).x, 600);
    PostMessageW(progman_, standin::kRefreshMessage, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return Logged(L"FV REFRESH 1"); }, 5000));
    EXPECT_EQ(Place(other).x, was.x);
    EXPECT_EQ(Place(alpha).x, 400);

    EXPECT_TRUE(Close());
    EXPECT_EQ(RouteEntries(), before_);
}

// A restart during a call cuts the old desktop's objects off; the route then leads to the new one.
// A stand-in that was killed leaves its entries for the next one to put back.
TEST_F(FolderViewTest, ARestartDisconnectsTheOldDesktopAndAKilledStandInIsUndoneByTheNext) {
    ASSERT_TRUE(Start({L"--fv-restart-in=2"}));
    const HWND oldView = view_;
    ASSERT_TRUE(MtaThread([&] {
                    Route old;
                    ASSERT_EQ(old.Walk(), S_OK);
                    int count = 0;
                    EXPECT_EQ(old.folder->ItemCount(SVGIO_ALLVIEW, &count), S_OK);
                    EXPECT_EQ(old.folder->ItemCount(SVGIO_ALLVIEW, &count), RPC_E_DISCONNECTED);
                    // Wine answers RPC_S_UNKNOWN_IF while no object of the interface is served any more.
                    EXPECT_TRUE(FAILED(old.folder->ItemCount(SVGIO_ALLVIEW, &count)));
                    Route fresh;
                    ASSERT_EQ(fresh.Walk(), S_OK);
                    EXPECT_EQ(old.folder->ItemCount(SVGIO_ALLVIEW, &count), RPC_E_DISCONNECTED);
                    EXPECT_NE(fresh.Window(), oldView);
                    EXPECT_EQ(fresh.Window(), FindWindowExW(FindProcessWindow(standin_.Id(), L"Progman"), nullptr,
                                                            L"SHELLDLL_DefView", nullptr));
                }).Ended());
    EXPECT_TRUE(Logged(L"FV RESTART"));
    standin_.Kill();
    EXPECT_NE(RouteEntries(), before_);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Logged(L"FV LEFTOVER"));
    // The dead stand-in's class object is still registered, under a class of its own.
    EXPECT_TRUE(MtaThread([] { EXPECT_EQ(Route().Walk(), S_OK); }).Ended());
    EXPECT_TRUE(Close());
    EXPECT_EQ(RouteEntries(), before_);
}

// A hung call holds every later one, but the list view keeps answering; the desktop still closes.
TEST_F(FolderViewTest, AHungCallLeavesTheListViewAnsweringAndEndsWithTheDesktop) {
    ASSERT_TRUE(Start({L"--fv-hang=2"}));
    const LRESULT items = SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0);
    std::atomic<HRESULT> first = E_UNEXPECTED;
    std::atomic<HRESULT> hung = S_OK;
    MtaThread caller([&] {
        Route route;
        int count = 0;
        if (route.Walk() != S_OK) return;
        first = route.folder->ItemCount(SVGIO_ALLVIEW, &count);
        hung = route.folder->ItemCount(SVGIO_ALLVIEW, &count);
    });
    EXPECT_FALSE(caller.Ended(1500)) << "answered";
    EXPECT_EQ(first.load(), S_OK);
    EXPECT_TRUE(Logged(L"FV HANG ItemCount"));
    DWORD_PTR count = 0;
    EXPECT_TRUE(SendMessageTimeoutW(list_, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &count));
    EXPECT_EQ(count, static_cast<DWORD_PTR>(items));
    EXPECT_TRUE(Close());
    EXPECT_TRUE(caller.Ended(5000));
    EXPECT_TRUE(FAILED(hung.load())) << std::hex << hung.load();
    EXPECT_EQ(RouteEntries(), before_);
}

// A failing view and a slow one; the desktop's own move is recorded, a list-view move is not.
TEST_F(FolderViewTest, FaultsFailOrDelayCallsAndTheDesktopsOwnMovesAreRecorded) {
    ASSERT_TRUE(Start({L"--fv-fail", L"--fv-slow=400#2"}));
    ULONGLONG slow = 0;
    EXPECT_TRUE(MtaThread([&] {
                    Route route;
                    int count = 0;
                    ASSERT_EQ(route.Walk(), S_OK);
                    EXPECT_EQ(route.folder->ItemCount(SVGIO_ALLVIEW, &count), E_FAIL);
                    const ULONGLONG start = GetTickCount64();
                    EXPECT_EQ(route.folder->GetAutoArrange(), E_FAIL);
                    slow = GetTickCount64() - start;
                }).Ended());
    EXPECT_GE(slow, 400u);
    EXPECT_TRUE(Logged(L"FV FAIL ItemCount") && Logged(L"FV SLOW GetAutoArrange 400"));

    SendMessageW(progman_, standin::kMoveIconMessage, 1, MAKELPARAM(300, 200));
    SendMessageW(list_, LVM_SETITEMPOSITION, 1, MAKELPARAM(700, 500));
    SendMessageW(list_, WM_KEYDOWN, VK_F5, 0);
    EXPECT_TRUE(Logged(L"FV REFRESH 1"));
    EXPECT_EQ(Place(1).x, 300);
}

}  // namespace
}  // namespace iv
