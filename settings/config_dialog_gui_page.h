#pragma once
// The display page of the settings dialog: magnifier, full screen, cursor hiding, padding, window
// position and the title-bar template, with a menu of the template's variables. It also carries
// the colour dialog's custom colours ("ChooseColor") through, in their current text form.

#include "settings/config_dialog_tab_base.h"
#include "ui/common_dialogs.h"

class CConfigDialogGUIPage : public CConfigDialogTabBase
{
public:
    CConfigDialogGUIPage();

    bool HookMessage(Brivox::SMessage& message) override;
    void Load(Brivox::CConfig& config) override;
    void Save(Brivox::CConfig& config) override;

    // The hiding delay follows the cursor-hiding box, and "not on load" the position-restore box.
    void UpdateEnables();

private:
    // Only carries the "ChooseColor" text: this page shows no colour.
    Brivox::CColorDialog m_colorDialog;
};
