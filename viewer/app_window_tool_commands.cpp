// The commands that open the image tool dialogs: once on the page on show (category "画像"), or
// to edit an automatic filter (category "フィルタ").
#include "settings/image_tool_dialogs.h"
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"

bool CAppWindow::RunToolDialogCommand(int command)
{
    CDocument& document = *m_document;
    const HWND window = m_window->GetHandle();
    // The image commands act only on a page on show; the filter commands on whatever is shown.
    const bool image = document.HasPageImage();
    const Brivox::CRect whole;
    switch (command) {
    case CmdRotateByAngle:
        if (image)
            CRotDialog(*this).DoModal(window);
        return true;
    case CmdResize: {
        const Brivox::CSize size = document.GetPageSize();
        // The dialog keeps the proportion of the current size, which must not be empty.
        if (!image || size.cx < 1 || size.cy < 1)
            return true;
        CStretchDialog dialog(size, m_settings.GetBool(L"StretchKeepRate"));
        dialog.DoModal(window);
        if (const std::optional<Brivox::CSize>& result = dialog.GetResult()) {
            m_settings.SetBool(L"StretchKeepRate", dialog.GetKeepAspect());
            document.ResizePage(*result);
        }
        return true;
    }
    case CmdLevels:
        if (image)
            CLevelRevDialog(*this, GetSelectionRect(), false).DoModal(window);
        return true;
    case CmdGamma:
        if (image)
            CGammaRevDialog(*this, GetSelectionRect(), false).DoModal(window);
        return true;
    case CmdBrightnessContrast:
        if (image)
            CBrightContrastDialog(*this, GetSelectionRect(), false).DoModal(window);
        return true;
    case CmdMosaic:
        if (image)
            CMosaicDialog(*this, GetSelectionRect()).DoModal(window);
        return true;
    case CmdGaussianBlur:
    case CmdUnsharpMask:
        if (image)
            CGaussDialog(*this, GetSelectionRect(), false, command == CmdGaussianBlur).DoModal(window);
        return true;
    case CmdApplyAlpha:
        if (image)
            CAlphaDialog(*this, GetSelectionRect(), false).DoModal(window);
        return true;
    case CmdFilterLevels: {
        CLevelRevDialog dialog(*this, whole, true);
        ToggleFilterDialog(L"FilterLevelRev", dialog);
        return true;
    }
    case CmdFilterGamma: {
        CGammaRevDialog dialog(*this, whole, true);
        ToggleFilterDialog(L"FilterGammaRev", dialog);
        return true;
    }
    case CmdFilterBrightnessContrast: {
        CBrightContrastDialog dialog(*this, whole, true);
        ToggleFilterDialog(L"FilterBC", dialog);
        return true;
    }
    case CmdFilterGaussianBlur: {
        CGaussDialog dialog(*this, whole, true, true);
        ToggleFilterDialog(L"FilterGauss", dialog);
        return true;
    }
    case CmdFilterUnsharpMask: {
        CGaussDialog dialog(*this, whole, true, false);
        ToggleFilterDialog(L"FilterUnsharp", dialog);
        return true;
    }
    case CmdFilterApplyAlpha: {
        CAlphaDialog dialog(*this, whole, true);
        ToggleFilterDialog(L"FilterAlpha", dialog);
        return true;
    }
    default:
        return false;
    }
}

void CAppWindow::ToggleFilterDialog(const wchar_t* key, Brivox::CResourceDialogBase& dialog)
{
    // The dialog switches the filter on only when it is confirmed.
    if (m_settings.GetBool(key))
        m_settings.SetBool(key, false);
    else
        dialog.DoModal(m_window->GetHandle());
    // The pages are composed again with the filters as they are now.
    ApplyFilterChange();
}
