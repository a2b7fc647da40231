#include "viewer/key_config_ex.h"

#include "foundation/fake_deleter.h"
#include "foundation/file_name.h"
#include "ui/window.h"
#include "viewer/command_table.h"

CKeyConfigEx::CKeyConfigEx(Brivox::CWindow& mainWindow, const Brivox::String& baseName)
    : m_mainWindow(mainWindow), m_baseName(baseName),
      m_hotKey(std::make_shared<Brivox::CHotKey>(
          std::shared_ptr<Brivox::CHotKey::IOwner>(this, Brivox::Detail::FakeDeleter()))),
      m_commands(std::make_shared<Brivox::CKeyConfig>())
{
    m_mainWindow.GetHookList()->Add(m_hotKey.get());
    RegisterCommands(*m_commands);
    LoadKeyConfig();
}

// The hot key leaves the window's hook list as it goes.
CKeyConfigEx::~CKeyConfigEx() = default;

Brivox::String CKeyConfigEx::GetFilePath() const
{
    return Brivox::CFileName::FromExecutableDirectory(m_baseName + L".key.cfg").ToString();
}

void CKeyConfigEx::UpdateMenuTexts(HMENU menu) const
{
    if (menu)
        m_commands->UpdateMenuTexts(Brivox::CMenuHandle(menu), *m_hotKey);
}

void CKeyConfigEx::OnHotKey(Brivox::CHotKey&, int command)
{
    m_commands->SendCommand(m_mainWindow.GetHandle(), command);
}

void CKeyConfigEx::LoadKeyConfig()
{
    Brivox::HotKeySetting defaults;
    ResetKeyConfigToDefaults(defaults);
    m_hotKey->LoadDiff(GetFilePath(), defaults, *m_commands);
}

void CKeyConfigEx::SaveKeyConfig() const
{
    Brivox::HotKeySetting defaults;
    ResetKeyConfigToDefaults(defaults);
    m_hotKey->SaveDiff(GetFilePath(), defaults);
}

void CKeyConfigEx::ResetToDefaults()
{
    ResetKeyConfigToDefaults(*m_hotKey);
}
