// The external-viewer page: its nine texts, the variable menus of its "▼" buttons and the start of
// its program chooser.
#include "settings_dialogs/config_dialog_test_support.h"

#include "foundation/file_name.h"
#include "resources/config_dialog_extern_page_ids.h"
#include "settings/config_dialog_extern_page.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace ConfigDialogTest;
using Brivox::CConfig;
using Brivox::String;

namespace {

constexpr int ExternPage = 6;

struct SViewerText
{
    const wchar_t* key;
    int editId;
};

constexpr SViewerText ViewerTexts[] = {
    {L"ExViewer0File", IDC_EXTERN_FILE0}, {L"ExViewer0Arg", IDC_EXTERN_ARG0},
    {L"ExViewer0Dir", IDC_EXTERN_DIR0},   {L"ExViewer1File", IDC_EXTERN_FILE1},
    {L"ExViewer1Arg", IDC_EXTERN_ARG1},   {L"ExViewer1Dir", IDC_EXTERN_DIR1},
    {L"ExViewer2File", IDC_EXTERN_FILE2}, {L"ExViewer2Arg", IDC_EXTERN_ARG2},
    {L"ExViewer2Dir", IDC_EXTERN_DIR2},
};

void SetSelection(const Brivox::CCtrl& edit, int start, int end)
{
    ::SendMessageA(edit.GetHandle(), EM_SETSEL, static_cast<WPARAM>(start), end);
}

HWND PageWindow(CConfigDialog& dialog)
{
    return dialog.GetPage(ExternPage)->GetWindow().GetHandle();
}

void PostToPage(CConfigDialog& dialog, int id)
{
    ::PostMessageA(PageWindow(dialog), WM_COMMAND, static_cast<WPARAM>(id), 0);
}

// The items of the menu resource's popup: id and text.
std::vector<std::pair<int, std::wstring>> MenuItems(int menuId)
{
    std::vector<std::pair<int, std::wstring>> items;
    const HMENU menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
    if (!menu)
        return items;
    const HMENU popup = ::GetSubMenu(menu, 0);
    for (int i = 0; popup && i < ::GetMenuItemCount(popup); ++i) {
        wchar_t text[128] = {};
        ::GetMenuStringW(popup, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        items.emplace_back(static_cast<int>(::GetMenuItemID(popup, i)), text);
    }
    ::DestroyMenu(menu);
    return items;
}

// Records what the program chooser was given, and answers with a chosen path or a cancel.
class RecordingFileDialog : public Brivox::CFileDialog
{
public:
    struct SRun
    {
        HWND owner = nullptr;
        std::string folder;
        std::string file;
        std::string title;
        std::string defaultExtension;
        // Up to and including the closing NUL.
        std::string filter;
        bool multi = false;
        bool save = false;
    };

    RecordingFileDialog(std::vector<SRun>& runs, std::string answer)
        : m_runs(runs), m_answer(std::move(answer))
    {
    }

protected:
    bool CallDialog(OPENFILENAMEA& block, bool save, DWORD& error) override
    {
        SRun run;
        run.owner = block.hwndOwner;
        run.folder = block.lpstrInitialDir ? block.lpstrInitialDir : "";
        run.file = block.lpstrFile;
        run.title = block.lpstrTitle ? block.lpstrTitle : "";
        run.defaultExtension = block.lpstrDefExt ? block.lpstrDefExt : "";
        if (block.lpstrFilter) {
            const char* end = block.lpstrFilter;
            while (end[0] != '\0' || end[1] != '\0')
                ++end;
            run.filter.assign(block.lpstrFilter, end + 2);
        }
        run.multi = (block.Flags & OFN_ALLOWMULTISELECT) != 0;
        run.save = save;
        m_runs.push_back(run);
        error = 0;
        if (m_answer.empty())
            return false;
        std::copy(m_answer.begin(), m_answer.end(), block.lpstrFile);
        block.lpstrFile[m_answer.size()] = '\0';
        return true;
    }

private:
    std::vector<SRun>& m_runs;
    std::string m_answer;
};

class RecordingExternPage : public CConfigDialogExternPage
{
public:
    mutable std::vector<RecordingFileDialog::SRun> runs;
    // Empty: the user cancels.
    std::string answer;

protected:
    std::unique_ptr<Brivox::CFileDialog> MakeFileDialog() const override
    {
        return std::make_unique<RecordingFileDialog>(runs, answer);
    }
};

class DialogWithRecordingPage : public CConfigDialog
{
public:
    using CConfigDialog::CConfigDialog;

    std::shared_ptr<RecordingExternPage> page = std::make_shared<RecordingExternPage>();

protected:
    std::vector<SPage> CreatePages() override
    {
        std::vector<SPage> pages = CConfigDialog::CreatePages();
        pages.at(ExternPage).page = page;
        return pages;
    }
};

std::string Ansi(const String& text)
{
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.CStr(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.CStr(), -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(static_cast<std::size_t>(size > 0 ? size - 1 : 0));
    return bytes;
}

std::string WithoutTrailingSeparator(std::string folder)
{
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

} // namespace

TEST(DesktopInputConfigDialogExternPage, TheNineTextsLoadIntoTheirEditsAndSaveUnchanged)
{
    CConfig config = DefaultConfig();
    // Quotes, variables and the old patterns that only the start-up upgrade rewrites.
    const std::wstring texts[] = {
        L"rundll32",
        L"shimgvw,ImageView_Fullscreen $(dir)\\$(file).$(ext)",
        L"$(dir)",
        L"%ProgramFiles%\\Internet Explorer\\IEXPLORE.EXE",
        L"\"$(dir)\\$(file).$(ext)\"",
        L"\"C:\\作業 フォルダ\"",
        L"\"C:\\Program Files\\viewer.exe\"",
        L"/select,\"$(full)\" -n $(name)",
        L"",
    };
    for (std::size_t i = 0; i < std::size(ViewerTexts); ++i)
        config.SetRaw(ViewerTexts[i].key, texts[i].c_str());
    const CConfig before = config;
    CConfigDialog dialog(config, nullptr, ExternPage);
    RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                  for (std::size_t i = 0; i < std::size(ViewerTexts); ++i)
                      EXPECT_EQ(Text(PageItem(d, ExternPage, ViewerTexts[i].editId)), texts[i])
                          << ViewerTexts[i].editId;
                  PostToDialog(hwnd, IDOK);
              }});
    for (const SViewerText& text : ViewerTexts)
        EXPECT_EQ(std::wstring(config.GetRaw(text.key).CStr()), std::wstring(before.GetRaw(text.key).CStr()))
            << text.editId;
}

TEST(DesktopInputConfigDialogExternPage, EachEditIsSavedIntoItsOwnKey)
{
    CConfig config = DefaultConfig();
    CConfigDialog dialog(config, nullptr, ExternPage);
    RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                  for (const SViewerText& text : ViewerTexts)
                      PageItem(d, ExternPage, text.editId).SetText(String(L"\"") + text.key + L"\" $(full)");
                  PostToDialog(hwnd, IDOK);
              }});
    for (const SViewerText& text : ViewerTexts)
        EXPECT_EQ(std::wstring(config.GetRaw(text.key).CStr()),
                  L"\"" + std::wstring(text.key) + L"\" $(full)");
}

TEST(DesktopInputConfigDialogExternPage, TheMenusOfferTheirVariables)
{
    using Items = std::vector<std::pair<int, std::wstring>>;
    EXPECT_EQ(MenuItems(IDM_EXTERN_ARG_VARIABLES),
              (Items{
                  {IDM_EXTERN_ARG_DIR, L"$(dir)\tフォルダ名"},
                  {IDM_EXTERN_ARG_FILE, L"$(file)\tファイル名"},
                  {IDM_EXTERN_ARG_EXT, L"$(ext)\t拡張子"},
                  {IDM_EXTERN_ARG_NAME, L"$(name)\tファイル名(拡張子込み)"},
                  {IDM_EXTERN_ARG_FULL, L"$(full)\tフルパス"},
              }));
    // The working folder can only be the file's own.
    EXPECT_EQ(MenuItems(IDM_EXTERN_DIR_VARIABLES), (Items{{IDM_EXTERN_DIR_DIR, L"$(dir)\tフォルダ名"}}));
}

// The "▼" opens its menu (a modal loop, ended by the next step); the item posted after it goes into
// the edit that button serves.
TEST(DesktopInputConfigDialogExternPage, AMenuVariableGoesIntoTheEditOfItsButton)
{
    const struct
    {
        int button;
        int item;
    } presses[] = {
        {IDC_EXTERN_ARG_MENU1, IDM_EXTERN_ARG_FULL}, {IDC_EXTERN_ARG_MENU0, IDM_EXTERN_ARG_DIR},
        {IDC_EXTERN_ARG_MENU2, IDM_EXTERN_ARG_FILE}, {IDC_EXTERN_ARG_MENU2, IDM_EXTERN_ARG_EXT},
        {IDC_EXTERN_ARG_MENU2, IDM_EXTERN_ARG_NAME}, {IDC_EXTERN_DIR_MENU0, IDM_EXTERN_DIR_DIR},
        {IDC_EXTERN_DIR_MENU1, IDM_EXTERN_DIR_DIR},  {IDC_EXTERN_DIR_MENU2, IDM_EXTERN_DIR_DIR},
    };
    CConfig config = DefaultConfig();
    config.SetRaw(L"ExViewer0Arg", L"first");
    config.SetRaw(L"ExViewer1Arg", L"ab-cd");
    config.SetRaw(L"ExViewer2Arg", L"");
    for (const wchar_t* key : {L"ExViewer0Dir", L"ExViewer1Dir", L"ExViewer2Dir"})
        config.SetRaw(key, L"");
    CConfigDialog dialog(config, nullptr, ExternPage);
    std::vector<Step> steps;
    steps.push_back([](CConfigDialog& d, HWND) {
        SetSelection(PageItem(d, ExternPage, IDC_EXTERN_ARG0), 0, 0);
        SetSelection(PageItem(d, ExternPage, IDC_EXTERN_ARG1), 2, 3);
    });
    for (const auto& press : presses) {
        steps.push_back([press](CConfigDialog& d, HWND) { PostToPage(d, press.button); });
        steps.push_back([press](CConfigDialog& d, HWND) {
            // Runs inside the menu's loop.
            ::EndMenu();
            PostToPage(d, press.item);
        });
        if (press.button == IDC_EXTERN_ARG_MENU1)
            steps.push_back([](CConfigDialog& d, HWND) {
                EXPECT_EQ(Text(PageItem(d, ExternPage, IDC_EXTERN_ARG1)), L"ab$(full)cd");
                EXPECT_EQ(Text(PageItem(d, ExternPage, IDC_EXTERN_ARG0)), L"first");
                EXPECT_EQ(Text(PageItem(d, ExternPage, IDC_EXTERN_ARG2)), L"");
            });
    }
    steps.push_back([](CConfigDialog&, HWND hwnd) { PostToDialog(hwnd, IDOK); });
    RunDialog(dialog, std::move(steps));
    EXPECT_EQ(std::wstring(config.GetRaw(L"ExViewer0Arg").CStr()), L"$(dir)first");
    EXPECT_EQ(std::wstring(config.GetRaw(L"ExViewer1Arg").CStr()), L"ab$(full)cd");
    EXPECT_EQ(std::wstring(config.GetRaw(L"ExViewer2Arg").CStr()), L"$(file)$(ext)$(name)");
    for (const wchar_t* key : {L"ExViewer0Dir", L"ExViewer1Dir", L"ExViewer2Dir"})
        EXPECT_EQ(std::wstring(config.GetRaw(key).CStr()), L"$(dir)") << key;
}

TEST(DesktopInputConfigDialogExternPage, AVariableItemBeforeAnyMenuChangesNoEdit)
{
    CConfig config = DefaultConfig();
    const CConfig before = config;
    CConfigDialog dialog(config, nullptr, ExternPage);
    RunDialog(dialog, {
                          [](CConfigDialog& d, HWND) { PostToPage(d, IDM_EXTERN_ARG_FULL); },
                          [](CConfigDialog&, HWND hwnd) { PostToDialog(hwnd, IDOK); },
                      });
    for (const SViewerText& text : ViewerTexts)
        EXPECT_EQ(std::wstring(config.GetRaw(text.key).CStr()), std::wstring(before.GetRaw(text.key).CStr()))
            << text.editId;
}

TEST(DesktopInputConfigDialogExternPage, TheProgramChooserStartsAtTheProgramTextAndTakesTheChoice)
{
    const std::string programFolder =
        WithoutTrailingSeparator(Ansi(Brivox::CFileName::ExecutableDirectory()));
    const struct
    {
        int button;
        int edit;
        const wchar_t* text;
        std::string folder;
        std::string file;
        std::string answer;
        const wchar_t* result;
    } cases[] = {
        // A bare name starts in the program's own folder.
        {IDC_EXTERN_BROWSE1, IDC_EXTERN_FILE1, L"rundll32", programFolder, "rundll32", "C:\\tools\\view.exe",
         L"C:\\tools\\view.exe"},
        {IDC_EXTERN_BROWSE0, IDC_EXTERN_FILE0, L"C:\\windows\\notepad.exe", "C:\\windows", "notepad.exe", "",
         L"C:\\windows\\notepad.exe"},
        {IDC_EXTERN_BROWSE2, IDC_EXTERN_FILE2, L"explorer", programFolder, "explorer", "", L"explorer"},
    };
    const std::string executables = "*.COM;*.EXE;*.BAT;*.CMD;*.VBS;*.VBE;*.JS;*.JSE;*.WSF;*.WSH";
    std::string expectedFilter;
    for (const std::string& part : {"Executable File (" + executables + ")", executables,
                                    std::string("All Files (*.*)"), std::string("*.*")})
        expectedFilter += part + '\0';
    expectedFilter += '\0';
    for (const auto& c : cases) {
        CConfig config = DefaultConfig();
        DialogWithRecordingPage dialog(config, nullptr, ExternPage);
        dialog.page->answer = c.answer;
        std::wstring shown;
        HWND page = nullptr;
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      page = PageWindow(d);
                      PageItem(d, ExternPage, c.edit).SetText(c.text);
                      Click(PageItem(d, ExternPage, c.button));
                      shown = Text(PageItem(d, ExternPage, c.edit));
                      PostToDialog(hwnd, IDCANCEL);
                  }});
        ASSERT_EQ(dialog.page->runs.size(), 1u) << c.button;
        const RecordingFileDialog::SRun& run = dialog.page->runs[0];
        EXPECT_EQ(run.owner, page);
        EXPECT_EQ(WithoutTrailingSeparator(run.folder), c.folder) << c.button;
        EXPECT_EQ(run.file, c.file) << c.button;
        EXPECT_EQ(run.title, Ansi(L"ファイル選択ダイアログ"));
        EXPECT_EQ(run.defaultExtension, "exe");
        EXPECT_EQ(run.filter, expectedFilter);
        EXPECT_FALSE(run.multi);
        EXPECT_FALSE(run.save);
        EXPECT_EQ(shown, c.result) << c.button;
    }
}
