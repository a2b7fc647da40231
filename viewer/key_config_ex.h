#pragma once
// The owner of the main window's hot keys: the command table registered for the key names, the
// live bindings hooked into the main window, and the key-configuration file beside the program.
// It is also the dialog in which the user rebinds the keys.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/hot_key.h"
#include "ui/key_config.h"
#include "ui/menu.h"
#include "ui/resource_dialog.h"

#include <memory>

namespace Brivox {
class CWindow;
}

class CKeyConfigEx : public Brivox::CResourceDialogBase, public Brivox::CHotKey::IOwner
{
public:
    // Hooks the bindings into the window and reads the file (base name + ".key.cfg").
    CKeyConfigEx(Brivox::CWindow& mainWindow, const Brivox::String& baseName);
    ~CKeyConfigEx() override;
    CKeyConfigEx(const CKeyConfigEx&) = delete;
    CKeyConfigEx& operator=(const CKeyConfigEx&) = delete;

    // Runs the dialog modally over the main window. The menu's key texts are left to the caller.
    void ShowDialog();
    bool HookMessage(Brivox::SMessage& message) override;

    // Each command's keys after a tab in the menu item's text.
    void UpdateMenuTexts(HMENU menu) const;
    // Sends the command to the main window; it has been carried out when this returns.
    void OnHotKey(Brivox::CHotKey& hotKey, int command) override;

    void LoadKeyConfig();
    // False when the file could not be written.
    bool SaveKeyConfig() const;
    void ResetToDefaults();

    // The cells of the key list for the ticked modifiers, and the command list's state.
    void RefreshKeyList();
    void UpdateAssignButton();

    Brivox::HotKeySetting& GetBindings() { return *m_hotKey; }
    const Brivox::CKeyConfig& GetCommands() const { return *m_commands; }
    Brivox::String GetFilePath() const;

private:
    void InitDialog();
    int GetModifiers() const;
    void AssignSelectedCommand();
    void ConfirmReset();
    void Save();
    void EndDialog();

    Brivox::CWindow& m_mainWindow;
    Brivox::String m_baseName;
    std::shared_ptr<Brivox::CHotKey> m_hotKey;
    std::shared_ptr<Brivox::CKeyConfig> m_commands;
};
