// Icon positions saved at exit and put back at start, as the settings say.
#include <windows.h>
#include <commctrl.h>

#include "layouts/IconPositions.h"
#include "tests/e2e/E2eFixture.h"
#include "tests/support/Remote.h"

namespace e2e {
namespace {

using namespace testing_support;

class IconPositionsTest : public E2eTest {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        key_ = iv::IconPositionKey(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }

    void StartDesktop() {
        StartStandIn({L"--scripted", L"--log-paint", L"--item=Readme@40,40", L"--item=予定表 \U0001F4C5@140,40",
                      L"--item=Data@40,140"});
    }

    POINT Position(int index) const {
        POINT p = {-1, -1};
        RemoteItemPosition(listView_, index, p);
        return p;
    }
    bool At(int index, int x, int y) const {
        const POINT p = Position(index);
        return p.x == x && p.y == y;
    }
    bool RestoredAny() const {
        for (const auto& line : ProgramLog()) {
            if (line.find(L"LVM_SETITEMPOSITION") != std::wstring::npos) return true;
        }
        return false;
    }
    void Store(const wchar_t* name, int x, int y) const {
        WriteString(key_, name + std::wstring(L".X"), std::to_wstring(x));
        WriteString(key_, name + std::wstring(L".Y"), std::to_wstring(y));
    }
    void Move(int index, int x, int y) const {
        SendMessageW(listView_, LVM_SETITEMPOSITION, static_cast<WPARAM>(index), MAKELPARAM(x, y));
    }

    std::wstring key_;
};

TEST_F(IconPositionsTest, SavedAtExitInLargeIconsAndPutBackAtTheNextStart) {
    WriteString(kSettingsKey, L"Icon Position", L"11");
    StartDesktop();
    StartIconvaleAndWait();
    WaitForSettle();
    Move(0, 300, 200);
    Move(1, 420, 260);
    const POINT data = Position(2);
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    EXPECT_EQ(ReadString(key_, L"Readme.Y"), L"200");
    EXPECT_EQ(ReadString(key_, L"予定表 \U0001F4C5.X"), L"420");
    EXPECT_EQ(ReadString(key_, L"Data.Y"), std::to_wstring(data.y));
    EXPECT_EQ(ValueNames(key_).size(), 6u);

    Move(0, 40, 40);
    Move(1, 500, 500);
    StartIconvaleAndWait();
    EXPECT_TRUE(WaitUntil([&] { return At(0, 300, 200) && At(1, 420, 260); }, 5000));
    EXPECT_TRUE(At(2, data.x, data.y));
    Exit();
}

TEST_F(IconPositionsTest, SmallIconsRestoreAtStartButDoNotSaveAtExit) {
    WriteString(kSettingsKey, L"Icon Position", L"11");
    WriteString(kSettingsKey, L"Desktop Icon", L"2");
    Store(L"Readme", 300, 200);
    StartDesktop();
    StartIconvale();
    ASSERT_TRUE(WaitForType(LVS_SMALLICON));
    EXPECT_TRUE(WaitUntil([&] { return At(0, 300, 200); }, 5000));
    Move(0, 10, 10);
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");
    EXPECT_EQ(ValueNames(key_).size(), 2u);
}

TEST_F(IconPositionsTest, DetailsNeitherRestoresNorSaves) {
    WriteString(kSettingsKey, L"Icon Position", L"11");
    WriteString(kSettingsKey, L"Desktop Icon", L"4");
    Store(L"Readme", 300, 200);
    StartDesktop();
    StartIconvaleAndWait();
    ASSERT_TRUE(WaitForType(LVS_REPORT));
    Exit();
    EXPECT_FALSE(RestoredAny());
    EXPECT_EQ(ValueNames(key_).size(), 2u);
}

TEST_F(IconPositionsTest, OnlyRestoreOrOnlySaveAsTheSettingSays) {
    WriteString(kSettingsKey, L"Icon Position", L"1");
    Store(L"Readme", 300, 200);
    StartDesktop();
    StartIconvaleAndWait();
    EXPECT_TRUE(WaitUntil([&] { return At(0, 300, 200); }, 5000));
    Move(0, 10, 10);
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"300");

    WriteString(kSettingsKey, L"Icon Position", L"01");
    StartIconvaleAndWait();
    WaitForSettle();
    EXPECT_FALSE(RestoredAny());
    Move(0, 60, 70);
    Exit();
    EXPECT_EQ(ReadString(key_, L"Readme.X"), L"60");
}

// At log-on the shell fills the desktop while the program starts: nothing is restored or saved
// before it settled, so every icon ends at its stored place and no stored place is lost.
TEST_F(IconPositionsTest, ADesktopThatFillsAtLogOnKeepsEveryStoredPlace) {
    WriteString(kSettingsKey, L"Icon Position", L"10");
    WriteString(kSettingsKey, L"Screen Follow", L"1");
    std::vector<std::wstring> args = {L"--scripted", L"--fill-ms=2000"};
    for (int i = 0; i < 6; ++i) {
        args.push_back(L"--item=Icon " + std::to_wstring(i) + L"@10,10");
        Store((L"Icon " + std::to_wstring(i)).c_str(), 100 + 90 * i, 300);
    }
    StartStandIn(args);
    StartIconvale();
    const auto placed = [&] {
        bool all = true;
        for (int i = 0; i < 6; ++i) all = all && At(i, 100 + 90 * i, 300);
        return all;
    };
    EXPECT_TRUE(WaitUntil(placed, 10000));
    EXPECT_EQ(ValueNames(key_).size(), 12u);
    EXPECT_EQ(ReadString(key_, L"Icon 5.X"), L"550");
}

// Every save and restore reserves a block in the shell's process: none may stay behind.
TEST_F(IconPositionsTest, ManySavesAndRestoresLeaveNothingInTheShell) {
    StartStandIn({L"--scripted", L"--items=30"});
    // A block left behind is one more allocation each time (the heap grows within few, large ones).
    const auto committed = [&] { return CommittedAllocations(standin_.Handle()); };
    iv::ShellSession session;
    for (int i = 0; i < 20; ++i) {
        iv::SaveIconPositions(session);
        iv::RestoreIconPositions(session);
    }
    const SIZE_T before = committed();
    const DWORD handlesBefore = [] {
        DWORD n = 0;
        GetProcessHandleCount(GetCurrentProcess(), &n);
        return n;
    }();
    for (int i = 0; i < 100; ++i) {
        iv::SaveIconPositions(session);
        iv::RestoreIconPositions(session);
    }
    const SIZE_T after = committed();
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    ASSERT_GT(before, 0u);
    // A block left behind per operation would be 200 more.
    EXPECT_LT(after, before + 20) << before << " -> " << after;
    EXPECT_LE(handlesAfter, handlesBefore + 2);
    EXPECT_EQ(ValueNames(key_).size(), 60u);
}

}  // namespace
}  // namespace e2e
