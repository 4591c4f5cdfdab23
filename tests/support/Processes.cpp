#include "tests/support/Processes.h"

#include <aclapi.h>

#include <cstdio>
#include <sstream>

namespace testing_support {
namespace {

std::vector<std::wstring>& Arguments() {
    static std::vector<std::wstring> args;
    return args;
}

std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (wchar_t c : arg) {
        if (c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

void SendMove(int x, int y) {
    // Absolute coordinates of the primary screen run from 0 to 65535.
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    SetCursorPos(x, y);
}

bool PointerAt(int x, int y) {
    POINT p = {};
    return GetCursorPos(&p) && p.x == x && p.y == y;
}

void ClickAt(int x, int y, DWORD down, DWORD up) {
    MoveMouse(x, y);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = down;
    inputs[1].mi.dwFlags = up;
    SendInput(2, inputs, sizeof inputs[0]);
}

}  // namespace

std::wstring WinePath(const std::wstring& path) {
    if (path.empty() || path[0] != L'/') return path;
    std::wstring out = L"Z:" + path;
    for (auto& c : out) {
        if (c == L'/') c = L'\\';
    }
    return out;
}

void SetArguments(int argc, wchar_t** argv) { Arguments().assign(argv, argv + argc); }

std::wstring Argument(const wchar_t* name) {
    const std::wstring prefix = std::wstring(L"--") + name + L"=";
    for (const auto& a : Arguments()) {
        if (a.rfind(prefix, 0) == 0) return a.substr(prefix.size());
    }
    return {};
}

ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const std::wstring& exe, const std::vector<std::wstring>& args, const wchar_t* desktop,
                         HANDLE output) {
    std::wstring commandLine = Quote(WinePath(exe));
    for (const auto& a : args) commandLine += L" " + Quote(a);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.lpDesktop = const_cast<wchar_t*>(desktop);
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = output;
    }
    PROCESS_INFORMATION pi = {};
    // Under a busy Wine a process now and then cannot be created at the first go; that is the
    // machine's, not the program's under test, so it is said and tried again.
    for (int attempt = 1; !CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                                          nullptr, &si, &pi);
         ++attempt) {
        std::fprintf(stderr, "starting %ls failed (error %lu, attempt %d)\n", commandLine.c_str(), GetLastError(),
                     attempt);
        if (attempt == 3) return false;
        Sleep(250);
    }
    CloseHandle(pi.hThread);
    process_.Reset(pi.hProcess);
    id_ = pi.dwProcessId;
    return true;
}

bool ChildProcess::Attach(DWORD pid) {
    process_.Reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    id_ = process_ ? pid : 0;
    return static_cast<bool>(process_);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) return true;
    const DWORD waited = WaitForSingleObject(process_.Get(), timeoutMs);
    if (waited == WAIT_FAILED)
        std::fprintf(stderr, "waiting for process %lu failed (error %lu)\n", id_, GetLastError());
    if (waited != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_.Get(), exitCode);
    return true;
}

bool ChildProcess::IsRunning() const { return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

void ChildProcess::Kill() {
    if (IsRunning()) {
        TerminateProcess(process_.Get(), 99);
        WaitForSingleObject(process_.Get(), 5000);
    }
    process_.Reset();
}

void PumpMessages(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - start >= ms) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (true);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpMessages(20);
    }
    return true;
}

HWND FindProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title) {
    for (HWND hwnd = nullptr;;) {
        hwnd = FindWindowExW(nullptr, hwnd, className, title);
        if (!hwnd) return nullptr;
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid) return hwnd;
    }
}

void MoveMouse(int x, int y) {
    // Under X the motion event of an earlier move can arrive late and put the pointer back:
    // move until it has stayed where it was sent for a moment.
    for (int tries = 0; tries < 40; ++tries) {
        SendMove(x, y);
        PumpMessages(30);
        if (PointerAt(x, y)) {
            PumpMessages(30);
            if (PointerAt(x, y)) return;
        }
    }
}

void LeftClickAt(int x, int y) { ClickAt(x, y, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP); }

void RightClickAt(int x, int y) { ClickAt(x, y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP); }

void PressKey(WORD virtualKey) {
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = virtualKey;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

void DeleteKeyTree(const std::wstring& path) { RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()); }

bool KeyExists(const std::wstring& path) {
    iv::ScopedRegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type) {
    wchar_t buffer[4096] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD t = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &t, buffer, &size) !=
        ERROR_SUCCESS) {
        return L"<absent>";
    }
    if (type) *type = t;
    return buffer;
}

void WriteString(const std::wstring& path, const std::wstring& name, const std::wstring& value) {
    iv::ScopedRegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
}

void WritePlace(const std::wstring& path, const std::wstring& name, const std::wstring& x, const std::wstring& y) {
    WriteString(path, name + L".X", x);
    WriteString(path, name + L".Y", y);
}

bool SetKeyAccess(const std::wstring& path, DWORD access) {
    iv::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, WRITE_DAC, key.Receive()) != ERROR_SUCCESS) return false;
    EXPLICIT_ACCESSW entry = {};
    BuildExplicitAccessWithNameW(&entry, const_cast<wchar_t*>(L"EVERYONE"), access, SET_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    if (SetEntriesInAclW(1, &entry, nullptr, &acl) != ERROR_SUCCESS) return false;
    const DWORD set =
        SetSecurityInfo(key.Get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, acl, nullptr);
    LocalFree(acl);
    return set == ERROR_SUCCESS;
}

std::vector<std::wstring> ValueNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    iv::ScopedRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD length = 512;
        if (RegEnumValueW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::wstring> ReadLogFile(const std::wstring& path) {
    std::vector<std::wstring> lines;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return lines;
    std::stringstream in;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, file)) > 0;) in.write(chunk, static_cast<std::streamsize>(n));
    fclose(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const int chars = MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(chars), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), chars);
        lines.push_back(wide);
    }
    return lines;
}

std::wstring TempFileName(const wchar_t* prefix) {
    wchar_t dir[MAX_PATH];
    wchar_t file[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, prefix, 0, file);
    DeleteFileW(file);
    return file;
}

}  // namespace testing_support
