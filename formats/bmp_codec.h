#pragma once
// Windows bitmap files read in place: the headers (12-byte core headers and 40-, 52-, 56-, 108-
// and 124-byte information headers) are checked, and the pixels converted to 32-bit rows. Every
// count and offset is checked against the data; what the data does not hold decodes as zeros.

#include <array>
#include <cstddef>
#include <cstdint>

namespace Brivox::Detail {

class BmpImage
{
public:
    // False for data that is not a bitmap this decoder reads: no "BM", nothing after the headers,
    // a form it does not know, or a size beyond the decodable limits. The data must stay alive
    // while the object is used.
    [[nodiscard]] bool Parse(const unsigned char* data, std::size_t size);

    int GetWidth() const { return width_; }
    // Positive also for a top-down file.
    int GetHeight() const { return height_; }
    int GetBitCount() const { return bitCount_; }

    // Rows of bytes B, G, R, A from `top`, `stride` bytes apart. Alpha is the file's fourth byte
    // for 32-bit pixels (or its alpha mask), else 0. Pixels that the data does not hold are 0.
    void Decode(std::uint8_t* top, std::ptrdiff_t stride) const;

private:
    struct SChannel
    {
        std::uint32_t mask = 0;
        int shift = 0;
        std::uint32_t maximum = 0;
    };

    void DecodeRows(std::uint8_t* top, std::ptrdiff_t stride) const;
    void DecodeRle(std::uint8_t* top, std::ptrdiff_t stride) const;
    void ConvertRow(const std::uint8_t* from, std::uint32_t* to) const;
    std::uint32_t FromMasks(std::uint32_t value) const;
    void SetMasks(std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha);

    int width_ = 0;
    int height_ = 0;
    bool topDown_ = false;
    int bitCount_ = 0;
    std::uint32_t compression_ = 0;
    std::size_t rowSize_ = 0;
    const unsigned char* bits_ = nullptr;
    std::size_t bitsSize_ = 0;
    std::array<std::uint32_t, 256> palette_{};
    std::array<SChannel, 4> channels_{}; // red, green, blue, alpha
};

} // namespace Brivox::Detail
