#pragma once
// The drawing page of the settings dialog: the stretching method, ClearType-like scaling, the gap
// between the pages of a spread and the background colour, chosen with the colour dialog and kept
// by the page until OK.

#include "settings/config_dialog_tab_base.h"
#include "ui/common_dialogs.h"

class CConfigDialogDrawPage : public CConfigDialogTabBase
{
public:
    CConfigDialogDrawPage();

    bool HookMessage(Brivox::SMessage& message) override;
    void Load(Brivox::CConfig& config) override;
    void Save(Brivox::CConfig& config) override;

    COLORREF GetBackgroundColor() const { return m_backgroundColor; }
    void SetBackgroundColor(COLORREF color) { m_backgroundColor = color; }

private:
    // Its custom colours last as long as the page.
    Brivox::CColorDialog m_colorDialog;
    COLORREF m_backgroundColor = 0;
};
