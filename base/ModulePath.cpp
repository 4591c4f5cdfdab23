#include "base/ModulePath.h"

#include <windows.h>

namespace iv {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // Cut short: the result filled the buffer (the long-path limit is 32,767 characters).
        if (path.size() > 32768) return {};
        path.resize(path.size() * 2);
    }
}

}  // namespace iv
