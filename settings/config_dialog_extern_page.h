#pragma once
// The external-viewer page of the settings dialog: program, arguments and working folder of the
// three viewers the main window can start on the current file. The arguments and the folder are
// templates whose variables two small menus put in; the program can be chosen with a file dialog.

#include "settings/config_dialog_tab_base.h"
#include "ui/common_dialogs.h"

#include <memory>

class CConfigDialogExternPage : public CConfigDialogTabBase
{
public:
    CConfigDialogExternPage();

    bool HookMessage(Brivox::SMessage& message) override;

    // Lets the user choose the program of the edit, starting in the folder of its text taken
    // relative to the program's folder; the chosen path becomes the edit's text.
    void BrowseExecutable(int editId);

protected:
    // The file dialog that BrowseExecutable shows; tests give one that records its run.
    virtual std::unique_ptr<Brivox::CFileDialog> MakeFileDialog() const;

private:
    // The edit that the variable menu shown last inserts into.
    int m_variableTarget = 0;
};
