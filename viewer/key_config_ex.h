#pragma once
// The owner of the main window's hot keys: the command table registered for the key names, the
// live bindings hooked into the main window, and the key-configuration file beside the program.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/hot_key.h"
#include "ui/key_config.h"
#include "ui/menu.h"

#include <memory>

namespace Brivox {
class CWindow;
}

class CKeyConfigEx : public Brivox::CHotKey::IOwner
{
public:
    // Hooks the bindings into the window and reads the file (base name + ".key.cfg").
    CKeyConfigEx(Brivox::CWindow& mainWindow, const Brivox::String& baseName);
    ~CKeyConfigEx() override;
    CKeyConfigEx(const CKeyConfigEx&) = delete;
    CKeyConfigEx& operator=(const CKeyConfigEx&) = delete;

    // Each command's keys after a tab in the menu item's text.
    void UpdateMenuTexts(HMENU menu) const;
    // Sends the command to the main window; it has been carried out when this returns.
    void OnHotKey(Brivox::CHotKey& hotKey, int command) override;

    void LoadKeyConfig();
    void SaveKeyConfig() const;
    void ResetToDefaults();

    Brivox::HotKeySetting& GetBindings() { return *m_hotKey; }
    const Brivox::CKeyConfig& GetCommands() const { return *m_commands; }
    Brivox::String GetFilePath() const;

private:
    Brivox::CWindow& m_mainWindow;
    Brivox::String m_baseName;
    std::shared_ptr<Brivox::CHotKey> m_hotKey;
    std::shared_ptr<Brivox::CKeyConfig> m_commands;
};
