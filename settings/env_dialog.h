#pragma once
// The association settings dialog: which file types the viewer opens, which Explorer menus offer
// it, the texts Explorer shows, and the SendTo shortcut. The registry itself is written only by the
// registrar, to which the dialog hands the choices.

#include "foundation/config.h"
#include "foundation/win32.h"
#include "settings/association_hand_off.h"
#include "ui/resource_dialog.h"

#include <functional>

namespace Brivox {

class CEnvConfigDialog : public CResourceDialogBase
{
public:
    // The store must outlive the dialog; so must the host, which tests replace.
    explicit CEnvConfigDialog(CConfig& config, IRegistrarHost& host = GetSystemRegistrarHost());

    bool HookMessage(SMessage& message) override;

    // The registry state, the settings and the SendTo shortcut into the controls; the hand-off box
    // unticked.
    void Load();
    // The association groups follow the hand-off box.
    void UpdateEnables();
    // OK: the settings and the shortcut, then the registry through the registrar when the hand-off
    // box is ticked.
    void Apply();

private:
    void OnInitDialog();
    void OnCommand(int id);
    void AddExtension(int editId, int listId);
    bool IsChecked(int id) const;

    CConfig& m_config;
    IRegistrarHost& m_host;
};

// The association command: the dialog over the owner with the settings store, then, whatever its
// outcome, the settings saved and applied again and the owner brought to the foreground.
void RunEnvironmentSettings(HWND owner, CConfig& config, const std::function<void()>& saveSettings,
                            const std::function<void()>& applySettings,
                            IRegistrarHost& host = GetSystemRegistrarHost());

} // namespace Brivox
