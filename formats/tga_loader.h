#pragma once
#include "formats/image_loader.h"

#include <memory>

namespace Brivox {

class CMemoryPlane32;

// Truevision TGA files: colour-mapped (8-bit indexes into 16, 24 or 32-bit entries), true colour
// (16, 24, 32 bits) and greyscale (8 bits), uncompressed or run-length encoded, any origin. Both
// modes decode the whole file at Open into an own plane that each Load copies.
class CTgaLoader : public IImageLoader
{
public:
    CTgaLoader();
    ~CTgaLoader() override;

    // Never throws: a damaged file, or one too large to hold, is not this decoder's.
    bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) override;
    CSize GetSize() override;
    // Clipped to the target.
    void Load(CPlane& target, CPoint point, bool oneShot) override;
    bool HasAlpha() override { return true; }
    String GetFormatName() override { return L"TGA"; }
    String GetFilter() override { return L"*.tga;*.targa;*.vda;*.icb;*.vst"; }

private:
    std::unique_ptr<CMemoryPlane32> plane_;
};

} // namespace Brivox
