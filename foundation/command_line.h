#pragma once
#include "foundation/string.h"

#include <vector>

namespace Brivox {

// The process command line.
String GetCommandLineText();
// The command line cut into arguments; the first is the program itself. Double quotes group an
// argument (there is no escape); a space ends an unquoted one, a tab does not.
std::vector<String> SplitCommandLine();
std::vector<String> SplitCommandLine(const String& text);

// The full path of the running program.
String GetModuleFileNameString();
// The temporary folder, always ending with '\'.
String GetTempPathString();

} // namespace Brivox
