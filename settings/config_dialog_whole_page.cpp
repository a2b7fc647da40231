#include "settings/config_dialog_whole_page.h"

#include "resources/config_dialog_pages_ids.h"

using Brivox::CConfig;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    {Kind::Check, L"WallpaperResize", {IDC_WHOLE_WALLPAPER_RESIZE}},
    {Kind::Check, L"WallpaperUnifyFile", {IDC_WHOLE_WALLPAPER_UNIFY}},
    {Kind::RawText, L"WallpaperUnifyFileName", {IDC_WHOLE_WALLPAPER_NAME}},
    {Kind::RawText, L"WallpaperDir", {IDC_WHOLE_WALLPAPER_DIR}},
    {Kind::Check, L"HttpProxy", {IDC_WHOLE_PROXY}},
    {Kind::EscapedText, L"HttpProxyServer", {IDC_WHOLE_PROXY_SERVER}},
    {Kind::Check, L"HttpBackup", {IDC_WHOLE_BACKUP}},
    // An int key: stored as a number, so that its readers never meet a text that is none.
    {Kind::IntegerEdit, L"HttpBackupCount", {IDC_WHOLE_BACKUP_COUNT}},
    {Kind::RawText, L"BookmarkDir", {IDC_WHOLE_BOOKMARK_DIR}},
    {Kind::RawText, L"HistoryDir", {IDC_WHOLE_HISTORY_DIR}},
    {Kind::IntegerEdit, L"HistoryMax", {IDC_WHOLE_HISTORY_MAX}},
};

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_WHOLE_WALLPAPER_RESIZE}, L"壁紙画像をディスプレイのサイズに合わせて拡大・縮小します。"},
    {{IDC_WHOLE_WALLPAPER_UNIFY},
     L"この設定がオンの場合、壁紙ファイル名で指定したファイル名で壁紙保存フォルダに保存されます。\r\n"
     L"オフの場合、オリジナルのファイル名の拡張子をbmpに変更したファイル名で壁紙保存フォルダに保存されます"
     L"。"},
    {{IDC_WHOLE_WALLPAPER_NAME}, L"統一する場合のファイル名を指定します。"},
    {{IDC_WHOLE_WALLPAPER_DIR}, L"壁紙用画像を保存するフォルダを指定します。"},
    {{IDC_WHOLE_PROXY}, L"ネットワーク更新時にプロキシサーバーを経由して接続するかどうか。"},
    {{IDC_WHOLE_PROXY_SERVER}, L"プロキシサーバー名。\r\n「:」区切りでポートの指定も可能です。"},
    {{IDC_WHOLE_BACKUP}, L"ネットワーク更新時に実行ファイルのバックアップを作成するかどうか。"},
    {{IDC_WHOLE_BACKUP_COUNT}, L"バックアップする場合の、古いファイルの個数を指定します。"},
    {{IDC_WHOLE_BOOKMARK_DIR}, L"ブックマークファイルを保存するフォルダを指定します。"},
    {{IDC_WHOLE_BOOKMARK_BROWSE, IDC_WHOLE_HISTORY_BROWSE}, L"フォルダを選択します。"},
    {{IDC_WHOLE_HISTORY_DIR}, L"履歴データを保存するフォルダを指定します。"},
    {{IDC_WHOLE_HISTORY_MAX},
     L"履歴データを保存する件数を指定します。10前後が無難だと思います。0なら履歴の保存を行いません。"},
};

} // namespace

CConfigDialogWholePage::CConfigDialogWholePage()
    : CConfigDialogTabBase(IDD_CONFIG_WHOLE_PAGE, Bindings, Tooltips)
{
}

bool CConfigDialogWholePage::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    UpdateEnables();
    switch (LOWORD(message.wParam)) {
    case IDC_WHOLE_BOOKMARK_BROWSE:
        BrowseFolder(IDC_WHOLE_BOOKMARK_DIR);
        return true;
    case IDC_WHOLE_HISTORY_BROWSE:
        BrowseFolder(IDC_WHOLE_HISTORY_DIR);
        return true;
    case IDC_WHOLE_WALLPAPER_BROWSE:
        BrowseFolder(IDC_WHOLE_WALLPAPER_DIR);
        return true;
    default:
        return false;
    }
}

void CConfigDialogWholePage::Load(CConfig& config)
{
    CConfigDialogTabBase::Load(config);
    UpdateEnables();
}

void CConfigDialogWholePage::UpdateEnables()
{
    Item(IDC_WHOLE_WALLPAPER_NAME).Enable(Item(IDC_WHOLE_WALLPAPER_UNIFY).IsChecked());
    Item(IDC_WHOLE_PROXY_SERVER).Enable(Item(IDC_WHOLE_PROXY).IsChecked());
    Item(IDC_WHOLE_BACKUP_COUNT).Enable(Item(IDC_WHOLE_BACKUP).IsChecked());
}
