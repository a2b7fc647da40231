#pragma once
#include "imaging/plane.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace PlaneFixtures {

// The bytes of pixel (x, y), read through the plane's own row access.
inline std::uint32_t PixelAt(const Brivox::CPlane& plane, int x, int y)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    std::uint32_t v = 0;
    std::memcpy(&v, bits.Pixel(x, y), static_cast<std::size_t>(bits.BytesPerPixel()));
    return v;
}

// Every byte of every row within the logical width, random.
inline void FillRandom(Brivox::CPlane& plane, unsigned seed)
{
    std::mt19937 random(seed);
    const Brivox::Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < plane.GetHeight(); ++y) {
        std::uint8_t* row = bits.Pixel(0, y);
        for (int i = 0; i < plane.GetWidth() * bits.BytesPerPixel(); ++i)
            row[i] = static_cast<std::uint8_t>(random());
    }
}

// The plane's logical pixels, row after row, each as its bytes.
inline std::vector<std::uint32_t> Pixels(const Brivox::CPlane& plane)
{
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < plane.GetHeight(); ++y)
        for (int x = 0; x < plane.GetWidth(); ++x)
            pixels.push_back(PixelAt(plane, x, y));
    return pixels;
}

} // namespace PlaneFixtures
