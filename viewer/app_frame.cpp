#include "viewer/app_frame.h"

#include "foundation/command_line.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/message_queue.h"
#include "foundation/string_builder.h"
#include "foundation/text_file.h"
#include "ui/wnd.h"
#include "viewer/app_window.h"

#include <stdexcept>

namespace Brivox {

int GetBuildNumber()
{
    return 219;
}

String GetBuildString()
{
    return String(L"build-") + IntToString(GetBuildNumber());
}

CCommandLine::CCommandLine(const char* entryCommandLine)
    : CCommandLine(entryCommandLine, entryCommandLine && *entryCommandLine ? GetCommandLineText() : String())
{
}

CCommandLine::CCommandLine(const char* entryCommandLine, const String& processCommandLine)
{
    if (!entryCommandLine || !*entryCommandLine)
        return;
    m_arguments = SplitCommandLine(processCommandLine);
    if (!m_arguments.empty())
        m_arguments.erase(m_arguments.begin());
}

String CCommandLine::GetPath(int index, const String& baseFolder) const
{
    return AppendSeparatorIfDirectory(CFileName::Resolve(GetArgument(index), baseFolder));
}

void CAppFrameBase::Init(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
                         int showCommand)
{
    m_instance = instance;
    m_previousInstance = previousInstance;
    m_commandLine = commandLine;
    m_showCommand = showCommand;
}

int CAppFrameBase::Execute()
{
    try {
        return Run();
    } catch (const std::exception& error) {
        // A quit message left by an ended window loop would close the box at once.
        DrainQuitMessages();
        OnError(std::runtime_error(error.what()));
        // The program did not do what it was started for.
        return 1;
    }
}

void CAppFrameBase::OnError(const std::exception& error)
{
    CWnd().ShowExceptionBox(L"エラー発生：終了します", error);
}

} // namespace Brivox

SStartArguments ReadStartArguments(const Brivox::CCommandLine& commandLine,
                                   const Brivox::String& currentFolder)
{
    SStartArguments start;
    for (int i = 0; i < commandLine.GetCount(); ++i) {
        const Brivox::String& argument = commandLine.GetArgument(i);
        if (argument == Brivox::String(L"/version")) {
            start.writeVersion = true;
            start.paths.clear();
            return start;
        }
        if (argument.Length() >= 5 && argument.Substring(0, 5) == Brivox::String(L"/cfg:"))
            start.baseName = argument.Substring(5);
        else
            start.paths.push_back(commandLine.GetPath(i, currentFolder));
    }
    return start;
}

void WriteVersionFile()
{
    Brivox::WriteTextFile(Brivox::CFileName::FromExecutableDirectory(L"version.txt").ToString(),
                          Brivox::IntToString(Brivox::GetBuildNumber()));
}

int CAppFrame::Run()
{
    const SStartArguments start =
        ReadStartArguments(Brivox::CCommandLine(m_commandLine), Brivox::GetCurrentDirectoryWithSeparator());
    if (start.writeVersion) {
        WriteVersionFile();
        return 0;
    }
    CAppWindow window(start.baseName);
    return window.Run(start.paths, m_showCommand);
}
