#pragma once
// Brings settings written by older versions up to date at every start. There is no version key:
// every step leaves settings that are already up to date as they are.

#include "foundation/config.h"

// Replaces the older example proxy address with the present one, rewrites the external viewers'
// arguments and the title template to the present variables, removes the keys no version reads
// any more, and saves the store. Returns the result of the save.
bool UpgradeOldConfig(Brivox::CConfig& config, const Brivox::String& path);

// "$(dir)\$(file).$(ext)" becomes "$(full)", then what is left of "$(file).$(ext)" becomes "$(name)".
Brivox::String UpgradeViewerArguments(const Brivox::String& text);
// "$(dir)$(file)$(ext)" becomes "$(full)", then what is left of "$(file)$(ext)" becomes "$(name)".
Brivox::String UpgradeTitleTemplate(const Brivox::String& text);
