// Starts the stand-in desktop and Iconvale as separate programs and looks at both from outside.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "layouts/LayoutKeys.h"
#include "tests/support/Processes.h"

namespace e2e {

inline constexpr wchar_t kSettingsKey[] = L"Software\\Marun soft\\Kivo";
inline constexpr wchar_t kToolbarClass[] = L"IconvaleToolbarWindow";
// The toolbar's command id of the exit button, the last of its thirteen.
inline constexpr int kExitButton = 13;
// Wine reads a per-program Windows version from here.
inline constexpr wchar_t kVersionKey[] = L"Software\\Wine\\AppDefaults\\iconvale.exe";

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the stand-in with the given mode and options and waits for its windows.
    void StartStandIn(const std::vector<std::wstring>& args);
    // The stand-in's view and list view wherever its desktop lives; null when it has none.
    void FindStandInDesktop();
    // Starts Iconvale and waits for its toolbar window (to be shown, unless it lives in the tray).
    void StartIconvale(bool trayMode = false);
    // Starts Iconvale on a cleared log and waits until its start-up is over: the styles, the view
    // switch (and any restore), then the paint in which the list view lays its icons out again
    // (the stand-in must log paints).
    void StartIconvaleAndWait();
    // Waits out the settle of the desktop Iconvale started on (its count held a second, which
    // nothing outside sees): before it, no save of Iconvale's own writes.
    void WaitForSettle() const { testing_support::PumpMessages(2000); }
    // Closes the stand-in as a user would and returns its exit code (3: it caught a fault).
    DWORD StopStandIn();
    // Whether the stand-in's log has a line.
    bool Logged(const std::wstring& line) const;
    // Real mouse: onto the toolbar's strip until it slides out, and away to the screen's middle.
    void PointAtToolbar();
    void PointAway();
    bool ToolbarShown() const;
    // Clicks a toolbar button of the running Iconvale with the mouse.
    void Click(int commandId);
    // Clicks the exit button and waits for the program to end.
    void Exit();

    // Lines of the stand-in's log that Iconvale caused.
    std::vector<std::wstring> ProgramLog() const;
    // Waits until Iconvale has caused at least count lines, and returns them; a wait that runs
    // out fails the test.
    std::vector<std::wstring> WaitForProgramLog(size_t count) const;
    void ClearLog() const;
    // Start-up applies the stored extended styles and label background before anything else;
    // checks those two lines (no styles stored) and returns the lines after them.
    std::vector<std::wstring> AfterStartupStyles(const std::vector<std::wstring>& log) const;

    // Runs Iconvale with a command line (its standard output `output` when given) and returns its
    // exit code, 99 when it did not start or end.
    DWORD Run(const std::vector<std::wstring>& args, HANDLE output = nullptr, DWORD timeoutMs = 40000) const;
    // Where the list view shows an item ({-1, -1} when it cannot tell), and moves one by its messages.
    POINT Position(int index) const;
    bool At(int index, POINT want) const;
    void Move(int index, POINT to) const;

    DWORD ListViewType() const;
    bool HeaderVisible() const;
    // Waits until the list view shows a view type; false on time-out.
    bool WaitForType(DWORD type) const;

    // A Wine desktop of this name (1024 x 768, a taskbar) with the stand-in in it, this thread on
    // it and the stand-in's items there; LeaveWineDesktop after E2eTest::TearDown.
    void EnterWineDesktop(const wchar_t* name, const std::vector<std::wstring>& standinArgs);
    void LeaveWineDesktop();

    std::wstring iconvalePath_;
    std::wstring standinPath_;
    std::wstring logPath_;
    testing_support::ChildProcess standin_;
    testing_support::ChildProcess app_;
    HWND listView_ = nullptr;
    HWND defView_ = nullptr;
    HWND main_ = nullptr;
    HWND toolbar_ = nullptr;
    // The icon places of the screen the test runs on.
    const std::wstring key_ = iv::IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    HDESK originalDesktop_ = nullptr;
    HDESK wineDesktop_ = nullptr;
    testing_support::ChildProcess explorer_;
};

}  // namespace e2e
