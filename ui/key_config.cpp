#include "ui/key_config.h"

namespace Brivox {

void CKeyConfig::AddCommand(int command, const String& name, int id)
{
    m_entries.push_back(SEntry{name, id});
    m_index.emplace(command, m_entries.size() - 1);
}

int CKeyConfig::FindCommand(const String& name) const
{
    for (const auto& [command, position] : m_index)
        if (m_entries[position].name == name)
            return command;
    return -1;
}

bool CKeyConfig::IsCommand(int command) const
{
    return m_index.find(command) != m_index.end();
}

String CKeyConfig::GetCommandName(int command) const
{
    const auto found = m_index.find(command);
    return found == m_index.end() ? String() : m_entries[found->second].name;
}

void CKeyConfig::SendCommand(HWND window, int command) const
{
    const auto found = m_index.find(command);
    if (found != m_index.end())
        ::SendMessageA(window, WM_COMMAND, static_cast<WPARAM>(m_entries[found->second].id), 0);
}

String CKeyConfig::MenuTextWithKeys(const String& menuText, const String& keys)
{
    const int tab = menuText.IndexOf(L'\t', 0, menuText.Length());
    const String caption = tab < 0 ? menuText : menuText.Substring(0, tab);
    return keys.Length() > 0 ? caption + L"\t" + keys : caption;
}

} // namespace Brivox
