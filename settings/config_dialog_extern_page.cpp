#include "settings/config_dialog_extern_page.h"

#include "foundation/file_name.h"
#include "resources/config_dialog_extern_page_ids.h"

using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    {Kind::RawText, L"ExViewer0File", {IDC_EXTERN_FILE0}},
    {Kind::RawText, L"ExViewer0Arg", {IDC_EXTERN_ARG0}},
    {Kind::RawText, L"ExViewer0Dir", {IDC_EXTERN_DIR0}},
    {Kind::RawText, L"ExViewer1File", {IDC_EXTERN_FILE1}},
    {Kind::RawText, L"ExViewer1Arg", {IDC_EXTERN_ARG1}},
    {Kind::RawText, L"ExViewer1Dir", {IDC_EXTERN_DIR1}},
    {Kind::RawText, L"ExViewer2File", {IDC_EXTERN_FILE2}},
    {Kind::RawText, L"ExViewer2Arg", {IDC_EXTERN_ARG2}},
    {Kind::RawText, L"ExViewer2Dir", {IDC_EXTERN_DIR2}},
};

constexpr const wchar_t* FileTip = L"実行ファイルを指定します";
constexpr const wchar_t* ArgTip = L"実行ファイルに渡される引数を指定します";
constexpr const wchar_t* DirTip = L"実行時の作業フォルダを指定します";
constexpr const wchar_t* BrowseTip = L"実行ファイルを選択します";
constexpr const wchar_t* ArgMenuTip = L"引数に特殊変数を挿入します";
constexpr const wchar_t* DirMenuTip = L"作業フォルダに特殊変数を挿入します";

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_EXTERN_FILE0}, FileTip},        {{IDC_EXTERN_FILE1}, FileTip},
    {{IDC_EXTERN_FILE2}, FileTip},        {{IDC_EXTERN_ARG0}, ArgTip},
    {{IDC_EXTERN_ARG1}, ArgTip},          {{IDC_EXTERN_ARG2}, ArgTip},
    {{IDC_EXTERN_DIR0}, DirTip},          {{IDC_EXTERN_DIR1}, DirTip},
    {{IDC_EXTERN_DIR2}, DirTip},          {{IDC_EXTERN_BROWSE0}, BrowseTip},
    {{IDC_EXTERN_BROWSE1}, BrowseTip},    {{IDC_EXTERN_BROWSE2}, BrowseTip},
    {{IDC_EXTERN_ARG_MENU0}, ArgMenuTip}, {{IDC_EXTERN_ARG_MENU1}, ArgMenuTip},
    {{IDC_EXTERN_ARG_MENU2}, ArgMenuTip}, {{IDC_EXTERN_DIR_MENU0}, DirMenuTip},
    {{IDC_EXTERN_DIR_MENU1}, DirMenuTip}, {{IDC_EXTERN_DIR_MENU2}, DirMenuTip},
};

// A button of the page and the edit it serves.
struct SButton
{
    int button;
    int edit;
};

constexpr SButton BrowseButtons[] = {
    {IDC_EXTERN_BROWSE0, IDC_EXTERN_FILE0},
    {IDC_EXTERN_BROWSE1, IDC_EXTERN_FILE1},
    {IDC_EXTERN_BROWSE2, IDC_EXTERN_FILE2},
};
constexpr SButton ArgMenuButtons[] = {
    {IDC_EXTERN_ARG_MENU0, IDC_EXTERN_ARG0},
    {IDC_EXTERN_ARG_MENU1, IDC_EXTERN_ARG1},
    {IDC_EXTERN_ARG_MENU2, IDC_EXTERN_ARG2},
};
constexpr SButton DirMenuButtons[] = {
    {IDC_EXTERN_DIR_MENU0, IDC_EXTERN_DIR0},
    {IDC_EXTERN_DIR_MENU1, IDC_EXTERN_DIR1},
    {IDC_EXTERN_DIR_MENU2, IDC_EXTERN_DIR2},
};

template <std::size_t N> int EditOf(const SButton (&buttons)[N], int button)
{
    for (const SButton& entry : buttons)
        if (entry.button == button)
            return entry.edit;
    return 0;
}

bool IsArgMenuItem(int id)
{
    return id == IDM_EXTERN_ARG_DIR || id == IDM_EXTERN_ARG_FILE || id == IDM_EXTERN_ARG_EXT ||
           id == IDM_EXTERN_ARG_NAME || id == IDM_EXTERN_ARG_FULL;
}

} // namespace

CConfigDialogExternPage::CConfigDialogExternPage()
    : CConfigDialogTabBase(IDD_CONFIG_EXTERN_PAGE, Bindings, Tooltips)
{
}

bool CConfigDialogExternPage::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    const int id = LOWORD(message.wParam);
    if (const int edit = EditOf(BrowseButtons, id)) {
        BrowseExecutable(edit);
        return true;
    }
    // The target is set before the menu shows: the chosen item comes back as WM_COMMAND.
    if (const int edit = EditOf(ArgMenuButtons, id)) {
        m_variableTarget = edit;
        GetWindow().TrackResourceMenu(IDM_EXTERN_ARG_VARIABLES);
        return true;
    }
    if (const int edit = EditOf(DirMenuButtons, id)) {
        m_variableTarget = edit;
        GetWindow().TrackResourceMenu(IDM_EXTERN_DIR_VARIABLES);
        return true;
    }
    if (IsArgMenuItem(id) || id == IDM_EXTERN_DIR_DIR) {
        // An item that arrives before any menu was shown has no edit to go into.
        if (m_variableTarget != 0)
            InsertMenuVariable(IsArgMenuItem(id) ? IDM_EXTERN_ARG_VARIABLES : IDM_EXTERN_DIR_VARIABLES, id,
                               m_variableTarget);
        return true;
    }
    return false;
}

void CConfigDialogExternPage::BrowseExecutable(int editId)
{
    const Brivox::CCtrl edit = Item(editId);
    const std::unique_ptr<Brivox::CFileDialog> dialog = MakeFileDialog();
    dialog->SetOwner(GetWindow().GetHandle());
    dialog->SetTitle(L"ファイル選択ダイアログ");
    dialog->ClearFilters();
    dialog->AddFilter(L"Executable File", L"*.COM;*.EXE;*.BAT;*.CMD;*.VBS;*.VBE;*.JS;*.JSE;*.WSF;*.WSH");
    dialog->AddFilter(L"All Files", L"*.*");
    // A bare name such as "rundll32" starts in the program's own folder.
    const Brivox::String path = Brivox::CFileName::FromExecutableDirectory(edit.GetText()).ToString();
    dialog->SetFolder(Brivox::CFileName::GetDirectory(path));
    dialog->SetInitialFileName(Brivox::CFileName::GetFileName(path));
    dialog->SetDefaultExtension(L"exe");
    if (dialog->ShowOpen())
        edit.SetText(dialog->GetResult(0));
}

std::unique_ptr<Brivox::CFileDialog> CConfigDialogExternPage::MakeFileDialog() const
{
    return std::make_unique<Brivox::CFileDialog>();
}
