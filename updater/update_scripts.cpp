#include "updater/update_scripts.h"

#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/win32.h"

#include <cwchar>
#include <string>

namespace Brivox {

namespace {

// A move that still fails after this many tries (about a second apart) is given up.
const wchar_t* const moveFileLines[] = {
    L"mkdir %2",
    L"set kanoru_try=0",
    L":retry",
    L"move /Y %1 %2",
    L"if not exist %1 exit /b 0",
    L"set /a kanoru_try+=1",
    L"if %kanoru_try% geq 120 exit /b 1",
    L"ping -n 2 127.0.0.1 >nul",
    L"goto retry",
};

const wchar_t installedFileName[] = L"$installed$.cfg";

bool IsControlCharacter(wchar_t ch)
{
    return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F);
}

} // namespace

bool IsSafeScriptArgument(const String& text)
{
    // Quotes end the argument, '%' and '!' expand variables ('%' even twice through "call"), the
    // others are operators outside quotes.
    static const wchar_t refused[] = L"\"%&^!|<>";
    const bool asciiOnly = ::GetOEMCP() != ::GetACP();
    for (int i = 0; i < text.Length(); ++i) {
        const wchar_t ch = text[i];
        if (IsControlCharacter(ch) || std::wcschr(refused, ch) || (asciiOnly && ch > 0x7F))
            return false;
    }
    std::string bytes;
    return ToAnsiExactly(text, bytes);
}

namespace {

void CheckArgument(const String& argument)
{
    if (!IsSafeScriptArgument(argument))
        throw RuntimeException(L"'" + argument + L"' は更新に使用できないファイル名です");
}

// The argument in double quotes, once it has been checked.
String Quoted(const String& argument)
{
    CheckArgument(argument);
    return QuoteArgument(argument);
}

} // namespace

CUpdateScripts::CUpdateScripts(const String& temporaryFolder, const String& programFolder,
                               const String& executablePath, const std::vector<UpdateScriptEntry>& entries)
    : m_moveFilePath(temporaryFolder + L"$movefile$.bat"), m_updatePath(temporaryFolder + L"$update$.bat")
{
    CheckArgument(m_updatePath);
    for (const wchar_t* line : moveFileLines)
        m_moveFile.AddLine(line);

    const String moveFile = Quoted(m_moveFilePath);
    for (const UpdateScriptEntry& entry : entries) {
        const String source = CFileName(entry.Src, temporaryFolder);
        const String destination = CFileName::TrimTrailingSeparator(CFileName(entry.Dst, programFolder));
        m_update.AddCommand(L"call", moveFile, Quoted(source), Quoted(destination));
        // An entry that could not be moved ends the installation: the rest stays as it was.
        m_update.AddLine(L"if errorlevel 1 goto failed");
    }
    // Recorded as installed only once every entry is in place.
    m_update.AddCommand(L"move", L"/Y", Quoted(temporaryFolder + installedFileName),
                        Quoted(CFileName::AppendSeparator(programFolder) + installedFileName));
    m_update.AddLine(L":failed");
    // The script runs in the temporary folder, which it removes.
    m_update.AddLine(L"cd ..");
    m_update.AddCommand(L"start", L"\"\"", Quoted(executablePath));
    m_update.AddCommand(L"rmdir", L"/S /Q", Quoted(temporaryFolder));
}

void CUpdateScripts::Save() const
{
    m_moveFile.Save(m_moveFilePath);
    m_update.Save(m_updatePath);
}

void CUpdateScripts::SaveAndRun() const
{
    m_moveFile.Save(m_moveFilePath);
    m_update.SaveAndRun(m_updatePath);
}

} // namespace Brivox
