#pragma once
// A file decoded by one decoder in normal mode, as the format tests compare it.
#include "formats/image_loader.h"
#include "image_fixtures.h"
#include "imaging/plane.h"

#include <gtest/gtest.h>

namespace ImageFixtures {

struct SDecoded
{
    bool opened = false;
    int width = 0, height = 0;
    bool alpha = false;
    std::vector<Pixel> pixels;
};

// Opens the file with a new decoder of the type and loads it into a plane of its size.
template <class Loader> SDecoded DecodeWith(const Bytes& file)
{
    SDecoded result;
    Loader loader;
    result.opened = loader.Open(MakeData(file), false);
    if (!result.opened)
        return result;
    result.width = loader.GetSize().cx;
    result.height = loader.GetSize().cy;
    auto plane = MakePlane(result.width, result.height);
    loader.Load(*plane, {0, 0}, false);
    result.alpha = loader.HasAlpha();
    result.pixels = PixelsOf(*plane);
    return result;
}

// The image loaded into a 24-bit plane (converted by the decoder on the way), read back as 32-bit
// pixels, which then have alpha 0.
inline std::vector<Pixel> LoadedAt24Bits(Brivox::IImageLoader& loader, bool oneShot)
{
    const Brivox::CSize size = loader.GetSize();
    Brivox::CMemoryPlane colour(24);
    colour.Resize(size);
    loader.Load(colour, {0, 0}, oneShot);
    Brivox::CMemoryPlane32 back(size);
    back.Blit(colour, {0, 0}, {0, 0, size.cx, size.cy});
    return PixelsOf(back);
}

inline std::vector<Pixel> WithoutAlpha(std::vector<Pixel> pixels)
{
    for (Pixel& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

// Expects a new decoder of the type to refuse every file; returns how much the process's peak of
// memory grew meanwhile, so that a test sees hostile headers refused before anything is set aside.
template <class Loader> std::size_t MemoryWhileRefusing(const std::vector<Bytes>& files)
{
    return PeakMemoryGrowth([&] {
        for (const Bytes& file : files)
            EXPECT_FALSE(Loader().Open(MakeData(file), false)) << "file " << &file - files.data();
    });
}

} // namespace ImageFixtures
