#pragma once
// File associations and the shell's notice of changed ones.

#include "foundation/string.h"

namespace Brivox {

// The ProgID that HKEY_CLASSES_ROOT gives the extension (without its dot); empty when none can be
// read.
String GetExtensionProgId(const String& extension);
// Tells the shell that associations changed.
void NotifyAssocChanged();

} // namespace Brivox
