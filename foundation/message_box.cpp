#include "foundation/message_box.h"

#include <atomic>

namespace Brivox {

namespace {

std::atomic<MessageBoxHook> messageBoxHook{nullptr};

} // namespace

int ShowNarrowMessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    if (MessageBoxHook hook = messageBoxHook.load())
        return hook(owner, text, caption, style);
    return ::MessageBoxA(owner, text, caption, style);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook)
{
    return messageBoxHook.exchange(hook);
}

} // namespace Brivox
