#include "viewer/key_config_ex.h"

#include "foundation/fake_deleter.h"
#include "foundation/file_name.h"
#include "foundation/message_box.h"
#include "resources/key_config_dialog_ids.h"
#include "ui/ctrl.h"
#include "ui/dialog_tooltip.h"
#include "ui/key_names.h"
#include "ui/window.h"
#include "viewer/command_table.h"

#include <commctrl.h>

namespace {

constexpr int KeyColumnWidth = 70;
constexpr int CommandColumnWidth = 165;

struct SModifierBox
{
    int id;
    int flag;
};

constexpr SModifierBox ModifierBoxes[] = {{IDC_KEY_CTRL, Brivox::SHotKey::Ctrl},
                                          {IDC_KEY_ALT, Brivox::SHotKey::Alt},
                                          {IDC_KEY_SHIFT, Brivox::SHotKey::Shift}};

bool IsCommand(const Brivox::SMessage& message, int id)
{
    return message.message == WM_COMMAND && LOWORD(message.wParam) == id;
}

} // namespace

CKeyConfigEx::CKeyConfigEx(Brivox::CWindow& mainWindow, const Brivox::String& baseName)
    : Brivox::CResourceDialogBase(IDD_KEY_CONFIG), m_mainWindow(mainWindow), m_baseName(baseName),
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

bool CKeyConfigEx::SaveKeyConfig() const
{
    Brivox::HotKeySetting defaults;
    ResetKeyConfigToDefaults(defaults);
    return m_hotKey->SaveDiff(GetFilePath(), defaults);
}

void CKeyConfigEx::ResetToDefaults()
{
    ResetKeyConfigToDefaults(*m_hotKey);
}

void CKeyConfigEx::ShowDialog()
{
    DoModal(m_mainWindow.GetHandle());
}

bool CKeyConfigEx::HookMessage(Brivox::SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        InitDialog();
        return true;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
        if (header->idFrom == IDC_KEY_LIST &&
            (header->code == LVN_ITEMCHANGED || header->code == LVN_ITEMACTIVATE)) {
            UpdateAssignButton();
            return true;
        }
        return false;
    }
    case WM_COMMAND:
        for (const SModifierBox& box : ModifierBoxes)
            if (IsCommand(message, box.id)) {
                RefreshKeyList();
                return true;
            }
        if (IsCommand(message, IDC_KEY_COMMANDS)) {
            if (HIWORD(message.wParam) == LBN_DBLCLK)
                AssignSelectedCommand();
            return true;
        }
        if (IsCommand(message, IDC_KEY_RESET)) {
            ConfirmReset();
            return true;
        }
        if (IsCommand(message, IDOK)) {
            Save();
            return true;
        }
        if (IsCommand(message, IDCANCEL)) {
            ::SendMessageA(message.hwnd, WM_CLOSE, 0, 0);
            return true;
        }
        return false;
    case WM_CLOSE:
        // Every change made in the dialog is undone.
        LoadKeyConfig();
        EndDialog();
        return true;
    default:
        return false;
    }
}

void CKeyConfigEx::InitDialog()
{
    Brivox::CWindow& dialog = GetWindow();
    dialog.CentreOverClientOf(m_mainWindow);

    const Brivox::CCtrl keys = dialog.GetDlgItem(IDC_KEY_LIST);
    keys.ListViewSetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE);
    keys.ListViewAddColumn(L"キー", KeyColumnWidth, LVCFMT_LEFT);
    keys.ListViewAddColumn(L"現在の割り当て", CommandColumnWidth, LVCFMT_LEFT);
    const Brivox::KeyNameTable& names = Brivox::KeyNameTable::Instance();
    for (int key = 0; key < Brivox::SHotKey::KeyCount; ++key)
        keys.ListViewAddItem(names.GetName(key), -1);

    const Brivox::CCtrl commands = dialog.GetDlgItem(IDC_KEY_COMMANDS);
    commands.ListBoxAddString(L"(未割り当て)");
    for (const SCommandRow& row : CommandTable())
        commands.ListBoxAddString(RegisteredName(row));

    RefreshKeyList();

    Brivox::CDialogTooltip& tips = Brivox::CDialogTooltip::Attach(dialog);
    tips.AddTool(IDC_KEY_LIST, L"操作を割り当てたいキーを選択します。");
    tips.AddTool(IDC_KEY_COMMANDS, L"割り当てる操作を選び、ダブルクリックで、選択したキーに割り当てます。");
    tips.AddTool(IDC_KEY_RESET, L"カスタマイズした設定を破棄し、デフォルトのキー設定に戻します。");
}

int CKeyConfigEx::GetModifiers() const
{
    int modifiers = 0;
    for (const SModifierBox& box : ModifierBoxes)
        if (GetWindow().GetDlgItem(box.id).IsChecked())
            modifiers += box.flag;
    return modifiers;
}

void CKeyConfigEx::RefreshKeyList()
{
    const Brivox::CCtrl keys = GetWindow().GetDlgItem(IDC_KEY_LIST);
    const int modifiers = GetModifiers();
    for (int key = 0; key < Brivox::SHotKey::KeyCount; ++key) {
        const int command = m_hotKey->FindCommand(key, modifiers);
        keys.ListViewSetItemText(key, 1,
                                 command >= 0 ? m_commands->GetCommandName(command) : Brivox::String());
    }
    UpdateAssignButton();
}

void CKeyConfigEx::UpdateAssignButton()
{
    const Brivox::CWindow& dialog = GetWindow();
    dialog.GetDlgItem(IDC_KEY_COMMANDS)
        .Enable(dialog.GetDlgItem(IDC_KEY_LIST).ListViewGetSelectedIndex() >= 0);
}

void CKeyConfigEx::AssignSelectedCommand()
{
    const Brivox::CWindow& dialog = GetWindow();
    const Brivox::CCtrl keys = dialog.GetDlgItem(IDC_KEY_LIST);
    const int key = keys.ListViewGetSelectedIndex();
    if (key < 0)
        return;
    const int modifiers = GetModifiers();
    m_hotKey->Unbind(key, modifiers);
    const Brivox::String name = dialog.GetDlgItem(IDC_KEY_COMMANDS).ListBoxGetSelectedText();
    const int command = m_commands->FindCommand(name);
    if (command < 0) {
        keys.ListViewSetItemText(key, 1, Brivox::String());
        return;
    }
    m_hotKey->Bind(command, key, modifiers);
    keys.ListViewSetItemText(key, 1, name);
}

void CKeyConfigEx::ConfirmReset()
{
    const int answer =
        Brivox::ShowMessageBoxWithFlags(GetWindow().GetHandle(), L"現在の設定を破棄し、初期設定に戻します",
                                        L"確認", MB_OKCANCEL | MB_ICONINFORMATION, MB_SETFOREGROUND);
    if (answer != IDOK)
        return;
    ResetToDefaults();
    RefreshKeyList();
}

void CKeyConfigEx::Save()
{
    // A file that cannot be written keeps the dialog open with the bindings as edited, so that
    // nothing the user did is lost silently.
    if (!SaveKeyConfig()) {
        Brivox::ShowMessageBoxWithFlags(GetWindow().GetHandle(), GetFilePath() + L" の保存に失敗しました",
                                        L"エラー", MB_OK, MB_ICONERROR);
        return;
    }
    EndDialog();
}

void CKeyConfigEx::EndDialog()
{
    GetWindow().GetDlgItem(IDC_KEY_LIST).ListViewDeleteAllItems();
    GetWindow().Destroy();
}
