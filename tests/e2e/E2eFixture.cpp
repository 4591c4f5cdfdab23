#include "tests/e2e/E2eFixture.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

#include "base/ModulePath.h"
#include "tests/stand-in/proxy/ProxyClsid.h"
#include "tests/support/Remote.h"
#include "tests/support/StandInLog.h"

namespace e2e {

using namespace testing_support;

void E2eTest::SetUp() {
    iconvalePath_ = Argument(L"iconvale");
    standinPath_ = Argument(L"standin");
    ASSERT_FALSE(iconvalePath_.empty()) << "--iconvale=PATH missing";
    ASSERT_FALSE(standinPath_.empty()) << "--standin=PATH missing";
    DeleteKeyTree(kSettingsKey);
    DeleteKeyTree(kVersionKey);
    logPath_ = TempFileName(L"ivl");
    PointAway();
}

void E2eTest::TearDown() {
    app_.Kill();
    if (standin_.IsRunning()) {
        if (HWND progman = FindProcessWindow(standin_.Id(), L"Progman")) PostMessageW(progman, WM_CLOSE, 0, 0);
        standin_.WaitForExit(3000);
    }
    standin_.Kill();
    DeleteKeyTree(kVersionKey);
    DeleteKeyTree(kSettingsKey);
    DeleteFileW(logPath_.c_str());
}

void E2eTest::EnterWineDesktop(const wchar_t* name, const std::vector<std::wstring>& standinArgs) {
    originalDesktop_ = GetThreadDesktop(GetCurrentThreadId());
    std::vector<std::wstring> args = {std::wstring(L"/desktop=") + name + L",1024x768", WinePath(standinPath_)};
    args.insert(args.end(), standinArgs.begin(), standinArgs.end());
    args.push_back(L"--log=" + logPath_);
    ASSERT_TRUE(explorer_.Start(L"C:\\windows\\explorer.exe", args));
    ASSERT_TRUE(WaitUntil([&] { return (wineDesktop_ = OpenDesktopW(name, 0, FALSE, GENERIC_ALL)); }, 20000));
    ASSERT_TRUE(SetThreadDesktop(wineDesktop_));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const HWND progman = FindWindowW(L"Progman", L"Program Manager");
            defView_ = FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
            listView_ = FindWindowExW(defView_, nullptr, WC_LISTVIEWW, nullptr);
            return listView_ && SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0) > 0;
        },
        20000));
    DWORD pid = 0;
    GetWindowThreadProcessId(listView_, &pid);
    standin_.Attach(pid);
}

void E2eTest::LeaveWineDesktop() {
    explorer_.Kill();
    if (originalDesktop_) SetThreadDesktop(originalDesktop_);
    if (wineDesktop_) CloseDesktop(wineDesktop_);
}

void E2eTest::StartStandIn(const std::vector<std::wstring>& args) {
    std::vector<std::wstring> all = args;
    all.push_back(L"--log=" + logPath_);
    // The program's bitness may be the other one: its proxy DLL is the one built next to this program.
    const bool folderView = std::find(args.begin(), args.end(), L"--folder-view") != args.end();
    if (folderView) {
        const std::wstring self = iv::ModulePath();
        all.push_back(L"--peer-proxy=" + self.substr(0, self.find_last_of(L'\\') + 1) + standin::kProxyDllName);
    }
    ASSERT_TRUE(standin_.Start(standinPath_, all));
    const bool shell = !args.empty() && args[0] == L"--shell";
    ASSERT_TRUE(WaitUntil(
        [&] {
            FindStandInDesktop();
            return listView_ && (!shell || SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0) > 0);
        },
        20000))
        << "the stand-in desktop did not come up";
    ASSERT_TRUE(!folderView || WaitUntil([&] { return Logged(L"FV READY"); }, 10000))
        << "the stand-in's folder view is not served";
}

void E2eTest::FindStandInDesktop() {
    // Under "Progman", or under a top-level "WorkerW" of the stand-in's while its desktop is raised.
    defView_ = FindWindowExW(FindProcessWindow(standin_.Id(), L"Progman", L"Program Manager"), nullptr,
                             L"SHELLDLL_DefView", nullptr);
    for (HWND worker = nullptr; !defView_;) {
        worker = FindWindowExW(nullptr, worker, L"WorkerW", nullptr);
        if (!worker) break;
        DWORD pid = 0;
        GetWindowThreadProcessId(worker, &pid);
        if (pid == standin_.Id()) defView_ = FindWindowExW(worker, nullptr, L"SHELLDLL_DefView", nullptr);
    }
    listView_ = FindWindowExW(defView_, nullptr, WC_LISTVIEWW, nullptr);
}

void E2eTest::StartIconvale(bool trayMode) {
    ASSERT_TRUE(app_.Start(iconvalePath_));
    ASSERT_TRUE(WaitUntil(
        [&] {
            main_ = FindProcessWindow(app_.Id(), kToolbarClass);
            toolbar_ = FindWindowExW(main_, nullptr, TOOLBARCLASSNAMEW, nullptr);
            return toolbar_ && (trayMode || IsWindowVisible(main_));
        },
        20000))
        << "Iconvale's toolbar did not appear";
}

void E2eTest::StartIconvaleAndWait() {
    ClearLog();
    StartIconvale();
    WaitForProgramLog(4);
    WaitUntil(
        [&] {
            const auto log = ReadLogFile(logPath_);
            return !log.empty() && log.back() == L"LV WM_PAINT";
        },
        5000);
    PumpMessages(200);
}

DWORD E2eTest::StopStandIn() {
    if (HWND progman = FindProcessWindow(standin_.Id(), L"Progman")) PostMessageW(progman, WM_CLOSE, 0, 0);
    DWORD code = 0;
    EXPECT_TRUE(standin_.WaitForExit(5000, &code)) << "the stand-in did not end";
    return code;
}

bool E2eTest::Logged(const std::wstring& line) const {
    const auto log = ReadLogFile(logPath_);
    return std::find(log.begin(), log.end(), line) != log.end();
}

bool E2eTest::ToolbarShown() const {
    RECT r = {};
    GetWindowRect(main_, &r);
    return r.left >= 0 && r.right <= GetSystemMetrics(SM_CXSCREEN);
}

void E2eTest::PointAtToolbar() {
    RECT r = {};
    GetWindowRect(main_, &r);
    // The strip that stays on screen at the left or the right edge (or anywhere on the toolbar
    // when it is out already).
    const int width = GetSystemMetrics(SM_CXSCREEN);
    // X now and then drops a pointer move made right after a window was placed: moved again.
    for (int tries = 0; tries < 3; ++tries) {
        MoveMouse(r.left < width / 2 ? 1 : width - 2, (r.top + r.bottom) / 2);
        if (WaitUntil([&] { return ToolbarShown(); }, 2000)) return;
    }
    POINT mouse = {};
    GetCursorPos(&mouse);
    wchar_t under[64] = L"nothing";
    if (const HWND hwnd = WindowFromPoint(mouse)) GetClassNameW(hwnd, under, 64);
    FAIL() << "the toolbar did not slide out: window " << r.left << "," << r.top << " mouse " << mouse.x << ","
           << mouse.y << " over " << under;
}

void E2eTest::PointAway() { MoveMouse(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2); }

void E2eTest::Click(int commandId) {
    PointAtToolbar();
    const LRESULT index = SendMessageW(toolbar_, TB_COMMANDTOINDEX, static_cast<WPARAM>(commandId), 0);
    RECT r = {};
    ASSERT_TRUE(index >= 0 && RemoteToolbarItemRect(toolbar_, static_cast<WPARAM>(index), r));
    MapWindowPoints(toolbar_, nullptr, reinterpret_cast<POINT*>(&r), 2);
    LeftClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void E2eTest::Exit() {
    Click(kExitButton);
    DWORD code = 1;
    ASSERT_TRUE(app_.WaitForExit(10000, &code)) << "Iconvale did not end";
    EXPECT_EQ(code, 0u);
}

std::vector<std::wstring> E2eTest::ProgramLog() const { return ProgramMessages(ReadLogFile(logPath_)); }

std::vector<std::wstring> E2eTest::WaitForProgramLog(size_t count) const {
    size_t came = 0;
    if (!WaitUntil([&] { return (came = ProgramLog().size()) >= count; }, 5000))
        ADD_FAILURE() << "Iconvale caused " << came << " of the " << count << " log lines waited for";
    return ProgramLog();
}

std::vector<std::wstring> E2eTest::AfterStartupStyles(const std::vector<std::wstring>& log) const {
    EXPECT_GE(log.size(), 2u);
    if (log.size() < 2) return {};
    EXPECT_EQ(log[0], L"LV LVM_SETEXTENDEDLISTVIEWSTYLE mask=0x00000000 style=0x00000000");
    EXPECT_EQ(log[1].rfind(L"LV LVM_SETTEXTBKCOLOR 0x", 0), 0u) << log[1];
    return {log.begin() + 2, log.end()};
}

void E2eTest::ClearLog() const {
    FILE* file = _wfopen(logPath_.c_str(), L"wb");
    if (file) fclose(file);
}

DWORD E2eTest::Run(const std::vector<std::wstring>& args, HANDLE output, DWORD timeoutMs) const {
    ChildProcess command;
    DWORD code = 99;
    return command.Start(iconvalePath_, args, nullptr, output) && command.WaitForExit(timeoutMs, &code) ? code : 99;
}

POINT E2eTest::Position(int index) const {
    POINT p = {-1, -1};
    RemoteItemPosition(listView_, index, p);
    return p;
}

bool E2eTest::At(int index, POINT want) const {
    const POINT p = Position(index);
    return p.x == want.x && p.y == want.y;
}

void E2eTest::Move(int index, POINT to) const {
    SendMessageW(listView_, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), MAKELPARAM(to.x, to.y));
}

DWORD E2eTest::ListViewType() const { return GetWindowLongW(listView_, GWL_STYLE) & LVS_TYPEMASK; }

bool E2eTest::HeaderVisible() const {
    const HWND header = FindWindowExW(listView_, nullptr, WC_HEADERW, nullptr);
    return header && (GetWindowLongW(header, GWL_STYLE) & WS_VISIBLE);
}

bool E2eTest::WaitForType(DWORD type) const {
    return WaitUntil([&] { return ListViewType() == type; }, 5000);
}

}  // namespace e2e
