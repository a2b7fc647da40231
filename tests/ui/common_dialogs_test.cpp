#include "ui/common_dialogs.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"
#include "support/thread_dialog_driver.h"
#include "support/window_test_bed.h"
#include "ui/window_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using Brivox::CColorDialog;
using Brivox::CFileDialog;
using Brivox::CFileName;
using Brivox::CFolderDialog;
using Brivox::String;

using KanoruTest::FileNameField;
using KanoruTest::PressButton;
using KanoruTest::SelectedFolderName;
using KanoruTest::ThreadDialogDriver;

namespace {

const COLORREF Unchanged = RGB(1, 2, 3);

// A dialog whose custom colours all hold a mark, to see which ones a text reaches.
void MarkCustomColors(CColorDialog& dialog)
{
    for (int i = 0; i < CColorDialog::CustomColorCount; ++i)
        dialog.SetCustomColor(i, Unchanged);
}

std::string Cleaned(std::string name)
{
    Brivox::CleanInvalidFileName(name.data());
    return name;
}

std::string Ansi(const String& text)
{
    return Brivox::GetDefaultEncoding().ToMultiByte(text);
}

// A file dialog whose system call is a script: each call records what the dialog was given and
// answers with the next scripted outcome.
class ScriptedFileDialog : public CFileDialog
{
public:
    struct Answer
    {
        bool chosen;
        DWORD error;
        // Written into the file buffer when chosen; may hold NULs.
        std::string file;
    };
    struct Call
    {
        DWORD structSize;
        DWORD flags;
        bool save;
        std::string file;
        // The filter buffer up to and including its closing NUL; empty when none was given.
        std::string filter;
        const char* initialDir;
        std::string initialDirText;
        bool hasTitle;
        bool hasDefaultExtension;
        std::string defaultExtension;
        String currentFolder;
    };

    std::vector<Answer> answers;
    std::vector<Call> calls;

protected:
    bool CallDialog(OPENFILENAMEA& block, bool save, DWORD& error) override
    {
        Call call{};
        call.structSize = block.lStructSize;
        call.flags = block.Flags;
        call.save = save;
        call.file = block.lpstrFile;
        if (block.lpstrFilter) {
            const char* end = block.lpstrFilter;
            while (end[0] != '\0' || end[1] != '\0')
                ++end;
            call.filter.assign(block.lpstrFilter, end + 2);
        }
        call.initialDir = block.lpstrInitialDir;
        call.initialDirText = block.lpstrInitialDir ? block.lpstrInitialDir : "";
        call.hasTitle = block.lpstrTitle != nullptr;
        call.hasDefaultExtension = block.lpstrDefExt != nullptr;
        call.defaultExtension = block.lpstrDefExt ? block.lpstrDefExt : "";
        call.currentFolder = Brivox::GetCurrentDirectoryString();
        calls.push_back(call);

        const Answer answer = answers.at(calls.size() - 1);
        if (answer.chosen)
            std::copy(answer.file.begin(), answer.file.end(), block.lpstrFile);
        error = answer.error;
        return answer.chosen;
    }
};

std::string WithNuls(std::initializer_list<std::string> parts)
{
    std::string bytes;
    for (const std::string& part : parts) {
        bytes += part;
        bytes += '\0';
    }
    return bytes + '\0';
}

} // namespace

TEST(ColorText, ToStringThenFromStringGivesBackAllColors)
{
    CColorDialog source;
    source.SetColor(RGB(10, 20, 30));
    for (int i = 0; i < CColorDialog::CustomColorCount; ++i)
        source.SetCustomColor(i, RGB(i * 16, 255 - i, i));
    CColorDialog target;
    target.FromString(source.ToString());
    EXPECT_EQ(target.GetColor(), RGB(10, 20, 30));
    for (int i = 0; i < CColorDialog::CustomColorCount; ++i)
        EXPECT_EQ(target.GetCustomColor(i), RGB(i * 16, 255 - i, i)) << i;
}

TEST(ColorText, EveryItemEndsWithABlank)
{
    CColorDialog dialog;
    dialog.SetColor(RGB(255, 0, 128));
    String text = dialog.ToString();
    EXPECT_EQ(text.Substring(0, 10), String(L"255,0,128 "));
    EXPECT_EQ(text.Length(), 10 + 16 * 6);
}

TEST(ColorText, TheOlderFormSetsOnlyTheItemsItHolds)
{
    CColorDialog dialog;
    MarkCustomColors(dialog);
    dialog.FromString(L"255:0:0-0:255:0");
    EXPECT_EQ(dialog.GetColor(), RGB(255, 0, 0));
    EXPECT_EQ(dialog.GetCustomColor(0), RGB(0, 255, 0));
    for (int i = 1; i < CColorDialog::CustomColorCount; ++i)
        EXPECT_EQ(dialog.GetCustomColor(i), Unchanged) << i;
}

TEST(ColorText, TwoBlanksShiftTheFollowingItemsByOne)
{
    CColorDialog dialog;
    MarkCustomColors(dialog);
    dialog.FromString(L"1,1,1  2,2,2 ");
    EXPECT_EQ(dialog.GetColor(), RGB(1, 1, 1));
    EXPECT_EQ(dialog.GetCustomColor(0), RGB(0, 0, 0));
    EXPECT_EQ(dialog.GetCustomColor(1), RGB(2, 2, 2));
    EXPECT_EQ(dialog.GetCustomColor(2), RGB(0, 0, 0)); // the empty piece after the last blank
    EXPECT_EQ(dialog.GetCustomColor(3), Unchanged);
}

TEST(ColorText, UnreadableNumbersAreZeroAndValuesAreCutTo8Bits)
{
    struct Case
    {
        const wchar_t* text;
        COLORREF color;
    };
    const Case cases[] = {
        {L"x,y,z 0,0,0", RGB(0, 0, 0)},         {L"7,x,9 0,0,0", RGB(7, 0, 0)}, {L"7 0,0,0", RGB(7, 0, 0)},
        {L"256,257,511 0,0,0", RGB(0, 1, 255)}, {L"garbage", RGB(0, 0, 0)},     {L"", RGB(0, 0, 0)},
    };
    for (const Case& c : cases) {
        CColorDialog dialog;
        dialog.SetColor(RGB(9, 9, 9));
        dialog.FromString(c.text);
        EXPECT_EQ(dialog.GetColor(), c.color) << String(c.text).CStr();
    }
}

TEST(FileNameCleaning, ReplacesWhatANameCannotHold)
{
    struct Case
    {
        std::string name;
        std::string cleaned;
    };
    const Case cases[] = {
        {"a?b.png", "a-b.png"},
        {"C:\\x\\a:b", "C:-x-a-b"},
        {"a/b\"c*d<e>f|g", "a-b-c-d-e-f-g"},
        {"ab:c", "ab:c"},
        {"abc:d", "abc-d"},
        // A Shift_JIS character whose trail byte has the value of '|' keeps it.
        {"\x83\x7C?.png", "\x83\x7C-.png"},
        // ... and one whose trail byte has the value of '\\'.
        {"\x95\x5C.png", "\x95\x5C.png"},
        // A lead byte at the very end does not step past the NUL.
        {"a?\x83", "a-\x83"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cleaned(c.name), c.cleaned) << c.name;
}

TEST(FileDialog, TheFilterBufferHoldsEachFilterAsShownTextAndPattern)
{
    ScriptedFileDialog dialog;
    dialog.AddFilter(L"画像", L"*.png;*.jpg");
    dialog.AddFilter(L"All", L"*.*");
    dialog.answers = {{false, 0, ""}, {false, 0, ""}};
    EXPECT_FALSE(dialog.ShowOpen());
    const char rest[] = " (*.png;*.jpg)\0*.png;*.jpg\0All (*.*)\0*.*\0\0";
    const std::string expected = Ansi(L"画像") + std::string(rest, sizeof(rest) - 1);
    EXPECT_EQ(dialog.calls[0].filter, expected);

    dialog.ClearFilters();
    EXPECT_FALSE(dialog.ShowOpen());
    EXPECT_EQ(dialog.calls[1].filter, "") << "a cleared buffer gives no filter at all";
}

TEST(FileDialog, TheBlockHasItsOwnSizeAndEmptyTextsLeaveTheSystemsChoice)
{
    ScriptedFileDialog dialog;
    dialog.answers = {{false, 0, ""}, {false, 0, ""}};
    dialog.ShowSave();
    const auto& plain = dialog.calls[0];
    EXPECT_EQ(plain.structSize, sizeof(OPENFILENAMEA));
    EXPECT_TRUE(plain.save);
    EXPECT_EQ(plain.initialDir, nullptr);
    EXPECT_FALSE(plain.hasTitle);
    EXPECT_FALSE(plain.hasDefaultExtension);

    dialog.SetTitle(L"保存");
    dialog.SetDefaultExtension(L".png");
    dialog.ShowSave();
    EXPECT_TRUE(dialog.calls[1].hasTitle);
    EXPECT_EQ(dialog.calls[1].defaultExtension, "png");
}

TEST(FileDialog, OnlyTheSeveralFilesFormAsksForSeveralFilesAndTheInitialNameServesOneRun)
{
    ScriptedFileDialog dialog;
    dialog.answers = {{false, 0, ""}, {false, 0, ""}};
    const DWORD multi = OFN_EXPLORER | OFN_ALLOWMULTISELECT;
    dialog.SetInitialFileName(L"最初.png");
    dialog.ShowOpenMulti();
    dialog.ShowOpen();
    EXPECT_EQ(dialog.calls[0].flags & multi, multi);
    EXPECT_EQ(dialog.calls[0].file, Ansi(L"最初.png"));
    EXPECT_EQ(dialog.calls[1].flags & multi, 0u);
    EXPECT_EQ(dialog.calls[1].file, "");
}

TEST(FileDialog, TheAnswerGivesTheResultsAndTheirFolder)
{
    struct Case
    {
        bool multi;
        std::string answer;
        std::vector<String> results;
        String folder;
    };
    const Case cases[] = {
        {true, WithNuls({"C:\\pics\\a.png"}), {L"C:\\pics\\a.png"}, L"C:\\pics\\"},
        {true,
         WithNuls({"C:\\pics", "a.png", "b.png", "c.png"}),
         {L"C:\\pics\\a.png", L"C:\\pics\\b.png", L"C:\\pics\\c.png"},
         L"C:\\pics\\"},
        {true, WithNuls({"C:\\", "a.png", "b.png"}), {L"C:\\a.png", L"C:\\b.png"}, L"C:\\"},
        {true, WithNuls({Ansi(L"C:\\画像"), Ansi(L"表.png")}), {L"C:\\画像\\表.png"}, L"C:\\画像\\"},
        {false, WithNuls({"C:\\pics\\a.png"}), {L"C:\\pics\\a.png"}, L"C:\\pics\\"},
    };
    for (const Case& c : cases) {
        ScriptedFileDialog dialog;
        dialog.answers = {{true, 0, c.answer}};
        const bool chosen = c.multi ? dialog.ShowOpenMulti() : dialog.ShowOpen();
        ASSERT_TRUE(chosen);
        EXPECT_EQ(dialog.GetResults(), c.results) << c.answer;
        EXPECT_EQ(dialog.GetFolder(), c.folder) << c.answer;
    }
}

TEST(FileDialog, AnInvalidInitialNameIsCleanedAndTheDialogShownOnceMore)
{
    ScriptedFileDialog dialog;
    dialog.SetInitialFileName(L"a?b.png");
    dialog.answers = {{false, FNERR_INVALIDFILENAME, ""}, {true, 0, WithNuls({"C:\\a-b.png"})}};
    ASSERT_TRUE(dialog.ShowSave());
    ASSERT_EQ(dialog.calls.size(), 2u);
    EXPECT_EQ(dialog.calls[0].file, "a?b.png");
    EXPECT_EQ(dialog.calls[1].file, "a-b.png");
    EXPECT_TRUE(dialog.calls[1].save);
    EXPECT_EQ(dialog.GetResults(), std::vector<String>{L"C:\\a-b.png"});
}

TEST(FileDialog, AFailureThrowsWithItsCodeAfterAtMostOneRetryAndCancelIsFalse)
{
    struct Case
    {
        std::vector<ScriptedFileDialog::Answer> answers;
        std::size_t calls;
        const wchar_t* message; // null: the run answers false
    };
    const Case cases[] = {
        {{{false, 0, ""}}, 1, nullptr},
        {{{false, CDERR_DIALOGFAILURE, ""}}, 1, L"なんかエラーっぽいです。エラーコード：65535"},
        {{{false, FNERR_INVALIDFILENAME, ""}, {false, FNERR_INVALIDFILENAME, ""}},
         2,
         L"なんかエラーっぽいです。エラーコード：12290"},
        {{{false, FNERR_INVALIDFILENAME, ""}, {false, 0, ""}}, 2, nullptr},
    };
    for (const Case& c : cases) {
        ScriptedFileDialog dialog;
        dialog.answers = c.answers;
        dialog.SetInitialFileName(L"a?b");
        if (c.message) {
            try {
                dialog.ShowSave();
                ADD_FAILURE() << "no exception";
            } catch (const Brivox::RuntimeException& e) {
                EXPECT_EQ(std::string(e.what()), Ansi(c.message));
            }
        } else {
            EXPECT_FALSE(dialog.ShowSave());
        }
        EXPECT_EQ(dialog.calls.size(), c.calls);
    }
}

TEST(FileDialog, TheRunStartsInTheDialogsFolderAndPutsTheCurrentFolderBackAlsoWhenItThrows)
{
    Brivox::CTempFolder folder(L"filedlg");
    folder.Create();
    const String start = CFileName::AppendSeparator(folder.GetPath());
    const String before = Brivox::GetCurrentDirectoryString();
    for (DWORD error : {DWORD{0}, DWORD{CDERR_DIALOGFAILURE}}) {
        ScriptedFileDialog dialog;
        // A folder that does not exist yet starts the dialog on its nearest existing parent.
        dialog.SetFolder(start + L"missing\\deeper");
        EXPECT_EQ(dialog.GetFolder(), start);
        dialog.answers = {{false, error, ""}};
        try {
            dialog.ShowOpen();
        } catch (const Brivox::RuntimeException&) {
        }
        ASSERT_EQ(dialog.calls.size(), 1u);
        EXPECT_TRUE(dialog.calls[0].currentFolder.EqualsIgnoreCase(CFileName::TrimTrailingSeparator(start)))
            << dialog.calls[0].currentFolder.CStr();
        EXPECT_EQ(dialog.calls[0].initialDirText, Ansi(start));
        EXPECT_EQ(Brivox::GetCurrentDirectoryString(), before) << error;
    }
}

// The system's dialogs themselves, driven from a helper thread.
class DesktopInputDrivenDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Create();
        start = CFileName::AppendSeparator(folder.GetPath());
        before = Brivox::GetCurrentDirectoryString();
    }

    Brivox::CTempFolder folder{L"dialogs"};
    String start;
    String before;
};

TEST_F(DesktopInputDrivenDialog, ThreeNamesInTheSeveralFilesFormGiveThreeResultsInTheChosenFolder)
{
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"})
        Brivox::WriteTextFile(start + name, L"x");
    CFileDialog dialog;
    dialog.SetFolder(start);
    dialog.SetTitle(L"Kanoru several files test");
    bool chosen = false;
    {
        ThreadDialogDriver driver(::GetCurrentThreadId(), [](HWND dialogWindow) {
            ::SetDlgItemTextW(dialogWindow, FileNameField, L"\"a.txt\" \"b.txt\" \"c.txt\"");
            PressButton(dialogWindow, IDOK);
        });
        chosen = dialog.ShowOpenMulti();
        EXPECT_TRUE(driver.Acted());
    }
    ASSERT_TRUE(chosen);
    ASSERT_EQ(dialog.GetResults().size(), 3u);
    EXPECT_TRUE(dialog.GetFolder().EqualsIgnoreCase(start)) << dialog.GetFolder().CStr();
    const wchar_t* names[] = {L"a.txt", L"b.txt", L"c.txt"};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(dialog.GetResult(i).EqualsIgnoreCase(dialog.GetFolder() + names[i]))
            << dialog.GetResult(i).CStr();
    EXPECT_EQ(Brivox::GetCurrentDirectoryString(), before);
}

TEST_F(DesktopInputDrivenDialog, CancelGivesFalseAndKeepsTheCurrentFolder)
{
    CFileDialog dialog;
    dialog.SetFolder(start);
    bool chosen = true;
    {
        ThreadDialogDriver driver(::GetCurrentThreadId(),
                                  [](HWND dialogWindow) { PressButton(dialogWindow, IDCANCEL); });
        chosen = dialog.ShowOpen();
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_FALSE(chosen);
    EXPECT_TRUE(dialog.GetResults().empty());
    EXPECT_EQ(Brivox::GetCurrentDirectoryString(), before);
}

TEST_F(DesktopInputDrivenDialog, AFolderDialogOnAMissingFolderAnswersItsNearestExistingParent)
{
    // The folder tree lists no hidden folders, and the temporary folder lies below one: the
    // dialog could not select a folder there.
    Brivox::CTempFolder visible(L"C:\\", L"dialogs");
    visible.Create();
    const String start = CFileName::AppendSeparator(visible.GetPath());
    // Made on this thread and shown on another, as the main window's controller does.
    CFolderDialog dialog;
    dialog.SetTitle(L"フォルダの選択");
    dialog.SetFolder(start + L"missing\\deeper\\");
    bool chosen = false;
    // The dialog selects the starting folder step by step down the tree.
    const std::wstring startName = CFileName::GetFileName(CFileName::TrimTrailingSeparator(start)).CStr();
    KanoruTest::ReadFoldersDownTo(start.CStr());
    RunOnFreshThread([&] {
        ThreadDialogDriver driver(
            ::GetCurrentThreadId(), [](HWND dialogWindow) { PressButton(dialogWindow, IDOK); },
            [&](HWND dialogWindow) { return SelectedFolderName(dialogWindow) == startName; });
        chosen = dialog.Show();
        EXPECT_TRUE(driver.Acted());
    });
    ASSERT_TRUE(chosen);
    EXPECT_TRUE(dialog.GetFolder().EqualsIgnoreCase(start)) << dialog.GetFolder().CStr();
}

TEST_F(DesktopInputDrivenDialog, AColorDialogConfirmedAtOnceAnswersTheColorItWasGiven)
{
    CColorDialog dialog;
    dialog.SetColor(RGB(12, 34, 56));
    bool chosen = false;
    {
        ThreadDialogDriver driver(::GetCurrentThreadId(),
                                  [](HWND dialogWindow) { PressButton(dialogWindow, IDOK); });
        chosen = dialog.Show();
        EXPECT_TRUE(driver.Acted());
    }
    EXPECT_TRUE(chosen);
    EXPECT_EQ(dialog.GetColor(), RGB(12, 34, 56));
}
