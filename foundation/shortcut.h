#pragma once
// Shortcut (".lnk") files through the shell-link COM objects: the Explorer "SendTo" entry and
// shortcuts among opened files.

#include "foundation/string.h"

namespace Brivox {

// The content of a shortcut file.
struct ShortcutInfo
{
    String targetPath;
    String arguments;
    String workingDirectory;
    String description;
    String iconFile;
    int iconIndex = 0;
    // A show-window code; 1 is a normal window.
    int showCommand = 1;
};

// Writes the shortcut file. Throws RuntimeException "ショートカットの作成に失敗しました",
// "ショートカットファイルの作成に失敗しました" or "ショートカットファイルの書き出しに失敗しました".
void CreateShortcut(const String& path, const ShortcutInfo& info);
// Reads a shortcut file without resolving its link. Throws RuntimeException when the file cannot
// be read.
ShortcutInfo ReadShortcut(const String& path);

} // namespace Brivox
