#pragma once
#include <cstdint>

namespace Brivox {

// The largest images the decoders take: no side above 65535 and no more than 2^28 pixels. Headers
// are checked against it before anything is allocated for their pixels, so a hostile header
// cannot make a decoder ask for gigabytes.
constexpr bool IsDecodableImageSize(std::int64_t width, std::int64_t height)
{
    constexpr std::int64_t maxSide = 65535, maxPixels = std::int64_t{1} << 28;
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide && width * height <= maxPixels;
}

} // namespace Brivox
