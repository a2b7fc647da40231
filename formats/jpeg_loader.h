#pragma once
#include "formats/image_loader.h"
#include "formats/jpeg_codec.h"
#include "formats/library_loader.h"

namespace Brivox {

// JPEG files, grey or colour; CMYK and YCCK files are not taken.
class CJpgLoader : public Detail::CLibraryLoader<Detail::JpegReader>
{
public:
    // Decodes at 1/2, 1/4 or 1/8 of the size (the library's scaled inverse DCT), the smallest that
    // is still at least `atLeast`.
    CSize SetScaleHint(CSize atLeast) override;
    bool HasAlpha() override { return false; }
    String GetFormatName() override { return L"JPEG"; }
    String GetFilter() override { return L"*.jpg;*.jpeg;*.jpe"; }

protected:
    CSize OutputSize() override;
};

// Baseline JPEG of 24-bit colour, quality 75 unless set.
class CJpgSaver : public IImageSaver
{
public:
    CJpgSaver() = default;
    explicit CJpgSaver(int quality);

    void SetQuality(int quality);
    // Any failure, the file's included, is ImageSaveException with the path.
    void Save(const String& path, const CPlane& source, CRect rect) override;

private:
    Detail::JpegWriter writer_;
};

} // namespace Brivox
