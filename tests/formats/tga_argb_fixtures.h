#pragma once
// TGA and raw ARGB files written byte by byte, so that their decoders are checked against files
// they did not make.
#include "image_fixtures.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace TgaArgbFixtures {

using ImageFixtures::Bytes;

inline void PutLe(Bytes& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// A raw ARGB file: the header and whatever pixel bytes are given.
inline Bytes MakeArgb(std::uint32_t width, std::uint32_t height, const Bytes& pixels,
                      std::uint32_t layout = 0x08080808)
{
    Bytes file = {'B', 'G', 'R', 'A'};
    PutLe(file, layout, 4);
    PutLe(file, width, 4);
    PutLe(file, height, 4);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

struct STga
{
    int imageType = 2;
    int colourMapType = 0;
    int mapFirst = 0, mapLength = 0, mapEntryBits = 0;
    int width = 0, height = 0;
    int depth = 24;
    int descriptor = 0;
    Bytes id;
    Bytes colourMap; // the entries as stored
    Bytes data;      // the image data as stored (packed or run-length encoded)
};

inline Bytes MakeTga(const STga& tga)
{
    Bytes file;
    PutLe(file, static_cast<std::uint32_t>(tga.id.size()), 1);
    PutLe(file, static_cast<std::uint32_t>(tga.colourMapType), 1);
    PutLe(file, static_cast<std::uint32_t>(tga.imageType), 1);
    PutLe(file, static_cast<std::uint32_t>(tga.mapFirst), 2);
    PutLe(file, static_cast<std::uint32_t>(tga.mapLength), 2);
    PutLe(file, static_cast<std::uint32_t>(tga.mapEntryBits), 1);
    PutLe(file, 0, 4); // origin
    PutLe(file, static_cast<std::uint32_t>(tga.width), 2);
    PutLe(file, static_cast<std::uint32_t>(tga.height), 2);
    PutLe(file, static_cast<std::uint32_t>(tga.depth), 1);
    PutLe(file, static_cast<std::uint32_t>(tga.descriptor), 1);
    file.insert(file.end(), tga.id.begin(), tga.id.end());
    file.insert(file.end(), tga.colourMap.begin(), tga.colourMap.end());
    file.insert(file.end(), tga.data.begin(), tga.data.end());
    return file;
}

// Pixels in file order: rows bottom-up unless the descriptor says top-down, each row right to
// left when it says so. `value(x, y)` is the pixel of image column x and row y from the top, in
// `bytes` little-endian bytes.
inline Bytes PackTgaPixels(int width, int height, int bytes, int descriptor,
                           const std::function<std::uint32_t(int x, int y)>& value)
{
    Bytes out;
    for (int r = 0; r < height; ++r) {
        const int y = (descriptor & 0x20) ? r : height - 1 - r;
        for (int c = 0; c < width; ++c)
            PutLe(out, value((descriptor & 0x10) ? width - 1 - c : c, y), bytes);
    }
    return out;
}

// Run-length packets over packed pixels: equal neighbours become run packets, the rest raw
// packets; packets run on across rows and hold at most 128 pixels.
inline Bytes RunLengthEncode(const Bytes& pixels, int bytes)
{
    const std::size_t n = pixels.size() / bytes;
    auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(pixels.begin() + a * bytes, pixels.begin() + (a + 1) * bytes,
                          pixels.begin() + b * bytes);
    };
    Bytes out;
    for (std::size_t i = 0; i < n;) {
        std::size_t count = 1;
        if (i + 1 < n && same(i, i + 1)) {
            while (i + count < n && count < 128 && same(i, i + count))
                ++count;
            out.push_back(static_cast<unsigned char>(0x80 | (count - 1)));
            out.insert(out.end(), pixels.begin() + i * bytes, pixels.begin() + (i + 1) * bytes);
        } else {
            while (i + count < n && count < 128 && !(i + count + 1 < n && same(i + count, i + count + 1)))
                ++count;
            out.push_back(static_cast<unsigned char>(count - 1));
            out.insert(out.end(), pixels.begin() + i * bytes, pixels.begin() + (i + count) * bytes);
        }
        i += count;
    }
    return out;
}

} // namespace TgaArgbFixtures
