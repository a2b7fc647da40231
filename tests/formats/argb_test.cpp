#include "decoded_image.h"
#include "formats/argb_loader.h"
#include "image_fixtures.h"
#include "tga_argb_fixtures.h"

#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

using namespace ImageFixtures;
using namespace TgaArgbFixtures;
using Brivox::CArgbLoader;
using Brivox::CArgbSaver;

namespace {

SDecoded Decode(const Bytes& file)
{
    return DecodeWith<CArgbLoader>(file);
}

// Pixels with every alpha from opaque to transparent.
Pixel Translucent(int x, int y)
{
    return (Photo(x, y) & 0xFFFFFF) | static_cast<Pixel>((x * 70 + y * 30) & 0xFF) << 24;
}

std::unique_ptr<Brivox::CMemoryPlane32> TranslucentPlane(int width, int height)
{
    auto plane = MakePlane(width, height);
    const Brivox::Detail::PlaneBitsLock bits(*plane);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<Pixel*>(bits.Pixel(0, y))[x] = Translucent(x, y);
    return plane;
}

class ArgbFile : public FileTestSupport::TempFolderTest
{
};

} // namespace

TEST_F(ArgbFile, SavedByteForByteAndReadBack)
{
    auto plane = TranslucentPlane(6, 5);
    CArgbSaver().Save(At(L"sub\\三×二.argb"), *plane, {2, 1, 5, 3});
    Bytes expected = {'B', 'G', 'R', 'A', 8, 8, 8, 8, 3, 0, 0, 0, 2, 0, 0, 0};
    for (int y = 1; y < 3; ++y)
        for (int x = 2; x < 5; ++x)
            PutLe(expected, Translucent(x, y), 4);
    const Bytes file = FileTestSupport::ReadBytes(At(L"sub\\三×二.argb"));
    ASSERT_EQ(16u + 24u, file.size());
    EXPECT_EQ(expected, file);

    CArgbLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(file), true));
    EXPECT_EQ(3, loader.GetSize().cx);
    EXPECT_EQ(2, loader.GetSize().cy);
    EXPECT_TRUE(loader.HasAlpha());
    EXPECT_EQ(L"ARGB", std::wstring(loader.GetFormatName().CStr()));
    auto back = MakePlane(3, 2);
    loader.Load(*back, {0, 0}, true);
    EXPECT_EQ(Expected(3, 2, [](int x, int y) { return Translucent(x + 2, y + 1); }), PixelsOf(*back));
}

TEST_F(ArgbFile, LargerImagesAndOtherDepthsRoundTrip)
{
    // Past 1024 bytes the file is sized before it is written.
    auto plane = TranslucentPlane(40, 23);
    CArgbSaver().Save(At(L"big.argb"), *plane, {0, 0, 40, 23});
    const Bytes file = FileTestSupport::ReadBytes(At(L"big.argb"));
    ASSERT_EQ(16u + 40u * 23u * 4u, file.size());
    EXPECT_EQ(PixelsOf(*plane), Decode(file).pixels);

    // A 24-bit plane is written as 32 bits.
    Brivox::CMemoryPlane colour(24);
    colour.Resize({4, 3});
    colour.Blit(*plane, {0, 0}, {0, 0, 4, 3});
    CArgbSaver().Save(At(L"colour.argb"), colour, {0, 0, 4, 3});
    const SDecoded decoded = Decode(FileTestSupport::ReadBytes(At(L"colour.argb")));
    ASSERT_EQ(12u, decoded.pixels.size());
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Translucent(i % 4, i / 4) & 0xFFFFFF, decoded.pixels[i] & 0xFFFFFF) << i;
}

TEST(ArgbLoader, SixteenBitChannelsGiveTheirHighBytes)
{
    const Bytes pixels = {0xAB, 0x12, 0xCD, 0x56, 0xEF, 0x9A, 0x01, 0xFF,  // B, G, R, A
                          0x00, 0x00, 0xFF, 0x80, 0x00, 0x7F, 0xFF, 0x00}; // low bytes do not count
    const SDecoded decoded = Decode(MakeArgb(2, 1, pixels, 0x10101010));
    ASSERT_TRUE(decoded.opened);
    EXPECT_EQ((std::vector<Pixel>{0xFF9A5612, 0x007F8000}), decoded.pixels);
}

TEST(ArgbLoader, ShortFilesLoadWhatTheyHoldAndTheRestAsZero)
{
    // Two of four pixels and half of the third; at 16 bits one pixel and a half.
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ((std::vector<Pixel>{0x04030201, 0x08070605, 0x00000A09, 0}),
              Decode(MakeArgb(2, 2, eight)).pixels);
    const Bytes sixteen = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ((std::vector<Pixel>{0x08060402, 0, 0, 0}), Decode(MakeArgb(2, 2, sixteen, 0x10101010)).pixels);
    // No pixel data at all still makes an image.
    EXPECT_EQ(std::vector<Pixel>(3, 0), Decode(MakeArgb(3, 1, {})).pixels);
}

TEST(ArgbLoader, ForeignAndHostileHeadersAreRefused)
{
    const Bytes four(4, 0x11);
    const Bytes valid = MakeArgb(1, 1, four);
    ASSERT_TRUE(CArgbLoader().Open(MakeData(valid), false));
    Bytes otherOrder = valid;
    std::copy_n("ARGB", 4, otherOrder.begin());
    const std::vector<Bytes> refused = {
        otherOrder,
        MakeArgb(1, 1, four, 0x08080800),
        MakeArgb(1, 1, four, 0x20202020),
        Bytes(valid.begin(), valid.begin() + 15),
        MakeArgb(0, 1, four),
        MakeArgb(1, 0, four),
        MakeArgb(65536, 65536, {}),
        MakeArgb(65536, 65536, Bytes(16, 0)),
        MakeArgb(65536, 1, four),
        MakeArgb(65535, 65535, {}, 0x10101010),
        MakeArgb(0xFFFFFFFF, 0xFFFFFFFF, four),
    };
    EXPECT_LT(MemoryWhileRefusing<CArgbLoader>(refused), 64u << 20);
}

TEST(ArgbLoader, LoadsClippedAndIntoOtherDepths)
{
    Bytes pixels;
    for (int i = 0; i < 6; ++i)
        PutLe(pixels, Translucent(i % 3, i / 3), 4);
    CArgbLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(MakeArgb(3, 2, pixels)), false));
    auto small = MakePlane(2, 2, 0x01010101);
    loader.Load(*small, {1, 1}, false);
    EXPECT_EQ((std::vector<Pixel>{0x01010101, 0x01010101, 0x01010101, Translucent(0, 0)}), PixelsOf(*small));

    EXPECT_EQ(WithoutAlpha(Expected(3, 2, Translucent)), LoadedAt24Bits(loader, false));
}
