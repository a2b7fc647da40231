#include "foundation/command_line.h"

#include "foundation/encoding.h"
#include "foundation/win32.h"

#include <cwctype>

namespace Brivox {

String GetCommandLineText()
{
    if (IsWindowsNT())
        return String(::GetCommandLineW());
    return GetDefaultEncoding().ToString(std::string(::GetCommandLineA()));
}

std::vector<String> SplitCommandLine()
{
    return SplitCommandLine(GetCommandLineText());
}

std::vector<String> SplitCommandLine(const String& text)
{
    std::vector<String> arguments;
    const int n = text.Length();
    int j = 0;
    for (;;) {
        while (j < n && std::iswspace(text[j]))
            ++j;
        if (j >= n)
            break;
        if (text[j] == L'"') {
            const int close = text.IndexOf(L'"', j + 1, n - j - 1);
            if (close < 0) {
                if (j + 1 < n)
                    arguments.push_back(text.Substring(j + 1));
                break;
            }
            arguments.push_back(text.Substring(j + 1, close - j - 1));
            j = close + 1;
        } else {
            const int space = text.IndexOf(L' ', j, n - j);
            if (space < 0) {
                arguments.push_back(text.Substring(j));
                break;
            }
            arguments.push_back(text.Substring(j, space - j));
            j = space + 1;
        }
    }
    return arguments;
}

String GetModuleFileNameString()
{
    char buffer[MAX_PATH + 1] = {}; // the call does not terminate a path that fills its buffer
    ::GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return GetDefaultEncoding().ToString(std::string(buffer));
}

String GetTempPathString()
{
    char buffer[MAX_PATH + 1] = {};
    ::GetTempPathA(MAX_PATH, buffer);
    // Tested after the conversion: in a double-byte code page a trailing byte may look like '\\'.
    const String path = GetDefaultEncoding().ToString(std::string(buffer));
    return path.EndsWith(L"\\") ? path : path + L"\\";
}

} // namespace Brivox
