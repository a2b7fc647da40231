#pragma once

#include "foundation/string.h"

namespace Brivox {

// One typed extension as the association lists keep it: blanks around it, leading dots (while more
// than one character is left) and leading "*." pieces removed. Throws RuntimeException with the
// text as typed and " は不正な拡張子っぽいです" when what is left holds a character that cannot be
// part of an extension (blank, . * ? : < > | \ / " ; or a control character). An empty result is
// returned as it is.
String ValidateExtensionList(const String& text);

// Throws ValidateExtensionList's exception unless the item is already in the form it gives, so
// that a list read from elsewhere names only extensions.
void RequireValidExtension(const String& item);

} // namespace Brivox
