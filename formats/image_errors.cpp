#include "formats/image_errors.h"

#include "foundation/exception.h"

namespace Brivox {

void ThrowImageLoadError()
{
    throw ImageLoadException(L"画像の読み込みに失敗しました");
}

void ThrowImageLoadError(const String& fileName)
{
    throw ImageLoadException(fileName + L" の画像読み込みに失敗しました");
}

void ThrowImageSaveError()
{
    throw ImageSaveException(L"画像の保存に失敗しました");
}

void ThrowImageSaveError(const String& path)
{
    throw ImageSaveException(path + L" の画像保存に失敗しました");
}

} // namespace Brivox
