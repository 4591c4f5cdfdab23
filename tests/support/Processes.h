// Helpers for tests that start programs, wait for windows and look at the registry.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/ScopedWin.h"

namespace testing_support {

// A Unix path as Wine sees it (Z: drive); other paths are returned unchanged.
std::wstring WinePath(const std::wstring& path);

// The value of a "--name=value" argument of the test program, or empty.
std::wstring Argument(const wchar_t* name);

// Remembers the test program's own arguments for Argument().
void SetArguments(int argc, wchar_t** argv);

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;
    ~ChildProcess();

    // Starts exe with the given arguments (each quoted as needed), on the named desktop when one
    // is given; `output`, an inheritable handle, becomes its standard output.
    bool Start(const std::wstring& exe, const std::vector<std::wstring>& args = {}, const wchar_t* desktop = nullptr,
               HANDLE output = nullptr);
    // Takes over a process started by another one.
    bool Attach(DWORD pid);
    // Waits for the process to end; false on time-out. exitCode receives its code.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    bool IsRunning() const;
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    void Kill();

private:
    iv::ScopedHandle process_;
    DWORD id_ = 0;
};

// Pumps this thread's messages for a while.
void PumpMessages(DWORD ms);

// Polls condition (pumping messages in between) until it holds or the time runs out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The first visible or hidden top-level window of a class that belongs to process pid.
HWND FindProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr);

// Real mouse input: the pointer moves there, and a left or right click there.
void MoveMouse(int x, int y);
void LeftClickAt(int x, int y);
void RightClickAt(int x, int y);
// Real keyboard input: one key pressed and released.
void PressKey(WORD virtualKey);

// Registry helpers for the current user.
void DeleteKeyTree(const std::wstring& path);
bool KeyExists(const std::wstring& path);
std::wstring ReadString(const std::wstring& path, const std::wstring& name, DWORD* type = nullptr);
void WriteString(const std::wstring& path, const std::wstring& name, const std::wstring& value);
// An icon's stored place: the values "<name>.X" and "<name>.Y".
void WritePlace(const std::wstring& path, const std::wstring& name, const std::wstring& x, const std::wstring& y);
// Lets everyone only `access` to an existing key, as a policy may (KEY_ALL_ACCESS undoes it).
bool SetKeyAccess(const std::wstring& path, DWORD access);
std::vector<std::wstring> ValueNames(const std::wstring& path);

// The log file a stand-in program writes, as lines.
std::vector<std::wstring> ReadLogFile(const std::wstring& path);

// A fresh file name in the temporary folder.
std::wstring TempFileName(const wchar_t* prefix);

}  // namespace testing_support
