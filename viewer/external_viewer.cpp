#include "viewer/external_viewer.h"

#include "foundation/file_name.h"
#include "viewer/app_window.h"
#include "viewer/title.h"

using Brivox::CFileName;
using Brivox::String;

Brivox::ProcessStartInfo MakeExternalViewerStart(const String& source, const String& program,
                                                 const String& argumentTemplate, const String& folderTemplate)
{
    // The caption's first five variables, taken from the source file.
    STitleFacts facts;
    facts.path = source;
    std::vector<std::pair<String, String>> variables = TitleVariables(facts);
    variables.resize(5);
    const std::vector<std::pair<String, String>> folder{variables.front()};
    Brivox::ProcessStartInfo start(CFileName(program).ToString(),
                                   ExpandTemplateOnce(argumentTemplate, variables));
    start.WorkingDirectory = CFileName(ExpandTemplateOnce(folderTemplate, folder)).ToString();
    start.ShowCommand = SW_SHOWNORMAL;
    start.ErrorDialog = false;
    return start;
}

void CAppWindow::RunExternalViewer(const String& prefix)
{
    if (!m_document->HasCurrentImage())
        return;
    // The viewer runs on by itself: its process handle is closed at once.
    (void)Brivox::Process::Start(
        MakeExternalViewerStart(m_document->GetCurrentOutermostPath(), m_settings.GetRaw(prefix + L"File"),
                                m_settings.GetRaw(prefix + L"Arg"), m_settings.GetRaw(prefix + L"Dir")));
}
