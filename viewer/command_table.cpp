#include "viewer/command_table.h"

#include "ui/hot_key.h"
#include "ui/key_config.h"

using Brivox::String;

namespace {

const SCommandCategory Categories[] = {
    {L"ファイル", L'F'}, {L"編集", L'E'}, {L"画像", L'I'},   {L"フィルタ", L'T'},
    {L"リスト", L'L'},   {L"設定", L'C'}, {L"ヘルプ", L'H'},
};

const SCommandRow Rows[] = {
    {CmdNewWindow, 0xF800, 0, L"ウィンドウの新規作成", L'N', L"Ctrl+N", true},
    {CmdOpenFile, 0xF801, 0, L"ファイルを開く", L'O', L"Ctrl+O", true},
    {CmdOpenFolder, 0xF802, 0, L"フォルダを開く", L'V', L"Ctrl+Shift+O", false},
    {CmdOpenHistory, 0xF88B, 0, L"履歴を開く", L'H', L"Ctrl+H", false},
    {CmdCloseAll, 0xF803, 0, L"ファイルを全て閉じる", L'W', L"Ctrl+W", false},
    {CmdSetMark, 0xF804, 0, L"マークを設定", L'D', L"Delete", true},
    {CmdClearMark, 0xF805, 0, L"マークを解除", L'U', L"Ctrl+Delete", false},
    {CmdClearAllMarks, 0xF806, 0, L"全てのマークを解除", L'F', L"", false},
    {CmdInvertAllMarks, 0xF807, 0, L"全てのマークを反転", L'I', L"Ctrl+Shift+I", false},
    {CmdInvertMarksToCurrent, 0xF861, 0, L"最初から現在までのマークを反転", L'J', L"", false},
    {CmdRemoveMarkedFromList, 0xF862, 0, L"マークしたファイルをリストから削除", L'L', L"Ctrl+BackSpace",
     false},
    {CmdDeleteMarkedFiles, 0xF808, 0, L"マークしたファイルを完全に削除", L'Z', L"Ctrl+Shift+Delete", false},
    {CmdMoveMarkedFiles, 0xF868, 0, L"マークしたファイルを移動", L'T', L"Ctrl+Shift+M", false},
    {CmdCopyMarkedFiles, 0xF869, 0, L"マークしたファイルを複製", L'A', L"Ctrl+Shift+C", false},
    {CmdCopyMarkedFileNames, 0xF878, 0, L"マークしたファイル名をコピー", L'P', L"", false},
    {CmdOpenImageFolder, 0xF809, 0, L"現在の画像のあるフォルダを開く", L'E', L"Ctrl+D", true},
    {CmdCopyFileName, 0xF80B, 0, L"ファイル名をクリップボードへコピー", L'G', L"Ctrl+F", false},
    {CmdRemoveFromList, 0xF83D, 0, L"ファイルをリストから削除", L'-', L"BackSpace", true},
    {CmdDeleteFile, 0xF80C, 0, L"ファイルを削除", L'C', L"Shift+Delete", false},
    {CmdMoveFile, 0xF80D, 0, L"ファイルを移動", L'R', L"Ctrl+R", false},
    {CmdCopyFile, 0xF80E, 0, L"ファイルを複製", L'S', L"Ctrl+S", false},
    {CmdMinimizeWindow, 0xF80F, 0, L"ウィンドウを最小化", L'M', L"Ctrl+X", true},
    {CmdMaximizeWindow, 0xF80A, 0, L"ウィンドウを最大化", L'Y', L"左ダブルクリック", false},
    {CmdExit, 0xF810, 0, L"終了", L'X', L"", false},
    {CmdReload, 0xF811, 1, L"画像の再読み込み", L'T', L"F5", true},
    {CmdPaste, 0xF812, 1, L"クリップボードから貼り付け", L'R', L"Ctrl+V", false},
    {CmdFlipHorizontal, 0xF813, 1, L"左右反転", L'H', L"", true},
    {CmdFlipVertical, 0xF814, 1, L"上下反転", L'V', L"", false},
    {CmdRotate180, 0xF817, 1, L"180度回転", L'F', L"Ctrl+↑", false},
    {CmdRotateClockwise, 0xF815, 1, L"時計回りに90度回転", L'5', L"Ctrl+→", false},
    {CmdRotateCounterClockwise, 0xF816, 1, L"反時計回りに90度回転", L'4', L"Ctrl+←", false},
    {CmdRotateByAngle, 0xF818, 1, L"角度指定回転", L'Q', L"Ctrl+↓", false},
    {CmdResize, 0xF819, 1, L"解像度の変更", L'I', L"Ctrl+Shift+R", false},
    {CmdSetWallpaper, 0xF828, 1, L"壁紙に設定", L'W', L"Ctrl+Shift+W", true},
    {CmdExternalViewer1, 0xF87D, 1, L"外部ビューアその１で開く", L'1', L"Ctrl+1", true},
    {CmdExternalViewer2, 0xF87E, 1, L"外部ビューアその２で開く", L'2', L"Ctrl+2", false},
    {CmdExternalViewer3, 0xF87F, 1, L"外部ビューアその３で開く", L'3', L"Ctrl+3", false},
    {CmdClearSelection, 0xF87C, 2, L"選択範囲を取り消し", L'N', L"Enter", true},
    {CmdCrop, 0xF81A, 2, L"画像の切り抜き", L'X', L"Ctrl+Shift+X", false},
    {CmdFill, 0xF81B, 2, L"塗り潰す", L'G', L"Ctrl+Shift+F", true},
    {CmdLevels, 0xF81C, 2, L"レベル補正", L'L', L"Ctrl+L", false},
    {CmdGamma, 0xF86A, 2, L"ガンマ補正", L'H', L"", false},
    {CmdBrightnessContrast, 0xF874, 2, L"明るさとコントラスト", L'E', L"", false},
    {CmdMosaic, 0xF81D, 2, L"モザイク", L'O', L"Ctrl+M", false},
    {CmdBlur, 0xF81E, 2, L"ぼかし", L'U', L"", false},
    {CmdBlurStrong, 0xF863, 2, L"ぼかし(強)", L'V', L"", false},
    {CmdSharpen, 0xF81F, 2, L"シャープ", L'S', L"", false},
    {CmdSharpenStrong, 0xF864, 2, L"シャープ(強)", L'W', L"", false},
    {CmdGaussianBlur, 0xF896, 2, L"ガウスぼかし", L'F', L"", false},
    {CmdUnsharpMask, 0xF897, 2, L"アンシャープマスク", L'R', L"", false},
    {CmdMedian, 0xF872, 2, L"メディアンフィルタ", L'D', L"", false},
    {CmdInvertColors, 0xF820, 2, L"色を反転", L'I', L"Ctrl+I", false},
    {CmdGrayscaleSimple, 0xF821, 2, L"簡易グレースケール化", L'G', L"", false},
    {CmdGrayscaleExact, 0xF822, 2, L"厳密グレースケール化", L'T', L"Ctrl+G", false},
    {CmdApplyAlpha, 0xF888, 2, L"αチャンネルの反映", L'9', L"", false},
    {CmdCopyImage, 0xF823, 2, L"クリップボードへコピー", L'C', L"Ctrl+C", true},
    {CmdExportJpg, 0xF824, 2, L"JPGファイルとして書き出す", L'J', L"Ctrl+J", true},
    {CmdExportBmp, 0xF825, 2, L"BMPファイルとして書き出す", L'B', L"Ctrl+B", false},
    {CmdExportPng, 0xF826, 2, L"PNGファイルとして書き出す", L'P', L"Ctrl+P", false},
    {CmdExportArgb, 0xF827, 2, L"ARGBファイルとして書き出す", L'A', L"Ctrl+A", false},
    {CmdMagnifier, 0xF858, 2, L"拡大鏡を表示", L'M', L"右クリック", true},
    {CmdImageInfo, 0xF859, 2, L"画像情報を表示", L'K', L"ホイールクリック", false},
    {CmdToggleFilters, 0xF85F, 3, L"フィルタを有効にする", L'E', L"", true},
    {CmdFilterFlipHorizontal, 0xF86B, 3, L"左右反転", L'J', L"", true},
    {CmdFilterFlipVertical, 0xF86C, 3, L"上下反転", L'V', L"", false},
    {CmdFilterRotate180, 0xF86D, 3, L"180度回転", L'F', L"", false},
    {CmdFilterRotateClockwise, 0xF86E, 3, L"時計回りに90度回転", L'2', L"", true},
    {CmdFilterRotateCounterClockwise, 0xF86F, 3, L"反時計回りに90度回転", L'1', L"", false},
    {CmdFilterLevels, 0xF829, 3, L"レベル補正", L'L', L"Ctrl+Shift+L", true},
    {CmdFilterGamma, 0xF873, 3, L"ガンマ補正", L'H', L"", true},
    {CmdFilterBrightnessContrast, 0xF875, 3, L"明るさとコントラスト", L'K', L"", true},
    {CmdFilterGrayscaleSimple, 0xF82B, 3, L"簡易グレースケール化", L'G', L"Ctrl+Shift+G", true},
    {CmdFilterGrayscaleExact, 0xF82C, 3, L"厳密グレースケール化", L'T', L"", false},
    {CmdFilterBlur, 0xF82D, 3, L"ぼかし", L'B', L"", true},
    {CmdFilterBlurStrong, 0xF85B, 3, L"ぼかし(強)", L'C', L"", false},
    {CmdFilterSharpen, 0xF82E, 3, L"シャープ", L'S', L"", false},
    {CmdFilterSharpenStrong, 0xF85C, 3, L"シャープ(強)", L'U', L"", false},
    {CmdFilterGaussianBlur, 0xF898, 3, L"ガウスぼかし", L'F', L"", true},
    {CmdFilterUnsharpMask, 0xF899, 3, L"アンシャープマスク", L'R', L"", true},
    {CmdFilterMedian, 0xF871, 3, L"メディアンフィルタ", L'D', L"", true},
    {CmdFilterInvertColors, 0xF870, 3, L"色の反転", L'N', L"", true},
    {CmdFilterApplyAlpha, 0xF889, 3, L"αチャンネルの反映", L'9', L"", true},
    {CmdFileListWindow, 0xF867, 4, L"ファイルリストの表示", L'9', L"F4", true},
    {CmdPrevious, 0xF82F, 4, L"前へ", L'B', L"←", true},
    {CmdNext, 0xF830, 4, L"次へ", L'N', L"→", false},
    {CmdPreviousPage, 0xF831, 4, L"1ページ前へ", L'I', L"Shift+←", false},
    {CmdNextPage, 0xF832, 4, L"1ページ先へ", L'J', L"Shift+→", false},
    {CmdBack5, 0xF833, 4, L"5ページ前へ", L'H', L"PageUp", false},
    {CmdForward5, 0xF834, 4, L"5ページ先へ", L'A', L"PageDown", false},
    {CmdBack50, 0xF835, 4, L"50ページ前へ", L'V', L"Ctrl+PageUp", false},
    {CmdForward50, 0xF836, 4, L"50ページ先へ", L'X', L"Ctrl+PageDown", false},
    {CmdPreviousFolder, 0xF85D, 4, L"前のフォルダへ", L'C', L"Shift+PageUp", false},
    {CmdNextFolder, 0xF85E, 4, L"次のフォルダへ", L'D', L"Shift+PageDown", false},
    {CmdPreviousMarked, 0xF876, 4, L"前のマークした画像へ", L'M', L"Ctrl+Shift+←", false},
    {CmdNextMarked, 0xF877, 4, L"次のマークした画像へ", L'Q', L"Ctrl+Shift+→", false},
    {CmdFirst, 0xF837, 4, L"最初へ", L'F', L"Ctrl+Home", false},
    {CmdLast, 0xF88C, 4, L"最後へ", L'G', L"Ctrl+End", false},
    {CmdSlideShow, 0xF838, 4, L"自動ページ送り", L'W', L"Ctrl+Space", false},
    {CmdSortList, 0xF839, 4, L"ファイルリストをソート", L'S', L"", true},
    {CmdSortIgnoreCase, 0xF881, 4, L"大文字小文字区別無しでソート", L'1', L"", false},
    {CmdSortByFileName, 0xF882, 4, L"フォルダ名を除いた部分でソート", L'2', L"", false},
    {CmdSortByFileNameIgnoreCase, 0xF883, 4, L"フォルダ名を除いた部分/大文字小文字区別無しでソート", L'3',
     L"", false},
    {CmdSortBySize, 0xF884, 4, L"ファイルサイズでソート", L'4', L"", false},
    {CmdSortByDate, 0xF885, 4, L"最終更新日時でソート", L'5', L"", false},
    {CmdSortNumeric, 0xF88A, 4, L"数値順でソート", L'6', L"", false},
    {CmdShuffleList, 0xF83A, 4, L"ファイルリストをシャッフル", L'E', L"", true},
    {CmdShuffleFolders, 0xF886, 4, L"フォルダの順序をシャッフル", L'O', L"", false},
    {CmdPreviousSorted, 0xF83B, 4, L"一時的にソートして前へ", L'T', L"Shift+Tab", true},
    {CmdNextSorted, 0xF83C, 4, L"一時的にソートして次へ", L'U', L"Tab", false},
    {CmdSaveBookmark, 0xF83E, 4, L"ブックマークの保存", L'R', L"F9", true},
    {CmdLoadBookmark, 0xF83F, 4, L"ブックマークの読み込み", L'L', L"F12", false},
    {CmdEditBookmark, 0xF879, 4, L"ブックマークをエディタで開く", L'Z', L"F11", false},
    {CmdDisplaySettings, 0xF840, 5, L"表示設定", L'C', L"C", true},
    {CmdImageSettings, 0xF87A, 5, L"画像設定", L'H', L"G", false},
    {CmdDrawSettings, 0xF88E, 5, L"描画設定", L'3', L"D", false},
    {CmdListSettings, 0xF88F, 5, L"リスト設定", L'4', L"L", false},
    {CmdGeneralSettings, 0xF87B, 5, L"全般設定", L'O', L"O", false},
    {CmdPluginSettings, 0xF842, 5, L"プラグイン設定", L'P', L"P", false},
    {CmdExternalViewerSettings, 0xF880, 5, L"外部ビューア設定", L'V', L"V", false},
    {CmdEnvironmentSettings, 0xF841, 5, L"環境設定", L'E', L"E", true},
    {CmdKeySettings, 0xF843, 5, L"キー設定", L'K', L"K", true},
    {CmdSpreadView, 0xF844, 5, L"見開き表示", L'U', L"Num +", true},
    {CmdSpreadViewLeftBound, 0xF866, 5, L"見開き表示(左綴じ)", L'L', L"", false},
    {CmdFitShrink, 0xF846, 5, L"自動縮小表示", L'T', L"Num /", false},
    {CmdFitShrinkEnlarge, 0xF845, 5, L"自動縮小・自動拡大表示", L'G', L"Num *", false},
    {CmdFitEnlarge, 0xF890, 5, L"自動拡大表示", L'I', L"", false},
    {CmdActualSize, 0xF895, 5, L"原寸大表示", L'X', L"", false},
    {CmdFixedZoom, 0xF892, 5, L"固定倍率表示", L'R', L"", false},
    {CmdAllowStickOut, 0xF847, 5, L"自動拡大/自動縮小時にはみ出しを許可", L'Z', L"", false},
    {CmdZoomOut, 0xF893, 5, L"倍率を0.7倍する", L'/', L"Ctrl+Num -, Ctrl+ホイール(上)", false},
    {CmdZoomIn, 0xF894, 5, L"倍率を1.4倍する", L'*', L"Ctrl+Num +, Ctrl+ホイール(下)", false},
    {CmdZoomReset, 0xF891, 5, L"倍率を1.0にする", L'0', L"Ctrl+Num0", false},
    {CmdPadding, 0xF865, 5, L"余白を付ける", L'W', L"Num0", false},
    {CmdTopMost, 0xF88D, 5, L"常に手前に表示", L'O', L"", true},
    {CmdDetachMenuBar, 0xF849, 5, L"メニューバーを取り外す", L'B', L"Esc", true},
    {CmdToggleFullScreenWindow, 0xF84A, 5, L"全画面表示切り替え", L'A', L"Alt+Enter", false},
    {CmdToggleFullScreenMode, 0xF84B, 5, L"フルスクリーン切り替え", L'F', L"Alt+Shift+Enter", false},
    {CmdHideCursorInFullScreen, 0xF848, 5, L"全画面時にカーソルを隠す", L'M', L"Num -", false},
    {CmdOpenReadme, 0xF854, 6, L"Kanoru.txtを開く", L'R', L"", true},
    {CmdVersionInfo, 0xF855, 6, L"バージョン情報", L'V', L"", false},
    {CmdOpenProgramFolder, 0xF84F, 6, L"実行ファイルのあるフォルダを開く", L'D', L"Shift+M", true},
    {CmdOpenBookmarkFolder, 0xF850, 6, L"ブックマークのフォルダを開く", L'K', L"Shift+B", false},
    {CmdOpenPluginFolder, 0xF851, 6, L"SPIのフォルダを開く", L'I', L"Shift+S", false},
    {CmdOpenTempFolder, 0xF852, 6, L"一時フォルダを開く", L'J', L"Shift+T", false},
    {CmdOpenWallpaperFolder, 0xF853, 6, L"壁紙保存フォルダを開く", L'L', L"Shift+W", false},
    {CmdMailAuthor, 0xF887, 6, L"作者へメールを送る", L'E', L"", true},
    {CmdOpenWebSite, 0xF856, 6, L"配布サイトを開く", L'W', L"", false},
    {CmdHelp, 0xF85A, 6, L"ヘルプ", L'H', L"F1", false},
    {CmdNetworkUpdate, 0xF857, 6, L"vezo更新", L'N', L"", true},
};

String WithMenuKey(const wchar_t* text, wchar_t menuKey)
{
    return String(text) + L"(&" + String(menuKey, 1) + L")";
}

} // namespace

std::span<const SCommandCategory> CommandCategories()
{
    return Categories;
}

std::span<const SCommandRow> CommandTable()
{
    return Rows;
}

String RegisteredName(const SCommandRow& row)
{
    return String(Categories[row.category].name) + L": " + row.text;
}

String MenuText(const SCommandRow& row)
{
    return WithMenuKey(row.text, row.menuKey);
}

String SubmenuCaption(const SCommandCategory& category)
{
    return WithMenuKey(category.name, category.menuKey);
}

void RegisterCommands(Brivox::CKeyConfig& config)
{
    for (const SCommandRow& row : Rows)
        config.AddCommand(row.command, RegisteredName(row), row.id);
}

void ResetKeyConfigToDefaults(Brivox::HotKeySetting& setting)
{
    setting.Clear();
    for (const SCommandRow& row : Rows)
        setting.BindKeyListIfAny(row.command, row.defaultKeys);
}
