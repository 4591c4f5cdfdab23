#include "layouts/LayoutKeys.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "settings/Settings.h"

namespace iv {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::wstring Size(const RECT& r) {
    return std::to_wstring(r.right - r.left) + L"*" + std::to_wstring(r.bottom - r.top);
}

// A decimal number of at most six digits at the start of text (a sign only where allowed);
// advances text past it.
bool ReadNumber(std::wstring_view& text, bool signedNumber, long& value) {
    const size_t sign = signedNumber && !text.empty() && text[0] == L'-' ? 1 : 0;
    size_t end = sign;
    while (end < text.size() && text[end] >= L'0' && text[end] <= L'9') ++end;
    if (end == sign || end - sign > 6) return false;
    value = std::wcstol(std::wstring(text.substr(0, end)).c_str(), nullptr, 10);
    text.remove_prefix(end);
    return true;
}

bool Skip(std::wstring_view& text, wchar_t c) {
    if (text.empty() || text[0] != c) return false;
    text.remove_prefix(1);
    return true;
}

// "W*H" (at 0,0) or "W*H@X,Y" at the start of text; advances text past it.
bool ParseMonitor(std::wstring_view& text, bool placed, RECT& area) {
    long width = 0;
    long height = 0;
    long x = 0;
    long y = 0;
    if (!ReadNumber(text, false, width) || !Skip(text, L'*') || !ReadNumber(text, false, height)) return false;
    if (placed &&
        (!Skip(text, L'@') || !ReadNumber(text, true, x) || !Skip(text, L',') || !ReadNumber(text, true, y))) {
        return false;
    }
    if (width <= 0 || height <= 0) return false;
    area = {x, y, x + width, y + height};
    return true;
}

}  // namespace

std::wstring LayoutKeyName(const ScreenShape& screen) {
    const std::wstring scale = screen.dpi == 96 ? L"" : L" " + std::to_wstring(screen.dpi) + L"dpi";
    if (screen.monitors.size() == 1) return Size(screen.monitors[0].area) + scale;
    std::vector<std::wstring> parts;
    std::wstring name;
    for (const Monitor& m : screen.monitors) {
        parts.push_back(Size(m.area) + L"@" + std::to_wstring(m.area.left) + L"," + std::to_wstring(m.area.top));
        name += (name.empty() ? L"" : L"+") + parts.back();
    }
    if (name.size() + scale.size() <= kLongestKeyName) return name + scale;
    // Too long for a registry key (a dozen monitors): the monitors that fit, then a digest of the
    // whole name, which keeps the key unique and the same for the same screen.
    uint32_t hash = 2166136261u;
    for (const wchar_t unit : name + scale) {
        hash ^= static_cast<uint16_t>(unit);
        hash *= 16777619u;
    }
    wchar_t digest[10] = {};
    swprintf(digest, 10, L"#%08x", hash);
    std::wstring shortened;
    for (const std::wstring& part : parts) {
        if (shortened.size() + part.size() + 2 + wcslen(digest) + scale.size() > kLongestKeyName) break;
        shortened += part + L"+";
    }
    return shortened + digest + scale;
}

std::wstring PrimaryKeyName(const ScreenShape& screen) {
    for (const Monitor& m : screen.monitors) {
        if (m.primary) return Size(m.area);
    }
    return screen.monitors.empty() ? std::wstring() : Size(screen.monitors[0].area);
}

std::optional<ScreenShape> DecodeLayoutKeyName(std::wstring_view name) {
    ScreenShape screen;
    if (const size_t space = name.find(L' '); space != std::wstring_view::npos) {
        std::wstring_view scale = name.substr(space + 1);
        name = name.substr(0, space);
        if (scale.size() < 4 || scale.substr(scale.size() - 3) != L"dpi") return std::nullopt;
        scale.remove_suffix(3);
        long dpi = 0;
        if (!ReadNumber(scale, false, dpi) || !scale.empty() || dpi <= 0 || dpi == 96) return std::nullopt;
        screen.dpi = static_cast<UINT>(dpi);
    }
    const bool placed = name.find(L'@') != std::wstring_view::npos;
    // A shortened name tells the monitors before its digest.
    bool shortened = false;
    if (const size_t digest = name.rfind(L"+#"); digest != std::wstring_view::npos) {
        const std::wstring_view hex = name.substr(digest + 2);
        if (hex.size() != 8 || hex.find_first_not_of(L"0123456789abcdef") != std::wstring_view::npos)
            return std::nullopt;
        name = name.substr(0, digest);
        shortened = true;
    }
    while (true) {
        Monitor m;
        if (!ParseMonitor(name, placed, m.area)) return std::nullopt;
        m.work = m.area;
        m.primary = m.area.left == 0 && m.area.top == 0;
        screen.monitors.push_back(m);
        if (name.empty()) break;
        if (!placed || name[0] != L'+') return std::nullopt;
        name.remove_prefix(1);
    }
    if (placed && !shortened && screen.monitors.size() < 2) return std::nullopt;
    std::vector<Monitor> sorted = screen.monitors;
    SortMonitors(sorted);
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (!SameRect(sorted[i].area, screen.monitors[i].area)) return std::nullopt;
    }
    return screen;
}

std::wstring IconPositionKey(int width, int height) {
    return std::wstring(kSettingsKey) + L"\\" + std::to_wstring(width) + L"*" + std::to_wstring(height);
}

std::wstring LayoutKey(const ScreenShape& screen) { return std::wstring(kSettingsKey) + L"\\" + LayoutKeyName(screen); }

std::wstring PreviousLayoutKey(const std::wstring& layoutKey) { return layoutKey + L"\\Previous"; }

std::wstring UndoKey(const std::wstring& layoutKey) { return layoutKey + L"\\Undo"; }

}  // namespace iv
