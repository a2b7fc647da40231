#include "settings/config_dialog_tab_base.h"

#include "foundation/file_name.h"
#include "settings/config_dialog_ids.h"
#include "ui/common_dialogs.h"
#include "ui/control_binding.h"
#include "ui/dialog_tooltip.h"
#include "ui/menu.h"
#include "ui/radio_button_group.h"

using Brivox::CConfig;
using Brivox::CCtrl;

namespace {

Brivox::RadioButtonGroup MakeGroup(HWND page, const CConfigDialogTabBase::SBinding& binding)
{
    Brivox::RadioButtonGroup group(page);
    for (const int id : binding.controls)
        if (id != 0)
            group.Add(id);
    return group;
}

// A menu resource of the program, destroyed with this object.
class LoadedMenu
{
public:
    explicit LoadedMenu(int resourceId) { m_menu.Load(resourceId); }
    ~LoadedMenu() { m_menu.Destroy(); }
    LoadedMenu(const LoadedMenu&) = delete;
    LoadedMenu& operator=(const LoadedMenu&) = delete;

    const Brivox::CMenuHandle& Get() const { return m_menu; }

private:
    Brivox::CMenuHandle m_menu;
};

} // namespace

CConfigDialogTabBase::CConfigDialogTabBase(int templateId, std::span<const SBinding> bindings,
                                           std::span<const STooltip> tooltips)
    : CTabPage(templateId), m_bindings(bindings), m_tooltips(tooltips)
{
}

bool CConfigDialogTabBase::HookMessage(Brivox::SMessage& message)
{
    if (message.message != WM_INITDIALOG)
        return CTabPage::HookMessage(message);
    Brivox::CDialogTooltip& tooltip = Brivox::CDialogTooltip::Attach(GetWindow());
    for (const STooltip& tip : m_tooltips)
        for (const int id : tip.controls)
            if (id != 0)
                tooltip.AddTool(id, tip.text);
    return true;
}

void CConfigDialogTabBase::Load(CConfig& config)
{
    for (const SBinding& binding : m_bindings)
        LoadBinding(binding, config);
}

void CConfigDialogTabBase::Save(CConfig& config)
{
    for (const SBinding& binding : m_bindings)
        SaveBinding(binding, config);
}

void CConfigDialogTabBase::BrowseFolder(int editId)
{
    const CCtrl edit = Item(editId);
    Brivox::CFolderDialog dialog;
    dialog.SetOwner(GetWindow().GetHandle());
    // Relative settings such as ".\bookmark\" start below the program's folder.
    dialog.SetFolder(Brivox::CFileName::FromExecutableDirectory(edit.GetText()).ToString());
    if (dialog.Show())
        edit.SetText(dialog.GetFolder());
}

CCtrl CConfigDialogTabBase::Item(int itemId) const
{
    return GetWindow().GetDlgItem(itemId);
}

void CConfigDialogTabBase::InsertMenuVariable(int menuId, int itemId, int editId) const
{
    Brivox::String text;
    {
        const LoadedMenu menu(menuId);
        text = menu.Get().GetItemText(itemId);
    }
    const std::vector<Brivox::String> pieces = text.Split(std::vector<Brivox::String>{L"\t"});
    if (pieces.size() != 2)
        return;
    Item(editId).SetFocus().ReplaceSelection(pieces[0]);
}

void CConfigDialogTabBase::LoadBinding(const SBinding& binding, CConfig& config) const
{
    const CCtrl control = Item(binding.controls[0]);
    switch (binding.kind) {
    case BindingKind::Check:
        Brivox::ApplyBoolToCheckBox(config.BindBool(binding.key), control);
        break;
    case BindingKind::IntegerEdit:
        Brivox::ApplyIntToEdit(config.BindInt(binding.key), control);
        break;
    case BindingKind::DecimalEdit:
        Brivox::ApplyDoubleToControl(config.BindDouble(binding.key), control);
        break;
    case BindingKind::EscapedText:
        Brivox::ApplyStringToControl(config.BindString(binding.key), control);
        break;
    case BindingKind::RawText:
        Brivox::ApplyStringToControl(config.BindRaw(binding.key), control);
        break;
    case BindingKind::SizePair: {
        const SIZE size = config.GetSize(binding.key);
        control.SetInt(size.cx);
        Item(binding.controls[1]).SetInt(size.cy);
        break;
    }
    case BindingKind::RadioIndex:
        MakeGroup(GetWindow().GetHandle(), binding).Select(config.GetInt(binding.key));
        break;
    case BindingKind::ComboIndex:
        control.ComboSetCurSel(config.GetInt(binding.key));
        break;
    case BindingKind::List:
        Brivox::ApplyListToControl(config.BindString(binding.key), control);
        break;
    case BindingKind::BoolRadioPair: {
        const bool value = config.GetBool(binding.key);
        control.SetChecked(value);
        Item(binding.controls[1]).SetChecked(!value);
        break;
    }
    }
}

void CConfigDialogTabBase::SaveBinding(const SBinding& binding, CConfig& config) const
{
    const CCtrl control = Item(binding.controls[0]);
    switch (binding.kind) {
    case BindingKind::Check:
        Brivox::ReadBoolFromCheckBox(config.BindBool(binding.key), control);
        break;
    case BindingKind::IntegerEdit:
        Brivox::ReadIntFromEdit(config.BindInt(binding.key), control);
        break;
    case BindingKind::DecimalEdit:
        Brivox::ReadDoubleFromControl(config.BindDouble(binding.key), control);
        break;
    case BindingKind::EscapedText:
        Brivox::ReadStringFromControl(config.BindString(binding.key), control);
        break;
    case BindingKind::RawText:
        Brivox::ReadStringFromControl(config.BindRaw(binding.key), control);
        break;
    case BindingKind::SizePair:
        config.SetSize(binding.key, SIZE{control.GetInt(), Item(binding.controls[1]).GetInt()});
        break;
    case BindingKind::RadioIndex:
        Brivox::ReadIntFromRadioGroup(config.BindInt(binding.key),
                                      MakeGroup(GetWindow().GetHandle(), binding));
        break;
    case BindingKind::ComboIndex:
        config.SetInt(binding.key, control.ComboGetCurSel());
        break;
    case BindingKind::List:
        Brivox::ReadListFromControl(config.BindString(binding.key), control);
        break;
    case BindingKind::BoolRadioPair:
        config.SetBool(binding.key, control.IsChecked());
        break;
    }
}

CConfigDialogEmptyPage::CConfigDialogEmptyPage() : CConfigDialogTabBase(IDD_CONFIG_EMPTY_PAGE, {}) {}
