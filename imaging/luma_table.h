#pragma once
// Luminance Y = (77 R + 151 G + 28 B) >> 8 through per-call tables of weight × value, so that a
// conversion multiplies nothing per pixel.

#include <cstdint>

namespace Brivox::Kernels {

struct SLumaTable
{
    std::uint32_t r[256], g[256], b[256];

    SLumaTable()
    {
        for (std::uint32_t v = 0; v < 256; ++v) {
            r[v] = 77 * v;
            g[v] = 151 * v;
            b[v] = 28 * v;
        }
    }
    std::uint32_t operator()(std::uint32_t red, std::uint32_t green, std::uint32_t blue) const
    {
        return (r[red] + g[green] + b[blue]) >> 8;
    }
    // Of a pixel 0xAARRGGBB.
    std::uint32_t operator()(std::uint32_t p) const
    {
        return (*this)((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

} // namespace Brivox::Kernels
