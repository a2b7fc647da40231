#include "ui/control_binding.h"

#include "foundation/string_builder.h"

namespace Brivox {

void ApplyStringToControl(const ConfigBinding<String>& binding, const CCtrl& control)
{
    control.SetText(binding.GetString());
}

void ReadStringFromControl(const ConfigBinding<String>& binding, const CCtrl& control)
{
    binding.Set(control.GetText());
}

void CopyString(const ConfigBinding<String>& binding, String& target)
{
    target = binding.GetString();
}

void ApplyIntToEdit(const ConfigBinding<int>& binding, const CCtrl& edit)
{
    edit.SetInt(binding.Get());
}

void ReadIntFromEdit(const ConfigBinding<int>& binding, const CCtrl& edit)
{
    binding.Set(edit.GetInt());
}

void ApplyDoubleToControl(const ConfigBinding<double>& binding, const CCtrl& edit)
{
    edit.SetText(DoubleToDisplayString(binding.Get()));
}

void ReadDoubleFromControl(const ConfigBinding<double>& binding, const CCtrl& edit)
{
    binding.Set(StringToDouble(edit.GetText()));
}

void ApplyBoolToCheckBox(const ConfigBinding<bool>& binding, const CCtrl& checkBox)
{
    checkBox.SetChecked(binding.Get());
}

void ReadBoolFromCheckBox(const ConfigBinding<bool>& binding, const CCtrl& checkBox)
{
    binding.Set(checkBox.IsChecked());
}

void ApplyIntToTrackBar(const ConfigBinding<int>& binding, const CCtrl& trackBar)
{
    trackBar.TrackBarSetPos(binding.Get());
}

void ReadIntFromTrackBar(const ConfigBinding<int>& binding, const CCtrl& trackBar)
{
    binding.Set(trackBar.TrackBarGetPos());
}

void ReadIntFromRadioGroup(const ConfigBinding<int>& binding, const RadioButtonGroup& group)
{
    binding.Set(group.GetSelected());
}

void ApplyListToControl(const ConfigBinding<String>& binding, const CCtrl& listBox)
{
    listBox.SetLinesSplit(binding.GetString());
}

void ReadListFromControl(const ConfigBinding<String>& binding, const CCtrl& listBox)
{
    binding.Set(listBox.GetLinesJoined());
}

} // namespace Brivox
