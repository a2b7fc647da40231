// The commands that change the page on show, switch the filters applied to every page, copy the
// page to the clipboard and export it to a file.
#include "foundation/file_name.h"
#include "ui/selection_rect.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"

namespace {

// A command that sets an int filter key to one value of its group.
struct SFilterValue
{
    Command command;
    const wchar_t* key;
    int value;
};

constexpr SFilterValue FilterValues[] = {
    {CmdFilterFlipHorizontal, L"FilterRot1", 1},
    {CmdFilterFlipVertical, L"FilterRot1", 2},
    {CmdFilterRotate180, L"FilterRot1", 3},
    {CmdFilterRotateClockwise, L"FilterRot2", 1},
    {CmdFilterRotateCounterClockwise, L"FilterRot2", 2},
    {CmdFilterGrayscaleSimple, L"FilterGray", 1},
    {CmdFilterGrayscaleExact, L"FilterGray", 2},
    {CmdFilterBlur, L"FilterSharp", 1},
    {CmdFilterSharpen, L"FilterSharp", 2},
    {CmdFilterBlurStrong, L"FilterSharp", 3},
    {CmdFilterSharpenStrong, L"FilterSharp", 4},
};

// A command that switches a bool filter key.
struct SFilterSwitch
{
    Command command;
    const wchar_t* key;
};

constexpr SFilterSwitch FilterSwitches[] = {
    {CmdToggleFilters, L"Filter"},
    {CmdFilterMedian, L"FilterMedian"},
    {CmdFilterInvertColors, L"FilterNeg"},
};

// The save dialog's filter and default extension of each export.
struct SExportFormat
{
    Command command;
    const wchar_t* description;
    const wchar_t* pattern;
    const wchar_t* extension;
    void (CDocument::*save)(const Brivox::String& path, const Brivox::CRect& selection);
};

constexpr SExportFormat ExportFormats[] = {
    {CmdExportJpg, L"JPEG Files", L"*.jpg", L"jpg", &CDocument::SaveAsJpg},
    {CmdExportBmp, L"Bitmap Files", L"*.bmp", L"bmp", &CDocument::SaveAsBmp},
    {CmdExportPng, L"PNG Files", L"*.png", L"png", &CDocument::SaveAsPng},
    {CmdExportArgb, L"ARGB Files", L"*.argb", L"argb", &CDocument::SaveAsArgb},
};

} // namespace

bool CAppWindow::RunImageCommand(int command)
{
    for (const SFilterValue& filter : FilterValues)
        if (filter.command == command) {
            ToggleFilterValue(filter.key, filter.value);
            return true;
        }
    for (const SFilterSwitch& filter : FilterSwitches)
        if (filter.command == command) {
            m_settings.SetBool(filter.key, !m_settings.GetBool(filter.key));
            ApplyFilterChange();
            return true;
        }
    for (const SExportFormat& format : ExportFormats)
        if (format.command == command) {
            ExportPage(command);
            return true;
        }

    CDocument& document = *m_document;
    // The one-off filters act on the page on show only.
    const bool image = document.HasPageImage();
    switch (command) {
    case CmdReload:
        document.Reload(true);
        return true;
    case CmdPaste:
        document.PasteFromClipboard();
        return true;
    case CmdFlipHorizontal:
        document.FlipHorizontal();
        return true;
    case CmdFlipVertical:
        document.FlipVertical();
        return true;
    case CmdRotateClockwise:
        document.Rotate90Clockwise();
        return true;
    case CmdRotateCounterClockwise:
        document.Rotate90CounterClockwise();
        return true;
    case CmdRotate180:
        document.Rotate180();
        return true;
    case CmdClearSelection:
        m_selection->SetState(Brivox::CSelectionRect::None);
        InvalidateView({});
        return true;
    case CmdCrop:
        CropToSelection();
        return true;
    case CmdFill:
        if (image)
            FillSelection();
        return true;
    case CmdInvertColors:
        if (image)
            document.InvertSelection(GetSelectionRect());
        return true;
    case CmdGrayscaleSimple:
    case CmdGrayscaleExact:
        if (image)
            document.GrayscaleSelection(GetSelectionRect(), command == CmdGrayscaleExact);
        return true;
    case CmdBlur:
        if (image)
            document.Blur(GetSelectionRect());
        return true;
    case CmdBlurStrong:
        if (image)
            document.BlurStrong(GetSelectionRect());
        return true;
    case CmdSharpen:
        if (image)
            document.Sharpen(GetSelectionRect());
        return true;
    case CmdSharpenStrong:
        if (image)
            document.SharpenStrong(GetSelectionRect());
        return true;
    case CmdMedian:
        if (image)
            document.MedianFilter(GetSelectionRect());
        return true;
    case CmdCopyImage:
        if (image)
            document.CopyToClipboard(GetSelectionRect());
        return true;
    default:
        return false;
    }
}

void CAppWindow::ApplyFilterChange()
{
    // The workers read the filters from the document's snapshot, never from the store.
    m_document->ApplyFilterSettings();
    m_document->Reload(false);
    UpdateMenuState();
}

void CAppWindow::ToggleFilterValue(const wchar_t* key, int value)
{
    m_settings.SetInt(key, m_settings.GetInt(key) == value ? 0 : value);
    ApplyFilterChange();
}

void CAppWindow::CropToSelection()
{
    if (!m_selection->IsValid()) {
        m_window->MessageBox(MB_OK, L"エラー",
                             L"切り抜きの範囲が指定されていません。\r\nドラッグで範囲を指定してください");
        return;
    }
    // Without a page there is nothing to map the selection onto.
    if (!m_document->HasPageImage())
        return;
    const Brivox::CRect selection = GetSelectionRect();
    m_selection->SetState(Brivox::CSelectionRect::None);
    m_document->CropPage(selection);
}

void CAppWindow::FillSelection()
{
    if (m_colorDialog.Show())
        m_document->FillSelection(m_colorDialog.GetColor(), GetSelectionRect());
}

void CAppWindow::ExportPage(int command)
{
    if (!m_document->HasPageImage())
        return;
    const SExportFormat* format = nullptr;
    for (const SExportFormat& candidate : ExportFormats)
        if (candidate.command == command)
            format = &candidate;
    const Brivox::CRect selection = GetSelectionRect();
    const bool selected = !selection.IsEmpty();
    m_fileDialog.SetTitle(selected ? L"選択範囲をファイルに書き出すぞダイアログ"
                                   : L"ファイルに書き出すぞダイアログ");
    m_fileDialog.ClearFilters();
    m_fileDialog.AddFilter(format->description, format->pattern);
    m_fileDialog.AddFilter(L"All Files", L"*.*");
    m_fileDialog.SetDefaultExtension(format->extension);
    m_fileDialog.SetInitialFileName(BuildSaveFileName());
    m_fileDialog.SetFolder(
        Brivox::CFileName::FromExecutableDirectory(m_settings.GetRaw(L"CurrentDir")).ToString());
    if (!m_fileDialog.ShowSave())
        return;
    (m_document.get()->*format->save)(m_fileDialog.GetResult(0), selection);
    m_settings.SetRaw(L"CurrentDir", m_fileDialog.GetFolder());
}
