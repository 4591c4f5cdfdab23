// The About box: its text from the version resource, its layout in twips, the links' hover colours
// and clicks, and the modal loop.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/frmAbout.h"
#include "res/version.h"
#include "tests/support/Processes.h"

namespace iv {
namespace {

using namespace testing_support;

std::wstring Text(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

LOGFONTW FontOf(HWND hwnd) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

int ScreenDpi(int index) {
    ScreenDc screen;
    return GetDeviceCaps(screen.Get(), index);
}

int Pixels(int twips, int dpi) { return static_cast<int>(std::nearbyint(twips * dpi / 1440.0)); }

// A control's rectangle in the box's client coordinates.
RECT ClientRectOf(HWND control) {
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

POINT CentreOnScreen(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// What a thread timer does once inside the modal loop.
std::function<void()> g_inLoop;

void CALLBACK RunInLoop(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_inLoop();
}

// Ends a modal loop that would not end otherwise.
constexpr int kGuardQuit = 99;
void CALLBACK Guard(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostQuitMessage(kGuardQuit);
}

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override {
        about_ = std::make_unique<frmAbout>(LoadIconW(nullptr, IDI_APPLICATION));
        about_->OpenLink = [this](const std::wstring& link) { opened_.push_back(link); };
    }
    void TearDown() override { about_.reset(); }
    void Load() {
        // A box that opens under the pointer gets its move at once; the corner is clear of it.
        MoveMouse(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        ASSERT_TRUE(about_->Load());
        PumpMessages(50);
    }
    static void MoveOver(HWND hwnd) { SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1)); }
    std::vector<COLORREF> Colors() const { return {about_->MailColor(), about_->UrlColor()}; }

    static constexpr COLORREF kBlue = RGB(0, 0, 255);
    static constexpr COLORREF kRed = RGB(255, 0, 0);
    std::unique_ptr<frmAbout> about_;
    std::vector<std::wstring> opened_;
};

TEST_F(AboutTest, ShowsTheProductAndVersionOfTheRunningModule) {
    Load();
    EXPECT_EQ(Text(about_->Title()), L"Iconvale   Ver " + std::to_wstring(ICONVALE_VERSION_MAJOR) + L"." +
                                         std::to_wstring(ICONVALE_VERSION_MINOR));
    EXPECT_EQ(Text(about_->Hwnd()), L"ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(Text(about_->Copyright()), L"" ICONVALE_COPYRIGHT);
    EXPECT_EQ(Text(about_->Mail()), L"" ICONVALE_MAIL_LINK);
    EXPECT_EQ(Text(about_->Url()), L"" ICONVALE_WEB_LINK);

    // Another module's resource gives another name; no resource at all gives the bare name.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring kernel = AboutTitle((std::wstring(system) + L"\\kernel32.dll").c_str());
    EXPECT_NE(kernel.find(L"   Ver "), std::wstring::npos) << kernel;
    EXPECT_NE(kernel.rfind(L"Iconvale", 0), 0u) << kernel;
    EXPECT_EQ(AboutTitle(L"C:\\no such folder\\iconvale.exe"), L"Iconvale");
}

TEST_F(AboutTest, LaidOutInTwipsAtTheScreenDpiAndCentredWithoutATaskbarButton) {
    Load();
    const int dpiX = ScreenDpi(LOGPIXELSX);
    const int dpiY = ScreenDpi(LOGPIXELSY);
    RECT client = {};
    GetClientRect(about_->Hwnd(), &client);
    EXPECT_EQ(client.right, Pixels(3795, dpiX));
    EXPECT_EQ(client.bottom, Pixels(1860, dpiY));

    struct Expected {
        HWND control;
        int left, top, width, height;
    };
    for (const Expected& e :
         {Expected{about_->Picture(), 240, 240, 480, 480}, Expected{about_->Title(), 1050, 240, 2430, 180},
          Expected{about_->Copyright(), 1080, 480, 1965, 180}, Expected{about_->OkButton(), 1440, 1440, 1140, 345}}) {
        const RECT r = ClientRectOf(e.control);
        EXPECT_EQ(r.left, Pixels(e.left, dpiX)) << e.left;
        EXPECT_EQ(r.top, Pixels(e.top, dpiY)) << e.left;
        EXPECT_EQ(r.right - r.left, Pixels(e.width, dpiX)) << e.left;
        EXPECT_EQ(r.bottom - r.top, Pixels(e.height, dpiY)) << e.left;
    }
    // A link label is at least its laid-out size and grows, within the margin, to show its whole
    // address with the underline below it.
    for (const Expected& e :
         {Expected{about_->Mail(), 1080, 840, 1965, 180}, Expected{about_->Url(), 1080, 1080, 1800, 180}}) {
        const RECT r = ClientRectOf(e.control);
        EXPECT_EQ(r.left, Pixels(e.left, dpiX)) << e.left;
        EXPECT_EQ(r.top, Pixels(e.top, dpiY)) << e.left;
        EXPECT_GE(r.right - r.left, Pixels(e.width, dpiX)) << e.left;
        EXPECT_LE(r.right, Pixels(3795 - 240, dpiX)) << e.left;
        wchar_t text[256] = {};
        const int length = GetWindowTextW(e.control, text, 256);
        HDC dc = GetDC(e.control);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(e.control, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        GetTextExtentPoint32W(dc, text, length, &extent);
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(e.control, dc);
        EXPECT_GE(r.right - r.left, extent.cx) << e.left;
        EXPECT_GT(r.bottom - r.top, metrics.tmHeight) << e.left;
    }

    RECT window = {};
    GetWindowRect(about_->Hwnd(), &window);
    EXPECT_LE(std::abs(window.left + window.right - GetSystemMetrics(SM_CXSCREEN)), 1);
    EXPECT_LE(std::abs(window.top + window.bottom - GetSystemMetrics(SM_CYSCREEN)), 1);

    // An owned window without WS_EX_APPWINDOW has no taskbar button; the owner itself never shows.
    const HWND owner = GetWindow(about_->Hwnd(), GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_FALSE(GetWindowLongW(about_->Hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST_F(AboutTest, LinksUseAnUnderlinedShiftJisGothicAndTheRestTheMessageFont) {
    Load();
    for (HWND link : {about_->Mail(), about_->Url()}) {
        const LOGFONTW font = FontOf(link);
        EXPECT_TRUE(font.lfUnderline);
        EXPECT_EQ(font.lfCharSet, 128);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_EQ(font.lfHeight, -MulDiv(9, ScreenDpi(LOGPIXELSY), 72));
        EXPECT_EQ(std::wstring(font.lfFaceName), L"ＭＳ Ｐゴシック");
    }
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    for (HWND plain : {about_->Title(), about_->Copyright(), about_->OkButton()}) {
        EXPECT_EQ(std::wstring(FontOf(plain).lfFaceName), metrics.lfMessageFont.lfFaceName);
        EXPECT_EQ(FontOf(plain).lfHeight, metrics.lfMessageFont.lfHeight);
    }
}

TEST_F(AboutTest, HoverColoursFollowTheLinkUnderThePointer) {
    Load();
    EXPECT_EQ(Colors(), (std::vector<COLORREF>{kBlue, kBlue}));
    MoveOver(about_->Mail());
    EXPECT_EQ(Colors(), (std::vector<COLORREF>{kRed, kBlue}));
    // Straight from one link to the other swaps them in one step.
    MoveOver(about_->Url());
    EXPECT_EQ(Colors(), (std::vector<COLORREF>{kBlue, kRed}));

    // Nothing but the background turns a red link back.
    for (HWND other : {about_->Picture(), about_->Title(), about_->Copyright(), about_->OkButton()}) {
        MoveOver(other);
        EXPECT_EQ(Colors(), (std::vector<COLORREF>{kBlue, kRed}));
    }
    MoveOver(about_->Hwnd());
    EXPECT_EQ(Colors(), (std::vector<COLORREF>{kBlue, kBlue}));

    // Only a link whose colour changed is repainted, and it is painted in that colour.
    UpdateWindow(about_->Hwnd());
    MoveOver(about_->Mail());
    EXPECT_TRUE(GetUpdateRect(about_->Mail(), nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(about_->Url(), nullptr, FALSE));
    UpdateWindow(about_->Hwnd());
    MoveOver(about_->Hwnd());
    EXPECT_TRUE(GetUpdateRect(about_->Mail(), nullptr, FALSE));
    EXPECT_FALSE(GetUpdateRect(about_->Url(), nullptr, FALSE));
    MoveOver(about_->Url());
    const ScopedDc dc(CreateCompatibleDC(nullptr));
    SendMessageW(about_->Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                 reinterpret_cast<LPARAM>(about_->Url()));
    EXPECT_EQ(GetTextColor(dc.Get()), kRed);
    SendMessageW(about_->Hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()),
                 reinterpret_cast<LPARAM>(about_->Mail()));
    EXPECT_EQ(GetTextColor(dc.Get()), kBlue);
}

TEST_F(AboutTest, TheRealPointerReachesTheRulesAndShowsAHandOverLinks) {
    Load();
    SetForegroundWindow(about_->Hwnd());
    MoveMouse(CentreOnScreen(about_->Mail()).x, CentreOnScreen(about_->Mail()).y);
    EXPECT_TRUE(WaitUntil([&] { return about_->MailColor() == kRed; }, 2000));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

    // Labels, the picture and the button keep the pointer from the background under them.
    for (HWND other : {about_->Title(), about_->Copyright(), about_->Picture(), about_->OkButton()}) {
        MoveMouse(CentreOnScreen(other).x, CentreOnScreen(other).y);
        PumpMessages(50);
        EXPECT_EQ(Colors(), (std::vector<COLORREF>{kRed, kBlue}));
        EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    }
    POINT background = {5, 5};
    ClientToScreen(about_->Hwnd(), &background);
    MoveMouse(background.x, background.y);
    EXPECT_TRUE(WaitUntil([&] { return about_->MailColor() == kBlue; }, 2000));
    EXPECT_EQ(Colors(), (std::vector<COLORREF>{kBlue, kBlue}));
}

TEST_F(AboutTest, ClickingALinkOpensItAndKeepsTheBoxOpen) {
    Load();
    SendMessageW(about_->Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(about_->Mail()), STN_CLICKED),
                 reinterpret_cast<LPARAM>(about_->Mail()));
    EXPECT_EQ(opened_, (std::vector<std::wstring>{L"" ICONVALE_MAIL_LINK}));

    SetForegroundWindow(about_->Hwnd());
    LeftClickAt(CentreOnScreen(about_->Url()).x, CentreOnScreen(about_->Url()).y);
    EXPECT_TRUE(WaitUntil([&] { return opened_.size() == 2; }, 2000));
    EXPECT_EQ(opened_, (std::vector<std::wstring>{L"" ICONVALE_MAIL_LINK, L"" ICONVALE_WEB_LINK}));
    PumpMessages(50);
    EXPECT_TRUE(IsWindowVisible(about_->Hwnd()));
}

// The modal loop, driven from a timer inside it.
class AboutModalTest : public AboutTest {
protected:
    void SetUp() override {
        AboutTest::SetUp();
        other_.Reset(CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr));
        off_.Reset(CreateWindowExW(0, L"STATIC", L"off", WS_POPUP | WS_VISIBLE | WS_DISABLED, 60, 0, 50, 50, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(other_ && off_);
    }
    // Runs ShowModal with action done from inside its loop; false if the loop outlived the time limit.
    bool ShowModalDoing(std::function<void()> action) {
        g_inLoop = [this, action] {
            otherEnabledInLoop_ = IsWindowEnabled(other_.Get()) != FALSE;
            focusInLoop_ = GetFocus();
            okInLoop_ = about_->OkButton();
            action();
        };
        SetTimer(nullptr, 0, 50, RunInLoop);
        const UINT_PTR guard = SetTimer(nullptr, 0, 5000, Guard);
        about_->ShowModal();
        if (KillTimer(nullptr, guard)) return true;
        MSG quit = {};
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        return false;
    }
    void ExpectClosedAndGivenBack() {
        EXPECT_FALSE(otherEnabledInLoop_);
        EXPECT_EQ(focusInLoop_, okInLoop_);
        EXPECT_EQ(about_->Hwnd(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(other_.Get()));
        EXPECT_FALSE(IsWindowEnabled(off_.Get())) << "a window disabled before stays disabled";
    }
    static void PostKey(WPARAM key) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 1); }

    ScopedWindow other_;
    ScopedWindow off_;
    bool otherEnabledInLoop_ = true;
    HWND focusInLoop_ = nullptr;
    HWND okInLoop_ = nullptr;
};

TEST_F(AboutModalTest, EscapeAndEnterCloseTheBoxAndGiveTheWindowsBack) {
    for (WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_RETURN}}) {
        otherEnabledInLoop_ = true;
        EXPECT_TRUE(ShowModalDoing([key] { PostKey(key); })) << key;
        ExpectClosedAndGivenBack();
    }
}

TEST_F(AboutModalTest, TheCloseBoxAndLinksAreHandledInsideTheLoop) {
    EXPECT_TRUE(ShowModalDoing([this] {
        SendMessageW(about_->Hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(about_->Url()), STN_CLICKED),
                     reinterpret_cast<LPARAM>(about_->Url()));
        PostMessageW(about_->Hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    }));
    ExpectClosedAndGivenBack();
    EXPECT_EQ(opened_, (std::vector<std::wstring>{L"" ICONVALE_WEB_LINK}));
}

TEST_F(AboutModalTest, AQuitInsideTheLoopClosesTheBoxAndIsPostedAgain) {
    EXPECT_TRUE(ShowModalDoing([] { PostQuitMessage(7); }));
    ExpectClosedAndGivenBack();
    MSG msg = {};
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace iv
