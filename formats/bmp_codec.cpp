#include "formats/bmp_codec.h"

#include "formats/byte_order.h"
#include "formats/image_size.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace Brivox::Detail {

namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::size_t coreHeaderSize = 12;
constexpr std::size_t infoHeaderSize = 40;

enum : std::uint32_t
{
    Uncompressed = 0,
    Rle8 = 1,
    Rle4 = 2,
    BitFields = 3
};

bool IsKnownHeaderSize(std::uint32_t size)
{
    switch (size) {
    case coreHeaderSize:
    case infoHeaderSize:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
        return true;
    default:
        return false;
    }
}

bool IsKnownForm(int bitCount, std::uint32_t compression)
{
    switch (compression) {
    case Uncompressed:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
               bitCount == 32;
    case Rle8:
        return bitCount == 8;
    case Rle4:
        return bitCount == 4;
    case BitFields:
        return bitCount == 16 || bitCount == 32;
    default:
        return false;
    }
}

} // namespace

bool BmpImage::Parse(const unsigned char* data, std::size_t size)
{
    if (size < fileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return false;
    const unsigned char* header = data + fileHeaderSize;
    const std::uint32_t headerSize = ReadLittle32(header);
    const bool core = headerSize == coreHeaderSize;
    // The core header, the information header and its later versions; at least one byte after.
    if (!IsKnownHeaderSize(headerSize) || headerSize >= size - fileHeaderSize)
        return false;

    std::int64_t width, height;
    std::uint32_t coloursUsed = 0;
    if (core) {
        width = ReadLittle16(header + 4);
        height = ReadLittle16(header + 6);
        bitCount_ = ReadLittle16(header + 10);
        compression_ = Uncompressed;
    } else {
        width = static_cast<std::int32_t>(ReadLittle32(header + 4));
        height = static_cast<std::int32_t>(ReadLittle32(header + 8));
        bitCount_ = ReadLittle16(header + 14);
        compression_ = ReadLittle32(header + 16);
        coloursUsed = ReadLittle32(header + 32);
    }
    topDown_ = height < 0;
    height = std::llabs(height);
    if (!IsKnownForm(bitCount_, compression_) ||
        (topDown_ && compression_ != Uncompressed && compression_ != BitFields) ||
        !IsDecodableImageSize(width, height))
        return false;
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    rowSize_ = (static_cast<std::size_t>(width_) * static_cast<std::size_t>(bitCount_) + 31) / 32 * 4;

    // Bit masks: inside headers of 52 bytes and more, after a 40-byte header.
    std::size_t tableOffset = fileHeaderSize + headerSize;
    if (compression_ == BitFields) {
        const unsigned char* masks = header + infoHeaderSize;
        if (headerSize == infoHeaderSize) {
            if (tableOffset + 12 > size)
                return false;
            tableOffset += 12;
        }
        SetMasks(ReadLittle32(masks), ReadLittle32(masks + 4), ReadLittle32(masks + 8),
                 headerSize >= 56 ? ReadLittle32(masks + 12) : 0);
    } else if (bitCount_ == 16) {
        SetMasks(0x7C00, 0x03E0, 0x001F, 0);
    }

    // The colour table follows the header, whatever the header's size.
    palette_.fill(0);
    const std::size_t entrySize = core ? 3 : 4;
    if (bitCount_ <= 8) {
        const std::uint32_t all = 1u << bitCount_;
        const std::uint32_t entries = coloursUsed > 0 && coloursUsed < all ? coloursUsed : all;
        const std::size_t present = std::min<std::size_t>(entries, (size - tableOffset) / entrySize);
        for (std::size_t i = 0; i < present; ++i) {
            const unsigned char* entry = data + tableOffset + i * entrySize;
            palette_[i] = static_cast<std::uint32_t>(entry[0]) | static_cast<std::uint32_t>(entry[1]) << 8 |
                          static_cast<std::uint32_t>(entry[2]) << 16;
        }
    }

    std::size_t offset = ReadLittle32(data + 10);
    if (offset == 0)
        offset = tableOffset + (bitCount_ <= 8 ? entrySize << bitCount_ : 0);
    bits_ = offset < size ? data + offset : nullptr;
    bitsSize_ = offset < size ? size - offset : 0;
    return true;
}

void BmpImage::SetMasks(std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha)
{
    const std::uint32_t masks[4] = {red, green, blue, alpha};
    for (int i = 0; i < 4; ++i) {
        SChannel& channel = channels_[i];
        channel.mask = masks[i];
        channel.shift = masks[i] ? std::countr_zero(masks[i]) : 0;
        channel.maximum = masks[i] >> channel.shift;
    }
}

std::uint32_t BmpImage::FromMasks(std::uint32_t value) const
{
    std::uint32_t component[4] = {};
    for (int i = 0; i < 4; ++i) {
        const SChannel& channel = channels_[i];
        if (channel.maximum == 0)
            continue;
        const std::uint64_t v = (value & channel.mask) >> channel.shift;
        component[i] = static_cast<std::uint32_t>((v * 255 + channel.maximum / 2) / channel.maximum);
    }
    return component[2] | component[1] << 8 | component[0] << 16 | component[3] << 24;
}

void BmpImage::ConvertRow(const std::uint8_t* from, std::uint32_t* to) const
{
    switch (bitCount_) {
    case 1:
    case 4:
    case 8: {
        const int perByte = 8 / bitCount_;
        const unsigned mask = (1u << bitCount_) - 1;
        for (int x = 0; x < width_; ++x) {
            const int shift = 8 - bitCount_ * (x % perByte + 1);
            to[x] = palette_[(from[x / perByte] >> shift) & mask];
        }
        break;
    }
    case 16:
        for (int x = 0; x < width_; ++x)
            to[x] = FromMasks(ReadLittle16(from + 2 * x));
        break;
    case 24:
        for (int x = 0; x < width_; ++x, from += 3)
            to[x] = static_cast<std::uint32_t>(from[0]) | static_cast<std::uint32_t>(from[1]) << 8 |
                    static_cast<std::uint32_t>(from[2]) << 16;
        break;
    default:
        if (compression_ == BitFields) {
            for (int x = 0; x < width_; ++x)
                to[x] = FromMasks(ReadLittle32(from + 4 * x));
        } else {
            std::memcpy(to, from, static_cast<std::size_t>(width_) * 4);
        }
        break;
    }
}

void BmpImage::Decode(std::uint8_t* top, std::ptrdiff_t stride) const
{
    if (compression_ == Rle8 || compression_ == Rle4)
        DecodeRle(top, stride);
    else
        DecodeRows(top, stride);
}

void BmpImage::DecodeRows(std::uint8_t* top, std::ptrdiff_t stride) const
{
    std::vector<std::uint8_t> partial;
    for (int r = 0; r < height_; ++r) {
        // File row r is the image's top row r of a top-down file, its bottom row r otherwise.
        auto* to = reinterpret_cast<std::uint32_t*>(top + (topDown_ ? r : height_ - 1 - r) * stride);
        const std::size_t start = static_cast<std::size_t>(r) * rowSize_;
        if (start + rowSize_ <= bitsSize_) {
            ConvertRow(bits_ + start, to);
        } else if (start < bitsSize_) {
            partial.assign(rowSize_, 0);
            std::memcpy(partial.data(), bits_ + start, bitsSize_ - start);
            ConvertRow(partial.data(), to);
        } else {
            std::memset(to, 0, static_cast<std::size_t>(width_) * 4);
        }
    }
}

void BmpImage::DecodeRle(std::uint8_t* top, std::ptrdiff_t stride) const
{
    for (int y = 0; y < height_; ++y)
        std::memset(top + y * stride, 0, static_cast<std::size_t>(width_) * 4);
    const bool four = compression_ == Rle4;
    int x = 0, y = 0; // y counts rows from the bottom
    // Index i of a run: the high nibble first for RLE4.
    auto put = [&](unsigned value, int i) {
        if (x < width_) {
            const unsigned index = four ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value;
            reinterpret_cast<std::uint32_t*>(top + (height_ - 1 - y) * stride)[x] = palette_[index];
        }
        ++x;
    };
    std::size_t p = 0;
    while (p + 2 <= bitsSize_ && y < height_) {
        const unsigned count = bits_[p], value = bits_[p + 1];
        p += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width_; ++i)
                put(value, static_cast<int>(i));
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // move right and up
            if (p + 2 > bitsSize_)
                return;
            x = std::min(x + bits_[p], width_);
            y += bits_[p + 1];
            p += 2;
            break;
        default: { // literal run, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            const std::size_t available = std::min(bytes, bitsSize_ - p);
            for (unsigned i = 0; i < value && (four ? i / 2 : i) < available && x < width_; ++i)
                put(bits_[p + (four ? i / 2 : i)], static_cast<int>(i));
            p += bytes + (bytes & 1);
            break;
        }
        }
    }
}

} // namespace Brivox::Detail
