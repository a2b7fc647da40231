#include "settings/image_tool_dialogs.h"

#include "foundation/config.h"
#include "foundation/file_name.h"
#include "foundation/string_builder.h"
#include "imaging/dc_target.h"
#include "imaging/tone_table.h"
#include "resources/image_tool_dialog_ids.h"
#include "ui/common_dialogs.h"
#include "ui/control_binding.h"
#include "ui/ctrl.h"
#include "ui/dialog_tooltip.h"
#include "ui/radio_button_group.h"
#include "ui/window.h"

#include <commctrl.h>

#include <cmath>
#include <cstdint>
#include <string>

using Brivox::CCtrl;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::CWnd;
using Brivox::SMessage;
using Brivox::String;

namespace {

// The translucency of the levels and gamma dialogs while "半透明にする" is on.
constexpr int TranslucentAlpha = 64;

int CommandId(const SMessage& message)
{
    return LOWORD(message.wParam);
}

bool IsCommand(const SMessage& message, int id, int code = BN_CLICKED)
{
    return message.message == WM_COMMAND && CommandId(message) == id && HIWORD(message.wParam) == code;
}

bool IsEditChange(const SMessage& message, int id)
{
    return IsCommand(message, id, EN_CHANGE);
}

// A real as a track-bar position, rounded half up; what is no number stands at 0 and what lies
// beyond any track bar is held at a bound no track bar reaches, so no typed value overflows.
int RoundedPosition(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::floor(value + 0.5);
    constexpr double limit = 1e9;
    return static_cast<int>(rounded < -limit ? -limit : rounded > limit ? limit : rounded);
}

bool IsUsableGamma(double gamma)
{
    return gamma > 1e-8 && std::isfinite(gamma);
}

// The image stretched over the owner-drawn item; nothing for an image that GDI cannot draw from.
void DrawPlaneInto(const DRAWITEMSTRUCT& item, Brivox::CPlane32& plane)
{
    if (plane.GetWidth() <= 0 || plane.GetHeight() <= 0)
        return;
    const Brivox::Detail::PlaneDcLock from(plane);
    if (!from.GetDC())
        return;
    const CRect destination{item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    Brivox::CDcTarget(item.hDC).StretchBltFast(Brivox::CDcTarget(from), destination,
                                               {0, 0, plane.GetWidth(), plane.GetHeight()});
}

bool IsDrawItem(const SMessage& message, int id)
{
    return message.message == WM_DRAWITEM && static_cast<int>(message.wParam) == id;
}

const DRAWITEMSTRUCT& DrawItemOf(const SMessage& message)
{
    return *reinterpret_cast<const DRAWITEMSTRUCT*>(message.lParam);
}

void SetTranslucent(const CWnd& dialog, bool translucent)
{
    if (translucent)
        dialog.SetAlpha(TranslucentAlpha);
    else
        dialog.ClearLayered();
}

// Sets the edit's text only when it differs, so that no EN_CHANGE comes back for nothing.
void SetTextIfDifferent(const CCtrl& edit, const String& text)
{
    if (!(edit.GetText() == text))
        edit.SetText(text);
}

void SetTrackIfDifferent(const CCtrl& track, int position)
{
    if (track.TrackBarGetPos() != position)
        track.TrackBarSetPos(position);
}

void SetUpTrack(const CCtrl& track, int minimum, int maximum, int ticFrequency, int lineSize, int pageSize,
                int position)
{
    track.TrackBarSetRange(minimum, maximum);
    if (ticFrequency > 0)
        track.TrackBarSetTicFreq(ticFrequency);
    track.TrackBarSetLineSize(lineSize).TrackBarSetPageSize(pageSize).TrackBarSetPos(position);
}

// The settings of "画像に反映させる" and "半透明にする" shown, and the translucency they ask for.
void LoadReflectAndOpaque(Brivox::CConfig& settings, const CWnd& dialog, const wchar_t* reflectKey,
                          const wchar_t* opaqueKey)
{
    dialog.GetDlgItem(IDC_TOOL_REFLECT).SetChecked(settings.GetBool(reflectKey));
    const bool opaque = settings.GetBool(opaqueKey);
    dialog.GetDlgItem(IDC_TOOL_OPAQUE).SetChecked(opaque);
    if (opaque)
        SetTranslucent(dialog, true);
}

void StoreReflectAndOpaque(Brivox::CConfig& settings, const CWnd& dialog, const wchar_t* reflectKey,
                           const wchar_t* opaqueKey)
{
    settings.SetBool(reflectKey, dialog.GetDlgItem(IDC_TOOL_REFLECT).IsChecked());
    settings.SetBool(opaqueKey, dialog.GetDlgItem(IDC_TOOL_OPAQUE).IsChecked());
}

// Places the dialog over the owner's client area: centred across, at 1/divisor of the room down.
void PlaceOverClientArea(const CWnd& dialog, HWND owner, int divisor)
{
    if (!owner)
        return;
    const CWnd window(owner);
    const CSize client = window.GetClientSize();
    const CSize size = dialog.GetSize();
    dialog.MoveInsideMonitors(
        window.ClientToScreen({(client.cx - size.cx) / 2, (client.cy - size.cy) / divisor}));
}

} // namespace

int GammaSliderPosition(double gamma)
{
    return RoundedPosition(std::log(IsUsableGamma(gamma) ? gamma : 1.0) * 100);
}

// ---- Common steps

CImageToolDialogBase::CImageToolDialogBase(int templateId, IImageToolDialogOwner& owner, int verticalDivisor)
    : CResourceDialogBase(templateId), m_owner(owner), m_verticalDivisor(verticalDivisor)
{
}

CImageToolDialogBase::~CImageToolDialogBase() = default;

bool CImageToolDialogBase::HookMessage(SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        m_ready = false;
        PlaceOverClientArea(GetWindow(), m_owner.GetToolDialogWindow(), m_verticalDivisor);
        m_preview = std::make_unique<CPreviewScope>(Document());
        try {
            OnInitDialog();
        } catch (...) {
            // Reported by the window; the dialog stays usable with what was filled in.
            m_ready = true;
            throw;
        }
        m_ready = true;
        return true;
    case WM_COMMAND:
        if (IsCommand(message, IDOK)) {
            OnOk();
            return true;
        }
        if (IsCommand(message, IDCANCEL)) {
            ::SendMessageA(message.hwnd, WM_CLOSE, 0, 0);
            return true;
        }
        break;
    case WM_CLOSE:
        m_ready = false;
        StoreOnCancel();
        CancelPreview();
        Close();
        return true;
    default:
        break;
    }
    return OnDialogMessage(message);
}

CCtrl CImageToolDialogBase::Item(int id) const
{
    return GetWindow().GetDlgItem(id);
}

void CImageToolDialogBase::Preview()
{
    if (!m_preview)
        return;
    Document().RestorePreview();
    ApplyPreview();
    RepaintOwner();
}

void CImageToolDialogBase::EndPreview()
{
    if (const std::unique_ptr<CPreviewScope> preview = std::move(m_preview))
        preview->End();
    RepaintOwner();
}

void CImageToolDialogBase::CancelPreview()
{
    if (const std::unique_ptr<CPreviewScope> preview = std::move(m_preview))
        preview->Cancel();
    RepaintOwner();
}

void CImageToolDialogBase::RepaintOwner() const
{
    // A null window would stand for every window of the desktop.
    if (const HWND window = m_owner.GetToolDialogWindow())
        CWnd(window).Repaint();
}

void CImageToolDialogBase::Close() const
{
    GetWindow().Destroy();
}

bool CImageToolDialogBase::IsReflected() const
{
    return Item(IDC_TOOL_REFLECT).IsChecked();
}

void CImageToolDialogBase::PreviewIfReflected()
{
    if (IsReflected())
        Preview();
}

void CImageToolDialogBase::OnReflectClicked()
{
    if (IsReflected()) {
        Preview();
    } else if (m_preview) {
        // The page shows unchanged until OK.
        Document().RestorePreview();
        RepaintOwner();
    }
}

bool CImageToolDialogBase::OnCheckOrGraphMessage(SMessage& message, Brivox::CPlane32* graph)
{
    if (graph && IsDrawItem(message, IDC_TOOL_GRAPH)) {
        DrawPlaneInto(DrawItemOf(message), *graph);
        return true;
    }
    if (IsCommand(message, IDC_TOOL_REFLECT)) {
        OnReflectClicked();
        return true;
    }
    if (IsCommand(message, IDC_TOOL_OPAQUE)) {
        SetTranslucent(GetWindow(), Item(IDC_TOOL_OPAQUE).IsChecked());
        return true;
    }
    return false;
}

void CImageToolDialogBase::OkWithReflect()
{
    StoreOnOk();
    // Not shown so far: the result is made now.
    if (!IsReflected())
        Preview();
    EndPreview();
    Close();
}

// ---- Rotation

CRotDialog::CRotDialog(IImageToolDialogOwner& owner) : CImageToolDialogBase(IDD_ROTATE, owner, 4) {}

void CRotDialog::OnInitDialog()
{
    m_lastAngle = 0;
    SetUpTrack(Item(IDC_TOOL_TRACK), -1800, 1800, 0, 10, 50, 0);
    Item(IDC_TOOL_VALUE).SetText(L"0.0");
}

bool CRotDialog::OnDialogMessage(SMessage& message)
{
    if (message.message == WM_HSCROLL) {
        OnTrackMoved();
        return true;
    }
    if (IsEditChange(message, IDC_TOOL_VALUE)) {
        OnAngleChanged();
        return true;
    }
    return false;
}

void CRotDialog::OnOk()
{
    // The preview samples the nearest pixel: the page as it was is turned once more, properly.
    SetReady(false);
    CancelPreview();
    Document().RotateByAngle(Brivox::StringToDouble(Item(IDC_TOOL_VALUE).GetText()));
    RepaintOwner();
    Close();
}

void CRotDialog::ApplyPreview()
{
    Document().RotateByAnglePreview(m_lastAngle);
}

void CRotDialog::OnAngleChanged()
{
    if (!IsReady())
        return;
    const double angle = Brivox::StringToDouble(Item(IDC_TOOL_VALUE).GetText());
    if (angle == m_lastAngle)
        return;
    m_lastAngle = angle;
    Preview();
    // Only the track bar is folded into -180 to 180; the angle itself stays as typed.
    double folded = std::isfinite(angle) ? std::fmod(angle, 360.0) : 0.0;
    if (folded < -180)
        folded += 360;
    else if (folded > 180)
        folded -= 360;
    SetTrackIfDifferent(Item(IDC_TOOL_TRACK), static_cast<int>(folded * 10));
}

void CRotDialog::OnTrackMoved()
{
    const double angle = Item(IDC_TOOL_TRACK).TrackBarGetPos() * 0.1;
    const CCtrl edit = Item(IDC_TOOL_VALUE);
    if (angle != Brivox::StringToDouble(edit.GetText()))
        edit.SetText(Brivox::DoubleToString(angle)); // one decimal, as every position has
}

// ---- Levels

CLevelRevDialog::CLevelRevDialog(IImageToolDialogOwner& owner, const CRect& selection, bool filterMode)
    : CImageToolDialogBase(IDD_LEVELS, owner, 2), m_selection(selection), m_filterMode(filterMode)
{
}

void CLevelRevDialog::OnInitDialog()
{
    double mean = 0, deviation = 0;
    m_histogram =
        Document().GetLevelHistogram(m_selection, Item(IDC_TOOL_GRAPH).GetClientSize(), mean, deviation);
    GetWindow().SetText(Brivox::FormatString(L"レベル補正　[平均：%.2f　標準偏差：%.2f]", mean, deviation));
    Brivox::CConfig& settings = Settings();
    SetUpTrack(Item(IDC_TOOL_TRACK), 0, 255, 5, 1, 16, 0);
    SetUpTrack(Item(IDC_TOOL_TRACK2), 0, 255, 5, 1, 16, 255);
    if (m_filterMode) {
        Item(IDC_TOOL_TRACK).TrackBarSetPos(settings.GetInt(L"FilterLevelRevLow"));
        Item(IDC_TOOL_TRACK2).TrackBarSetPos(settings.GetInt(L"FilterLevelRevHigh"));
    }
    Item(IDC_TOOL_VALUE).SetInt(Item(IDC_TOOL_TRACK).TrackBarGetPos());
    Item(IDC_LEVEL_HIGH_VALUE).SetInt(Item(IDC_TOOL_TRACK2).TrackBarGetPos());
    LoadReflectAndOpaque(settings, GetWindow(), L"LevelRevReflect", L"LevelRevOpaque");
    PreviewIfReflected();
}

bool CLevelRevDialog::OnDialogMessage(SMessage& message)
{
    if (message.message == WM_HSCROLL) {
        OnTrackMoved();
        return true;
    }
    if (OnCheckOrGraphMessage(message, m_histogram.get()))
        return true;
    if (IsCommand(message, IDC_LEVEL_CSV)) {
        ExportCsv();
        return true;
    }
    return false;
}

void CLevelRevDialog::OnTrackMoved()
{
    if (!IsReady())
        return;
    // The edits only show the positions.
    SetTextIfDifferent(Item(IDC_TOOL_VALUE), Brivox::IntToString(Item(IDC_TOOL_TRACK).TrackBarGetPos()));
    SetTextIfDifferent(Item(IDC_LEVEL_HIGH_VALUE),
                       Brivox::IntToString(Item(IDC_TOOL_TRACK2).TrackBarGetPos()));
    PreviewIfReflected();
}

void CLevelRevDialog::ApplyPreview()
{
    Document().ApplyLevels(m_selection, Item(IDC_TOOL_TRACK).TrackBarGetPos(),
                           Item(IDC_TOOL_TRACK2).TrackBarGetPos());
}

void CLevelRevDialog::ExportCsv()
{
    Brivox::CFileDialog& dialog = Owner().GetToolFileDialog();
    dialog.SetOwner(GetWindow().GetHandle());
    dialog.SetTitle(L"ファイルを開く");
    dialog.ClearFilters();
    dialog.AddFilter(L"CSV file", L"*.csv");
    dialog.SetDefaultExtension(L"csv");
    dialog.SetInitialFileName(
        Brivox::CFileName::ChangeExtension(Document().GetCurrentPathOrDefault(), L"csv"));
    if (dialog.ShowSave())
        Document().WriteLevelCsv(m_selection, dialog.GetResult(0));
}

void CLevelRevDialog::StoreOnOk()
{
    Brivox::CConfig& settings = Settings();
    StoreReflectAndOpaque(settings, GetWindow(), L"LevelRevReflect", L"LevelRevOpaque");
    if (m_filterMode) {
        settings.SetBool(L"FilterLevelRev", true);
        settings.SetInt(L"FilterLevelRevLow", Item(IDC_TOOL_TRACK).TrackBarGetPos());
        settings.SetInt(L"FilterLevelRevHigh", Item(IDC_TOOL_TRACK2).TrackBarGetPos());
    }
}

void CLevelRevDialog::StoreOnCancel()
{
    StoreReflectAndOpaque(Settings(), GetWindow(), L"LevelRevReflect", L"LevelRevOpaque");
}

// ---- Gamma

CGammaRevDialog::CGammaRevDialog(IImageToolDialogOwner& owner, const CRect& selection, bool filterMode)
    : CImageToolDialogBase(IDD_GAMMA, owner, 2), m_selection(selection), m_filterMode(filterMode)
{
}

CGammaRevDialog::~CGammaRevDialog() = default;

void CGammaRevDialog::OnInitDialog()
{
    m_curve = std::make_unique<Brivox::CDib32>();
    m_curve->Resize(Item(IDC_TOOL_GRAPH).GetClientSize());
    Brivox::CConfig& settings = Settings();
    const CCtrl track = Item(IDC_TOOL_TRACK);
    SetUpTrack(track, -100, 100, 10, 1, 10, 0);
    if (m_filterMode)
        track.TrackBarSetPos(settings.GetInt(L"FilterGammaRevValue"));
    LoadReflectAndOpaque(settings, GetWindow(), L"GammaRevReflect", L"GammaRevOpaque");
    Item(IDC_TOOL_VALUE).SetText(Brivox::DoubleToDisplayString(std::exp(track.TrackBarGetPos() / 100.0)));
    DrawCurve();
    PreviewIfReflected();
}

bool CGammaRevDialog::OnDialogMessage(SMessage& message)
{
    if (message.message == WM_HSCROLL) {
        OnTrackMoved();
        return true;
    }
    if (IsEditChange(message, IDC_TOOL_VALUE)) {
        OnGammaChanged();
        return true;
    }
    return OnCheckOrGraphMessage(message, m_curve.get());
}

double CGammaRevDialog::GetGamma() const
{
    const double gamma = Brivox::StringToDouble(Item(IDC_TOOL_VALUE).GetText());
    return IsUsableGamma(gamma) ? gamma : 1.0;
}

void CGammaRevDialog::OnGammaChanged()
{
    if (!IsReady())
        return;
    SetTrackIfDifferent(Item(IDC_TOOL_TRACK), GammaSliderPosition(GetGamma()));
    PreviewIfReflected();
    DrawCurve();
}

void CGammaRevDialog::OnTrackMoved()
{
    if (!IsReady())
        return;
    const CCtrl edit = Item(IDC_TOOL_VALUE);
    const String text =
        Brivox::DoubleToDisplayString(std::exp(Item(IDC_TOOL_TRACK).TrackBarGetPos() / 100.0));
    if (!(edit.GetText() == text)) {
        // The edit's change previews and draws.
        edit.SetText(text);
        return;
    }
    PreviewIfReflected();
    DrawCurve();
}

void CGammaRevDialog::ApplyPreview()
{
    Document().ApplyGamma(m_selection, GetGamma());
}

void CGammaRevDialog::DrawCurve()
{
    if (!m_curve || m_curve->GetWidth() <= 0 || m_curve->GetHeight() <= 0)
        return;
    Brivox::ToneTable table{};
    Brivox::BuildGammaTable(table, GetGamma());
    double values[256];
    for (int i = 0; i < 256; ++i)
        values[i] = table[static_cast<std::size_t>(i)];
    m_curve->DrawGraph({0, 0, m_curve->GetWidth(), m_curve->GetHeight()}, values, 256, 0, 255,
                       ::GetSysColor(COLOR_BTNFACE));
    ::InvalidateRect(Item(IDC_TOOL_GRAPH).GetHandle(), nullptr, FALSE);
}

void CGammaRevDialog::StoreOnOk()
{
    Brivox::CConfig& settings = Settings();
    StoreReflectAndOpaque(settings, GetWindow(), L"GammaRevReflect", L"GammaRevOpaque");
    if (m_filterMode) {
        settings.SetBool(L"FilterGammaRev", true);
        settings.SetInt(L"FilterGammaRevValue", Item(IDC_TOOL_TRACK).TrackBarGetPos());
    }
}

void CGammaRevDialog::StoreOnCancel()
{
    StoreReflectAndOpaque(Settings(), GetWindow(), L"GammaRevReflect", L"GammaRevOpaque");
}

// ---- Brightness and contrast

CBrightContrastDialog::CBrightContrastDialog(IImageToolDialogOwner& owner, const CRect& selection,
                                             bool filterMode)
    : CImageToolDialogBase(IDD_BRIGHT_CONTRAST, owner, 4), m_selection(selection), m_filterMode(filterMode)
{
}

void CBrightContrastDialog::OnInitDialog()
{
    SetUpTrack(Item(IDC_TOOL_TRACK), -128, 128, 0, 1, 8, 0);
    SetUpTrack(Item(IDC_TOOL_TRACK2), -128, 128, 0, 1, 8, 0);
    if (m_filterMode) {
        Brivox::CConfig& settings = Settings();
        Item(IDC_TOOL_TRACK).TrackBarSetPos(settings.GetInt(L"FilterBCBright"));
        Item(IDC_TOOL_TRACK2).TrackBarSetPos(settings.GetInt(L"FilterBCContrast"));
    }
    Preview();
}

bool CBrightContrastDialog::OnDialogMessage(SMessage& message)
{
    if (message.message != WM_HSCROLL)
        return false;
    Preview();
    return true;
}

void CBrightContrastDialog::OnOk()
{
    EndPreview();
    if (m_filterMode) {
        Brivox::CConfig& settings = Settings();
        settings.SetBool(L"FilterBC", true);
        settings.SetInt(L"FilterBCBright", Item(IDC_TOOL_TRACK).TrackBarGetPos());
        settings.SetInt(L"FilterBCContrast", Item(IDC_TOOL_TRACK2).TrackBarGetPos());
    }
    Close();
}

void CBrightContrastDialog::ApplyPreview()
{
    Document().ApplyBrightContrast(m_selection, Item(IDC_TOOL_TRACK).TrackBarGetPos(),
                                   Item(IDC_TOOL_TRACK2).TrackBarGetPos());
}

// ---- Mosaic

CMosaicDialog::CMosaicDialog(IImageToolDialogOwner& owner, const CRect& selection)
    : CImageToolDialogBase(IDD_MOSAIC, owner, 4), m_selection(selection)
{
}

Brivox::RadioButtonGroup CMosaicDialog::KindGroup() const
{
    return Brivox::RadioButtonGroup(GetWindow(), IDC_MOSAIC_CENTER, IDC_MOSAIC_AVERAGE);
}

void CMosaicDialog::OnInitDialog()
{
    Item(IDC_MOSAIC_UPDOWN).UpDownSetRange(30, 0);
    Brivox::CConfig& settings = Settings();
    KindGroup().Select(settings.GetInt(L"MosaicType"));
    Item(IDC_TOOL_VALUE).SetInt(settings.GetInt(L"MosaicLevel"));
    // The start value filled in previews like any other.
    Preview();
}

bool CMosaicDialog::OnDialogMessage(SMessage& message)
{
    if (!IsEditChange(message, IDC_TOOL_VALUE) && !IsCommand(message, IDC_MOSAIC_CENTER) &&
        !IsCommand(message, IDC_MOSAIC_AVERAGE))
        return false;
    if (IsReady())
        Preview();
    return true;
}

void CMosaicDialog::OnOk()
{
    SetReady(false);
    EndPreview();
    StoreOnCancel();
    Close();
}

void CMosaicDialog::ApplyPreview()
{
    Document().ApplyMosaic(m_selection, Item(IDC_TOOL_VALUE).GetInt(), KindGroup().GetSelected());
}

void CMosaicDialog::StoreOnCancel()
{
    // Kept both ways.
    Brivox::CConfig& settings = Settings();
    Brivox::ReadIntFromEdit(settings.BindInt(L"MosaicLevel"), Item(IDC_TOOL_VALUE));
    Brivox::ReadIntFromRadioGroup(settings.BindInt(L"MosaicType"), KindGroup());
}

// ---- Alpha

CAlphaDialog::CAlphaDialog(IImageToolDialogOwner& owner, const CRect& selection, bool filterMode)
    : CImageToolDialogBase(IDD_ALPHA, owner, 2), m_selection(selection), m_filterMode(filterMode)
{
}

void CAlphaDialog::OnInitDialog()
{
    Brivox::CConfig& settings = Settings();
    m_colour = settings.GetRGB(L"FilterAlphaBg");
    Item(IDC_TOOL_REFLECT).SetChecked(settings.GetBool(L"FilterAlphaCheck"));
    Preview();
    Brivox::CDialogTooltip& tips = Brivox::CDialogTooltip::Attach(GetWindow());
    tips.AddTool(IDC_ALPHA_SWATCH, L"背景色を指定します。");
    tips.AddTool(IDC_TOOL_REFLECT, L"画像がαチャンネルを持っていると思われる場合にのみ処理を行います。");
}

bool CAlphaDialog::OnDialogMessage(SMessage& message)
{
    if (IsDrawItem(message, IDC_ALPHA_SWATCH)) {
        const DRAWITEMSTRUCT& item = DrawItemOf(message);
        const HBRUSH brush = ::CreateSolidBrush(m_colour);
        ::FillRect(item.hDC, &item.rcItem, brush);
        ::DeleteObject(brush);
        return true;
    }
    if (IsCommand(message, IDC_ALPHA_SWATCH, STN_CLICKED)) {
        ChooseColour();
        return true;
    }
    if (IsCommand(message, IDC_TOOL_REFLECT)) {
        Preview();
        return true;
    }
    return false;
}

void CAlphaDialog::ChooseColour()
{
    Brivox::CConfig& settings = Settings();
    Brivox::CColorDialog dialog;
    dialog.SetOwner(GetWindow().GetHandle());
    dialog.FromString(settings.GetRaw(L"ChooseColor"));
    dialog.SetColor(m_colour);
    if (!dialog.Show())
        return;
    m_colour = dialog.GetColor();
    settings.SetRaw(L"ChooseColor", dialog.ToString());
    ::InvalidateRect(Item(IDC_ALPHA_SWATCH).GetHandle(), nullptr, TRUE);
    Preview();
}

void CAlphaDialog::ApplyPreview()
{
    Document().ApplyAlpha(m_selection, m_colour, IsReflected());
}

void CAlphaDialog::OnOk()
{
    EndPreview();
    Brivox::CConfig& settings = Settings();
    settings.SetRGB(L"FilterAlphaBg", m_colour);
    settings.SetBool(L"FilterAlphaCheck", IsReflected());
    if (m_filterMode)
        settings.SetBool(L"FilterAlpha", true);
    Close();
}

// ---- Gauss and unsharp mask

CGaussDialog::CGaussDialog(IImageToolDialogOwner& owner, const CRect& selection, bool filterMode, bool gauss)
    : CImageToolDialogBase(IDD_GAUSS, owner, 2), m_selection(selection), m_filterMode(filterMode),
      m_gauss(gauss), m_kindName(gauss ? L"Gauss" : L"Unsharp")
{
}

void CGaussDialog::OnInitDialog()
{
    GetWindow().SetText(m_gauss ? L"ガウスぼかし" : L"アンシャープマスク");
    Brivox::CConfig& settings = Settings();
    const CCtrl track = Item(IDC_TOOL_TRACK);
    SetUpTrack(track, 0, 1000, 10, 1, 10, 150);
    if (m_filterMode)
        track.TrackBarSetPos(settings.GetInt(L"Filter" + m_kindName + L"Value"));
    Item(IDC_TOOL_REFLECT).SetChecked(settings.GetBool(m_kindName + L"Reflect"));
    Item(IDC_TOOL_VALUE).SetText(Brivox::DoubleToDisplayString(track.TrackBarGetPos() * 0.01));
    PreviewIfReflected();
}

bool CGaussDialog::OnDialogMessage(SMessage& message)
{
    if (message.message == WM_HSCROLL) {
        OnTrackMoved();
        return true;
    }
    if (IsEditChange(message, IDC_TOOL_VALUE)) {
        OnValueChanged();
        return true;
    }
    return OnCheckOrGraphMessage(message, nullptr);
}

void CGaussDialog::OnValueChanged()
{
    if (!IsReady())
        return;
    SetTrackIfDifferent(Item(IDC_TOOL_TRACK),
                        RoundedPosition(Brivox::StringToDouble(Item(IDC_TOOL_VALUE).GetText()) * 100));
    PreviewIfReflected();
}

void CGaussDialog::OnTrackMoved()
{
    if (!IsReady())
        return;
    const CCtrl edit = Item(IDC_TOOL_VALUE);
    const String text = Brivox::DoubleToDisplayString(Item(IDC_TOOL_TRACK).TrackBarGetPos() * 0.01);
    if (!(edit.GetText() == text)) {
        // The edit's change previews.
        edit.SetText(text);
        return;
    }
    PreviewIfReflected();
}

void CGaussDialog::ApplyPreview()
{
    const double value = Brivox::StringToDouble(Item(IDC_TOOL_VALUE).GetText());
    if (m_gauss)
        Document().ApplyGauss(m_selection, value);
    else
        Document().ApplyUnsharp(m_selection, value);
}

void CGaussDialog::StoreOnOk()
{
    Brivox::CConfig& settings = Settings();
    StoreOnCancel();
    if (m_filterMode) {
        settings.SetBool(L"Filter" + m_kindName, true);
        settings.SetInt(L"Filter" + m_kindName + L"Value", Item(IDC_TOOL_TRACK).TrackBarGetPos());
    }
}

void CGaussDialog::StoreOnCancel()
{
    Settings().SetBool(m_kindName + L"Reflect", IsReflected());
}

// ---- Resize

CStretchDialog::CStretchDialog(const CSize& currentSize, bool keepAspect)
    : CResourceDialogBase(IDD_RESIZE), m_currentSize(currentSize), m_keepAspect(keepAspect)
{
}

bool CStretchDialog::HookMessage(SMessage& message)
{
    const CWnd& dialog = GetWindow();
    switch (message.message) {
    case WM_INITDIALOG:
        m_result.reset();
        PlaceOverClientArea(dialog, dialog.GetParent(), 2);
        dialog.GetDlgItem(IDC_RESIZE_CURRENT_WIDTH).SetInt(m_currentSize.cx);
        dialog.GetDlgItem(IDC_RESIZE_CURRENT_HEIGHT).SetInt(m_currentSize.cy);
        dialog.GetDlgItem(IDC_RESIZE_KEEP_ASPECT).SetChecked(m_keepAspect);
        return true;
    case WM_COMMAND:
        if (IsCommand(message, IDC_RESIZE_KEEP_ASPECT)) {
            m_keepAspect = dialog.GetDlgItem(IDC_RESIZE_KEEP_ASPECT).IsChecked();
            return true;
        }
        if (IsEditChange(message, IDC_RESIZE_WIDTH) || IsEditChange(message, IDC_RESIZE_HEIGHT)) {
            FollowAspect(CommandId(message));
            return true;
        }
        if (IsCommand(message, IDOK)) {
            OnOk();
            return true;
        }
        if (IsCommand(message, IDCANCEL)) {
            ::SendMessageA(message.hwnd, WM_CLOSE, 0, 0);
            return true;
        }
        return false;
    case WM_CLOSE:
        GetWindow().Destroy();
        return true;
    default:
        return false;
    }
}

void CStretchDialog::FollowAspect(int changedId)
{
    if (!m_keepAspect || m_currentSize.cx <= 0 || m_currentSize.cy <= 0)
        return;
    const bool widthChanged = changedId == IDC_RESIZE_WIDTH;
    const std::int64_t typed = GetWindow().GetDlgItem(changedId).GetInt();
    const std::int64_t other = widthChanged ? typed * m_currentSize.cy / m_currentSize.cx
                                            : typed * m_currentSize.cx / m_currentSize.cy;
    const CCtrl follower = GetWindow().GetDlgItem(widthChanged ? IDC_RESIZE_HEIGHT : IDC_RESIZE_WIDTH);
    const String text(std::to_wstring(other));
    if (follower.GetText() == text)
        return;
    // Off while the follower changes, so that its change does not come back.
    m_keepAspect = false;
    follower.SetText(text);
    m_keepAspect = true;
}

void CStretchDialog::OnOk()
{
    const CWnd& dialog = GetWindow();
    const CSize size{dialog.GetDlgItem(IDC_RESIZE_WIDTH).GetInt(),
                     dialog.GetDlgItem(IDC_RESIZE_HEIGHT).GetInt()};
    if (size.cx < 1 || size.cy < 1) {
        dialog.MessageBox(MB_OK | MB_ICONEXCLAMATION, L"解像度変更", L"変更後のサイズが不正です");
        return;
    }
    m_result = size;
    GetWindow().Destroy();
}
