#pragma once
// The list page of the settings dialog: how opened files join the list, list behaviour, the
// extension filter with its two extension lists, the default sort order, the parts of proposed save
// names, the slide-show interval and deletion through the shell.

#include "settings/config_dialog_tab_base.h"

class CConfigDialogListPage : public CConfigDialogTabBase
{
public:
    CConfigDialogListPage();

    bool HookMessage(Brivox::SMessage& message) override;
    void Load(Brivox::CConfig& config) override;

    // The add position follows "add exported files", the readable-extension list the extension
    // filter, and the separator the two name parts it stands between.
    void UpdateEnables();

private:
    // The edit's text as one extension, added to the list; a refused text throws and stays.
    void AddExtension(int editId, int listId);
};
