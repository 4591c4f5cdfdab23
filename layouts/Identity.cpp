#include "layouts/Identity.h"

#include <windows.h>

#include <algorithm>

namespace iv {
namespace {

// The part of a path below a folder, compared without regard to case; nothing when the path does
// not lie below it.
std::wstring_view Below(std::wstring_view path, std::wstring_view folder) {
    while (!folder.empty() && folder.back() == L'\\') folder.remove_suffix(1);
    if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\') return {};
    if (FoldCase(std::wstring(path.substr(0, folder.size()))) != FoldCase(std::wstring(folder))) return {};
    return path.substr(folder.size() + 1);
}

bool HoldsIdentities(const IconKeySet& keys) {
    const auto first = keys.lower_bound(L"I:");
    return first != keys.end() && first->starts_with(L"I:");
}

}  // namespace

std::wstring FoldCase(std::wstring name) {
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

std::wstring IconIdentity(std::wstring_view parsingName, std::wstring_view userDesktop,
                          std::wstring_view commonDesktop) {
    if (parsingName.size() > 3 && parsingName.substr(0, 3) == L"::{") return std::wstring(parsingName);
    if (const std::wstring_view name = Below(parsingName, userDesktop); !name.empty()) {
        return L"Desktop\\" + std::wstring(name);
    }
    if (const std::wstring_view name = Below(parsingName, commonDesktop); !name.empty()) {
        return L"Public\\" + std::wstring(name);
    }
    return {};
}

std::wstring IconKey(const std::wstring& text, const std::wstring& identity) {
    return identity.empty() ? L"T:" + FoldCase(text) : L"I:" + FoldCase(identity);
}

std::vector<std::wstring> KeysOfEntry(const std::wstring& path, std::wstring_view userDesktop,
                                      std::wstring_view commonDesktop) {
    const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    std::vector<std::wstring> keys = {IconKey(name, L"")};
    if (const size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0) {
        keys.push_back(IconKey(name.substr(0, dot), L""));
    }
    const std::wstring identity = IconIdentity(path, userDesktop, commonDesktop);
    if (!identity.empty()) keys.push_back(IconKey(name, identity));
    return keys;
}

void AddIconKeys(IconKeySet& keys, const std::wstring& text, const std::wstring& identity) {
    keys.insert(IconKey(text, L""));
    if (!identity.empty()) keys.insert(IconKey(text, identity));
}

bool HasIconKeys(const IconKeySet& keys, const std::wstring& text, const std::wstring& identity) {
    return keys.contains(IconKey(text, HoldsIdentities(keys) ? identity : L""));
}

bool HoldsNewIcon(const IconKeySet& seen, const IconKeySet& known) {
    const bool identities = HoldsIdentities(known);
    return std::any_of(seen.begin(), seen.end(), [&](const std::wstring& key) {
        return (identities || !key.starts_with(L"I:")) && !known.contains(key);
    });
}

}  // namespace iv
