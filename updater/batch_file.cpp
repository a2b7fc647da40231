#include "updater/batch_file.h"

#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/process.h"
#include "foundation/text_file.h"
#include "foundation/win32.h"

#include <algorithm>
#include <utility>

namespace Brivox {

void CBatchFile::AddLine(const String& text)
{
    m_text.insert(m_text.end(), text.CStr(), text.CStr() + text.Length());
    m_text.push_back(L'\r');
    m_text.push_back(L'\n');
}

void CBatchFile::AppendArgument(const String& argument)
{
    m_text.push_back(L' ');
    m_text.insert(m_text.end(), argument.CStr(), argument.CStr() + argument.Length());
}

void CBatchFile::AddCommandLine(const String& command, std::initializer_list<String> arguments)
{
    m_text.insert(m_text.end(), command.CStr(), command.CStr() + command.Length());
    for (const String& argument : arguments)
        AppendArgument(argument);
    AddLine(String());
}

void CBatchFile::AddCommand(const String& command, const String& a1, const String& a2)
{
    AddCommandLine(command, {a1, a2});
}

void CBatchFile::AddCommand(const String& command, const String& a1, const String& a2, const String& a3)
{
    AddCommandLine(command, {a1, a2, a3});
}

String CBatchFile::GetText() const
{
    return String(m_text);
}

void CBatchFile::Save(const String& path) const
{
    std::string bytes;
    if (!ToAnsiExactly(GetText(), bytes))
        throw IOException(path + L" への書き込みに失敗しました");
    WriteFile(path, bytes.data(), static_cast<int>(bytes.size()));
}

void CBatchFile::SaveAndRun(const String& path) const
{
    Save(path);
    LaunchFile(path, SW_SHOWNORMAL);
}

String QuoteArgument(const String& text)
{
    return L"\"" + text + L"\"";
}

void LaunchFile(const String& path, int showCommand)
{
    ProcessStartInfo info(path);
    info.WorkingDirectory = CFileName::GetDirectory(path);
    info.ShowCommand = showCommand;
    // The handle goes with the returned pointer, at once.
    Process::Start(info);
}

bool ToAnsiExactly(const String& text, std::string& bytes)
{
    bytes.clear();
    if (text.Length() == 0)
        return true;
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.CStr(), text.Length(), nullptr,
                                           0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault)
        return false;
    std::string converted(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.CStr(), text.Length(), converted.data(), size,
                          nullptr, &usedDefault);
    // The way back must give the same text: some systems map a character to a look-alike even
    // when asked not to.
    std::vector<wchar_t> back(static_cast<std::size_t>(text.Length()) + 1);
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, converted.data(), size,
                                             back.data(), static_cast<int>(back.size()));
    if (usedDefault || length != text.Length() ||
        !std::equal(back.begin(), back.begin() + length, text.CStr()))
        return false;
    bytes = std::move(converted);
    return true;
}

} // namespace Brivox
