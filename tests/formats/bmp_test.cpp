#include "decoded_image.h"
#include "formats/bmp_loader.h"
#include "image_fixtures.h"

#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <climits>

using namespace ImageFixtures;
using Brivox::CBmpLoader;
using Brivox::CBmpSaver;

namespace {

void Put(Bytes& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

struct SBmp
{
    int headerSize = 40;
    int width = 0;
    int height = 0; // negative: top-down
    int bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::vector<Pixel> palette;       // written after the header
    std::vector<std::uint32_t> masks; // red, green, blue, alpha
    Bytes bits;
    bool zeroOffset = false;
};

Bytes MakeBmp(const SBmp& bmp)
{
    const bool core = bmp.headerSize == 12;
    Bytes header;
    Put(header, static_cast<std::uint32_t>(bmp.headerSize), 4);
    if (core) {
        Put(header, static_cast<std::uint32_t>(bmp.width), 2);
        Put(header, static_cast<std::uint32_t>(bmp.height), 2);
        Put(header, 1, 2);
        Put(header, static_cast<std::uint32_t>(bmp.bitCount), 2);
    } else {
        Put(header, static_cast<std::uint32_t>(bmp.width), 4);
        Put(header, static_cast<std::uint32_t>(bmp.height), 4);
        Put(header, 1, 2);
        Put(header, static_cast<std::uint32_t>(bmp.bitCount), 2);
        Put(header, bmp.compression, 4);
        Put(header, static_cast<std::uint32_t>(bmp.bits.size()), 4);
        Put(header, 2835, 4);
        Put(header, 2835, 4);
        Put(header, bmp.coloursUsed, 4);
        Put(header, 0, 4);
        if (bmp.headerSize > 40)
            for (std::size_t i = 0; i < 4; ++i)
                Put(header, i < bmp.masks.size() ? bmp.masks[i] : 0, 4);
        header.resize(static_cast<std::size_t>(bmp.headerSize), 0);
        if (bmp.headerSize == 40)
            for (std::uint32_t mask : bmp.masks)
                Put(header, mask, 4);
    }
    for (Pixel colour : bmp.palette)
        Put(header, colour, core ? 3 : 4);
    Bytes file{'B', 'M'};
    Put(file, static_cast<std::uint32_t>(14 + header.size() + bmp.bits.size()), 4);
    Put(file, 0, 4);
    Put(file, bmp.zeroOffset ? 0 : static_cast<std::uint32_t>(14 + header.size()), 4);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), bmp.bits.begin(), bmp.bits.end());
    return file;
}

// Rows in file order, each padded to 4 bytes; `sample(x, y)` is the pixel's value in bitCount bits
// for image row y counted from the top.
Bytes PackRows(int width, int height, int bitCount, bool topDown,
               const std::function<std::uint32_t(int, int)>& sample)
{
    const std::size_t rowSize = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    Bytes bits(rowSize * height, 0);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        unsigned char* row = &bits[r * rowSize];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = sample(x, y);
            if (bitCount < 8) {
                row[x * bitCount / 8] |= static_cast<unsigned char>(v << (8 - bitCount - x * bitCount % 8));
            } else {
                for (int i = 0; i < bitCount / 8; ++i)
                    row[x * bitCount / 8 + i] = static_cast<unsigned char>(v >> (8 * i));
            }
        }
    }
    return bits;
}

std::vector<Pixel> GreyPalette(int entries)
{
    std::vector<Pixel> palette;
    for (int i = 0; i < entries; ++i)
        palette.push_back(PaletteColour(static_cast<unsigned>(i) * 3 + 1));
    return palette;
}

SDecoded Decode(const Bytes& file)
{
    return DecodeWith<CBmpLoader>(file);
}

std::uint32_t Index(int x, int y, int bitCount)
{
    return static_cast<std::uint32_t>(x * 5 + y * 3 + x * y) % (1u << std::min(bitCount, 8));
}

} // namespace

TEST(BmpLoader, BitCountsAndHeaderSizes)
{
    const struct
    {
        int bitCount, headerSize;
    } cases[] = {{1, 40},  {4, 40},  {8, 40},   {24, 40}, {32, 40}, {8, 12},  {8, 108},
                 {8, 124}, {24, 12}, {24, 124}, {4, 12},  {1, 108}, {32, 124}};
    for (const auto& c : cases) {
        const int width = 13, height = 6;
        SBmp bmp;
        bmp.headerSize = c.headerSize;
        bmp.width = width;
        bmp.height = height;
        bmp.bitCount = c.bitCount;
        auto sample = [&](int x, int y) -> std::uint32_t {
            if (c.bitCount <= 8)
                return Index(x, y, c.bitCount);
            return (Photo(x, y) & 0xFFFFFF) | (c.bitCount == 32 ? (x * 40u) << 24 : 0);
        };
        if (c.bitCount <= 8)
            bmp.palette = GreyPalette(1 << c.bitCount);
        bmp.bits = PackRows(width, height, c.bitCount, false, sample);
        const SDecoded decoded = Decode(MakeBmp(bmp));
        ASSERT_TRUE(decoded.opened) << c.bitCount << "/" << c.headerSize;
        EXPECT_EQ(width, decoded.width);
        EXPECT_EQ(height, decoded.height);
        EXPECT_EQ(c.bitCount == 32, decoded.alpha);
        // Colour-table and 24-bit pixels get alpha 0; 32-bit pixels keep their fourth byte.
        EXPECT_EQ(Expected(width, height,
                           [&](int x, int y) {
                               return c.bitCount <= 8 ? bmp.palette[sample(x, y)] : sample(x, y);
                           }),
                  decoded.pixels)
            << c.bitCount << "/" << c.headerSize;
    }
}

TEST(BmpLoader, ShortPaletteAndIndicesBeyondIt)
{
    SBmp bmp;
    bmp.width = 4;
    bmp.height = 1;
    bmp.bitCount = 8;
    bmp.coloursUsed = 2;
    bmp.palette = {0x102030, 0x405060};
    bmp.bits = {0, 1, 2, 255};
    EXPECT_EQ((std::vector<Pixel>{0x102030, 0x405060, 0, 0}), Decode(MakeBmp(bmp)).pixels);
}

TEST(BmpLoader, SixteenBitsAndBitFields)
{
    SBmp bmp;
    bmp.width = 3;
    bmp.height = 1;
    bmp.bitCount = 16;
    bmp.bits = {0xFF, 0x7F, 0x00, 0x7C, 0x1F, 0x00, 0, 0}; // 5-5-5: white, red, blue
    EXPECT_EQ((std::vector<Pixel>{0xFFFFFF, 0xFF0000, 0x0000FF}), Decode(MakeBmp(bmp)).pixels);

    bmp.compression = 3;
    bmp.masks = {0xF800, 0x07E0, 0x001F};
    bmp.bits = {0xFF, 0xFF, 0xE0, 0x07, 0x10, 0x84, 0, 0}; // 5-6-5: white, green, 16/31 32/63 16/31
    EXPECT_EQ((std::vector<Pixel>{0xFFFFFF, 0x00FF00, 0x848284}), Decode(MakeBmp(bmp)).pixels);

    // 32 bits with an alpha mask inside a version 5 header.
    bmp.headerSize = 124;
    bmp.bitCount = 32;
    bmp.width = 1;
    bmp.masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF};
    bmp.bits = {0x80, 0x11, 0x22, 0x33};
    const SDecoded decoded = Decode(MakeBmp(bmp));
    EXPECT_TRUE(decoded.alpha);
    EXPECT_EQ((std::vector<Pixel>{0x80112233}), decoded.pixels);
}

TEST(BmpLoader, TopDownReportsAPositiveHeight)
{
    SBmp bmp;
    bmp.width = 7;
    bmp.height = -5;
    bmp.bits = PackRows(7, 5, 24, true, [](int x, int y) { return Photo(x, y) & 0xFFFFFF; });
    const SDecoded decoded = Decode(MakeBmp(bmp));
    EXPECT_EQ(5, decoded.height);
    EXPECT_EQ(Expected(7, 5, [](int x, int y) { return Photo(x, y) & 0xFFFFFF; }), decoded.pixels);
}

TEST(BmpLoader, TruncatedRowsAreBlack)
{
    SBmp bmp;
    bmp.width = 5;
    bmp.height = 4;
    bmp.bits = PackRows(5, 4, 24, false, [](int x, int y) { return Photo(x, y) & 0xFFFFFF; });
    // Rows are 16 bytes: two whole rows (the bottom two) and 4 bytes of the third are left.
    bmp.bits.resize(36);
    const SDecoded decoded = Decode(MakeBmp(bmp));
    ASSERT_TRUE(decoded.opened);
    EXPECT_EQ(Expected(5, 4,
                       [](int x, int y) -> Pixel {
                           if (y >= 2)
                               return Photo(x, y) & 0xFFFFFF;
                           if (y == 1 && x == 0)
                               return Photo(0, 1) & 0xFFFFFF;
                           if (y == 1 && x == 1)
                               return Photo(1, 1) & 0xFF;
                           return 0;
                       }),
              decoded.pixels);
}

TEST(BmpLoader, RunLengthEncoded)
{
    SBmp bmp;
    bmp.width = 8;
    bmp.height = 4;
    bmp.bitCount = 8;
    bmp.compression = 1;
    bmp.palette = GreyPalette(16);
    bmp.bits = {3, 5,             // three pixels of colour 5
                0, 3, 1, 2, 3, 0, // three literal pixels, padded
                0, 0,             // end of line
                0, 2, 2, 1,       // move 2 right and 1 up
                2, 7,             // two pixels of colour 7
                9, 9,             // a run past the row's end is cut
                0, 1,             // end of bitmap
                4, 4};            // never read
    const Pixel c5 = bmp.palette[5], c7 = bmp.palette[7];
    const Pixel c1 = bmp.palette[1], c2 = bmp.palette[2], c3 = bmp.palette[3];
    const std::vector<Pixel> expected = {0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0, // top row (y 3 from the bottom)
                                         0,
                                         0,
                                         c7,
                                         c7,
                                         bmp.palette[9],
                                         bmp.palette[9],
                                         bmp.palette[9],
                                         bmp.palette[9], // y 2
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0, // y 1
                                         c5,
                                         c5,
                                         c5,
                                         c1,
                                         c2,
                                         c3,
                                         0,
                                         0}; // bottom row
    EXPECT_EQ(expected, Decode(MakeBmp(bmp)).pixels);

    bmp.compression = 2;
    bmp.bitCount = 4;
    bmp.height = 1;
    bmp.bits = {5, 0x12, 0, 3, 0x34, 0x50, 0, 1}; // 1 2 1 2 1, literal 3 4 5
    const auto& p = bmp.palette;
    EXPECT_EQ((std::vector<Pixel>{p[1], p[2], p[1], p[2], p[1], p[3], p[4], p[5]}),
              Decode(MakeBmp(bmp)).pixels);

    // Damaged streams stop where the data ends.
    for (std::size_t cut = 0; cut < bmp.bits.size(); ++cut) {
        SBmp shorter = bmp;
        shorter.bits.resize(cut);
        shorter.bits.push_back(0);
        EXPECT_TRUE(Decode(MakeBmp(shorter)).opened);
    }
}

TEST(BmpLoader, SizesOffsetsAndRowLengths)
{
    SBmp bmp;
    bmp.width = 1;
    bmp.height = 1;
    bmp.bits = {0x40};
    const Bytes file = MakeBmp(bmp);
    ASSERT_EQ(55u, file.size());
    const SDecoded decoded = Decode(file);
    ASSERT_TRUE(decoded.opened);
    EXPECT_EQ((std::vector<Pixel>{0x40}), decoded.pixels);
    EXPECT_FALSE(Decode(Bytes(file.begin(), file.end() - 1)).opened);

    // Offset 0: the bits follow the header (and a full colour table).
    bmp.zeroOffset = true;
    bmp.bits = {1, 2, 3, 0};
    EXPECT_EQ((std::vector<Pixel>{0x030201}), Decode(MakeBmp(bmp)).pixels);
    bmp.bitCount = 8;
    bmp.palette = GreyPalette(256);
    bmp.bits = {200, 0, 0, 0};
    EXPECT_EQ((std::vector<Pixel>{bmp.palette[200]}), Decode(MakeBmp(bmp)).pixels);

    // 1 bit, 33 pixels: 8 bytes a row.
    SBmp wide;
    wide.width = 33;
    wide.height = 2;
    wide.bitCount = 1;
    wide.palette = {0x000000, 0xFFFFFF};
    wide.bits = {0, 0, 0, 0, 0x80, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0};
    ASSERT_EQ(16u, PackRows(33, 2, 1, false, [](int, int) { return 0u; }).size());
    const std::vector<Pixel> pixels = Decode(MakeBmp(wide)).pixels;
    EXPECT_EQ(std::vector<Pixel>(32, 0xFFFFFF), std::vector<Pixel>(pixels.begin(), pixels.begin() + 32));
    EXPECT_EQ(0u, pixels[32]);
    EXPECT_EQ(0xFFFFFFu, pixels[33 + 32]);
}

TEST(BmpLoader, ForeignAndHostileHeadersAreRefused)
{
    SBmp bmp;
    bmp.width = 2;
    bmp.height = 2;
    bmp.bits = Bytes(16, 0);
    Bytes notBm = MakeBmp(bmp);
    notBm[1] = 'A';
    std::vector<Bytes> refused = {notBm, MakePng(2, 2, [](int, int, int) { return 0u; }, {2, 8})};
    const std::pair<std::int64_t, std::int64_t> sizes[] = {{0x7FFFFFFF, 1}, {1, INT_MIN}, {0, 5},
                                                           {-3, 5},         {65536, 1},   {20000, 20000}};
    for (const auto& [width, height] : sizes) {
        SBmp hostile = bmp;
        hostile.width = static_cast<int>(width);
        hostile.height = static_cast<int>(height);
        refused.push_back(MakeBmp(hostile));
    }
    for (std::uint32_t compression : {4u, 5u, 1u}) { // JPEG, PNG, RLE8 with 24 bits
        SBmp odd = bmp;
        odd.compression = compression;
        refused.push_back(MakeBmp(odd));
    }
    SBmp headerTooLong = bmp;
    headerTooLong.headerSize = 1000;
    refused.push_back(MakeBmp(headerTooLong));
    EXPECT_LT(MemoryWhileRefusing<CBmpLoader>(refused), 64u << 20);
}

TEST(BmpLoader, LoadsIntoOtherDepthsAndClipsToTheTarget)
{
    SBmp bmp;
    bmp.width = 6;
    bmp.height = 4;
    bmp.bits = PackRows(6, 4, 24, false, [](int x, int y) { return Photo(x, y) & 0xFFFFFF; });
    CBmpLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(MakeBmp(bmp)), true));

    EXPECT_EQ(Expected(6, 4, [](int x, int y) { return Photo(x, y) & 0xFFFFFF; }),
              LoadedAt24Bits(loader, true));

    auto small = MakePlane(4, 3, 0x01010101);
    loader.Load(*small, {2, 1}, true);
    EXPECT_EQ(Expected(4, 3,
                       [](int x, int y) -> Pixel {
                           return x < 2 || y < 1 ? 0x01010101 : Photo(x - 2, y - 1) & 0xFFFFFF;
                       }),
              PixelsOf(*small));
}

class BmpSaver : public FileTestSupport::TempFolderTest
{
};

TEST_F(BmpSaver, ExactLayoutOfGreyAndColourFiles)
{
    const struct
    {
        int depth;
        std::uint32_t fileSize, offset;
        int rowSize;
    } cases[] = {{8, 1094, 1078, 8}, {24, 86, 54, 16}};
    for (const auto& c : cases) {
        Brivox::CMemoryPlane plane(c.depth);
        plane.Resize({9, 4});
        {
            const Brivox::Detail::PlaneBitsLock bits(plane);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 9 * c.depth / 8; ++x)
                    bits.Pixel(0, y)[x] = static_cast<std::uint8_t>(1 + x + 16 * y);
        }
        CBmpSaver().Save(At(L"a.bmp"), plane, {2, 1, 7, 3});
        const Bytes file = FileTestSupport::ReadBytes(At(L"a.bmp"));
        ASSERT_EQ(c.fileSize, file.size());
        EXPECT_EQ('B', file[0]);
        EXPECT_EQ('M', file[1]);
        EXPECT_EQ(c.fileSize, ReadLe32(file, 2));
        EXPECT_EQ(0u, ReadLe32(file, 6));
        EXPECT_EQ(c.offset, ReadLe32(file, 10));
        EXPECT_EQ(40u, ReadLe32(file, 14));
        EXPECT_EQ(5u, ReadLe32(file, 18));
        EXPECT_EQ(2u, ReadLe32(file, 22));
        EXPECT_EQ(1u | static_cast<std::uint32_t>(c.depth) << 16, ReadLe32(file, 26));
        EXPECT_EQ(0u, ReadLe32(file, 30));
        EXPECT_EQ(3780u, ReadLe32(file, 38));
        EXPECT_EQ(3780u, ReadLe32(file, 42));
        EXPECT_EQ(c.depth == 8 ? 256u : 0u, ReadLe32(file, 46));
        if (c.depth == 8) {
            for (std::uint32_t i = 0; i < 256; ++i)
                ASSERT_EQ(i * 0x010101u, ReadLe32(file, 54 + 4 * i));
        }
        // Bottom row of the rectangle first, each padded with zeros.
        const int bytes = 5 * c.depth / 8;
        for (int r = 0; r < 2; ++r) {
            const int y = 2 - r;
            for (int i = 0; i < c.rowSize; ++i)
                ASSERT_EQ(i < bytes ? 1 + 2 * c.depth / 8 + i + 16 * y : 0,
                          file[c.offset + r * c.rowSize + i])
                    << c.depth << " row " << r << " byte " << i;
        }
    }
}

TEST_F(BmpSaver, ThirtyTwoBitPlanesRoundTripAsTwentyFourBits)
{
    auto plane = MakePlane(11, 7);
    {
        const Brivox::Detail::PlaneBitsLock bits(*plane);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 11; ++x)
                reinterpret_cast<Pixel*>(bits.Pixel(x, y))[0] = Photo(x, y);
    }
    CBmpSaver().Save(At(L"sub\\a.bmp"), *plane, {0, 0, 11, 7});
    const Bytes file = FileTestSupport::ReadBytes(At(L"sub\\a.bmp"));
    ASSERT_EQ(54u + 7 * 36, file.size());
    EXPECT_EQ(24, file[28]);
    const SDecoded decoded = Decode(file);
    EXPECT_FALSE(decoded.alpha);
    EXPECT_EQ(Expected(11, 7, [](int x, int y) { return Photo(x, y) & 0xFFFFFF; }), decoded.pixels);
}
