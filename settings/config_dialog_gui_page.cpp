#include "settings/config_dialog_gui_page.h"

#include "settings/config_dialog_ids.h"

using Brivox::CConfig;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    {Kind::IntegerEdit, L"Magnification", {IDC_GUI_MAGNIFICATION}},
    {Kind::SizePair, L"Magnifier", {IDC_GUI_MAGNIFIER_WIDTH, IDC_GUI_MAGNIFIER_HEIGHT}},
    {Kind::RadioIndex, L"MagnifierShape", {IDC_GUI_SHAPE_RECTANGLE, IDC_GUI_SHAPE_ELLIPSE}},
    {Kind::Check, L"AutoCursorHide", {IDC_GUI_CURSOR_HIDE}},
    {Kind::IntegerEdit, L"AutoCursorHideTime", {IDC_GUI_CURSOR_HIDE_TIME}},
    {Kind::Check, L"FilterMark", {IDC_GUI_FILTER_MARK}},
    {Kind::IntegerEdit, L"PaddingV", {IDC_GUI_PADDING_V}},
    {Kind::IntegerEdit, L"PaddingH", {IDC_GUI_PADDING_H}},
    {Kind::SizePair, L"FullScreen", {IDC_GUI_FULLSCREEN_WIDTH, IDC_GUI_FULLSCREEN_HEIGHT}},
    {Kind::Check, L"FullScreenMinOnDeactive", {IDC_GUI_MIN_ON_DEACTIVE}},
    {Kind::RawText, L"Titlebar", {IDC_GUI_TITLEBAR}},
    {Kind::Check, L"WindowPosRestore", {IDC_GUI_POS_RESTORE}},
    {Kind::Check, L"WindowPosRestoreDisableOnLoad", {IDC_GUI_POS_RESTORE_NOT_ON_LOAD}},
    {Kind::Check, L"Snap", {IDC_GUI_SNAP}},
};

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_GUI_MAGNIFICATION},
     L"拡大鏡の拡大率を長さの比で指定します。\r\n例えば、200%なら縦横2倍、50なら縦横1/2倍になります。"},
    {{IDC_GUI_MAGNIFIER_WIDTH, IDC_GUI_MAGNIFIER_HEIGHT}, L"拡大鏡の大きさを指定します。(横 x 縦)"},
    {{IDC_GUI_SHAPE_RECTANGLE}, L"拡大鏡の形状を長方形にします。"},
    {{IDC_GUI_SHAPE_ELLIPSE}, L"拡大鏡の形状を楕円形にします。\r\n縦横の大きさが等しい場合円形になります。"},
    {{IDC_GUI_CURSOR_HIDE}, L"カーソルを一定時間動かさなかった時カーソルを非表示にします。"},
    {{IDC_GUI_CURSOR_HIDE_TIME}, L"カーソルを非表示にするまでの待ち時間を指定します。"},
    {{IDC_GUI_FILTER_MARK},
     L"この設定がオンで、かつ１つ以上のフィルタが適用されてる場合、ウィンドウの左上に「Ｆ」の"
     L"文字が表示されるようになります。"},
    {{IDC_GUI_PADDING_V, IDC_GUI_PADDING_H},
     L"余白の大きさをピクセル数で指定します。(上下，左右)\r\n負の値も指定出来ます。"},
    {{IDC_GUI_FULLSCREEN_WIDTH, IDC_GUI_FULLSCREEN_HEIGHT},
     L"「フルスクリーンへ切り替え」を行ったときのディスプレイの解像度を指定します。(横 x 縦)"},
    {{IDC_GUI_MIN_ON_DEACTIVE},
     L"フルスクリーン・全画面表示時に、他のウィンドウがアクティブになった場合の挙動を指定しま"
     L"す。オンなら最小化、オフなら全画面表示を一時的に解除します。"},
    {{IDC_GUI_TITLEBAR}, L"タイトルバーに表示する文字の書式を設定します。"},
    {{IDC_GUI_POS_RESTORE}, L"終了時にウィンドウの位置・サイズを保存し、次回起動時に復元します。"},
    {{IDC_GUI_POS_RESTORE_NOT_ON_LOAD},
     L"右クリックメニューや送るなどからファイルを読み込みつつ起動した場合は、前回の"
     L"ウィンドウの位置を復元しません。"},
    {{IDC_GUI_SNAP}, L"ウィンドウを画面端にスナップさせます。"},
};

bool IsTitleMenuItem(int id)
{
    return (id >= IDM_TITLE_DIR && id <= IDM_TITLE_SELH) || id == IDM_TITLE_MARKS || id == IDM_TITLE_NAME ||
           id == IDM_TITLE_FULL;
}

} // namespace

CConfigDialogGUIPage::CConfigDialogGUIPage() : CConfigDialogTabBase(IDD_CONFIG_GUI_PAGE, Bindings, Tooltips)
{
}

bool CConfigDialogGUIPage::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    UpdateEnables();
    const int id = LOWORD(message.wParam);
    if (id == IDC_GUI_TITLE_MENU) {
        // The chosen item comes back to this page as WM_COMMAND.
        GetWindow().TrackResourceMenu(IDM_TITLE_VARIABLES);
        return true;
    }
    if (IsTitleMenuItem(id)) {
        InsertMenuVariable(IDM_TITLE_VARIABLES, id, IDC_GUI_TITLEBAR);
        return true;
    }
    return false;
}

void CConfigDialogGUIPage::Load(CConfig& config)
{
    CConfigDialogTabBase::Load(config);
    m_colorDialog.FromString(config.GetString(L"ChooseColor"));
    UpdateEnables();
}

void CConfigDialogGUIPage::Save(CConfig& config)
{
    CConfigDialogTabBase::Save(config);
    config.SetString(L"ChooseColor", m_colorDialog.ToString());
}

void CConfigDialogGUIPage::UpdateEnables()
{
    Item(IDC_GUI_CURSOR_HIDE_TIME).Enable(Item(IDC_GUI_CURSOR_HIDE).IsChecked());
    Item(IDC_GUI_POS_RESTORE_NOT_ON_LOAD).Enable(Item(IDC_GUI_POS_RESTORE).IsChecked());
}
