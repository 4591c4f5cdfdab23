// Layouts that follow the screen, in a Wine desktop whose size a helper really changes; the
// stand-in pulls icons left outside back in, as the shell does.
#include <windows.h>

#include "layouts/IconPositions.h"
#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

using namespace testing_support;

constexpr wchar_t kDesktopName[] = L"IconvaleScreen";
const POINT kPlaced[3] = {{40, 40}, {500, 300}, {880, 620}};

class ScreenFollowTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        std::vector<std::wstring> args = {L"--scripted", L"--item=Near@0,0", L"--item=Middle@0,0", L"--item=Far@0,0"};
        args.insert(args.end(), faults_.begin(), faults_.end());
        EnterWineDesktop(kDesktopName, args);
    }
    void TearDown() override {
        SetScreen(1024, 768);
        E2eTest::TearDown();
        LeaveWineDesktop();
    }

    // Start-up switches the view, which lays the icons out again: they are placed after it.
    void StartIconvaleHere() {
        ASSERT_TRUE(app_.Start(iconvalePath_, {}, kDesktopName));
        ASSERT_TRUE(WaitUntil([&] { return (main_ = FindProcessWindow(app_.Id(), kToolbarClass)) != nullptr; }, 20000));
        PumpMessages(1000);
        for (int i = 0; i < 3; ++i) Move(i, kPlaced[i]);
        ASSERT_TRUE(AllPlaced());
    }
    // Runs this program, or Iconvale, inside the desktop and returns its exit code.
    DWORD RunHere(const std::wstring& exe, const std::wstring& argument) {
        ChildProcess child;
        DWORD code = 99;
        return child.Start(exe, {argument}, kDesktopName) && child.WaitForExit(40000, &code) ? code : 99;
    }
    // The helper answers with ChangeDisplaySettingsExW's result (0 done).
    bool SetScreen(int width, int height) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        const DWORD code = RunHere(self, L"--display=" + std::to_wstring(width) + L"x" + std::to_wstring(height));
        EXPECT_EQ(code, 0u) << "ChangeDisplaySettingsExW's answer";
        RECT r = {};  // its window: the client area may lose the width of scroll bars
        return code == 0 && WaitUntil([&] { return GetWindowRect(listView_, &r) && r.right - r.left == width; }, 10000);
    }
    bool AllPlaced() const {
        bool placed = true;
        for (int i = 0; i < 3; ++i) placed = placed && At(i, kPlaced[i]);
        return placed;
    }
    // Sets the smaller screen and returns where the stand-in pulled the far icon.
    POINT Squeeze() {
        EXPECT_TRUE(SetScreen(800, 600));
        EXPECT_TRUE(WaitUntil([&] { return Position(2).x < 900; }, 5000)) << "the stand-in left the icon outside";
        return Position(2);
    }

    const std::wstring large_ = iv::IconPositionKey(1024, 768);
    const std::wstring small_ = iv::IconPositionKey(800, 600);
    std::vector<std::wstring> faults_;
};

// A shell that reads slowly, so that the screen can change in the middle of a save.
class ScreenFollowSlowTest : public ScreenFollowTest {
protected:
    void SetUp() override {
        faults_ = {L"--slow=gettext:400"};
        ScreenFollowTest::SetUp();
    }
};

TEST_F(ScreenFollowTest, SmallerScreenAndBackPutsEveryIconWhereItWas) {
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    WriteString(kSettingsKey, L"Calm Save", L"2");
    StartIconvaleHere();
    ASSERT_EQ(RunHere(iconvalePath_, L"/save"), 0u);
    ASSERT_EQ(ReadString(large_, L"Far.X"), std::to_wstring(kPlaced[2].x));

    const POINT squeezed = Squeeze();
    // The squeezed layout becomes 800 x 600's at a calm save, never 1024 x 768's.
    ASSERT_TRUE(WaitUntil([&] { return !ValueNames(small_).empty(); }, 10000));
    EXPECT_EQ(ReadString(small_, L"Far.X"), std::to_wstring(squeezed.x));
    EXPECT_EQ(ReadString(large_, L"Far.X"), std::to_wstring(kPlaced[2].x));

    ASSERT_TRUE(SetScreen(1024, 768));
    EXPECT_TRUE(WaitUntil([&] { return AllPlaced(); }, 10000)) << "Far at " << Position(2).x << "," << Position(2).y;
    EXPECT_EQ(ReadString(small_, L"Far.Y"), std::to_wstring(squeezed.y));
}

TEST_F(ScreenFollowTest, WithTheOptionOffNothingMovesByItself) {
    WritePlace(large_, L"Far", L"900", L"650");
    StartIconvaleHere();
    const POINT squeezed = Squeeze();
    ASSERT_TRUE(SetScreen(1024, 768));
    PumpMessages(4000);  // twice the settle time
    EXPECT_EQ(Position(2).x, squeezed.x);
    EXPECT_EQ(Position(2).y, squeezed.y);
    EXPECT_TRUE(ValueNames(small_).empty());
}

// The screen changes while a save reads: what it read belongs to no screen, and it writes nothing.
TEST_F(ScreenFollowSlowTest, AChangeOfSizeDuringASaveWritesNothing) {
    for (int i = 0; i < 3; ++i) Move(i, kPlaced[i]);
    WriteString(large_, L"Far.X", L"900");
    ChildProcess save;
    ASSERT_TRUE(save.Start(iconvalePath_, {L"/save"}, kDesktopName));
    ASSERT_TRUE(WaitUntil([&] { return Logged(L"LV SLOW gettext 0 400"); }, 20000));
    Squeeze();
    DWORD code = 99;
    ASSERT_TRUE(save.WaitForExit(40000, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(ReadString(large_, L"Far.X"), L"900");
    EXPECT_EQ(ValueNames(large_).size(), 1u);
    EXPECT_TRUE(ValueNames(small_).empty());
}

}  // namespace
}  // namespace e2e
