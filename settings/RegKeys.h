// The only code that touches the registry: self-contained operations, each opening and closing
// its own key.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace iv::RegKeys {

using NamedText = std::pair<std::wstring, std::wstring>;

// Stores text as REG_SZ under name, creating the key and its parents. Empty text is stored as
// a single space, so that an empty read always means "absent".
bool SetRegValue(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);

// SetRegValue for many values of one key, opened once; false when any write failed.
bool SetRegValues(HKEY root, const std::wstring& path, const std::vector<NamedText>& values);

// Deletes a key that has no subkeys.
bool DeleteRegKey(HKEY root, const std::wstring& path);

// Deletes a key with all its values and subkeys. True when no key is left at path (it was
// deleted or was not there).
bool DeleteRegTree(HKEY root, const std::wstring& path);

// Deletes a key only when it holds neither values nor subkeys; true when it was deleted.
bool DeleteRegKeyIfEmpty(HKEY root, const std::wstring& path);

// REG_SZ / REG_EXPAND_SZ (unexpanded) as text cut at the first NUL, REG_DWORD as decimal text,
// empty text for anything else or on any failure.
std::wstring GetRegValue(HKEY root, const std::wstring& path, const std::wstring& name);

// Every value of a key with its text as GetRegValue reads it, the key opened once; empty when the
// key is missing.
std::vector<NamedText> GetValues(HKEY root, const std::wstring& path);

// Whether a key holds any value (one request, however many it holds).
bool HasValues(HKEY root, const std::wstring& path);

// The names of a key's values; empty when the key is missing.
std::vector<std::wstring> GetValueNames(HKEY root, const std::wstring& path);

// Deletes one value of a key.
bool DeleteRegValue(HKEY root, const std::wstring& path, const std::wstring& name);

// Stores bytes as REG_BINARY under name, creating the key and its parents.
bool SetRegBytes(HKEY root, const std::wstring& path, const std::wstring& name, std::string_view bytes);

// The bytes of a REG_BINARY value of at most `limit` bytes; nothing when it is missing, of
// another type or larger.
std::optional<std::string> GetRegBytes(HKEY root, const std::wstring& path, const std::wstring& name, DWORD limit);

// Longest text GetRegValue returns, in characters.
inline constexpr DWORD kMaxValueChars = 1023;

}  // namespace iv::RegKeys
