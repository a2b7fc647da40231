#include "decoded_image.h"
#include "formats/tga_loader.h"
#include "image_fixtures.h"
#include "tga_argb_fixtures.h"

#include <gtest/gtest.h>

using namespace ImageFixtures;
using namespace TgaArgbFixtures;
using Brivox::CTgaLoader;

namespace {

SDecoded Decode(const Bytes& file)
{
    return DecodeWith<CTgaLoader>(file);
}

// Sample values in a file's bits per pixel, with runs of equal neighbours for the run-length
// packets and, at 16 and 32 bits, pixels with and without the alpha or attribute bits.
std::uint32_t Sample(int x, int y, int depth)
{
    const std::uint32_t photo = Photo(x / 3 * 3, y);
    switch (depth) {
    case 8:
        return (photo >> 4) & 0xFF;
    case 16:
        return (photo & 0x7FFF) | ((x / 3 + y) % 2 ? 0x8000 : 0);
    case 24:
        return photo & 0xFFFFFF;
    default:
        return (photo & 0xFFFFFF) | static_cast<std::uint32_t>((x / 3 * 50 + y * 20) & 0xFF) << 24;
    }
}

// The plane pixel a file pixel of that depth becomes.
Pixel Converted(std::uint32_t v, int depth)
{
    switch (depth) {
    case 8:
        return 0xFF000000u | v * 0x010101u;
    case 16:
        return ((v & 0x8000) ? 0u : 0xFF000000u) | ((v >> 10) & 0x1F) << 19 | ((v >> 5) & 0x1F) << 11 |
               (v & 0x1F) << 3;
    case 24:
        return 0xFF000000u | v;
    default:
        return v; // alpha as stored
    }
}

STga TrueColour(int width, int height, int depth, bool runLength, int descriptor)
{
    STga tga;
    tga.imageType = (depth == 8 ? 3 : 2) + (runLength ? 8 : 0);
    tga.width = width;
    tga.height = height;
    tga.depth = depth;
    tga.descriptor = descriptor;
    tga.id = {'i', 'd'};
    tga.data = PackTgaPixels(width, height, depth / 8, descriptor,
                             [depth](int x, int y) { return Sample(x, y, depth); });
    if (runLength)
        tga.data = RunLengthEncode(tga.data, depth / 8);
    return tga;
}

} // namespace

TEST(TgaLoader, DepthsCompressionsAndOrigins)
{
    const int width = 11, height = 5;
    for (int depth : {8, 16, 24, 32}) {
        for (bool runLength : {false, true}) {
            for (int descriptor : {0x00, 0x20, 0x10, 0x30, 0x28}) {
                const STga tga = TrueColour(width, height, depth, runLength, descriptor);
                if (runLength) {
                    ASSERT_LT(tga.data.size(), std::size_t{width} * height * depth / 8); // runs were found
                }
                const SDecoded decoded = Decode(MakeTga(tga));
                ASSERT_TRUE(decoded.opened) << depth << "/" << runLength << "/" << descriptor;
                EXPECT_EQ(width, decoded.width);
                EXPECT_EQ(height, decoded.height);
                EXPECT_EQ(Expected(width, height,
                                   [&](int x, int y) { return Converted(Sample(x, y, depth), depth); }),
                          decoded.pixels)
                    << depth << "/" << runLength << "/" << descriptor;
            }
        }
    }
}

TEST(TgaLoader, ThirtyTwoBitAlphaIsKeptAsStored)
{
    STga tga;
    tga.imageType = 10;
    tga.width = 4;
    tga.height = 1;
    tga.depth = 32;
    tga.data = {0x81, 0x10, 0x20, 0x30, 0xFF,  // two opaque pixels
                0x81, 0x40, 0x50, 0x60, 0x00}; // two transparent ones
    EXPECT_EQ((std::vector<Pixel>{0xFF302010, 0xFF302010, 0x00605040, 0x00605040}),
              Decode(MakeTga(tga)).pixels);
    CTgaLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(MakeTga(tga)), true));
    EXPECT_TRUE(loader.HasAlpha());
    EXPECT_EQ(L"TGA", std::wstring(loader.GetFormatName().CStr()));
}

TEST(TgaLoader, ColourMappedLikeTheTrueColourFile)
{
    const int width = 9, height = 4;
    // 256 entries of which the file stores those from 16 on; indexes use 16 to 255.
    auto index = [](int x, int y) { return static_cast<std::uint32_t>(16 + (x / 2 * 31 + y * 7) % 240); };
    for (int entryBits : {16, 24, 32}) {
        for (bool runLength : {false, true}) {
            STga tga;
            tga.imageType = runLength ? 9 : 1;
            tga.colourMapType = 1;
            tga.mapFirst = 16;
            tga.mapLength = 240;
            tga.mapEntryBits = entryBits;
            tga.width = width;
            tga.height = height;
            tga.depth = 8;
            tga.descriptor = 0x20;
            for (std::uint32_t i = 16; i < 256; ++i)
                PutLe(tga.colourMap, Sample(static_cast<int>(i), 3, entryBits), entryBits / 8);
            tga.data = PackTgaPixels(width, height, 1, tga.descriptor, index);
            if (runLength)
                tga.data = RunLengthEncode(tga.data, 1);
            EXPECT_EQ(Expected(width, height,
                               [&](int x, int y) {
                                   return Converted(Sample(static_cast<int>(index(x, y)), 3, entryBits),
                                                    entryBits);
                               }),
                      Decode(MakeTga(tga)).pixels)
                << entryBits << "/" << runLength;
        }
    }
}

TEST(TgaLoader, RefusedFiles)
{
    const STga good = TrueColour(3, 2, 24, false, 0);
    ASSERT_TRUE(Decode(MakeTga(good)).opened);
    STga mapped;
    mapped.imageType = 1;
    mapped.colourMapType = 1;
    mapped.mapLength = 2;
    mapped.mapEntryBits = 24;
    mapped.colourMap = Bytes(6, 0x40);
    mapped.width = 2;
    mapped.height = 1;
    mapped.depth = 8;
    mapped.data = {0, 1};
    ASSERT_TRUE(Decode(MakeTga(mapped)).opened);

    const struct
    {
        const char* name;
        std::function<void(STga&)> change;
        bool fromMapped;
    } cases[] = {
        {"no image", [](STga& t) { t.imageType = 0; }, false},
        {"unknown type", [](STga& t) { t.imageType = 4; }, false},
        {"run-length flag alone", [](STga& t) { t.imageType = 8; }, false},
        {"colour-map type 2", [](STga& t) { t.colourMapType = 2; }, false},
        {"true colour with a map",
         [](STga& t) {
             t.colourMapType = 1;
             t.mapLength = 1;
             t.mapEntryBits = 24;
             t.colourMap = Bytes(3, 0);
         },
         false},
        {"15-bit pixels", [](STga& t) { t.depth = 15; }, false},
        {"zero width", [](STga& t) { t.width = 0; }, false},
        {"zero height", [](STga& t) { t.height = 0; }, false},
        {"image data cut short", [](STga& t) { t.data.pop_back(); }, false},
        {"ID field beyond the file", [](STga& t) { t.id = Bytes(40, 'x'), t.data.clear(); }, false},
        {"colour-mapped without a map", [](STga& t) { t.colourMapType = 0, t.colourMap.clear(); }, true},
        {"empty map", [](STga& t) { t.mapLength = 0, t.colourMap.clear(); }, true},
        {"15-bit map entries", [](STga& t) { t.mapEntryBits = 15, t.colourMap = Bytes(2 * 15 / 8, 0); },
         true},
        {"16-bit indexes",
         [](STga& t) {
             t.depth = 16, t.data = {0, 0, 1, 0};
         },
         true},
        {"index beyond the map",
         [](STga& t) {
             t.data = {0, 2};
         },
         true},
        {"map cut short", [](STga& t) { t.colourMap.resize(5), t.data.clear(); }, true},
    };
    for (const auto& c : cases) {
        STga tga = c.fromMapped ? mapped : good;
        c.change(tga);
        EXPECT_FALSE(Decode(MakeTga(tga)).opened) << c.name;
    }
    const Bytes whole = MakeTga(good);
    EXPECT_FALSE(Decode(Bytes(whole.begin(), whole.begin() + 17)).opened); // a header cut short
}

TEST(TgaLoader, RunLengthPacketsMustStayInsideTheImage)
{
    STga tga;
    tga.imageType = 11;
    tga.width = 3;
    tga.height = 2;
    tga.depth = 8;
    const struct
    {
        Bytes data;
        bool opened;
        std::vector<Pixel> pixels; // top row first; the file is bottom-up
    } cases[] = {
        {{0x85, 7}, true, std::vector<Pixel>(6, 0xFF070707)},
        {{0x86, 7}, false, {}}, // a run one past the last pixel
        // Raw packets that end with the image; the byte after them is never read.
        {{0x02, 1, 2, 3, 0x02, 4, 5, 6, 7},
         true,
         {0xFF040404, 0xFF050505, 0xFF060606, 0xFF010101, 0xFF020202, 0xFF030303}},
        {{0x81, 9, 0x04, 1, 2, 3, 4, 5}, false, {}}, // a raw packet past the last pixel
        {{0x80}, false, {}},                         // a run without its pixel
        {{0x01, 1}, false, {}},                      // a raw packet without all its pixels
        // Data that ends between packets: the rest stays 0.
        {{0x82, 9}, true, {0xFF000000, 0xFF000000, 0xFF000000, 0xFF090909, 0xFF090909, 0xFF090909}},
        {{}, true, std::vector<Pixel>(6, 0xFF000000)},
    };
    for (const auto& c : cases) {
        tga.data = c.data;
        const SDecoded decoded = Decode(MakeTga(tga));
        EXPECT_EQ(c.opened, decoded.opened) << &c - cases;
        if (c.opened) {
            EXPECT_EQ(c.pixels, decoded.pixels) << &c - cases;
        }
    }
}

TEST(TgaLoader, HostileSizesAreRefusedBeforeAnythingIsSetAside)
{
    std::vector<Bytes> files;
    STga tga = TrueColour(1, 1, 32, false, 0);
    tga.width = tga.height = 65535; // more pixels than any decoder takes
    files.push_back(MakeTga(tga));
    tga.imageType = 10;
    files.push_back(MakeTga(tga));
    tga.imageType = 2;
    tga.width = tga.height = 16384; // allowed, but 1 GiB of pixels that the file does not hold
    files.push_back(MakeTga(tga));
    EXPECT_LT(MemoryWhileRefusing<CTgaLoader>(files), 64u << 20);
}

TEST(TgaLoader, LoadsClippedAndIntoOtherDepths)
{
    const STga tga = TrueColour(6, 4, 24, false, 0x20);
    const std::vector<Pixel> expected =
        Expected(6, 4, [](int x, int y) { return Converted(Sample(x, y, 24), 24); });
    CTgaLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(MakeTga(tga)), false));

    auto small = MakePlane(4, 3, 0x01010101);
    loader.Load(*small, {2, 1}, false);
    const std::vector<Pixel> clipped = PixelsOf(*small);
    EXPECT_EQ(0x01010101u, clipped[0]);
    EXPECT_EQ(expected[0], clipped[4 + 2]);
    EXPECT_EQ(expected[6 + 1], clipped[8 + 3]);

    EXPECT_EQ(WithoutAlpha(expected), LoadedAt24Bits(loader, false));
}
