// The main window's commands that act on files: opening, marks, deleting, moving and copying,
// file names on the clipboard, bookmarks, Explorer and the text editor, the external viewers and
// the wallpaper. Boxes are answered through the message-box hook; the system's file and folder
// dialogs are driven from a helper thread while the main window's thread runs them. Explorer and
// the editor are never started: the controller's process starter records the starts instead.
#include "viewer/app_window.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/shell.h"
#include "foundation/temp_file.h"
#include "support/clipboard_turn.h"
#include "support/thread_dialog_driver.h"
#include "support/wide_text.h"
#include "support/window_test_bed.h"
#include "ui/common_dialogs.h"
#include "ui/window.h"
#include "viewer/command_table.h"
#include "viewer/external_viewer.h"
#include "viewer/file_commands.h"
#include "viewer_fixtures.h"

#include <commctrl.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Brivox::String;
using KanoruTest::Text;

using KanoruTest::FileNameField;
using KanoruTest::PressButton;
using KanoruTest::SelectedFolderName;
using KanoruTest::ThreadDialogDriver;

namespace {

// ---- The test program as an external viewer: started with this variable naming a file, it writes
// its command line and its current folder there and ends before any test runs.

constexpr const wchar_t* ViewerRecordVariable = L"KANORU_TEST_VIEWER_RECORD";

struct SViewerChildRole
{
    SViewerChildRole()
    {
        wchar_t record[MAX_PATH] = {};
        if (!::GetEnvironmentVariableW(ViewerRecordVariable, record, MAX_PATH))
            return;
        wchar_t folder[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, folder);
        const std::wstring text = std::wstring(::GetCommandLineW()) + L"\n" + folder;
        // Written beside the record and renamed, so the test never reads half of it.
        const std::wstring partial = std::wstring(record) + L".part";
        const HANDLE file =
            ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                        nullptr);
            ::CloseHandle(file);
            ::MoveFileW(partial.c_str(), record);
        }
        ::ExitProcess(0);
    }
} const viewerChildRole;

std::wstring ReadRecord(const std::wstring& path)
{
    const std::string bytes = ViewerFixtures::ReadAll(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::wstring ThisProgram()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// ---- The system's dialogs, driven from a helper thread.

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[MAX_PATH] = {};
    ::GetDlgItemTextW(dialog, id, text, MAX_PATH);
    return text;
}

// Types the name and presses OK.
std::function<void(HWND)> TypeAndConfirm(const std::wstring& name)
{
    return [name](HWND dialog) {
        ::SetDlgItemTextW(dialog, FileNameField, name.c_str());
        PressButton(dialog, IDOK);
    };
}

std::wstring ReadClipboardUnicode()
{
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
            text = chars;
            ::GlobalUnlock(data);
        }
    }
    ::CloseClipboard();
    return text;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Text files opened by this program, unless the system already names an editor for them (the test
// run's own Wine prefix does not); removed again when the object goes.
class TextAssociation
{
public:
    TextAssociation()
    {
        try {
            (void)Brivox::FindAssociatedApplication(L"txt");
            return;
        } catch (const std::exception&) {
            // None yet: this program stands in.
        }
        const std::wstring command = L"\"" + ThisProgram() + L"\" \"%1\"";
        m_made = Set(L".txt", L"KanoruTest.Text") && Set(L"KanoruTest.Text\\shell\\open\\command", command);
    }
    ~TextAssociation()
    {
        if (m_made) {
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"KanoruTest.Text");
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".txt");
        }
    }
    TextAssociation(const TextAssociation&) = delete;
    TextAssociation& operator=(const TextAssociation&) = delete;

private:
    static bool Set(const wchar_t* key, const std::wstring& value)
    {
        HKEY handle = nullptr;
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                              nullptr) != ERROR_SUCCESS)
            return false;
        const LONG result =
            ::RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(handle);
        return result == ERROR_SUCCESS;
    }

    bool m_made = false;
};

struct SStart
{
    std::wstring file;
    std::wstring arguments;
    std::wstring folder;
};

// A controller on its own settings files beside the test program, removed afterwards, with an
// empty list, every start of Explorer or the editor recorded.
class FileCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_root = Text(m_folder.GetPath());
        m_app = std::make_unique<CAppWindow>(BaseName);
        m_app->Start({}, SW_SHOWNORMAL);
        m_hwnd = m_app->GetWindow().GetHandle();
        m_windowThread = ::GetWindowThreadProcessId(m_hwnd, nullptr);
        m_app->SetProcessStarter([this](const Brivox::ProcessStartInfo& start) {
            m_starts.push_back({Text(start.FileName), Text(start.Arguments), Text(start.WorkingDirectory)});
        });
        // Files leave for good: the recycle bin is the desktop's trash under Wine.
        OnWindow([&] {
            Brivox::CConfig& settings = m_app->GetSettings();
            settings.SetBool(L"DeleteByShell", false);
            settings.SetBool(L"FileAddMode", false);
            settings.SetRaw(L"Titlebar", L"$(count)");
        });
    }
    void TearDown() override
    {
        // Marks left by a test are cleared by the close's own question.
        KanoruTest::MessageBoxAnswerer ok(IDOK);
        ViewerFixtures::CloseAndWait(*m_app);
        m_app.reset();
        ViewerFixtures::RemoveSettingsFiles(BaseName);
    }

    void OnWindow(const std::function<void()>& job) { m_app->RunOnWindowThread(job); }

    // The command as the dispatcher gets it, on the window's thread; its exception comes here.
    void RunCommand(int command)
    {
        OnWindow([&] {
            m_app->OnCommand(
                {m_hwnd, WM_COMMAND, static_cast<WPARAM>(CommandIdBase + command), 0, 0, nullptr});
        });
    }
    // The command with the system dialog it opens driven by the action.
    bool RunCommandWithDialog(
        int command, std::function<void(HWND)> action,
        std::function<bool(HWND)> ready = [](HWND) { return true; })
    {
        ThreadDialogDriver driver(m_windowThread, std::move(action), std::move(ready));
        RunCommand(command);
        return driver.Acted();
    }

    template <class F> auto Query(F query)
    {
        decltype(query()) result{};
        OnWindow([&] { result = query(); });
        return result;
    }
    // Opens the paths as the list, a page on show.
    void Open(const std::vector<std::wstring>& paths)
    {
        std::vector<String> list(paths.begin(), paths.end());
        OnWindow([&] { m_app->OpenFiles(list, false); });
        ASSERT_TRUE(KanoruTest::PumpUntil(
            [&] { return Query([&] { return m_app->GetDocument()->HasCurrentImage(); }); }));
    }
    // A folder of small pages below the test's folder.
    std::wstring MakePages(const std::wstring& name, const std::vector<std::wstring>& files)
    {
        const std::wstring folder = m_root + name + L"\\";
        Brivox::CreateDirectories(folder.c_str());
        for (const std::wstring& file : files)
            ViewerFixtures::WriteBars(folder + file, 60, 40, {ViewerFixtures::Red, ViewerFixtures::Blue});
        return folder;
    }

    int Count()
    {
        return Query([&] { return m_app->GetDocument()->GetFileCount(); });
    }
    int Marked()
    {
        return Query([&] { return m_app->GetDocument()->CountMarked(); });
    }
    std::wstring Setting(const wchar_t* key)
    {
        return Text(Query([&] { return m_app->GetSettings().GetRaw(key); }));
    }
    void SetSetting(const wchar_t* key, const std::wstring& value)
    {
        OnWindow([&] { m_app->GetSettings().SetRaw(key, value.c_str()); });
    }
    // The caption follows the list; it is set on the window's thread.
    bool TitleBecomes(const std::wstring& title)
    {
        return KanoruTest::PumpUntil([&] { return KanoruTest::WindowText(m_hwnd) == title; });
    }

    static constexpr const wchar_t* BaseName = L"viewer_test_file_commands";
    Brivox::CTempFolder m_folder{L"kanoru-files-"};
    std::wstring m_root;
    std::unique_ptr<CAppWindow> m_app;
    HWND m_hwnd = nullptr;
    DWORD m_windowThread = 0;
    std::vector<SStart> m_starts;
};

// The folder dialog lists no hidden folders, and the temporary folder lies below one: folders it
// must select lie in a folder of their own at the drive's root.
class FolderCommandsTest : public FileCommandsTest
{
protected:
    void SetUp() override
    {
        m_visible.Create();
        m_visibleRoot = Text(m_visible.GetPath());
        FileCommandsTest::SetUp();
    }

    // OK once the dialog shows the folder selected (it starts on "CurrentDir").
    bool ChooseStartFolder(int command, const std::wstring& folder)
    {
        const std::wstring name = Text(
            Brivox::CFileName::GetFileName(Brivox::CFileName::TrimTrailingSeparator(String(folder.c_str()))));
        KanoruTest::ReadFoldersDownTo(folder);
        return RunCommandWithDialog(
            command, [](HWND dialog) { PressButton(dialog, IDOK); },
            [name](HWND dialog) { return SelectedFolderName(dialog) == name; });
    }

    Brivox::CTempFolder m_visible{L"C:\\", L"kanoru-folders-"};
    std::wstring m_visibleRoot;
};

} // namespace

using DesktopInputFileCommands = FileCommandsTest;
using DesktopInputFolderCommands = FolderCommandsTest;

TEST_F(DesktopInputFileCommands, TheFileCommandsAreAvailable)
{
    for (const int command : {CmdOpenFile,
                              CmdOpenFolder,
                              CmdCloseAll,
                              CmdSetMark,
                              CmdClearMark,
                              CmdClearAllMarks,
                              CmdInvertAllMarks,
                              CmdInvertMarksToCurrent,
                              CmdRemoveMarkedFromList,
                              CmdDeleteMarkedFiles,
                              CmdMoveMarkedFiles,
                              CmdCopyMarkedFiles,
                              CmdCopyMarkedFileNames,
                              CmdOpenImageFolder,
                              CmdCopyFileName,
                              CmdRemoveFromList,
                              CmdDeleteFile,
                              CmdMoveFile,
                              CmdCopyFile,
                              CmdSaveBookmark,
                              CmdLoadBookmark,
                              CmdEditBookmark,
                              CmdExternalViewer1,
                              CmdExternalViewer2,
                              CmdExternalViewer3,
                              CmdSetWallpaper})
        EXPECT_TRUE(IsCommandAvailable(command)) << command;
}

TEST_F(DesktopInputFileCommands, CopyFileNamePutsThePathOnTheClipboardAlsoOutsideTheCodePage)
{
    KanoruTest::ClipboardTurn turn;
    ASSERT_TRUE(turn.Take());
    for (const wchar_t* name : {L"a.png", L"café.png"}) {
        const std::wstring folder = MakePages(name[0] == L'a' ? L"plain" : L"accent", {name});
        Open({folder + name});
        RunCommand(CmdCopyFileName);
        EXPECT_EQ(ReadClipboardUnicode(), folder + name);
    }
}

TEST_F(DesktopInputFileCommands, CopyMarkedFileNamesGivesOneLinePerMarkWithoutAFinalLineEnd)
{
    KanoruTest::ClipboardTurn turn;
    ASSERT_TRUE(turn.Take());
    const std::wstring folder = MakePages(L"three", {L"a.png", L"b.png", L"c.png"});
    Open({folder});
    RunCommand(CmdInvertAllMarks);
    ASSERT_EQ(3, Marked());
    RunCommand(CmdCopyMarkedFileNames);
    EXPECT_EQ(ReadClipboardUnicode(), folder + L"a.png\r\n" + folder + L"b.png\r\n" + folder + L"c.png");
}

TEST_F(DesktopInputFileCommands, DeleteFileAsksAndOnlyYesDeletes)
{
    const std::wstring folder = MakePages(L"two", {L"a.png", L"b.png"});
    Open({folder});
    ASSERT_TRUE(TitleBecomes(L"2"));
    {
        KanoruTest::MessageBoxAnswerer no(IDNO);
        RunCommand(CmdDeleteFile);
        const auto boxes = no.Boxes();
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(Text(boxes[0].caption), L"ファイル削除の確認");
        EXPECT_EQ(Text(boxes[0].text), L"'" + folder + L"a.png' を削除しますか?");
        EXPECT_EQ(boxes[0].owner, m_hwnd);
        EXPECT_EQ(boxes[0].style & (MB_TYPEMASK | MB_ICONMASK),
                  static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    }
    EXPECT_TRUE(Exists(folder + L"a.png"));
    EXPECT_EQ(2, Count());
    {
        KanoruTest::MessageBoxAnswerer yes(IDYES);
        RunCommand(CmdDeleteFile);
    }
    EXPECT_FALSE(Exists(folder + L"a.png"));
    EXPECT_TRUE(Exists(folder + L"b.png"));
    EXPECT_TRUE(TitleBecomes(L"1"));
}

TEST_F(DesktopInputFileCommands, AFileThatCannotBeDeletedIsReportedAndStaysInTheList)
{
    const std::wstring folder = MakePages(L"held", {L"a.png", L"b.png"});
    Open({folder});
    // Held open without sharing deletion, as another program may hold it.
    const HANDLE held = ::CreateFileW((folder + L"a.png").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::wstring error;
    {
        KanoruTest::MessageBoxAnswerer yes(IDYES);
        try {
            RunCommand(CmdDeleteFile);
        } catch (const Brivox::Exception& thrown) {
            error = Text(Brivox::GetDefaultEncoding().ToString(thrown.what()));
        }
    }
    ::CloseHandle(held);
    EXPECT_NE(std::wstring::npos, error.find(folder + L"a.png")) << error;
    EXPECT_TRUE(Exists(folder + L"a.png"));
    EXPECT_EQ(2, Count());
}

TEST_F(DesktopInputFileCommands, MarkedFileCommandsWithoutMarksAskNothing)
{
    const std::wstring folder = MakePages(L"none", {L"a.png", L"b.png"});
    Open({folder});
    KanoruTest::MessageBoxAnswerer yes(IDYES);
    for (const int command : {CmdRemoveMarkedFromList, CmdDeleteMarkedFiles, CmdClearAllMarks})
        RunCommand(command);
    EXPECT_TRUE(yes.Boxes().empty());
    EXPECT_EQ(2, Count());
    EXPECT_TRUE(Exists(folder + L"a.png"));
}

TEST_F(DesktopInputFileCommands, TwoMarksLeaveTheListAndForDeleteTheDiskToo)
{
    const struct
    {
        int command;
        const wchar_t* caption;
        const wchar_t* text;
        bool deletes;
    } cases[] = {
        {CmdRemoveMarkedFromList, L"リストから削除の確認",
         L"マークしたファイル 2 個をリストから削除しますか?", false},
        {CmdDeleteMarkedFiles, L"ファイル削除の確認", L"マークしたファイル 2 個を完全に削除しますか?", true},
    };
    for (const auto& c : cases) {
        const std::wstring folder =
            MakePages(c.deletes ? L"delete" : L"remove", {L"a.png", L"b.png", L"c.png"});
        Open({folder});
        // a and b marked.
        RunCommand(CmdSetMark);
        RunCommand(CmdNext);
        RunCommand(CmdSetMark);
        ASSERT_EQ(2, Marked());
        KanoruTest::MessageBoxAnswerer yes(IDYES);
        RunCommand(c.command);
        const auto boxes = yes.Boxes();
        ASSERT_EQ(1u, boxes.size()) << c.command;
        EXPECT_EQ(Text(boxes[0].caption), c.caption);
        EXPECT_EQ(Text(boxes[0].text), c.text);
        EXPECT_EQ(1, Count()) << c.command;
        EXPECT_EQ(0, Marked()) << c.command;
        EXPECT_EQ(Exists(folder + L"a.png"), !c.deletes) << c.command;
        EXPECT_EQ(Exists(folder + L"b.png"), !c.deletes) << c.command;
        EXPECT_TRUE(Exists(folder + L"c.png")) << c.command;
    }
}

TEST_F(DesktopInputFileCommands, ClearAllMarksAsksWithTheCount)
{
    const std::wstring folder = MakePages(L"marks", {L"a.png", L"b.png", L"c.png"});
    Open({folder});
    RunCommand(CmdInvertAllMarks);
    {
        KanoruTest::MessageBoxAnswerer no(IDNO);
        RunCommand(CmdClearAllMarks);
        ASSERT_EQ(1u, no.Boxes().size());
        EXPECT_EQ(Text(no.Boxes()[0].caption), L"全てのマークを解除の確認");
        EXPECT_EQ(Text(no.Boxes()[0].text), L"3 個のマークを全て解除しますか?");
    }
    EXPECT_EQ(3, Marked());
    KanoruTest::MessageBoxAnswerer yes(IDYES);
    RunCommand(CmdClearAllMarks);
    EXPECT_EQ(0, Marked());
}

TEST(SaveDialogSetUp, TheFileExtensionInCapitalsThenAllFiles)
{
    // What the system's dialog is given, recorded instead of shown.
    class RecordingDialog : public Brivox::CFileDialog
    {
    public:
        std::string filter;
        std::string extension;
        std::string name;
        std::string title;

    protected:
        bool CallDialog(OPENFILENAMEA& block, bool, DWORD& error) override
        {
            const char* end = block.lpstrFilter;
            while (end[0] != '\0' || end[1] != '\0')
                ++end;
            filter.assign(block.lpstrFilter, end + 2);
            extension = block.lpstrDefExt ? block.lpstrDefExt : "";
            name = block.lpstrFile;
            title = block.lpstrTitle ? block.lpstrTitle : "";
            error = 0;
            return false;
        }
    };
    RecordingDialog dialog;
    SetUpSaveDialog(dialog, L"C:\\pics\\a.JPG", L"move", L"proposed", L"C:\\");
    EXPECT_FALSE(dialog.ShowSave());
    EXPECT_EQ(dialog.filter, std::string("JPG Files (*.JPG)\0*.JPG\0All Files (*.*)\0*.*\0\0", 45));
    EXPECT_EQ(dialog.extension, "JPG");
    EXPECT_EQ(dialog.name, "proposed");
    EXPECT_EQ(dialog.title, "move");
}

TEST_F(DesktopInputFileCommands, MoveAndCopyGoWhereTheSaveDialogSaysAndRememberItsFolder)
{
    const std::wstring folder = MakePages(L"source", {L"a.png", L"b.png"});
    const std::wstring target = MakePages(L"target", {});
    for (const int command : {CmdCopyFile, CmdMoveFile}) {
        Open({folder});
        const std::wstring name = command == CmdMoveFile ? L"moved.png" : L"copied.png";
        SetSetting(L"CurrentDir", folder);
        ASSERT_TRUE(RunCommandWithDialog(command, TypeAndConfirm(target + name)));
        // The copy runs on a worker.
        EXPECT_TRUE(KanoruTest::PumpUntil([&] { return Exists(target + name); })) << command;
        EXPECT_EQ(Exists(folder + L"a.png"), command == CmdCopyFile) << command;
        EXPECT_TRUE(String(Setting(L"CurrentDir")).EqualsIgnoreCase(target)) << Setting(L"CurrentDir");
    }
}

TEST_F(DesktopInputFileCommands, ACancelledSaveDialogChangesNothing)
{
    const std::wstring folder = MakePages(L"cancel", {L"a.png", L"b.png"});
    Open({folder});
    SetSetting(L"CurrentDir", L"C:\\nowhere\\");
    for (const int command : {CmdMoveFile, CmdCopyFile})
        ASSERT_TRUE(RunCommandWithDialog(command, [](HWND dialog) { PressButton(dialog, IDCANCEL); }));
    EXPECT_TRUE(Exists(folder + L"a.png"));
    EXPECT_EQ(2, Count());
    EXPECT_EQ(Setting(L"CurrentDir"), L"C:\\nowhere\\");
}

TEST_F(DesktopInputFileCommands, TheSaveDialogProposesTheSaveNameAndTheFileTypeOfTheCurrentFile)
{
    const std::wstring folder = MakePages(L"proposal", {L"page.JPG"});
    // A PNG under a JPG name still decodes: the loaders look at the bytes.
    Open({folder});
    std::wstring proposed;
    std::wstring type;
    ASSERT_TRUE(RunCommandWithDialog(CmdMoveFile, [&](HWND dialog) {
        proposed = ItemText(dialog, FileNameField);
        wchar_t text[MAX_PATH] = {};
        const HWND types = ::GetDlgItem(dialog, cmb1);
        ::SendMessageW(types, CB_GETLBTEXT, ::SendMessageW(types, CB_GETCURSEL, 0, 0),
                       reinterpret_cast<LPARAM>(text));
        type = text;
        PressButton(dialog, IDCANCEL);
    }));
    EXPECT_EQ(proposed, L"page");
    EXPECT_EQ(type, L"JPG Files (*.JPG)");
}

TEST_F(DesktopInputFileCommands, TheSaveNameTakesTheArchiveAndItsFolderAsTheSettingsSay)
{
    ZipFixture::Entry entry;
    entry.name = "ch01/p001.png";
    const std::wstring scratch = MakePages(L"scratch", {L"p001.png"});
    entry.data = ViewerFixtures::ReadAll(scratch + L"p001.png");
    const std::wstring archive = m_root + L"Vol1.zip";
    ViewerFixtures::WriteAll(archive, ZipFixture::Build({entry}));
    Open({archive});
    const struct
    {
        bool useArchive;
        const wchar_t* separator;
        const wchar_t* name;
    } cases[] = {
        {true, L" - ", L"Vol1 - ch01 - p001"},
        {false, L" - ", L"p001"},
        {true, L"", L"Vol1ch01p001"},
    };
    for (const auto& c : cases) {
        const std::wstring name = Text(Query([&] {
            Brivox::CConfig& settings = m_app->GetSettings();
            settings.SetBool(L"SaveNameUseArchive", c.useArchive);
            settings.SetBool(L"SaveNameUseArchiveDir", c.useArchive);
            settings.SetString(L"SaveNameSeparator", c.separator);
            return m_app->BuildSaveFileName();
        }));
        EXPECT_EQ(name, c.name);
    }
    RunCommand(CmdCloseAll);
    EXPECT_EQ(Text(Query([&] { return m_app->BuildSaveFileName(); })), L"ファイル");
}

TEST_F(DesktopInputFileCommands, ExplorerAndTheEditorGetTheirPathsInQuotes)
{
    const std::wstring folder = MakePages(L"quotes", {L"a,b.png"});
    Open({folder + L"a,b.png"});
    RunCommand(CmdOpenImageFolder);
    ASSERT_EQ(1u, m_starts.size());
    EXPECT_EQ(m_starts[0].file, L"Explorer.exe");
    EXPECT_EQ(m_starts[0].arguments, L"/select,\"" + folder + L"a,b.png\"");

    // A prefix without an editor for text files gets this program as one while the test runs.
    TextAssociation association;
    const std::wstring bookmark = folder + L"my marks.knb";
    OnWindow([&] { m_app->GetDocument()->SaveBookmark(bookmark.c_str(), false); });
    ASSERT_TRUE(RunCommandWithDialog(CmdEditBookmark, TypeAndConfirm(bookmark)));
    ASSERT_EQ(2u, m_starts.size());
    EXPECT_EQ(m_starts[1].file, Text(Brivox::FindAssociatedApplication(L"txt")));
    EXPECT_EQ(m_starts[1].arguments, L"\"" + bookmark + L"\"");
}

TEST_F(DesktopInputFileCommands, ASavedBookmarkOpensAgainToTheSameListAndIsProposedNext)
{
    const std::wstring folder = MakePages(L"album", {L"a.png", L"b.png", L"c.png"});
    // Missing: the command makes it.
    const std::wstring bookmarks = m_root + L"marks\\deeper\\";
    SetSetting(L"BookmarkDir", bookmarks);
    Open({folder});
    RunCommand(CmdNext);
    // Proposed: "BookmarkDir" and the folder's name.
    ASSERT_TRUE(RunCommandWithDialog(CmdSaveBookmark, [](HWND dialog) { PressButton(dialog, IDOK); }));
    const std::wstring saved = bookmarks + L"album.knb";
    ASSERT_TRUE(Exists(saved));

    RunCommand(CmdCloseAll);
    ASSERT_EQ(0, Count());
    ASSERT_TRUE(RunCommandWithDialog(CmdLoadBookmark, TypeAndConfirm(saved)));
    EXPECT_EQ(3, Count());
    EXPECT_EQ(1, Query([&] { return m_app->GetDocument()->GetCurrentIndex(); }));
    EXPECT_EQ(Text(Query([&] { return m_app->GetDocument()->GetEntryCopy(2)->GetPath(); })),
              folder + L"c.png");

    // Now the bookmark's own folder and name.
    std::wstring proposed;
    std::wstring proposedFolder;
    ASSERT_TRUE(RunCommandWithDialog(CmdSaveBookmark, [&](HWND dialog) {
        proposed = ItemText(dialog, FileNameField);
        // The dialog answers in the code page it was made with.
        char text[MAX_PATH] = {};
        ::SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(text));
        proposedFolder = Text(Brivox::GetDefaultEncoding().ToString(text));
        PressButton(dialog, IDCANCEL);
    }));
    EXPECT_EQ(proposed, L"album");
    EXPECT_TRUE(
        Brivox::CFileName::AppendSeparator(proposedFolder.c_str()).EqualsIgnoreCase(bookmarks.c_str()))
        << proposedFolder;
}

TEST_F(DesktopInputFileCommands, TheExternalViewerGetsItsTemplatesFilledFromTheFileOnDisk)
{
    const std::wstring plain = MakePages(L"plain", {L"a.png"});
    const std::wstring odd = MakePages(L"x$(ext)", {L"a.png"});
    const std::wstring zipFolder = MakePages(L"books", {});
    ViewerFixtures::WriteTwoPagesZip(zipFolder + L"Vol1.zip", m_root + L"zipped\\");
    const std::wstring trimmed = m_root.substr(0, m_root.size() - 1);
    const struct
    {
        std::wstring open;
        std::wstring arguments;
        std::wstring folder;
    } cases[] = {
        {plain + L"a.png", L"[a.png|a|png|" + trimmed + L"\\plain]", plain},
        {zipFolder + L"Vol1.zip", L"[Vol1.zip|Vol1|zip|" + trimmed + L"\\books]", zipFolder},
        // The folder's name is a value: the variable inside it stays as it is.
        {odd + L"a.png", L"[a.png|a|png|" + trimmed + L"\\x$(ext)]", odd},
    };
    SetSetting(L"ExViewer0File", ThisProgram());
    SetSetting(L"ExViewer0Arg", L"[$(name)|$(file)|$(ext)|$(dir)]");
    SetSetting(L"ExViewer0Dir", L"$(dir)");
    for (const auto& c : cases) {
        Open({c.open});
        const std::wstring record = m_root + L"record.txt";
        ::DeleteFileW(record.c_str());
        ::SetEnvironmentVariableW(ViewerRecordVariable, record.c_str());
        RunCommand(CmdExternalViewer1);
        ::SetEnvironmentVariableW(ViewerRecordVariable, nullptr);
        ASSERT_TRUE(KanoruTest::PumpUntil([&] { return Exists(record); })) << c.open;
        const std::wstring text = ReadRecord(record);
        const std::size_t line = text.find(L'\n');
        ASSERT_NE(std::wstring::npos, line);
        const std::wstring commandLine = text.substr(0, line);
        EXPECT_EQ(commandLine.substr(commandLine.size() - c.arguments.size() - 1), L" " + c.arguments)
            << commandLine;
        EXPECT_TRUE(Brivox::CFileName::AppendSeparator(text.substr(line + 1).c_str())
                        .EqualsIgnoreCase(c.folder.c_str()))
            << text;
    }
}

TEST(ExternalViewerStart, OnlyTheFolderVariableInTheFolderAndEnvironmentReferencesExpanded)
{
    ::SetEnvironmentVariableW(L"KANORU_VIEWER_HOME", L"C:\\viewers");
    const Brivox::ProcessStartInfo start =
        MakeExternalViewerStart(L"D:\\comics\\Vol1.zip", L"%KANORU_VIEWER_HOME%/view.exe",
                                L"-open $(full) plain", L"$(dir)\\$(file)$(full)");
    ::SetEnvironmentVariableW(L"KANORU_VIEWER_HOME", nullptr);
    EXPECT_EQ(Text(start.FileName), L"C:\\viewers\\view.exe");
    EXPECT_EQ(Text(start.Arguments), L"-open D:\\comics\\Vol1.zip plain");
    EXPECT_EQ(Text(start.WorkingDirectory), L"D:\\comics\\$(file)$(full)");
    EXPECT_TRUE(start.UseShellExecute);
    EXPECT_EQ(Text(start.Verb), L"");

    const Brivox::ProcessStartInfo bare = MakeExternalViewerStart(L"D:\\a.png", L"rundll32", L"", L"");
    EXPECT_EQ(Text(bare.FileName), L"rundll32");
    EXPECT_EQ(Text(bare.WorkingDirectory), L"");
}

TEST_F(DesktopInputFileCommands, WithoutAPageTheCurrentFileCommandsDoNothing)
{
    KanoruTest::MessageBoxAnswerer yes(IDYES);
    SetSetting(L"ExViewer0File", L"C:\\no such viewer.exe");
    for (const int command : {CmdOpenImageFolder, CmdCopyFileName, CmdDeleteFile, CmdRemoveFromList,
                              CmdMoveFile, CmdSaveBookmark, CmdExternalViewer1, CmdSetWallpaper})
        RunCommand(command);
    EXPECT_TRUE(yes.Boxes().empty());
    EXPECT_TRUE(m_starts.empty());
}

TEST_F(DesktopInputFileCommands, SetWallpaperWritesIntoTheWallpaperFolder)
{
    const std::wstring folder = MakePages(L"wall", {L"a.png"});
    const std::wstring wallpapers = m_root + L"wallpapers\\";
    Brivox::CreateDirectories(wallpapers.c_str());
    SetSetting(L"WallpaperDir", wallpapers);
    OnWindow([&] { m_app->GetSettings().SetBool(L"WallpaperUnifyFile", true); });
    SetSetting(L"WallpaperUnifyFileName", L"desk");
    Open({folder + L"a.png"});
    std::vector<std::wstring> set;
    OnWindow([&] {
        m_app->GetDocument()->SetWallpaperHook([&](const String& path) { set.push_back(Text(path)); });
    });
    RunCommand(CmdSetWallpaper);
    ASSERT_EQ(1u, set.size());
    EXPECT_TRUE(String(set[0].substr(0, wallpapers.size())).EqualsIgnoreCase(wallpapers)) << set[0];
    EXPECT_TRUE(Exists(set[0]));
}

TEST_F(DesktopInputFolderCommands,
       OpenFolderCancelledKeepsCurrentDirChosenSetsItEvenWhenTheMarksBoxIsCancelled)
{
    const std::wstring first = m_visibleRoot + L"first\\";
    const std::wstring second = m_visibleRoot + L"second\\";
    for (const std::wstring& folder : {first, second}) {
        Brivox::CreateDirectories(folder.c_str());
        ViewerFixtures::WriteBars(folder + L"a.png", 60, 40, {ViewerFixtures::Green});
        ViewerFixtures::WriteBars(folder + L"b.png", 60, 40, {ViewerFixtures::Yellow});
    }
    Open({first});
    RunCommand(CmdSetMark);

    // Cancelled: nothing changes.
    const std::wstring start = second.substr(0, second.size() - 1);
    SetSetting(L"CurrentDir", start);
    ASSERT_TRUE(RunCommandWithDialog(CmdOpenFolder, [](HWND dialog) { PressButton(dialog, IDCANCEL); }));
    EXPECT_EQ(Setting(L"CurrentDir"), start);

    // Chosen, the marks box cancelled: the list stays, the folder is remembered.
    KanoruTest::MessageBoxAnswerer cancel(IDCANCEL);
    ASSERT_TRUE(ChooseStartFolder(CmdOpenFolder, second));
    ASSERT_EQ(1u, cancel.Boxes().size());
    EXPECT_EQ(Text(cancel.Boxes()[0].caption), L"確認");
    EXPECT_EQ(1, Marked());
    EXPECT_EQ(Text(Query([&] { return m_app->GetDocument()->GetEntryCopy(0)->GetPath(); })),
              first + L"a.png");
    EXPECT_TRUE(String(Setting(L"CurrentDir").c_str()).EqualsIgnoreCase(second.c_str()))
        << Setting(L"CurrentDir");
}

TEST_F(DesktopInputFolderCommands, MarkedFilesMoveIntoTheChosenFolder)
{
    const std::wstring source = m_visibleRoot + L"source\\";
    const std::wstring target = m_visibleRoot + L"target\\";
    Brivox::CreateDirectories(target.c_str());
    for (const wchar_t* name : {L"a.png", L"b.png", L"c.png"}) {
        Brivox::CreateDirectories(source.c_str());
        ViewerFixtures::WriteBars(source + name, 60, 40, {ViewerFixtures::Green});
    }
    Open({source});
    OnWindow([&] { m_app->GetSettings().SetBool(L"RemoveOnMove", true); });
    RunCommand(CmdSetMark);
    RunCommand(CmdNext);
    RunCommand(CmdSetMark);
    SetSetting(L"CurrentDir", target);
    ASSERT_TRUE(ChooseStartFolder(CmdMoveMarkedFiles, target));
    EXPECT_TRUE(Exists(target + L"a.png"));
    EXPECT_TRUE(Exists(target + L"b.png"));
    EXPECT_FALSE(Exists(source + L"a.png"));
    EXPECT_TRUE(Exists(source + L"c.png"));
    EXPECT_EQ(1, Count());
}
