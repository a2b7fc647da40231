// The commands that open files and folders, close the list, set and use marks, act on the current
// file and save and open bookmarks. Every change of the list goes through the document, which
// takes its lock for the change; a cancel or a No changes nothing.
#include "foundation/clipboard.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/shell.h"
#include "foundation/string_builder.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"
#include "viewer/file_commands.h"

using Brivox::CFileName;
using Brivox::String;

namespace {

String ResolveFromProgramFolder(const String& name)
{
    return CFileName(name, CFileName::ExecutableDirectory()).ToString();
}

String MarkedFilesTitle(int count, const wchar_t* action)
{
    return L"マークしたファイル " + Brivox::IntToString(count) + action;
}

// Shell paths in double quotes, so that commas and blanks stay in one argument.
String Quoted(const String& path)
{
    return L"\"" + path + L"\"";
}

} // namespace

void SetUpSaveDialog(Brivox::CFileDialog& dialog, const String& path, const String& title,
                     const String& proposedName, const String& folder)
{
    const String extension = CFileName::GetExtension(CFileName::GetFileName(path));
    dialog.SetTitle(title);
    dialog.ClearFilters();
    dialog.AddFilter(extension.ToUpper() + L" Files", L"*." + extension);
    dialog.AddFilter(L"All Files", L"*.*");
    dialog.SetDefaultExtension(extension);
    dialog.SetInitialFileName(proposedName);
    dialog.SetFolder(folder);
}

bool CAppWindow::RunFileCommand(int command)
{
    switch (command) {
    case CmdOpenFile:
        m_fileDialog.SetTitle(L"ファイルを開く");
        m_fileDialog.ClearFilters();
        m_fileDialog.AddFilter(L"All files", L"*.*");
        m_fileDialog.SetDefaultExtension(String());
        m_fileDialog.SetFolder(ResolveFromProgramFolder(m_settings.GetRaw(L"CurrentDir")));
        if (m_fileDialog.ShowOpenMulti())
            OpenFiles(m_fileDialog.GetResults(), false);
        return true;
    case CmdOpenFolder:
        if (const std::optional<String> folder = ChooseFolder(L"フォルダを開く")) {
            OpenFiles({*folder}, false);
            m_settings.SetRaw(L"CurrentDir", *folder);
        }
        return true;
    case CmdCloseAll:
        if (ConfirmClose())
            m_document->Close();
        return true;
    case CmdExternalViewer1:
        RunExternalViewer(L"ExViewer0");
        return true;
    case CmdExternalViewer2:
        RunExternalViewer(L"ExViewer1");
        return true;
    case CmdExternalViewer3:
        RunExternalViewer(L"ExViewer2");
        return true;
    case CmdSetWallpaper:
        if (m_document->HasCurrentImage())
            m_document->SetAsWallpaper(
                CFileName::AppendSeparator(ResolveFromProgramFolder(m_settings.GetRaw(L"WallpaperDir"))),
                m_settings.GetBool(L"WallpaperUnifyFile"), m_settings.GetRaw(L"WallpaperUnifyFileName"),
                m_settings.GetBool(L"WallpaperResize"));
        return true;
    default:
        return RunMarkCommand(command) || RunCurrentFileCommand(command) || RunBookmarkCommand(command);
    }
}

bool CAppWindow::RunMarkCommand(int command)
{
    CDocument& document = *m_document;
    switch (command) {
    case CmdSetMark:
        document.SetMark(true);
        return true;
    case CmdClearMark:
        document.SetMark(false);
        return true;
    case CmdInvertAllMarks:
        document.InvertAllMarks();
        return true;
    case CmdInvertMarksToCurrent:
        document.InvertMarksToCurrent();
        return true;
    default:
        break;
    }

    const int marked = document.CountMarked();
    switch (command) {
    case CmdClearAllMarks:
        if (marked > 0 && Confirm(L"全てのマークを解除の確認",
                                  Brivox::IntToString(marked) + L" 個のマークを全て解除しますか?"))
            document.ClearMarks();
        return true;
    case CmdRemoveMarkedFromList:
        if (marked > 0 &&
            Confirm(L"リストから削除の確認", MarkedFilesTitle(marked, L" 個をリストから削除しますか?"))) {
            document.RemoveMarked(false, false, nullptr);
            document.Reload(false);
        }
        return true;
    case CmdDeleteMarkedFiles:
        if (marked > 0 &&
            Confirm(L"ファイル削除の確認", MarkedFilesTitle(marked, L" 個を完全に削除しますか?"))) {
            document.RemoveMarked(true, m_settings.GetBool(L"DeleteByShell"), m_window->GetHandle());
            document.Reload(false);
        }
        return true;
    case CmdMoveMarkedFiles:
        if (marked <= 0)
            return true;
        if (const std::optional<String> folder = ChooseFolder(MarkedFilesTitle(marked, L" 個を移動"))) {
            m_settings.SetRaw(L"CurrentDir", *folder);
            document.MoveMarkedTo(*folder, m_settings.GetBool(L"RemoveOnMove"));
            document.Reload(false);
        }
        return true;
    case CmdCopyMarkedFiles:
        if (marked <= 0)
            return true;
        if (const std::optional<String> folder = ChooseFolder(MarkedFilesTitle(marked, L" 個を複製"))) {
            m_settings.SetRaw(L"CurrentDir", *folder);
            document.CopyMarkedTo(*folder);
        }
        return true;
    case CmdCopyMarkedFileNames:
        if (marked > 0)
            Brivox::SetClipboardText(Brivox::JoinStrings(L"\r\n", document.GetMarkedPaths()));
        return true;
    default:
        return false;
    }
}

bool CAppWindow::RunCurrentFileCommand(int command)
{
    switch (command) {
    case CmdOpenImageFolder:
    case CmdCopyFileName:
    case CmdRemoveFromList:
    case CmdDeleteFile:
    case CmdMoveFile:
    case CmdCopyFile:
        break;
    default:
        return false;
    }
    CDocument& document = *m_document;
    if (!document.HasCurrentImage())
        return true;
    const String path = document.GetCurrentPathOrDefault();
    switch (command) {
    case CmdOpenImageFolder:
        m_startProcess(Brivox::ProcessStartInfo(L"Explorer.exe",
                                                L"/select," + Quoted(document.GetCurrentOutermostPath())));
        break;
    case CmdCopyFileName:
        Brivox::SetClipboardText(path);
        break;
    case CmdRemoveFromList:
        if (!m_settings.GetBool(L"QuestionRemoveFile") ||
            Confirm(L"リストから削除の確認", L"'" + path + L"' をリストから削除しますか?"))
            document.RemoveCurrentFromList();
        break;
    case CmdDeleteFile:
        if (Confirm(L"ファイル削除の確認", L"'" + path + L"' を削除しますか?"))
            document.DeleteCurrentFile(m_window->GetHandle());
        break;
    case CmdMoveFile:
        if (const std::optional<String> target = ChooseSaveTarget(L"ファイルを移動")) {
            document.MoveCurrentFile(*target);
            m_settings.SetRaw(L"CurrentDir", m_fileDialog.GetFolder());
        }
        break;
    case CmdCopyFile:
        if (const std::optional<String> target = ChooseSaveTarget(L"ファイルを複製")) {
            document.CopyCurrentFileInBackground(*target);
            m_settings.SetRaw(L"CurrentDir", m_fileDialog.GetFolder());
        }
        break;
    default:
        break;
    }
    return true;
}

bool CAppWindow::RunBookmarkCommand(int command)
{
    switch (command) {
    case CmdSaveBookmark:
        if (!m_document->HasCurrentImage())
            return true;
        if (const std::optional<String> path = ChooseBookmark(L"ブックマーク書き出すぞダイアログ", true))
            m_document->SaveBookmark(*path, true);
        return true;
    case CmdLoadBookmark:
        if (const std::optional<String> path = ChooseBookmark(L"ブックマーク読み込むぞダイアログ", false))
            m_document->OpenBookmark(*path, true);
        return true;
    case CmdEditBookmark:
        if (const std::optional<String> path =
                ChooseBookmark(L"ブックマークをエディタで開くぞダイアログ", false))
            m_startProcess(
                Brivox::ProcessStartInfo(Brivox::FindAssociatedApplication(L"txt"), Quoted(*path)));
        return true;
    default:
        return false;
    }
}

bool CAppWindow::Confirm(const String& caption, const String& text)
{
    return m_window->MessageBox(MB_YESNO | MB_ICONQUESTION, caption, text) == IDYES;
}

std::optional<String> CAppWindow::ChooseFolder(const String& title)
{
    m_folderDialog.SetTitle(title);
    m_folderDialog.SetFolder(m_settings.GetRaw(L"CurrentDir"));
    if (!m_folderDialog.Show())
        return std::nullopt;
    return m_folderDialog.GetFolder();
}

std::optional<String> CAppWindow::ChooseSaveTarget(const String& title)
{
    SetUpSaveDialog(m_fileDialog, m_document->GetCurrentPathOrDefault(), title, BuildSaveFileName(),
                    ResolveFromProgramFolder(m_settings.GetRaw(L"CurrentDir")));
    if (!m_fileDialog.ShowSave())
        return std::nullopt;
    return m_fileDialog.GetResult(0);
}

std::optional<String> CAppWindow::ChooseBookmark(const String& title, bool save)
{
    m_fileDialog.SetTitle(title);
    m_fileDialog.ClearFilters();
    m_fileDialog.AddFilter(L"KNB File", L"*.knb");
    m_fileDialog.SetDefaultExtension(L"knb");
    const String& bookmark = m_document->GetBookmarkPath();
    if (bookmark.Length() > 0) {
        m_fileDialog.SetFolder(CFileName::GetDirectory(bookmark));
        m_fileDialog.SetInitialFileName(save ? CFileName::GetFileNameWithoutExtension(bookmark)
                                             : CFileName::GetFileName(bookmark));
    } else {
        const String folder =
            CFileName::AppendSeparator(ResolveFromProgramFolder(m_settings.GetRaw(L"BookmarkDir")));
        Brivox::CreateDirectories(folder);
        m_fileDialog.SetFolder(folder);
        if (save)
            m_fileDialog.SetInitialFileName(
                m_document->GetEntryCopy(m_document->GetCurrentIndex())->GetContainerName());
    }
    if (!(save ? m_fileDialog.ShowSave() : m_fileDialog.ShowOpen()))
        return std::nullopt;
    return m_fileDialog.GetResult(0);
}
