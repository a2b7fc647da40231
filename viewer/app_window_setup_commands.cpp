// The commands that hand over to the association dialog and to the network updater.
#include "settings/env_dialog.h"
#include "ui/window.h"
#include "updater/updater_dialog.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"

bool CAppWindow::RunSetupCommand(int command)
{
    switch (command) {
    case CmdEnvironmentSettings:
        Brivox::RunEnvironmentSettings(
            m_window->GetHandle(), m_settings, [this] { (void)m_settings.Save(m_settingsPath); },
            [this] {
                ApplySettings();
                UpdateMenuState();
            });
        return true;
    case CmdNetworkUpdate:
        // A finished update closes the main window, so that the scripts can replace the program.
        RunNetworkUpdate(*m_window, m_settings);
        return true;
    default:
        return false;
    }
}
