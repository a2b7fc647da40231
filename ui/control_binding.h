#pragma once
// Moves a settings value between the store and a dialog control through a binding: Apply puts the
// stored value into the control, Read puts the control's state into the store. A getter of a
// missing or unreadable key throws the store's RuntimeException, which passes through.

#include "foundation/config_binding.h"
#include "foundation/string.h"
#include "ui/ctrl.h"
#include "ui/radio_button_group.h"

namespace Brivox {

// Window text.
void ApplyStringToControl(const ConfigBinding<String>& binding, const CCtrl& control);
void ReadStringFromControl(const ConfigBinding<String>& binding, const CCtrl& control);
void CopyString(const ConfigBinding<String>& binding, String& target);

// Edit boxes: "%d" in, the text's leading number (0 without one) out.
void ApplyIntToEdit(const ConfigBinding<int>& binding, const CCtrl& edit);
void ReadIntFromEdit(const ConfigBinding<int>& binding, const CCtrl& edit);
// Shown in the display form ("3", "2.5"); read with '.' as the decimal point.
void ApplyDoubleToControl(const ConfigBinding<double>& binding, const CCtrl& edit);
void ReadDoubleFromControl(const ConfigBinding<double>& binding, const CCtrl& edit);

void ApplyBoolToCheckBox(const ConfigBinding<bool>& binding, const CCtrl& checkBox);
void ReadBoolFromCheckBox(const ConfigBinding<bool>& binding, const CCtrl& checkBox);

void ApplyIntToTrackBar(const ConfigBinding<int>& binding, const CCtrl& trackBar);
void ReadIntFromTrackBar(const ConfigBinding<int>& binding, const CCtrl& trackBar);

void ReadIntFromRadioGroup(const ConfigBinding<int>& binding, const RadioButtonGroup& group);

// List boxes: one item per ';'-separated piece (empty pieces dropped) in, the items joined with
// ';' out.
void ApplyListToControl(const ConfigBinding<String>& binding, const CCtrl& listBox);
void ReadListFromControl(const ConfigBinding<String>& binding, const CCtrl& listBox);

} // namespace Brivox
