// The tray icon's notification record and the events of its mouse callbacks.
#include <gtest/gtest.h>

#include "tray/IconTray.h"

namespace iv {
namespace {

TEST(DecodeTrayCallback, TheSevenMouseMessagesAndNothingElse) {
    EXPECT_EQ(DecodeTrayCallback(WM_MOUSEMOVE), TrayEvent::MouseMove);
    EXPECT_EQ(DecodeTrayCallback(WM_LBUTTONDOWN), TrayEvent::MouseLeftDown);
    EXPECT_EQ(DecodeTrayCallback(WM_LBUTTONUP), TrayEvent::MouseLeftUp);
    EXPECT_EQ(DecodeTrayCallback(WM_RBUTTONDOWN), TrayEvent::MouseRightDown);
    EXPECT_EQ(DecodeTrayCallback(WM_RBUTTONUP), TrayEvent::MouseRightUp);
    EXPECT_EQ(DecodeTrayCallback(WM_LBUTTONDBLCLK), TrayEvent::LeftDblClick);
    EXPECT_EQ(DecodeTrayCallback(WM_RBUTTONDBLCLK), TrayEvent::RightDblClick);
    EXPECT_EQ(DecodeTrayCallback(WM_MBUTTONDOWN), TrayEvent::None);
    EXPECT_EQ(DecodeTrayCallback(WM_MBUTTONDBLCLK), TrayEvent::None);
    EXPECT_EQ(DecodeTrayCallback(WM_CONTEXTMENU), TrayEvent::None);
    EXPECT_EQ(DecodeTrayCallback(0), TrayEvent::None);
}

TEST(BuildNotifyRecord, FirstVersionRecordWithIdFlagsAndCallback) {
    const auto hwnd = reinterpret_cast<HWND>(0x1234);
    const auto icon = reinterpret_cast<HICON>(0x5678);
    const NOTIFYICONDATAW r = BuildNotifyRecord(hwnd, icon, L"Kivo");
    EXPECT_EQ(r.cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V1_SIZE));
    EXPECT_EQ(r.hWnd, hwnd);
    EXPECT_EQ(r.uID, 1u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 0x200u);
    EXPECT_EQ(r.hIcon, icon);
    EXPECT_EQ(std::wstring(r.szTip), L"Kivo");
    for (size_t i = 5; i < 64; ++i) EXPECT_EQ(r.szTip[i], L' ') << i;
    EXPECT_EQ(BuildNotifyRecord(hwnd, nullptr, L"").hIcon, nullptr);
}

TEST(BuildNotifyRecord, TipIsCutToSixtyThreeCharacters) {
    const std::wstring seventy(70, L'あ');
    const NOTIFYICONDATAW r = BuildNotifyRecord(nullptr, nullptr, seventy);
    EXPECT_EQ(std::wstring(r.szTip), seventy.substr(0, 63));
    EXPECT_EQ(r.szTip[63], L'\0');
    const NOTIFYICONDATAW empty = BuildNotifyRecord(nullptr, nullptr, L"");
    EXPECT_EQ(empty.szTip[0], L'\0');
    EXPECT_EQ(empty.szTip[1], L' ');
}

TEST(IconTraySizeTwips, TwentyEightPixelsWithoutAPictureElseThePicturesOwnSize) {
    EXPECT_EQ(IconTraySizeTwips(false, {}, false, 15, 15).cx, 420);
    EXPECT_EQ(IconTraySizeTwips(false, {}, true, 12, 12).cy, 336);
    EXPECT_EQ(IconTraySizeTwips(true, {32, 32}, false, 15, 15).cx, 480);
    EXPECT_EQ(IconTraySizeTwips(true, {32, 16}, true, 15, 15).cy, 300);
}

}  // namespace
}  // namespace iv
