#include "formats/argb_loader.h"

#include "formats/byte_order.h"
#include "formats/image_size.h"
#include "foundation/file.h"
#include "foundation/file_system.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace Brivox {

namespace {

constexpr std::uint32_t argbMagic = 0x41524742; // the bytes "BGRA"
constexpr std::uint32_t layout8 = 0x08080808;
constexpr std::uint32_t layout16 = 0x10101010;
constexpr std::size_t headerSize = 16;

void PutLittle32(std::uint8_t* out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

bool CArgbLoader::Open(const std::shared_ptr<CFileData>& data, bool)
{
    pixels_.clear();
    const auto& bytes = data->GetBytes();
    if (bytes.size() < headerSize)
        return false;
    magic_ = Detail::ReadLittle32(&bytes[0]);
    layout_ = Detail::ReadLittle32(&bytes[4]);
    width_ = Detail::ReadLittle32(&bytes[8]);
    height_ = Detail::ReadLittle32(&bytes[12]);
    if (magic_ != argbMagic || (layout_ != layout8 && layout_ != layout16))
        return false;
    // Checked before anything is set aside: a 16-byte file may claim any size.
    if (!IsDecodableImageSize(width_, height_))
        return false;
    const std::uint64_t needed = std::uint64_t{width_} * height_ * (layout_ == layout8 ? 4 : 8);
    const std::size_t present = bytes.size() - headerSize;
    // Only what the file holds is copied: a short file is not padded out to what it claims.
    pixels_.assign(bytes.begin() + headerSize,
                   bytes.begin() + headerSize +
                       static_cast<std::size_t>(std::min<std::uint64_t>(needed, present)));
    return true;
}

void CArgbLoader::Load(CPlane& target, CPoint point, bool)
{
    const int width = static_cast<int>(width_), height = static_cast<int>(height_);
    const bool wide = layout_ == layout16;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (wide ? 8 : 4);
    Detail::DecodeIntoPlane(target, point, GetSize(), [&](std::uint8_t* top, std::ptrdiff_t stride) {
        for (int y = 0; y < height; ++y) {
            std::uint8_t* out = top + y * stride;
            const std::size_t start = static_cast<std::size_t>(y) * rowBytes;
            const std::size_t available =
                start < pixels_.size() ? std::min(rowBytes, pixels_.size() - start) : 0;
            const std::uint8_t* in = available ? pixels_.data() + start : nullptr;
            if (!wide) {
                if (available)
                    std::memcpy(out, in, available);
                std::memset(out + available, 0, rowBytes - available);
                continue;
            }
            // 16 bits per channel: the high byte of each little-endian B, G, R, A.
            for (int x = 0; x < width; ++x, out += 4) {
                const std::size_t at = static_cast<std::size_t>(x) * 8;
                for (int c = 0; c < 4; ++c)
                    out[c] = at + 8 <= available ? in[at + 2 * c + 1] : 0;
            }
        }
    });
}

void CArgbSaver::Save(const String& path, const CPlane& source, CRect rect)
{
    try {
        const int width = rect.Width(), height = rect.Height();
        if (source.GetBitsPerPixel() != 32) {
            CMemoryPlane32 pixels(CSize{width, height});
            pixels.Blit(source, {0, 0}, rect);
            Save(path, pixels, {0, 0, width, height});
            return;
        }
        std::uint8_t header[headerSize];
        PutLittle32(header, argbMagic);
        PutLittle32(header + 4, layout8);
        PutLittle32(header + 8, static_cast<std::uint32_t>(width));
        PutLittle32(header + 12, static_cast<std::uint32_t>(height));
        const int rowBytes = width * 4;
        WriteFileReplacing(path, [&](const String& temporary) {
            CreateDirectories(temporary);
            CApiFile file(temporary, CApiFile::WriteMode, CApiFile::SequentialAccess);
            file.Reserve(
                static_cast<unsigned>(std::uint64_t{static_cast<unsigned>(rowBytes)} * height + headerSize));
            file.Write(header, static_cast<int>(headerSize));
            {
                const Detail::PlaneBitsLock bits(source);
                for (int y = rect.top; y < rect.bottom; ++y)
                    file.Write(bits.Pixel(rect.left, y), rowBytes);
            }
            file.Close();
        });
    } catch (const std::exception&) {
        ThrowImageSaveError(path);
    }
}

} // namespace Brivox
