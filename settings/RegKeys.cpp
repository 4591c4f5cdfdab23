#include "settings/RegKeys.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "base/ScopedWin.h"
#include "base/SideThread.h"

namespace iv::RegKeys {
namespace {

// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY |
// KEY_CREATE_LINK | READ_CONTROL: enough for every change here, less than KEY_ALL_ACCESS. Reads
// ask for no more than reading, so that a key a policy made read-only still yields its values.
constexpr REGSAM kAccess = 0x2003F;

// The text of a value's data: REG_SZ and REG_EXPAND_SZ cut at the first NUL, REG_DWORD as
// decimal, nothing else. buffer holds `size` bytes and at least one spare NUL character.
std::wstring ValueText(DWORD type, const wchar_t* buffer, DWORD size) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: return std::wstring(buffer);
        case REG_DWORD: {
            DWORD number = 0;
            if (size < sizeof number) return {};
            memcpy(&number, buffer, sizeof number);
            return std::to_wstring(number);
        }
        default: return {};
    }
}

bool CreateKey(HKEY root, const std::wstring& path, ScopedRegKey& key) {
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr, key.Receive(),
                           nullptr) == ERROR_SUCCESS;
}

bool SetText(HKEY key, const std::wstring& name, const std::wstring& text) {
    const std::wstring data = text.empty() ? std::wstring(L" ") : text;
    // The size counts the terminator: the system stores the bytes it is given and adds none.
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) ==
           ERROR_SUCCESS;
}

}  // namespace

bool SetRegValue(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    ScopedRegKey key;
    return CreateKey(root, path, key) && SetText(key.Get(), name, text);
}

bool SetRegValues(HKEY root, const std::wstring& path, const std::vector<NamedText>& values) {
    ScopedRegKey key;
    if (!CreateKey(root, path, key)) return false;
    // Each write spends most of its time waiting for its answer, not being carried out: a long
    // list goes in slices side by side through the one key (under Wine about four times as fast).
    constexpr size_t kValuesPerSlice = 64;
    constexpr size_t kMostSlices = 4;
    const size_t slices = std::clamp<size_t>(values.size() / kValuesPerSlice, 1, kMostSlices);
    std::array<bool, kMostSlices> written;
    written.fill(true);
    const auto writeSlice = [&](size_t slice) {
        bool all = true;
        for (size_t i = values.size() * slice / slices, end = values.size() * (slice + 1) / slices; i < end; ++i)
            all = SetText(key.Get(), values[i].first, values[i].second) && all;
        written[slice] = all;
    };
    {
        std::vector<std::unique_ptr<SideThread>> beside;
        for (size_t slice = 1; slice < slices; ++slice)
            beside.push_back(std::make_unique<SideThread>([&writeSlice, slice] { writeSlice(slice); }));
        writeSlice(0);
    }
    return std::find(written.begin(), written.end(), false) == written.end();
}

bool DeleteRegKey(HKEY root, const std::wstring& path) { return RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS; }

bool DeleteRegTree(HKEY root, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return true;
    // Some part could not go: what counts is whether the key is still there.
    ScopedRegKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) == ERROR_FILE_NOT_FOUND;
}

bool DeleteRegKeyIfEmpty(HKEY root, const std::wstring& path) {
    DWORD subkeys = 1;
    DWORD values = 1;
    {
        ScopedRegKey key;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS ||
            RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return false;
        }
    }
    return subkeys == 0 && values == 0 && RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS;
}

std::wstring GetRegValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return {};

    // One spare character keeps the text terminated even when the data fills the buffer.
    wchar_t buffer[kMaxValueChars + 2] = {};
    DWORD type = 0;
    DWORD size = (kMaxValueChars + 1) * sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    return ValueText(type, buffer, size);
}

std::vector<NamedText> GetValues(HKEY root, const std::wstring& path) {
    std::vector<NamedText> values;
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return values;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return values;
    }
    std::wstring name(longest + 1, L'\0');
    wchar_t buffer[kMaxValueChars + 2];
    for (DWORD i = 0;; ++i) {
        DWORD length = longest + 1;
        DWORD type = 0;
        DWORD size = (kMaxValueChars + 1) * sizeof(wchar_t);
        memset(buffer, 0, sizeof buffer);
        const LSTATUS status =
            RegEnumValueW(key.Get(), i, name.data(), &length, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        // A value longer than any text read here reads empty, as GetRegValue has it.
        if (status == ERROR_MORE_DATA) {
            values.emplace_back(std::wstring(name.c_str(), length), std::wstring());
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        values.emplace_back(std::wstring(name.c_str(), length), ValueText(type, buffer, size));
    }
    return values;
}

bool HasValues(HKEY root, const std::wstring& path) {
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return false;
    DWORD count = 0;
    return RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           count > 0;
}

std::vector<std::wstring> GetValueNames(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return names;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
        return names;
    }
    std::wstring name(longest + 1, L'\0');
    for (DWORD i = 0;; ++i) {
        DWORD length = longest + 1;
        if (RegEnumValueW(key.Get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name.c_str(), length);
    }
    return names;
}

bool DeleteRegValue(HKEY root, const std::wstring& path, const std::wstring& name) {
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, kAccess, key.Receive()) != ERROR_SUCCESS) return false;
    return RegDeleteValueW(key.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool SetRegBytes(HKEY root, const std::wstring& path, const std::wstring& name, std::string_view bytes) {
    ScopedRegKey key;
    return CreateKey(root, path, key) &&
           RegSetValueExW(key.Get(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

std::optional<std::string> GetRegBytes(HKEY root, const std::wstring& path, const std::wstring& name, DWORD limit) {
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size > limit) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    // The value may have changed between the two reads: what counts is what the second one got.
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY) {
        return std::nullopt;
    }
    bytes.resize(size);
    return bytes;
}

}  // namespace iv::RegKeys
