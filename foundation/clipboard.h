#pragma once
// Pages and texts to the clipboard and images from it. Every operation opens the clipboard
// without an owner window and closes it again on every way out.

#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"

namespace Brivox {

// The text as CF_TEXT in the ANSI code page and as CF_UNICODETEXT, so that characters outside
// the code page arrive intact where the reader takes Unicode. Throws Win32Exception
// "クリップボードへの文字列の設定に失敗".
void SetClipboardText(const String& text);
// A copy of the rectangle of the source as a screen-compatible CF_BITMAP. Throws Win32Exception
// "クリップボードへの画像の設定に失敗".
void SetClipboardImage(HDC source, const CRect& rectangle);
// False, without opening the clipboard, when it holds no CF_BITMAP. Otherwise draws the whole
// bitmap into the target at the position and gives its size. Throws Win32Exception
// "クリップボードからの画像の取得に失敗", or RuntimeException
// "クリップボードの画像の大きさの取得に失敗しました" for a bitmap without a size.
bool GetClipboardImage(HDC target, const CPoint& position, CSize& size);

} // namespace Brivox
