#pragma once
// Photographs made for the benchmarks: smooth gradients, edges and sensor-like noise, so that a
// JPEG of them holds about as many coefficients as a real photograph of its size (about 4 MB at
// 4000 × 3000, quality 90).

#include "formats/image_fixtures.h"

#include <algorithm>
#include <cstdint>
#include <vector>

inline std::vector<unsigned char> MakeBenchPhotoJpeg(int width, int height, unsigned seed)
{
    return ImageFixtures::MakeJpeg(width, height, [=](int x, int y) {
        std::uint32_t hash =
            (static_cast<std::uint32_t>(x) * 73856093u) ^ (static_cast<std::uint32_t>(y) * 19349663u) ^ seed;
        hash = hash * 2654435761u;
        const int noise = static_cast<int>(hash >> 27) - 16;
        const int edge = ((x / 160 + y / 120 + static_cast<int>(seed)) % 3) * 40;
        const int base[3] = {x * 200 / width + edge, y * 180 / height + 30,
                             (x + y) * 120 / (width + height) + edge / 2};
        ImageFixtures::Pixel pixel = 0;
        for (int c = 0; c < 3; ++c)
            pixel = pixel << 8 | static_cast<ImageFixtures::Pixel>(std::clamp(base[c] + noise, 0, 255));
        return pixel;
    });
}
