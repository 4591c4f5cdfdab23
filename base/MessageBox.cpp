#include "base/MessageBox.h"

#include <utility>

namespace iv {
namespace {

MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

}  // namespace

int ShowMessage(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (Handler()) return Handler()(owner, text, caption, type);
    return MessageBoxW(owner, text, caption, type);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

}  // namespace iv
