// Where the running program lives.
#pragma once
#include <string>

namespace iv {

// The running program's full path, however long it is; empty text when the system cannot tell.
std::wstring ModulePath();

}  // namespace iv
