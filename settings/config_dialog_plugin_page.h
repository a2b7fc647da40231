#pragma once
// The plug-in page of the settings dialog: the order in which archive readers and image loaders are
// tried (each list holds a separator; what stands below it is not used), the configuration dialogs
// of the archiver DLLs and of the loaded Susie plug-ins, the passwords tried on encrypted archives,
// the extraction folder and the Susie plug-in folder.

#include "formats/susie_interface.h"
#include "foundation/string.h"
#include "settings/config_dialog_tab_base.h"

#include <map>

namespace Brivox {
class CSpi;
}

class CConfigDialogPluginPage : public CConfigDialogTabBase
{
public:
    // The plug-in set may be null (no plug-ins listed); it must outlive the page. The Susie install
    // root is read now.
    explicit CConfigDialogPluginPage(const Brivox::CSpi* spi);

    bool HookMessage(Brivox::SMessage& message) override;
    void Load(Brivox::CConfig& config) override;
    // Throws RuntimeException when an order list holds an entry it does not know; the keys of the
    // entries above it are written by then.
    void Save(Brivox::CConfig& config) override;

    // The archiver button follows the selected DLL entry, the plug-in buttons the selected
    // plug-in's settings entry, and the Susie button the install root.
    void UpdateButtonStates();

private:
    // The selected entry of the order list one place up (step -1) or down (step 1).
    void MoveSelected(int listId, int step);
    void ShowArchiverConfig();
    // Function 0 shows the plug-in's information, 1 its settings.
    void ShowPluginDialog(int function);
    Brivox::SpiConfigurationDlgProc SelectedPluginEntry() const;

    const Brivox::CSpi* m_spi;
    Brivox::String m_susieInstallRoot;
    // Plug-in name to its "ConfigurationDlg" export, null for a plug-in without one.
    std::map<Brivox::String, Brivox::SpiConfigurationDlgProc> m_pluginSettings;
};
