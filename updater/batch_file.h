#pragma once
// Windows command scripts built line by line in memory and written in the ANSI code page, and
// their start through the shell.

#include "foundation/string.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace Brivox {

class CBatchFile
{
public:
    // The text, then CR LF.
    void AddLine(const String& text);
    // The command, then a space and each argument as it is (quote it first), then CR LF.
    void AddCommand(const String& command, const String& a1, const String& a2);
    void AddCommand(const String& command, const String& a1, const String& a2, const String& a3);

    String GetText() const;
    // Writes the text in the ANSI code page, without a byte-order mark, replacing a file there.
    // A character without an exact form in that code page throws IOException (the path and
    // " への書き込みに失敗しました") before anything is written: a best-fit stand-in could turn
    // into a character that the command processor reads as syntax.
    void Save(const String& path) const;
    // Save, then start the script without waiting for it.
    void SaveAndRun(const String& path) const;

private:
    void AppendArgument(const String& argument);
    void AddCommandLine(const String& command, std::initializer_list<String> arguments);

    std::vector<wchar_t> m_text;
};

// The text between two double quotes; quotes inside stay as they are.
String QuoteArgument(const String& text);

// Starts a file through the shell, in the folder that holds it, with a show-window code; does not
// wait and keeps no handle. Throws Win32Exception "プロセスの作成に失敗" when the shell refuses.
void LaunchFile(const String& path, int showCommand);

// The text in the ANSI code page, only when every character has its own form there (no best fit,
// no default character); false otherwise.
[[nodiscard]] bool ToAnsiExactly(const String& text, std::string& bytes);

} // namespace Brivox
