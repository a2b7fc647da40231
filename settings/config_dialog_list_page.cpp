#include "settings/config_dialog_list_page.h"

#include "foundation/extension_list.h"
#include "resources/config_dialog_pages_ids.h"

#include <iterator>

using Brivox::CConfig;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    {Kind::Check, L"FileAddMode", {IDC_LIST_KEEP_ON_OPEN}},
    {Kind::Check, L"FileAddFollowLnk", {IDC_LIST_FOLLOW_SHORTCUTS}},
    {Kind::Check, L"FileAddWithSave", {IDC_LIST_ADD_EXPORTED}},
    {Kind::BoolRadioPair, L"FileAddWithSaveNext", {IDC_LIST_ADD_AFTER_CURRENT, IDC_LIST_ADD_AT_END}},
    {Kind::Check, L"RemoveOnMove", {IDC_LIST_REMOVE_ON_MOVE}},
    {Kind::Check, L"LinkFirstAndLast", {IDC_LIST_WRAP}},
    {Kind::Check, L"CDOnDrop", {IDC_LIST_CD_ON_DROP}},
    {Kind::Check, L"NextOnCancelSpread", {IDC_LIST_NEXT_ON_CANCEL_SPREAD}},
    {Kind::Check, L"IgnoreBySuffix", {IDC_LIST_IGNORE_UNKNOWN}},
    {Kind::List, L"IgnoreExcludeSuffixes", {IDC_LIST_INCLUDE_LIST}},
    {Kind::List, L"IgnoreSuffixes", {IDC_LIST_IGNORE_LIST}},
    {Kind::ComboIndex, L"SortMode", {IDC_LIST_SORT_MODE}},
    {Kind::Check, L"SaveNameUseArchive", {IDC_LIST_NAME_ARCHIVE}},
    {Kind::Check, L"SaveNameUseArchiveDir", {IDC_LIST_NAME_ARCHIVE_DIR}},
    {Kind::EscapedText, L"SaveNameSeparator", {IDC_LIST_SEPARATOR}},
    {Kind::IntegerEdit, L"SlideShowFreq", {IDC_LIST_SLIDE_SHOW_FREQ}},
    {Kind::Check, L"DeleteByShell", {IDC_LIST_DELETE_BY_SHELL}},
};

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_LIST_KEEP_ON_OPEN},
     L"既にファイルを開いてる状態でファイルを開いたとき、オンの場合はファイルリストの後ろに追加され、オフの場"
     L"合"
     L"は「ファイルを全て閉じる」を実行してから開いた時と同じ動作になります。"},
    {{IDC_LIST_FOLLOW_SHORTCUTS},
     L"ファイルを開く際に、ショートカットファイルがあった場合、リンク先を辿って開きます。"},
    {{IDC_LIST_ADD_EXPORTED},
     L"編集メニューの「～～として書き出す」を行った際に、書き出したファイルをファイルリストへ追加するかどうか"
     L"を"
     L"設定します。"},
    {{IDC_LIST_ADD_AFTER_CURRENT}, L"現在のファイルの次に追加します。"},
    {{IDC_LIST_ADD_AT_END}, L"ファイルリストの一番後ろに追加します。"},
    {{IDC_LIST_REMOVE_ON_MOVE},
     L"「ファイルを移動」と「マークしたファイルを移動」の処理時に、移動したファイルをファイルリストから削除し"
     L"ま"
     L"す。"},
    {{IDC_LIST_WRAP},
     L"最後のファイルの次へ移動すると先頭のファイルへ、先頭のファイルの前に移動すると最後のファイルへ移動しま"
     L"す"
     L"。\r\n"
     L"オフの場合の処理は現在仮実装中で、見開き表示時に先頭のファイルと最後のファイルが表示されたり、先頭や末"
     L"尾"
     L"のファイルが読み込めなかった場合に先頭や末尾から２番目以降のファイルが表示されたりする場合があります"
     L"。"},
    {{IDC_LIST_CD_ON_DROP},
     L"ドラッグ＆ドロップでファイルを開いたときに、ファイルを開くダイアログなどのカレントディレクトリを、開い"
     L"た"
     L"ファイルのあるディレクトリに変更します。"},
    {{IDC_LIST_NEXT_ON_CANCEL_SPREAD},
     L"オンにすると、見開き表示中に見開き設定を解除した場合に、同時に１ページ進め、右綴じなら左、左綴じなら右"
     L"の"
     L"画像だけが表示されるようにします。\r\n"
     L"普段単ページ表示で閲覧し、見開きのページでのみ見開き表示を使う場合などにオンにすると便利かもしれません"
     L"。"},
    {{IDC_LIST_IGNORE_UNKNOWN},
     L"ファイルを開く際に、以下の拡張子リスト(とプラグイン設定に合わせて自動的に構築したリスト)"
     L"に該当しないファ"
     L"イルを無視します。"},
    {{IDC_LIST_INCLUDE_EDIT, IDC_LIST_IGNORE_EDIT},
     L"拡張子（「.」などは付けず「bmp」のように）を入力します。\r\n"
     L"追加ボタンを押さないと反映されないので、注意してください。"},
    {{IDC_LIST_INCLUDE_LIST},
     L"無視せず読み込む拡張子の一覧。\r\n"
     L"一般的な拡張子は、プラグイン設定に合わせて自動的に追加されるので、ここに追加する必要はありません。"},
    {{IDC_LIST_IGNORE_LIST},
     L"無視する拡張子の一覧。\r\n"
     L"こちらは「拡張子が画像でも書庫でも無さそうなら無視する」の設定がオフでも有効です。"},
    {{IDC_LIST_SORT_MODE}, L"ファイルリストのデフォルトのソート順序を指定します。"},
    {{IDC_LIST_NAME_ARCHIVE},
     L"書庫内のファイルを保存する際、デフォルトのファイル名に書庫のファイル名を含めます。"},
    {{IDC_LIST_NAME_ARCHIVE_DIR},
     L"書庫内のファイルを保存する際、デフォルトのファイル名に書庫内のディレクトリ名を含めます。"},
    {{IDC_LIST_SEPARATOR}, L"書庫ファイル名・ディレクトリ名・ファイル名の区切りに使う文字を指定します。"},
    {{IDC_LIST_SLIDE_SHOW_FREQ}, L"自動ページ送り時の、ページ送りを行う間隔を、1/1000秒単位で指定します。"},
    {{IDC_LIST_DELETE_BY_SHELL},
     L"ファイル→ファイルを削除と、ファイル→マークしたファイルを完全に削除での、ファイルの削除処理をエクスプロ"
     L"ー"
     L"ラに任せます。"},
};

// By index, which is the "SortMode" value.
const wchar_t* const SortModes[] = {
    L"文字コード順(通常)",
    L"大文字小文字区別無し",
    L"ﾌｫﾙﾀﾞ名を除いた部分",
    L"ﾌｫﾙﾀﾞ名を除いた部分/大文字小文字区別無し",
    L"ファイルサイズ",
    L"最終更新日時",
    L"数値順",
};

} // namespace

CConfigDialogListPage::CConfigDialogListPage()
    : CConfigDialogTabBase(IDD_CONFIG_LIST_PAGE, Bindings, Tooltips)
{
}

bool CConfigDialogListPage::HookMessage(Brivox::SMessage& message)
{
    if (message.message == WM_INITDIALOG) {
        // Each entry goes in at its own position, so that its index stays its "SortMode" value.
        const Brivox::CCtrl sortModes = Item(IDC_LIST_SORT_MODE);
        for (int i = 0; i < static_cast<int>(std::size(SortModes)); ++i)
            sortModes.ComboInsertString(i, SortModes[i]);
        return CConfigDialogTabBase::HookMessage(message);
    }
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    UpdateEnables();
    switch (LOWORD(message.wParam)) {
    case IDC_LIST_INCLUDE_ADD:
        AddExtension(IDC_LIST_INCLUDE_EDIT, IDC_LIST_INCLUDE_LIST);
        return true;
    case IDC_LIST_INCLUDE_REMOVE:
        Item(IDC_LIST_INCLUDE_LIST).ListBoxDeleteSelected();
        return true;
    case IDC_LIST_IGNORE_ADD:
        AddExtension(IDC_LIST_IGNORE_EDIT, IDC_LIST_IGNORE_LIST);
        return true;
    case IDC_LIST_IGNORE_REMOVE:
        Item(IDC_LIST_IGNORE_LIST).ListBoxDeleteSelected();
        return true;
    default:
        return false;
    }
}

void CConfigDialogListPage::Load(CConfig& config)
{
    CConfigDialogTabBase::Load(config);
    UpdateEnables();
}

void CConfigDialogListPage::UpdateEnables()
{
    const bool addExported = Item(IDC_LIST_ADD_EXPORTED).IsChecked();
    for (const int id : {IDC_LIST_ADD_AFTER_CURRENT, IDC_LIST_ADD_AT_END})
        Item(id).Enable(addExported);
    const bool filter = Item(IDC_LIST_IGNORE_UNKNOWN).IsChecked();
    for (const int id :
         {IDC_LIST_INCLUDE_EDIT, IDC_LIST_INCLUDE_LIST, IDC_LIST_INCLUDE_ADD, IDC_LIST_INCLUDE_REMOVE})
        Item(id).Enable(filter);
    Item(IDC_LIST_SEPARATOR)
        .Enable(Item(IDC_LIST_NAME_ARCHIVE).IsChecked() || Item(IDC_LIST_NAME_ARCHIVE_DIR).IsChecked());
}

void CConfigDialogListPage::AddExtension(int editId, int listId)
{
    const Brivox::CCtrl edit = Item(editId);
    Item(listId).ListBoxAddString(Brivox::ValidateExtensionList(edit.GetText()));
    edit.SetText(L"");
}
