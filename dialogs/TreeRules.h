// Pure rules of the settings dialog's option trees: node pictures, keys and the push-button look.
#pragma once
#include <cstdint>
#include <string_view>

namespace iv {

// Pictures of imgView, numbered from 1 as a node's Image refers to them. A node's on/off state
// lives only in its picture.
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

// Keys of the left tree's options and commands; index 0..12 is the StyleFlags index.
inline constexpr const wchar_t* kStyleKeys[15] = {
    L"Tool Tips",  L"Row Select",   L"Grid Line",    L"Header Move",     L"All Item Icon",
    L"One Click",  L"Two Click",    L"Mouse Active", L"Under Line Cool", L"Under Line Hot",
    L"Text Color", L"Icon PosSave", L"Icon PosLoad", L"Icon NowSave",    L"Icon NowLoad"};

// Keys of the right tree: 0..3 the corners (ToolPosition i), 4..7 the cycling view modes
// (ChangeStyleFlags i - 4), then the shortcut commands, the topmost option and the tray choice.
inline constexpr const wchar_t* kEtcKeys[14] = {
    L"Tool Position1", L"Tool Position2", L"Tool Position3", L"Tool Position4", L"Change Style1",
    L"Change Style2",  L"Change Style3",  L"Change Style4",  L"Desktop Create", L"Desktop Delete",
    L"Startup Create", L"Startup Delete", L"Tool TopMost",   L"Tool Position5"};

// A click in the right tree: a box toggles, an option circle turns on and stays on, a pressed
// button comes up; branches keep their picture.
constexpr int EtcClickImage(int image) {
    switch (image) {
        case kImageChecked: return kImageUnchecked;
        case kImageUnchecked: return kImageChecked;
        case kImageOptionOff: return kImageOptionOn;
        case kImageButtonDown: return kImageButtonUp;
        default: return image;
    }
}

// A click in the left tree: boxes and option circles both toggle, so an option that is on turns off.
constexpr int StyleClickImage(int image) {
    switch (image) {
        case kImageOptionOn: return kImageOptionOff;
        default: return EtcClickImage(image);
    }
}

// The setting a picture shows: 1 on, 0 off, -1 for pictures that are no option (branches, buttons).
constexpr int16_t FlagOfImage(int image) {
    if (image == kImageChecked || image == kImageOptionOn) return 1;
    if (image == kImageUnchecked || image == kImageOptionOff) return 0;
    return -1;
}

// The corner number n of a "Tool Position" key followed by exactly one character (1..5), taken
// from that character's digit; 0 for any other key.
int ToolPositionNumber(std::wstring_view key);

// A command node's picture while the left button is held: pressed while the pointer is over the
// node that was pressed, raised once it is elsewhere. Other pictures are left alone.
constexpr int HeldButtonImage(int image, bool overPressedNode) {
    if (overPressedNode && image == kImageButtonUp) return kImageButtonDown;
    if (!overPressedNode && image == kImageButtonDown) return kImageButtonUp;
    return image;
}

}  // namespace iv
