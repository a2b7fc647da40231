#include "formats/susie_loader.h"

#include "foundation/file_test_support.h"
#include "image_fixtures.h"
#include "plugin_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using Brivox::CSpi;
using Brivox::CSpiLoader;
using Brivox::String;
using FileTestSupport::Ansi;
using ImageFixtures::Bytes;
using ImageFixtures::Pixel;
using namespace PluginTestSupport;

namespace {

const wchar_t* const pictureFailsPlugin = L"kanoru_spi_picture_fails.dll";
const wchar_t* const endlessPlugin = L"kanoru_spi_image_endless.dll";
const wchar_t* const noInfoPlugin = L"kanoru_spi_no_info.dll";

// The test pictures' pixels, 0xAARRGGBB.
Pixel TestPixel(int x, int y)
{
    return static_cast<Pixel>((40 + x + y) << 24 | (200 + y) << 16 | (100 + x) << 8 | (x * 10 + y));
}

void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<unsigned char>(value >> (8 * k));
}

// A picture of the test plug-in: the magic picks how it answers (see the plug-in's source). The
// file is padded with zeros to at least `size` bytes.
Bytes Picture(const char* magic, int width, int height, std::size_t size = 0)
{
    Bytes bytes(std::max<std::size_t>(12 + std::size_t{4} * width * height, size), 0);
    std::copy(magic, magic + 4, bytes.begin());
    PutLe32(bytes, 4, static_cast<std::uint32_t>(width));
    PutLe32(bytes, 8, static_cast<std::uint32_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            PutLe32(bytes, 12 + 4 * (std::size_t{1} * y * width + x), TestPixel(x, y));
    }
    return bytes;
}

using SusieLoaderTest = PluginFolderTest;

} // namespace

TEST_F(SusieLoaderTest, ShortDataReachThePluginInAZeroFilledBufferWithTheirOwnSize)
{
    const auto spi = LoadSet({imagePlugin});
    const Bytes file = Picture("KSPI", 2, 11); // 100 bytes
    ASSERT_EQ(file.size(), 100u);
    const auto data = ImageFixtures::MakeData(file);
    CSpiLoader loader(spi);
    ASSERT_TRUE(loader.Open(data, false));

    const PluginFakes::SSpiProbe& probe = SpiProbe(paths[0]);
    EXPECT_NE(probe.isSupportedData, data->GetBytes().data());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), probe.head));
    EXPECT_TRUE(
        std::all_of(probe.head + file.size(), std::end(probe.head), [](unsigned char b) { return b == 0; }));
    EXPECT_EQ(probe.pictureInfoLength, 100);
    EXPECT_EQ(probe.pictureLength, 100);
}

TEST_F(SusieLoaderTest, DataOf2KbOrMoreReachThePluginInPlace)
{
    const auto spi = LoadSet({imagePlugin});
    for (const std::size_t size : {std::size_t{2048}, std::size_t{3000}}) {
        const auto data = ImageFixtures::MakeData(Picture("KSPI", 4, 4, size));
        CSpiLoader loader(spi);
        ASSERT_TRUE(loader.Open(data, false)) << size;
        const PluginFakes::SSpiProbe& probe = SpiProbe(paths[0]);
        EXPECT_EQ(probe.isSupportedData, data->GetBytes().data()) << size;
        EXPECT_EQ(probe.pictureSource, data->GetBytes().data()) << size;
        EXPECT_EQ(probe.pictureLength, static_cast<LONG_PTR>(size));
    }
}

TEST_F(SusieLoaderTest, DrawsThePluginsPictureAndKnowsItsAlphaAfterLoad)
{
    const auto spi = LoadSet({imagePlugin});
    struct Case
    {
        const char* magic;
        bool alpha;
        ImageFixtures::PixelSource expected;
    };
    const Case cases[] = {
        {"KSPI", true, TestPixel},
        // 8 bits: the blue byte through a grey table, alpha 0.
        {"KSP8", false, [](int x, int y) { return (TestPixel(x, y) & 0xFF) * 0x010101u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.magic);
        CSpiLoader loader(spi);
        ASSERT_TRUE(loader.Open(ImageFixtures::MakeData(Picture(c.magic, 3, 2)), false));
        EXPECT_EQ(loader.GetSize().cx, 3);
        EXPECT_EQ(loader.GetSize().cy, 2);
        EXPECT_EQ(Ansi(loader.GetFormatName()), "Kanoru test picture / Kanoru packed picture");
        EXPECT_FALSE(loader.HasAlpha());
        auto plane = ImageFixtures::MakePlane(5, 4);
        loader.Load(*plane, {1, 1}, false);
        EXPECT_EQ(loader.HasAlpha(), c.alpha);
        const std::vector<Pixel> pixels = ImageFixtures::PixelsOf(*plane);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(pixels[(y + 1) * 5 + x + 1], c.expected(x, y)) << x << "," << y;
        }
        EXPECT_EQ(pixels[0], 0x12345678u); // outside the picture
    }
}

TEST_F(SusieLoaderTest, FirstPluginThatDecodesWinsAndAFailureHandsOn)
{
    const auto data = ImageFixtures::MakeData(Picture("KSPI", 2, 2));
    {
        const auto spi = LoadSet({imagePlugin, imagePlugin});
        CSpiLoader loader(spi);
        ASSERT_TRUE(loader.Open(data, false));
        EXPECT_EQ(SpiProbe(paths[0]).getPictureCalls, 1);
        EXPECT_EQ(SpiProbe(paths[1]).isSupportedCalls, 0);
    }
    const auto spi = LoadSet({pictureFailsPlugin, imagePlugin}, L"second");
    CSpiLoader loader(spi);
    ASSERT_TRUE(loader.Open(data, false));
    EXPECT_EQ(SpiProbe(paths[0]).getPictureCalls, 1);
    EXPECT_EQ(SpiProbe(paths[1]).getPictureCalls, 1);
    auto plane = ImageFixtures::MakePlane(2, 2);
    loader.Load(*plane, {0, 0}, false);
    EXPECT_EQ(ImageFixtures::PixelsOf(*plane)[3], TestPixel(1, 1));
}

TEST_F(SusieLoaderTest, PluginThatCannotTellItsKindEndsTheSearch)
{
    const auto data = ImageFixtures::MakeData(Picture("KSPI", 2, 2));
    const auto spi = LoadSet({noInfoPlugin, imagePlugin});
    CSpiLoader loader(spi);
    EXPECT_FALSE(loader.Open(data, false));
    EXPECT_EQ(SpiProbe(paths[1]).isSupportedCalls, 0);
    EXPECT_EQ(Ansi(loader.GetFilter()), "");
}

TEST_F(SusieLoaderTest, FilterJoinsThePatternListsOfTheImagePlugins)
{
    const auto spi = LoadSet({imagePlugin, archivePlugin, imagePlugin});
    CSpiLoader loader(spi);
    EXPECT_EQ(Ansi(loader.GetFilter()), "*.ksp;*.kpp;*.kpq;*.ksp;*.kpp;*.kpq");
    EXPECT_EQ(Ansi(CSpiLoader(std::make_shared<const CSpi>()).GetFilter()), "");
}

TEST_F(SusieLoaderTest, PicturesThatDoNotFitTheirBlocksOrTheSizeLimitsAreRefused)
{
    const auto spi = LoadSet({imagePlugin});
    struct Case
    {
        const char* magic;
        int width, height;
        bool opens;
    };
    const Case cases[] = {
        {"KSPS", 64, 64, false},   // bits block half the size the header says
        {"KSPT", 4, 4, false},     // header block without its colour table
        {"KSPI", 65536, 1, false}, // wider than the decoders take
        {"KSPI", 65535, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.magic) + " " + std::to_string(c.width));
        // The plug-in itself decodes each of them: the host refuses what it hands back.
        const int calls = SpiProbe(paths[0]).getPictureCalls;
        CSpiLoader loader(spi);
        EXPECT_EQ(loader.Open(ImageFixtures::MakeData(Picture(c.magic, c.width, c.height)), false), c.opens);
        EXPECT_EQ(SpiProbe(paths[0]).getPictureCalls, calls + 1);
    }
}

TEST_F(SusieLoaderTest, SizeComesFromTheDibWhenThePluginReportsNone)
{
    const auto spi = LoadSet({imagePlugin});
    CSpiLoader loader(spi);
    ASSERT_TRUE(loader.Open(ImageFixtures::MakeData(Picture("KSPN", 3, 2)), false));
    EXPECT_EQ(loader.GetSize().cx, 3);
    EXPECT_EQ(loader.GetSize().cy, 2);
}

TEST_F(SusieLoaderTest, PluginThatNamesFormatsWithoutEndIsAskedABoundedNumberOfTimes)
{
    const auto spi = LoadSet({endlessPlugin});
    CSpiLoader loader(spi);
    ASSERT_TRUE(loader.Open(ImageFixtures::MakeData(Picture("KSPI", 2, 2)), false));
    std::vector<std::string> descriptions(CSpi::maxFormats, "Endless");
    std::string name = descriptions[0];
    for (std::size_t k = 1; k < descriptions.size(); ++k)
        name += " / " + descriptions[k];
    EXPECT_EQ(Ansi(loader.GetFormatName()), name);
    const std::string filter = Ansi(loader.GetFilter());
    EXPECT_EQ(std::count(filter.begin(), filter.end(), ';'), CSpi::maxFormats - 1);
}

TEST_F(SusieLoaderTest, FactoryDecodesWithTheSetLoadedWhenItMadeTheDecoder)
{
    const String first = MakePluginFolder(L"first", {{imagePlugin, L"a.spi"}});
    const String second = MakePluginFolder(L"second", {});
    auto host = std::make_shared<Brivox::CSpiHost>();
    host->Load(Brivox::CFileName(first));
    Brivox::CSpiLoaderFactory factory(host);
    const std::shared_ptr<Brivox::IImageLoader> loader = factory.Create();

    // The folder changes while the decoder lives: it keeps the plug-in it was made with.
    host->Load(Brivox::CFileName(second));
    const auto data = ImageFixtures::MakeData(Picture("KSPI", 2, 2));
    EXPECT_TRUE(loader->Open(data, false));
    EXPECT_FALSE(factory.Create()->Open(data, false));
}
