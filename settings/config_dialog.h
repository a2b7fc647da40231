#pragma once
// The modal settings dialog: seven tab pages that load every key they show when the dialog opens
// and write them back only on OK. The caller saves the settings file and applies the settings
// afterwards, however the dialog closed.

#include "foundation/config.h"
#include "foundation/string.h"
#include "settings/config_dialog_tab_base.h"
#include "ui/resource_dialog.h"
#include "ui/tab_ctrl.h"

#include <memory>
#include <vector>

namespace Brivox {
class CSpi;
}

// The page a command opens the dialog on (0 display ... 6 external viewers); -1 for a command id
// that opens no settings page.
int ConfigDialogStartPage(int commandId);

// Runs the settings dialog modally over owner, opened on the page with this index.
void ShowConfigDialog(HWND owner, Brivox::CConfig& config, const Brivox::CSpi* spi, int startPage);

class CConfigDialog : public Brivox::CResourceDialogBase, public Brivox::CTabCtrl::IOwner
{
public:
    struct SPage
    {
        Brivox::String caption;
        std::shared_ptr<CConfigDialogTabBase> page;
    };

    // The store must outlive the dialog; the plug-in set may be null.
    CConfigDialog(Brivox::CConfig& config, const Brivox::CSpi* spi, int startPage);
    // Closes and deletes the pages when they are still there.
    ~CConfigDialog() override;

    bool HookMessage(Brivox::SMessage& message) override;
    void OnPageShown(Brivox::CTabCtrl*, int) override {}
    bool OnPageMessage(Brivox::CTabCtrl*, int, Brivox::SMessage&) override { return false; }

    // Null before the dialog opens and after OK or Cancel.
    Brivox::CTabCtrl* GetTabCtrl() const { return m_tabCtrl.get(); }
    // Null outside the same time, or for an index without a page.
    CConfigDialogTabBase* GetPage(int index) const;

protected:
    // The pages in tab order; a page's index is its start-page index.
    virtual std::vector<SPage> CreatePages();

    const Brivox::CSpi* GetSpi() const { return m_spi; }

private:
    void OnInitDialog();
    void CentreOverParent();
    void OnOk();
    void OnCancel();

    Brivox::CConfig& m_config;
    const Brivox::CSpi* m_spi;
    int m_startPage;
    std::unique_ptr<Brivox::CTabCtrl> m_tabCtrl;
};
