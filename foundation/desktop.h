#pragma once
// The desktop wallpaper and the mouse cursor's display count.

#include "foundation/string.h"

namespace Brivox {

// The image file as the wallpaper, stored in the user's profile and announced to every window.
// Throws Win32Exception "壁紙の設定に失敗".
void SetWallpaper(const String& path);
// Brings the cursor's display count to 1; true when the cursor had been hidden.
bool ForceShowCursor();
// Brings the cursor's display count to -1; true when the cursor had been shown.
bool ForceHideCursor();

} // namespace Brivox
