#pragma once
#include "formats/image_loader.h"

#include <cstdint>
#include <vector>

namespace Brivox {

// The program's own lossless format with alpha: a 16-byte header ("BGRA", the channel layout,
// width, height; little-endian) and the rows top first in the 32-bit plane's own byte order, or
// with 16 bits per channel (read only).
class CArgbLoader : public IImageLoader
{
public:
    // Copies the pixel data in both modes. A file shorter than its header promises is taken; the
    // pixels it lacks load as 0.
    bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) override;
    CSize GetSize() override { return {static_cast<int>(width_), static_cast<int>(height_)}; }
    // Writes the whole image from the point on; a target that cannot hold it there, or of another
    // depth, receives it through a temporary 32-bit plane (clipped and converted).
    void Load(CPlane& target, CPoint point, bool oneShot) override;
    bool HasAlpha() override { return true; }
    String GetFormatName() override { return L"ARGB"; }
    String GetFilter() override { return L"*.argb"; }

private:
    std::uint32_t magic_ = 0;
    std::uint32_t layout_ = 0;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    // The pixel bytes the file holds, at most what the header promises.
    std::vector<std::uint8_t> pixels_;
};

// Writes 8 bits per channel, alpha included; planes of other depths are converted to 32 bits first.
class CArgbSaver : public IImageSaver
{
public:
    // Any failure, the file's included, is ImageSaveException with the path.
    void Save(const String& path, const CPlane& source, CRect rect) override;
};

} // namespace Brivox
