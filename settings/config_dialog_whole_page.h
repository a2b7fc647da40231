#pragma once
// The general page of the settings dialog: the wallpaper export, the network update's proxy and
// backups, and the bookmark and history folders with the number of history files kept.

#include "settings/config_dialog_tab_base.h"

class CConfigDialogWholePage : public CConfigDialogTabBase
{
public:
    CConfigDialogWholePage();

    bool HookMessage(Brivox::SMessage& message) override;
    void Load(Brivox::CConfig& config) override;

    // The wallpaper name follows "unify", the server the proxy box and the count the backup box.
    void UpdateEnables();
};
