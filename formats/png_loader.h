#pragma once
#include "formats/image_loader.h"
#include "formats/library_loader.h"
#include "formats/png_codec.h"

namespace Brivox {

// PNG files of every colour type and bit depth, decoded to 8-bit B, G, R, A.
class CPngLoader : public Detail::CLibraryLoader<Detail::PngReader>
{
public:
    // Only the colour types with an alpha channel; a tRNS chunk's transparency reaches the alpha
    // bytes all the same.
    bool HasAlpha() override { return reader_.HasAlphaChannel(); }
    String GetFormatName() override { return L"PNG"; }
    String GetFilter() override { return L"*.png"; }
};

// 8-bit grey planes as grey PNG, all others as 8-bit RGB (alpha dropped), with the Sub filter.
class CPngSaver : public IImageSaver
{
public:
    CPngSaver() = default;
    explicit CPngSaver(int level) : level_(level) {}

    // -1 for zlib's default, 0 to 9.
    void SetCompressionLevel(int level) { level_ = level; }
    // A library failure is ImageSaveException "画像の保存に失敗しました"; a file that cannot be
    // made or written throws the file's own exception.
    void Save(const String& path, const CPlane& source, CRect rect) override;

private:
    int level_ = -1;
};

// The library's notice text for the version dialog.
String GetPngVersionText();

} // namespace Brivox
