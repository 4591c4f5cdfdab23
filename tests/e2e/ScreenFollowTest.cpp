// Layouts that follow the screen, in a Wine desktop whose size a helper changes for real
// (ChangeDisplaySettingsExW inside it; the stand-in pulls icons left outside back in, as the shell
// does).
#include <windows.h>
#include <commctrl.h>

#include "desktop/IconPositions.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/support/Remote.h"

namespace e2e {
namespace {

using namespace testing_support;

constexpr wchar_t kDesktopName[] = L"IconvaleScreen";
const POINT kPlaced[3] = {{40, 40}, {500, 300}, {900, 650}};

class ScreenFollowTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        original_ = GetThreadDesktop(GetCurrentThreadId());
        ASSERT_TRUE(explorer_.Start(
            L"C:\\windows\\explorer.exe",
            {std::wstring(L"/desktop=") + kDesktopName + L",1024x768", WinePath(standinPath_), L"--scripted",
             L"--log=" + logPath_, L"--item=Near@40,40", L"--item=Middle@500,300", L"--item=Far@900,650"}));
        ASSERT_TRUE(WaitUntil([&] { return (desktop_ = OpenDesktopW(kDesktopName, 0, FALSE, GENERIC_ALL)) != nullptr; },
                              20000));
        ASSERT_TRUE(SetThreadDesktop(desktop_));
        ASSERT_TRUE(WaitUntil(
            [&] {
                const HWND progman = FindWindowW(L"Progman", L"Program Manager");
                defView_ = FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
                listView_ = FindWindowExW(defView_, nullptr, WC_LISTVIEWW, nullptr);
                return listView_ && SendMessageW(listView_, LVM_GETITEMCOUNT, 0, 0) == 3;
            },
            20000));
        DWORD pid = 0;
        GetWindowThreadProcessId(listView_, &pid);
        standin_.Attach(pid);
    }

    void TearDown() override {
        if (desktop_) SetScreen(1024, 768);
        E2eTest::TearDown();
        explorer_.Kill();
        SetThreadDesktop(original_);
        if (desktop_) CloseDesktop(desktop_);
    }

    // Start-up switches the view, which lays the icons out again: they are placed after it.
    void StartIconvaleHere() {
        ASSERT_TRUE(app_.Start(iconvalePath_, {}, kDesktopName));
        ASSERT_TRUE(WaitUntil([&] { return (main_ = FindProcessWindow(app_.Id(), kToolbarClass)) != nullptr; }, 20000));
        PumpMessages(1000);
        for (int i = 0; i < 3; ++i) {
            SendMessageW(listView_, LVM_SETITEMPOSITION, static_cast<WPARAM>(i),
                         MAKELPARAM(kPlaced[i].x, kPlaced[i].y));
        }
        ASSERT_TRUE(AllPlaced());
    }
    // A command line run inside the desktop, carried out by the running instance.
    DWORD Command(const wchar_t* command) {
        ChildProcess caller;
        DWORD code = 99;
        if (!caller.Start(iconvalePath_, {command}, kDesktopName) || !caller.WaitForExit(40000, &code)) return 99;
        return code;
    }

    // The helper (this program with --display=WxH) runs inside the desktop; true once the size
    // has reached the stand-in's list view.
    bool SetScreen(int width, int height) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        ChildProcess helper;
        DWORD code = 99;
        if (!helper.Start(self, {L"--display=" + std::to_wstring(width) + L"x" + std::to_wstring(height)},
                          kDesktopName) ||
            !helper.WaitForExit(20000, &code)) {
            return false;
        }
        EXPECT_EQ(code, 0u) << "ChangeDisplaySettingsExW's answer";
        return code == 0 && WaitUntil(
                                [&] {
                                    // Its client area may lose the width of scroll bars.
                                    RECT r = {};
                                    GetWindowRect(listView_, &r);
                                    return r.right - r.left == width && r.bottom - r.top == height;
                                },
                                10000);
    }

    POINT Position(int index) const {
        POINT p = {-1, -1};
        RemoteItemPosition(listView_, index, p);
        return p;
    }
    bool AllPlaced() const {
        for (int i = 0; i < 3; ++i) {
            const POINT p = Position(i);
            if (p.x != kPlaced[i].x || p.y != kPlaced[i].y) return false;
        }
        return true;
    }

    const std::wstring large_ = iv::IconPositionKey(1024, 768);
    const std::wstring small_ = iv::IconPositionKey(800, 600);
    HDESK original_ = nullptr;
    HDESK desktop_ = nullptr;
    ChildProcess explorer_;
};

TEST_F(ScreenFollowTest, SmallerScreenAndBackPutsEveryIconWhereItWas) {
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    StartIconvaleHere();
    ASSERT_EQ(Command(L"/save"), 0u);
    ASSERT_EQ(ReadString(large_, L"Far.X"), L"900");

    ASSERT_TRUE(SetScreen(800, 600));
    ASSERT_TRUE(WaitUntil([&] { return Position(2).x < 900; }, 5000)) << "the stand-in left the icon outside";
    const POINT squeezed = Position(2);
    // The squeezed layout becomes 800 x 600's at a calm save, never 1024 x 768's.
    ASSERT_TRUE(WaitUntil([&] { return !ValueNames(small_).empty(); }, 40000));
    EXPECT_EQ(ReadString(small_, L"Far.X"), std::to_wstring(squeezed.x));
    EXPECT_EQ(ReadString(large_, L"Far.X"), L"900");

    ASSERT_TRUE(SetScreen(1024, 768));
    EXPECT_TRUE(WaitUntil([&] { return AllPlaced(); }, 10000)) << "Far at " << Position(2).x << "," << Position(2).y;
    EXPECT_EQ(ReadString(small_, L"Far.X"), std::to_wstring(squeezed.x));
    EXPECT_EQ(ReadString(small_, L"Far.Y"), std::to_wstring(squeezed.y));
}

TEST_F(ScreenFollowTest, WithTheOptionOffNothingMovesByItself) {
    for (int i = 0; i < 3; ++i) {
        const wchar_t* name = i == 0 ? L"Near" : i == 1 ? L"Middle" : L"Far";
        WriteString(large_, name + std::wstring(L".X"), std::to_wstring(kPlaced[i].x));
        WriteString(large_, name + std::wstring(L".Y"), std::to_wstring(kPlaced[i].y));
    }
    StartIconvaleHere();
    ASSERT_TRUE(SetScreen(800, 600));
    ASSERT_TRUE(WaitUntil([&] { return Position(2).x < 900; }, 5000));
    const POINT squeezed = Position(2);
    ASSERT_TRUE(SetScreen(1024, 768));
    PumpMessages(4000);  // twice the settle time
    EXPECT_EQ(Position(2).x, squeezed.x);
    EXPECT_EQ(Position(2).y, squeezed.y);
    EXPECT_TRUE(ValueNames(small_).empty());
}

}  // namespace
}  // namespace e2e
