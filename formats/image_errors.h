#pragma once
#include "foundation/string.h"

// The codecs' failures with their fixed texts.
namespace Brivox {

// ImageLoadException "画像の読み込みに失敗しました".
[[noreturn]] void ThrowImageLoadError();
// ImageLoadException: the name followed by " の画像読み込みに失敗しました".
[[noreturn]] void ThrowImageLoadError(const String& fileName);
// ImageSaveException "画像の保存に失敗しました".
[[noreturn]] void ThrowImageSaveError();
// ImageSaveException: the path followed by " の画像保存に失敗しました".
[[noreturn]] void ThrowImageSaveError(const String& path);

} // namespace Brivox
