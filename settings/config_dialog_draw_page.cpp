#include "settings/config_dialog_draw_page.h"

#include "settings/config_dialog_ids.h"

using Brivox::CConfig;
using Kind = CConfigDialogTabBase::BindingKind;

namespace {

const CConfigDialogTabBase::SBinding Bindings[] = {
    // In the order of the values, which differs from the page's order for the last two.
    {Kind::RadioIndex,
     L"DrawMode_",
     {IDC_DRAW_GDI1, IDC_DRAW_GDI2, IDC_DRAW_OWN1, IDC_DRAW_OWN2, IDC_DRAW_OWN3, IDC_DRAW_OWN4,
      IDC_DRAW_OWN5}},
    {Kind::Check, L"ClearType", {IDC_DRAW_CLEARTYPE}},
    {Kind::IntegerEdit, L"PaddingCenter", {IDC_DRAW_PADDING_CENTER}},
};

const CConfigDialogTabBase::STooltip Tooltips[] = {
    {{IDC_DRAW_MODE_LABEL},
     L"表示時の画像の伸縮方法を指定します。\r\n"
     L"GDIは直接画面に対して縮小を行うため再描画が遅くなり、範囲選択や拡大鏡の操作性が悪くなります。\r\n"
     L"自前の方は一度メモリ内で縮小してから表示するため二度手間となり、メモリを多く食い、速度も遅めです。\r\n"
     L"\r\n"
     L"見やすさ最優先なら自前4かGDI2辺りがいいと思います。"},
    {{IDC_DRAW_GDI1}, L"ニアレストネイバーかもしれない"},
    {{IDC_DRAW_GDI2}, L"詳細不明。バイキュービック？\r\nWin98以前だと多分GDI1と同じになります。"},
    {{IDC_DRAW_OWN1}, L"ニアレストネイバーのつもり"},
    {{IDC_DRAW_OWN2}, L"バイリニアのつもりだけどなんか間違ってる気がする方法"},
    {{IDC_DRAW_OWN3},
     L"面積平均法とか平均画素法とか言うらしい方法。\r\n"
     L"少しぼやけ気味になるのでシャープフィルタ辺りと合わせて使うといいかもしれません。"},
    {{IDC_DRAW_OWN5}, L"自作3の後にシャープ処理を行ったもの。"},
    {{IDC_DRAW_OWN4},
     L"Lanczos3。\r\n多分一番遅くて一番綺麗です。\r\n"
     L"デュアルコアCPUだったり3DNow!が使える場合は少しはマシになります。"},
    {{IDC_DRAW_CLEARTYPE},
     L"画像の伸縮時に、ClearTypeっぽい処理を行います。\r\n"
     L"液晶ディスプレイの場合、わずかに見やすさが向上するかもしれません。\r\n"
     L"ただし、原寸大表示の場合は効果が無く、また、自前3,4やGDI2の場合元々滑らかなためあまりはっきり"
     L"効き目が見えないかもしれません。"},
    {{IDC_DRAW_PADDING_CENTER}, L"見開き表示時の、２枚の画像の間隔をピクセル数で指定します。"},
    {{IDC_DRAW_BG_COLOR}, L"背景色を設定します。"},
};

} // namespace

CConfigDialogDrawPage::CConfigDialogDrawPage()
    : CConfigDialogTabBase(IDD_CONFIG_DRAW_PAGE, Bindings, Tooltips)
{
}

bool CConfigDialogDrawPage::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_COMMAND)
        return CConfigDialogTabBase::HookMessage(message);
    if (LOWORD(message.wParam) != IDC_DRAW_BG_COLOR)
        return false;
    m_colorDialog.SetOwner(GetWindow().GetHandle());
    m_colorDialog.SetColor(m_backgroundColor);
    if (m_colorDialog.Show())
        m_backgroundColor = m_colorDialog.GetColor();
    return true;
}

void CConfigDialogDrawPage::Load(CConfig& config)
{
    CConfigDialogTabBase::Load(config);
    m_backgroundColor = config.GetRGB(L"DrawBgColor");
}

void CConfigDialogDrawPage::Save(CConfig& config)
{
    CConfigDialogTabBase::Save(config);
    config.SetRGB(L"DrawBgColor", m_backgroundColor);
}
