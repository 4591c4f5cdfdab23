// Pure rules of the settings dialog's option trees: node keys and pictures, and what a click on an
// option does to the settings the dialog edits (its draft).
#pragma once
#include <cstdint>
#include <string_view>

#include "settings/Settings.h"

namespace iv {

// Pictures of imgView, numbered from 1 as a node's Image refers to them.
inline constexpr int kImageBranch = 1;
inline constexpr int kImageChecked = 2;
inline constexpr int kImageUnchecked = 3;
inline constexpr int kImageOptionOn = 4;
inline constexpr int kImageOptionOff = 5;
inline constexpr int kImageCornerTopLeft = 6;  // 6..9: top-left, bottom-left, top-right, bottom-right
inline constexpr int kImageShortcut = 10;
inline constexpr int kImageButtonDown = 11;
inline constexpr int kImageButtonUp = 12;
inline constexpr int kNodeImageCount = 12;

// Keys of the left tree's options and commands, indexed by StyleFlag for the options. Some stored
// names say the opposite of what they are: "Icon PosSave" is the restore at start-up and
// "Icon PosLoad" the save at exit; the command "Icon NowSave" runs a restore and "Icon NowLoad" a
// save. The keys stay as they are: they are the names the dialog has always used.
inline constexpr const wchar_t* kStyleKeys[kStyleFlagCount + 2] = {
    L"Tool Tips",  L"Row Select",   L"Grid Line",    L"Header Move",     L"All Item Icon",
    L"One Click",  L"Two Click",    L"Mouse Active", L"Under Line Cool", L"Under Line Hot",
    L"Text Color", L"Icon PosSave", L"Icon PosLoad", L"Icon NowSave",    L"Icon NowLoad"};
inline constexpr wchar_t kRestoreNowKey[] = L"Icon NowSave";
inline constexpr wchar_t kSaveNowKey[] = L"Icon NowLoad";
inline constexpr wchar_t kUndoKey[] = L"Icon Undo";
inline constexpr wchar_t kScreenFollowKey[] = L"Icon Follow";

// Keys of the right tree, in the order of its key table.
enum EtcKey : int16_t {
    kEtcTopLeft = 0,        // the four corners, ToolPosition 0..3
    kEtcChangeStyle1 = 4,   // the four view modes that may cycle, ChangeStyleFlags 0..3
    kEtcDesktopCreate = 8,  // the shortcut commands
    kEtcDesktopDelete,
    kEtcStartupCreate,
    kEtcStartupDelete,
    kEtcTopMost,
    kEtcTaskTray,
    kEtcKeyCount
};
inline constexpr const wchar_t* kEtcKeys[kEtcKeyCount] = {
    L"Tool Position1", L"Tool Position2", L"Tool Position3", L"Tool Position4", L"Change Style1",
    L"Change Style2",  L"Change Style3",  L"Change Style4",  L"Desktop Create", L"Desktop Delete",
    L"Startup Create", L"Startup Delete", L"Tool TopMost",   L"Tool Position5"};
constexpr const wchar_t* CornerKey(int16_t corner) { return kEtcKeys[kEtcTopLeft + corner]; }
constexpr const wchar_t* CycleKey(int16_t mode) { return kEtcKeys[kEtcChangeStyle1 + mode]; }

// The corner number n of a "Tool Position" key followed by exactly one character (1..5), taken
// from that character's digit; 0 for any other key.
int ToolPositionNumber(std::wstring_view key);

// The picture an option node shows for the draft: a box ticked or empty, a circle filled or empty;
// 0 for a node that is no option (branches, commands, shortcuts).
int OptionImage(const SharedSettings& draft, std::wstring_view key);

// A click on an option of the left tree: boxes and circles both toggle, so an option that is on
// turns off. A circle turned on turns its partner off ("One Click" and "Two Click", the two
// underline modes); with neither activation option on, the hover options are off. False for a
// node that is no option.
bool ClickStyleOption(SharedSettings& draft, std::wstring_view key);

// A click on an option of the right tree: a box toggles; a corner or the tray becomes the one
// toolbar place and stays on. With the tray chosen the corner is kept for when the toolbar
// returns. False for a node that is no option.
bool ClickEtcOption(SharedSettings& draft, std::wstring_view key);

// The draft before the load turns the stored options on through the click rules: the settings
// with every option off (the corner and the view mode are kept).
SharedSettings DraftWithOptionsOff(const SharedSettings& settings);

// A command node's picture while the left button is held: pressed while the pointer is over the
// node that was pressed, raised once it is elsewhere. Other pictures are left alone.
constexpr int HeldButtonImage(int image, bool overPressedNode) {
    if (overPressedNode && image == kImageButtonUp) return kImageButtonDown;
    if (!overPressedNode && image == kImageButtonDown) return kImageButtonUp;
    return image;
}

}  // namespace iv
