#pragma once
// File associations, ProgIDs, icons and Explorer verbs under HKEY_CLASSES_ROOT.

#include "foundation/string.h"

namespace Brivox {

// One class or verb to write. An empty text writes nothing of its own.
struct ShellClassInfo
{
    // The verb key under Shell; empty means Shell\Open.
    String Verb;
    // Default value of the verb key.
    String MenuText;
    // Default value of the verb's Command key.
    String Command;
    // Default value of the ProgID key.
    String Description;
    // DefaultIcon reads IconPath, a comma and IconIndex.
    String IconPath;
    int IconIndex = 0;
};

// .ext names the ProgID (and its content type when one is given). Throws what the registry key
// throws.
void RegisterExtension(const String& extension, const String& progId, const String& contentType);
// Empties the default value of .ext when it names exactly this ProgID; the key stays. An
// extension without a key, or whose default value is missing or names another ProgID, is not
// this ProgID's and is left alone.
void UnregisterExtension(const String& extension, const String& progId);
// Writes the ProgID's description, verb (with menu text and command) and icon. What was written
// before a failure stays.
void RegisterShellClass(const String& progId, const ShellClassInfo& info);
// Deletes the ProgID's Shell\Open verb, DefaultIcon and then the ProgID itself; a key that still
// holds others (another verb, another program's keys) stays.
void UnregisterShellClass(const String& progId);
// Deletes the verb and its command; the Shell key stays.
void UnregisterShellVerb(const String& progId, const String& verb);

} // namespace Brivox
