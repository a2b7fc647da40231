#pragma once
// The table of commands that keys and menu items lead to: each command's number, its registered
// name (the name the key-configuration dialog lists) and its WM_COMMAND id.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/hot_key.h"

#include <map>
#include <vector>

namespace Brivox {

class CKeyConfig
{
public:
    CKeyConfig() = default;
    CKeyConfig(const CKeyConfig&) = delete;
    CKeyConfig& operator=(const CKeyConfig&) = delete;

    // A number registered before keeps its first registration.
    void AddCommand(int command, const String& name, int id);
    // Numbers tried in ascending order; -1 when no registered name equals name exactly.
    int FindCommand(const String& name) const;
    bool IsCommand(int command) const;
    // Empty for a number that is not registered.
    String GetCommandName(int command) const;
    // WM_COMMAND with the command's id, sent: the window has handled it when this returns.
    // Nothing for a number that is not registered.
    void SendCommand(HWND window, int command) const;

    // Appends each command's bound keys after a tab to the text of the menu item with its id, and
    // writes an item only when its text changes. Menu is anything that reads and writes item texts
    // by command id (the menu handle).
    template <typename Menu> void UpdateMenuTexts(Menu&& menu, const HotKeySetting& setting) const
    {
        for (const auto& [command, position] : m_index) {
            const int id = m_entries[position].id;
            const String text = menu.GetItemText(id);
            const String shown = MenuTextWithKeys(text, setting.GetKeysText(command));
            if (!(shown == text))
                menu.SetItemText(id, shown);
        }
    }

    // The caption of a menu text (the part before its first tab), then a tab and the keys when
    // there are any.
    static String MenuTextWithKeys(const String& menuText, const String& keys);

private:
    struct SEntry
    {
        String name;
        int id;
    };

    std::vector<SEntry> m_entries;
    std::map<int, std::size_t> m_index;
};

} // namespace Brivox
