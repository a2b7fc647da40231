#include "foundation/extension_list.h"

#include "foundation/exception.h"

namespace Brivox {

namespace {

bool IsRefusedCharacter(wchar_t ch)
{
    // A control character could hide a different key name in the registry or the lists.
    if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F))
        return true;
    for (const wchar_t refused : L" .*?:<>|\\/\";")
        if (ch == refused)
            return true;
    return false;
}

[[noreturn]] void ThrowInvalidExtension(const String& typed)
{
    throw RuntimeException(typed + L" は不正な拡張子っぽいです");
}

} // namespace

String ValidateExtensionList(const String& text)
{
    int start = 0;
    while (start < text.Length() && text[start] == L' ')
        ++start;
    String result = text.Substring(start);
    while (result.Length() > 1 && result[0] == L'.')
        result = result.Substring(1);
    while (result.Length() > 2 && result[0] == L'*' && result[1] == L'.')
        result = result.Substring(2);
    int length = result.Length();
    while (length > 0 && result[length - 1] == L' ')
        --length;
    result = result.Substring(0, length);
    for (int i = 0; i < result.Length(); ++i)
        if (IsRefusedCharacter(result[i]))
            ThrowInvalidExtension(text);
    return result;
}

void RequireValidExtension(const String& item)
{
    if (ValidateExtensionList(item) != item)
        ThrowInvalidExtension(item);
}

} // namespace Brivox
