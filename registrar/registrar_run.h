#pragma once
// The registrar's one run: the hand-off file named on its command line, checked whole and then
// applied to HKEY_CLASSES_ROOT.

#include "foundation/key_value_file.h"
#include "foundation/string.h"

enum RegistrarExitCode
{
    // The run reached its end; single items may have failed and been shown.
    RegistrarDone = 0,
    // The hand-off file could not be loaded; nothing was shown.
    RegistrarNotLoaded = 1,
    // An error ended the run and was shown.
    RegistrarFailed = 2,
};

// Throws the missing-key exception for the first key of the 23 that the file lacks, and
// ValidateExtensionList's exception for a list item that is not a plain extension.
void CheckHandOffFile(Brivox::CKeyValueFile& store);

// The viewer that associations name: Kanoru2.exe in the registrar's folder, whatever the file
// says. Throws RuntimeException "'" + path + "' を関連付けに使用できません" when it is missing or
// its path does not survive the ANSI code page that the registry is written in.
Brivox::String LocateViewer(const Brivox::String& folder);

// Removes the previous associations and verbs, writes the new ones and tells the shell. Failures
// of single items are shown and passed over; any other error leaves it.
void ApplyEnvConfig(Brivox::CKeyValueFile& store, const Brivox::String& viewerPath);

// The whole run for the hand-off file's path; returns the exit code.
int RunRegistrar(const Brivox::String& handOffPath);
