#include "foundation/message_box.h"

#include "foundation/encoding.h"

#include <atomic>
#include <string>

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

int ShowMessageBox(HWND owner, const String& text, const String& caption, UINT flags1, UINT flags2,
                   UINT flags3, UINT flags4)
{
    const Encoding& encoding = GetDefaultEncoding();
    const std::string narrowText = encoding.ToMultiByte(text);
    const std::string narrowCaption = encoding.ToMultiByte(caption);
    return ShowNarrowMessageBox(owner, narrowText.c_str(),
                                caption.Length() > 0 ? narrowCaption.c_str() : nullptr,
                                flags1 | flags2 | flags3 | flags4);
}

int ShowMessageBoxWithFlags(HWND owner, const String& text, const String& caption, UINT flags1, UINT flags2)
{
    return ShowMessageBox(owner, text, caption, flags1, flags2, 0, 0);
}

int ShowMessageBoxOk(HWND owner, const String& text, const String& caption)
{
    return ShowMessageBox(owner, text, caption, MB_OK, 0, 0, 0);
}

} // namespace Brivox
