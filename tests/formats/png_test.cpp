#include "formats/png_loader.h"
#include "image_fixtures.h"

#include "foundation/exception.h"
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <iterator>
#include <string>

using namespace ImageFixtures;
using Brivox::CPngLoader;
using Brivox::CPngSaver;

namespace {

enum ColourType
{
    Grey = 0,
    Rgb = 2,
    Palette = 3,
    GreyAlpha = 4,
    Rgba = 6
};

unsigned Sample(int x, int y, int channel, int depth)
{
    return static_cast<unsigned>(x * 31 + y * 17 + channel * 59 + x * y * 5) % (1u << depth);
}

// A sample at the file's depth as the decoder's 8 bits: low depths scaled up, 16 bits cut.
unsigned ToEight(unsigned v, int depth)
{
    return depth == 16 ? v >> 8 : depth == 8 ? v : v * 255 / ((1u << depth) - 1);
}

Pixel ExpectedPixel(int colourType, int depth, int x, int y)
{
    auto s = [&](int channel) { return ToEight(Sample(x, y, channel, depth), depth); };
    switch (colourType) {
    case Grey:
        return 0xFF000000u | s(0) * 0x010101u;
    case Rgb:
        return 0xFF000000u | s(0) << 16 | s(1) << 8 | s(2);
    case Palette:
        return 0xFF000000u | PaletteColour(Sample(x, y, 0, depth));
    case GreyAlpha:
        return s(1) << 24 | s(0) * 0x010101u;
    default:
        return s(3) << 24 | s(0) << 16 | s(1) << 8 | s(2);
    }
}

Bytes MakeTestPng(int width, int height, const SPngOptions& options)
{
    return MakePng(
        width, height, [&](int x, int y, int c) { return Sample(x, y, c, options.bitDepth); }, options);
}

struct SDecoded
{
    bool opened = false;
    bool alpha = false;
    std::vector<Pixel> pixels;
};

SDecoded Decode(const Bytes& file, bool oneShot)
{
    SDecoded result;
    CPngLoader loader;
    result.opened = loader.Open(MakeData(file), oneShot);
    if (!result.opened)
        return result;
    auto plane = MakePlane(loader.GetSize().cx, loader.GetSize().cy);
    loader.Load(*plane, {0, 0}, oneShot);
    result.alpha = loader.HasAlpha();
    result.pixels = PixelsOf(*plane);
    return result;
}

std::uint32_t ReadBe32(const Bytes& file, std::size_t at)
{
    return static_cast<std::uint32_t>(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
}

// Rewrites the CRC of the chunk that starts at `at` (its length field).
void FixCrc(Bytes& file, std::size_t at)
{
    const std::uint32_t length = ReadBe32(file, at);
    const uLong crc = crc32(0, &file[at + 4], 4 + length);
    for (int i = 0; i < 4; ++i)
        file[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
}

void PutBe32(Bytes& file, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

constexpr std::size_t ihdr = 8; // the IHDR chunk follows the signature

// A chunk of the type with its CRC; only its length field and type when the data are left out.
void AppendChunk(Bytes& file, const char* type, std::uint32_t length, const Bytes* data)
{
    const std::size_t at = file.size();
    file.resize(at + 8);
    PutBe32(file, at, length);
    std::copy(type, type + 4, file.begin() + static_cast<long>(at) + 4);
    if (!data)
        return;
    file.insert(file.end(), data->begin(), data->end());
    file.resize(file.size() + 4);
    FixCrc(file, at);
}

} // namespace

TEST(PngLoader, EveryColourTypeAndBitDepth)
{
    const struct
    {
        int colourType, depth;
    } cases[] = {{Grey, 1},    {Grey, 2},      {Grey, 4},       {Grey, 8},    {Grey, 16},
                 {Rgb, 8},     {Rgb, 16},      {Palette, 1},    {Palette, 2}, {Palette, 4},
                 {Palette, 8}, {GreyAlpha, 8}, {GreyAlpha, 16}, {Rgba, 8},    {Rgba, 16}};
    for (const auto& c : cases) {
        const Bytes file = MakeTestPng(19, 7, {c.colourType, c.depth});
        const std::vector<Pixel> expected =
            Expected(19, 7, [&](int x, int y) { return ExpectedPixel(c.colourType, c.depth, x, y); });
        for (bool oneShot : {false, true}) {
            const SDecoded decoded = Decode(file, oneShot);
            ASSERT_TRUE(decoded.opened) << c.colourType << "/" << c.depth;
            EXPECT_EQ(expected, decoded.pixels) << c.colourType << "/" << c.depth << " one-shot " << oneShot;
            EXPECT_EQ(c.colourType == GreyAlpha || c.colourType == Rgba, decoded.alpha) << c.colourType;
        }
    }
}

TEST(PngLoader, PaletteTransparencyReachesAlphaWithoutHasAlpha)
{
    SPngOptions options(Palette, 4);
    options.paletteAlpha = {0, 128, 255, 7};
    const SDecoded decoded = Decode(MakeTestPng(9, 5, options), false);
    ASSERT_TRUE(decoded.opened);
    EXPECT_FALSE(decoded.alpha);
    EXPECT_EQ(Expected(9, 5,
                       [](int x, int y) {
                           const unsigned index = Sample(x, y, 0, 4);
                           const Pixel alpha = index < 4 ? std::vector<Pixel>{0, 128, 255, 7}[index] : 255;
                           return alpha << 24 | PaletteColour(index);
                       }),
              decoded.pixels);
}

TEST(PngLoader, InterlacedDecodesLikeItsTwin)
{
    for (const SPngOptions& options : {SPngOptions(Rgba, 8), SPngOptions(Grey, 1), SPngOptions(Palette, 4)}) {
        SPngOptions interlaced = options;
        interlaced.interlaced = true;
        const Bytes plain = MakeTestPng(13, 11, options), adam7 = MakeTestPng(13, 11, interlaced);
        ASSERT_NE(plain, adam7);
        for (bool oneShot : {false, true}) {
            const SDecoded a = Decode(plain, oneShot), b = Decode(adam7, oneShot);
            ASSERT_TRUE(b.opened);
            EXPECT_EQ(a.pixels, b.pixels) << options.colourType << " one-shot " << oneShot;
        }
    }
}

TEST(PngLoader, GammaCorrectsTowardsTheScreen)
{
    auto ramp = [](double gamma) {
        SPngOptions options(Grey, 8);
        options.gamma = gamma;
        return Decode(MakePng(
                          256, 1, [](int x, int, int) { return static_cast<unsigned>(x); }, options),
                      false)
            .pixels;
    };
    const std::vector<Pixel> none = ramp(0), screen = ramp(1 / 2.2), linear = ramp(1.0);
    EXPECT_EQ(none, screen);
    EXPECT_EQ(0xFF000000u, linear[0]);
    EXPECT_EQ(0xFFFFFFFFu, linear[255]);
    // 128 ^ (1 / 2.2) on the 0 … 255 scale is about 186.
    EXPECT_NEAR(186, static_cast<int>(linear[128] & 0xFF), 2);
}

TEST(PngLoader, DamagedDataIsRefused)
{
    const Bytes file = MakeTestPng(40, 40, {Rgb, 8});
    Bytes badCrc = file;
    badCrc[ihdr + 8 + 13] ^= 0x01;
    const Bytes truncated(file.begin(), file.end() - 40);
    for (const Bytes& bytes : {Bytes(file.begin(), file.begin() + 7), Bytes(file.begin(), file.begin() + 8),
                               badCrc, truncated, MakeJpeg(8, 8, Photo)})
        EXPECT_FALSE(Decode(bytes, false).opened) << bytes.size();

    // One-shot: the header is whole, the damage shows at Load.
    CPngLoader loader;
    ASSERT_TRUE(loader.Open(MakeData(truncated), true));
    auto plane = MakePlane(40, 40);
    EXPECT_THROW(loader.Load(*plane, {0, 0}, true), Brivox::ImageLoadException);
    EXPECT_FALSE(CPngLoader().Open(MakeData(badCrc), true));
}

TEST(PngLoader, HugeHeadersAreRefusedWithoutAllocating)
{
    const Bytes file = MakeTestPng(4, 4, {Rgba, 8});
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{100000, 1}, {65535, 65535}, {0x7FFFFFFF, 1}};
    const std::size_t growth = PeakMemoryGrowth([&] {
        for (const auto& [width, height] : sizes) {
            Bytes hostile = file;
            PutBe32(hostile, ihdr + 8, width);
            PutBe32(hostile, ihdr + 12, height);
            FixCrc(hostile, ihdr);
            EXPECT_FALSE(CPngLoader().Open(MakeData(hostile), false)) << width;
            EXPECT_FALSE(CPngLoader().Open(MakeData(hostile), true)) << width;
        }
    });
    EXPECT_LT(growth, 64u << 20);
}

// A chunk declaring 2^31 - 1 bytes in a file that ends right after its type: metadata, profile,
// palette and unknown chunks, before the image data (a 41-byte file) and after them.
TEST(PngLoader, ChunksLongerThanTheFileAreRefusedWithoutAllocating)
{
    const Bytes file = MakeTestPng(4, 4, {Rgba, 8});
    const Bytes header(file.begin(), file.begin() + ihdr + 25);
    const Bytes withoutEnd(file.begin(), file.end() - 12);
    const char* const types[] = {"tEXt", "zTXt", "iTXt", "iCCP", "PLTE", "eXIf", "sPLT", "prVt"};
    const std::size_t growth = PeakMemoryGrowth([&] {
        for (const char* type : types) {
            Bytes before = header;
            AppendChunk(before, type, 0x7FFFFFFF, nullptr);
            EXPECT_EQ(41u, before.size());
            EXPECT_FALSE(Decode(before, false).opened) << type;
            EXPECT_FALSE(Decode(before, true).opened) << type;

            Bytes after = withoutEnd;
            AppendChunk(after, type, 0x7FFFFFFF, nullptr);
            EXPECT_FALSE(Decode(after, false).opened) << type;
            CPngLoader loader;
            EXPECT_TRUE(loader.Open(MakeData(after), true)) << type;
            auto plane = MakePlane(4, 4);
            EXPECT_THROW(loader.Load(*plane, {0, 0}, true), Brivox::ImageLoadException) << type;
        }
    });
    EXPECT_LT(growth, 64u << 20);
}

// Whole chunks larger than 8 MiB whose contents the decoder does not use: skipped, never held.
TEST(PngLoader, LargeMetadataChunksAreSkipped)
{
    const Bytes file = MakeTestPng(19, 7, {Rgb, 8});
    const char* const types[] = {"tEXt", "zTXt", "prVt"};
    Bytes contents(9 << 20, 'm');
    contents[3] = 0; // after a keyword
    Bytes big(file.begin(), file.begin() + ihdr + 25);
    // Made without reallocating, so that the peak before decoding is what is held.
    big.reserve(file.size() + std::size(types) * (12 + contents.size()));
    for (const char* type : types)
        AppendChunk(big, type, static_cast<std::uint32_t>(contents.size()), &contents);
    big.insert(big.end(), file.begin() + ihdr + 25, file.end());
    const std::shared_ptr<Brivox::CFileData> data = MakeData(big);
    const std::vector<Pixel> expected = Decode(file, false).pixels;
    for (bool oneShot : {false, true}) {
        CPngLoader loader;
        auto plane = MakePlane(19, 7);
        bool opened = false;
        const std::size_t growth = PeakMemoryGrowth([&] {
            opened = loader.Open(data, oneShot);
            if (opened)
                loader.Load(*plane, {0, 0}, oneShot);
        });
        ASSERT_TRUE(opened) << oneShot;
        EXPECT_EQ(expected, PixelsOf(*plane)) << oneShot;
        EXPECT_LT(growth, 8u << 20) << oneShot;
    }
}

TEST(PngLoader, VersionText)
{
    const std::string text = FileTestSupport::Ansi(Brivox::GetPngVersionText());
    EXPECT_NE(std::string::npos, text.find("libpng version 1.6")) << text;
    EXPECT_NE('\n', text[0]);
}

class PngSaver : public FileTestSupport::TempFolderTest
{
protected:
    // The file's rows as the filter byte and the filtered bytes, from its IDAT chunks.
    static Bytes Inflated(const Bytes& file)
    {
        Bytes compressed;
        for (std::size_t at = 8; at + 12 <= file.size();) {
            const std::uint32_t length = ReadBe32(file, at);
            if (std::string(file.begin() + static_cast<long>(at) + 4,
                            file.begin() + static_cast<long>(at) + 8) == "IDAT")
                compressed.insert(compressed.end(), file.begin() + static_cast<long>(at) + 8,
                                  file.begin() + static_cast<long>(at + 8 + length));
            at += 12 + length;
        }
        Bytes out(1 << 20);
        uLongf size = static_cast<uLongf>(out.size());
        EXPECT_EQ(Z_OK,
                  uncompress(out.data(), &size, compressed.data(), static_cast<uLong>(compressed.size())));
        out.resize(size);
        return out;
    }
};

TEST_F(PngSaver, WritesGreyOrRgbWithTheSubFilter)
{
    const struct
    {
        int depth, colourType, rowBytes;
    } cases[] = {{32, Rgb, 3 * 6}, {24, Rgb, 3 * 6}, {16, Rgb, 3 * 6}, {8, Grey, 6}};
    for (const auto& c : cases) {
        Brivox::CMemoryPlane plane(c.depth);
        plane.Resize({10, 8});
        {
            const Brivox::Detail::PlaneBitsLock bits(plane);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 10 * c.depth / 8; ++x)
                    bits.Pixel(0, y)[x] = static_cast<std::uint8_t>(x * 37 + y * 11);
        }
        CPngSaver().Save(At(L"a.png"), plane, {3, 2, 9, 7});
        const Bytes file = FileTestSupport::ReadBytes(At(L"a.png"));
        ASSERT_GT(file.size(), 33u);
        EXPECT_EQ(6u, ReadBe32(file, ihdr + 8));
        EXPECT_EQ(5u, ReadBe32(file, ihdr + 12));
        EXPECT_EQ(8, file[ihdr + 16]) << c.depth;
        EXPECT_EQ(c.colourType, file[ihdr + 17]) << c.depth;
        const Bytes rows = Inflated(file);
        ASSERT_EQ(5u * (1 + c.rowBytes), rows.size());
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(1, rows[y * (1 + c.rowBytes)]) << "row " << y;

        // Read back: the rectangle's pixels, alpha gone.
        Brivox::CMemoryPlane32 expected({6, 5});
        expected.Blit(plane, {0, 0}, {3, 2, 9, 7});
        const SDecoded decoded = Decode(file, false);
        ASSERT_TRUE(decoded.opened);
        std::vector<Pixel> want = PixelsOf(expected);
        for (Pixel& p : want)
            p |= 0xFF000000u;
        EXPECT_EQ(want, decoded.pixels) << c.depth;
    }
}

TEST_F(PngSaver, CompressionLevelFromConstructorOrSetter)
{
    auto plane = MakePlane(64, 64);
    {
        const Brivox::Detail::PlaneBitsLock bits(*plane);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                reinterpret_cast<Pixel*>(bits.Pixel(x, y))[0] = Photo(x, y);
    }
    CPngSaver(0).Save(At(L"stored.png"), *plane, {0, 0, 64, 64});
    CPngSaver set;
    set.SetCompressionLevel(9);
    set.Save(At(L"best.png"), *plane, {0, 0, 64, 64});
    set.Save(At(L"again.png"), *plane, {0, 0, 64, 64});
    CPngSaver(9).Save(At(L"constructor.png"), *plane, {0, 0, 64, 64});
    const Bytes best = FileTestSupport::ReadBytes(At(L"best.png"));
    EXPECT_GT(FileTestSupport::ReadBytes(At(L"stored.png")).size(), best.size() * 2);
    EXPECT_EQ(best, FileTestSupport::ReadBytes(At(L"again.png")));
    EXPECT_EQ(best, FileTestSupport::ReadBytes(At(L"constructor.png")));
}

TEST_F(PngSaver, FailuresOfTheLibraryAndOfTheFile)
{
    auto plane = MakePlane(4, 4);
    try {
        CPngSaver().Save(At(L"empty.png"), *plane, {2, 2, 2, 4});
        FAIL();
    } catch (const Brivox::ImageSaveException& e) {
        EXPECT_EQ(FileTestSupport::Ansi(L"画像の保存に失敗しました"), e.what());
    }

    CPngSaver().Save(At(L"new\\folder\\a.png"), *plane, {0, 0, 4, 4});
    EXPECT_TRUE(FileTestSupport::Exists(At(L"new\\folder\\a.png")));

    FileTestSupport::MakeFolder(At(L"taken.png"));
    try {
        CPngSaver().Save(At(L"taken.png"), *plane, {0, 0, 4, 4});
        FAIL();
    } catch (const Brivox::ImageSaveException&) {
        FAIL() << "the file's own exception";
    } catch (const Brivox::IOException& e) {
        EXPECT_EQ(0u, std::string(e.what()).find(FileTestSupport::Ansi(At(L"taken.png")))) << e.what();
    }
}
