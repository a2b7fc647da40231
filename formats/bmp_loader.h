#pragma once
#include "formats/bmp_codec.h"
#include "formats/image_loader.h"

#include <memory>

namespace Brivox {

// Windows bitmaps: 1, 4, 8, 16, 24 and 32 bits, bottom-up or top-down, RLE4, RLE8 and bit fields,
// with core or information headers. Both modes keep the file and decode at Load.
class CBmpLoader : public IImageLoader
{
public:
    bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) override;
    CSize GetSize() override { return {image_.GetWidth(), image_.GetHeight()}; }
    void Load(CPlane& target, CPoint point, bool oneShot) override;
    bool HasAlpha() override { return image_.GetBitCount() == 32; }
    String GetFormatName() override { return L"BITMAP"; }
    String GetFilter() override { return L"*.bmp;*.dib"; }

private:
    Detail::BmpImage image_;
    // The bytes that image_ points into.
    std::shared_ptr<CFileData> data_;
};

// Uncompressed bottom-up BMP: 8-bit planes with a grey colour table, all others as 24 bits.
class CBmpSaver : public IImageSaver
{
public:
    // File failures throw the file's own exceptions.
    void Save(const String& path, const CPlane& source, CRect rect) override;
};

} // namespace Brivox
