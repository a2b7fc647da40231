#pragma once
// The save dialog as the main window's file commands set it up.

#include "foundation/string.h"

namespace Brivox {
class CFileDialog;
}

// The save dialog for a file: the title, the filter of the file's extension in capitals
// ("JPG Files", "*.JPG") and then "All Files", that extension as the default, the proposed name
// and the folder it starts in.
void SetUpSaveDialog(Brivox::CFileDialog& dialog, const Brivox::String& path, const Brivox::String& title,
                     const Brivox::String& proposedName, const Brivox::String& folder);
