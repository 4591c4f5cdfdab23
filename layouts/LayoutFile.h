// A layout to take along: one desktop layout as a file of its own, written on one PC and read on
// another. The file is UTF-8 JSON (RFC 8259), an object of "format" ("iconvale-layout"), "version"
// (1), "name", "saved" (ISO 8601 text), "screen" ({"monitors": [{"x", "y", "width", "height"}],
// "dpi"}) and "icons" ([{"name", "x", "y", "id"}], "id" only where the icon's identity is known).
//
// Reading takes the file as hostile: a parser of our own, small enough to review, that bounds the
// file (16 MiB), the nesting (32 levels), every string (32,767 UTF-16 units), the icons (32,767)
// and the monitors (64), and refuses with a one-line reason; byte offsets in it count from the
// file's first byte, from 0, and icons and monitors are counted from 1.
//  - Keys this version does not read are passed over, wherever they are, so that a later version
//    may add some. A key it reads given twice in one object is refused: readers differ on which of
//    the two counts, and a layout should not mean one thing here and another elsewhere.
//  - "saved" is optional (a string when present), and so is "screen": without it the importer
//    takes the layout for the current screen. A "screen" that is there needs at least one monitor;
//    "dpi" is 96 when absent.
//  - A number with a fraction or an exponent is no integer, even "1.0".
// Pure: no registry, no windows, no files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace iv {

// The largest file's text the reader takes, in bytes.
inline constexpr size_t kLargestLayoutFile = 16u << 20;

struct FileIcon {
    std::wstring name;
    std::wstring id;  // empty when not known
    int16_t x = 0;
    int16_t y = 0;
};

struct FileMonitor {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct LayoutFile {
    std::wstring name;
    std::wstring saved;
    bool hasScreen = false;  // "screen" is written and was read only when this is set
    std::vector<FileMonitor> monitors;
    uint32_t dpi = 96;
    std::vector<FileIcon> icons;
};

// A name a layout can be kept and shown under: neither empty nor only spaces, at most 200 UTF-16
// units, no backslash (the store's key separator) and no control character.
bool LayoutNameAllowed(std::wstring_view name);
// Whether a text holds a character below U+0020 (a line break, a tab).
bool HoldsControlCharacter(std::wstring_view text);

// The file's text: UTF-8 without a BOM, keys in the order above, two spaces to a level, one icon
// to a line. A UTF-16 unit that is half of no pair is written as U+FFFD. Within the limits above
// (and with a monitor at least when `hasScreen` is set) the text reads back as the layout it was.
std::string WriteLayoutFile(const LayoutFile& layout);

// The layout in a file's text (a UTF-8 BOM is allowed). False, with a one-line reason, for a text
// that is no layout this version reads; `layout` is then left as it was, and `reason` is written
// only then. A file whose "name" is not allowed is refused too.
bool ReadLayoutFile(std::string_view utf8, LayoutFile& layout, std::wstring& reason);

}  // namespace iv
