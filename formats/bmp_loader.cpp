#include "formats/bmp_loader.h"

#include "foundation/file.h"
#include "foundation/file_system.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Brivox {

bool CBmpLoader::Open(const std::shared_ptr<CFileData>& data, bool)
{
    data_ = data;
    const auto& bytes = data_->GetBytes();
    return image_.Parse(bytes.data(), bytes.size());
}

void CBmpLoader::Load(CPlane& target, CPoint point, bool)
{
    Detail::DecodeIntoPlane(target, point, GetSize(),
                            [this](std::uint8_t* top, std::ptrdiff_t stride) { image_.Decode(top, stride); });
}

namespace {

void Put16(std::vector<std::uint8_t>& out, std::size_t at, unsigned value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value)
{
    Put16(out, at, value & 0xFFFF);
    Put16(out, at + 2, value >> 16);
}

} // namespace

void CBmpSaver::Save(const String& path, const CPlane& source, CRect rect)
{
    const int width = rect.Width(), height = rect.Height();
    const int bitsPerPixel = source.GetBitsPerPixel();
    if (bitsPerPixel != 8 && bitsPerPixel != 24) {
        CMemoryPlane pixels(24);
        pixels.Resize({width, height});
        pixels.Blit(source, {0, 0}, rect);
        Save(path, pixels, {0, 0, width, height});
        return;
    }
    const bool grey = bitsPerPixel == 8;
    const std::size_t pixelBytes = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
    const std::size_t rowSize = (pixelBytes + 3) / 4 * 4;
    const std::uint32_t offset = grey ? 14 + 40 + 1024 : 14 + 40;
    const auto fileSize = static_cast<std::uint32_t>(height * rowSize + offset);

    // File header, information header (96 dpi) and the grey colour table.
    std::vector<std::uint8_t> header(offset, 0);
    header[0] = 'B';
    header[1] = 'M';
    Put32(header, 2, fileSize);
    Put32(header, 10, offset);
    Put32(header, 14, 40);
    Put32(header, 18, static_cast<std::uint32_t>(width));
    Put32(header, 22, static_cast<std::uint32_t>(height));
    Put16(header, 26, 1);
    Put16(header, 28, static_cast<unsigned>(bitsPerPixel));
    Put32(header, 38, 3780);
    Put32(header, 42, 3780);
    if (grey) {
        Put32(header, 46, 256);
        for (std::uint32_t i = 0; i < 256; ++i)
            Put32(header, 54 + 4 * i, i | i << 8 | i << 16);
    }

    WriteFileReplacing(path, [&](const String& temporary) {
        CreateDirectories(temporary);
        CApiFile file(temporary, CApiFile::WriteMode, CApiFile::SequentialAccess);
        file.Reserve(fileSize);
        file.Write(header.data(), static_cast<int>(header.size()));
        {
            const Detail::PlaneBitsLock bits(source);
            std::vector<std::uint8_t> row(rowSize, 0);
            for (int y = rect.bottom - 1; y >= rect.top; --y) {
                std::copy_n(bits.Pixel(rect.left, y), pixelBytes, row.begin());
                file.Write(row.data(), static_cast<int>(rowSize));
            }
        }
        file.Close();
    });
}

} // namespace Brivox
