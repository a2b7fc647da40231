#include "imaging/plane.h"
#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Brivox;
using PlaneBuilders::Fill;
using PlaneBuilders::Flood;
using PlaneBuilders::Grey;
using PlaneBuilders::ScopedKernelForm;
using PlaneFixtures::FillRandom;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

// The COLORREF of R, G, B.
constexpr COLORREF Colorref(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return r | (g << 8) | (b << 16);
}

// One pixel through an operation on a 1 × 1 plane.
std::uint32_t OnePixel(std::uint32_t pixel, const std::function<void(CPlane32&)>& operation)
{
    CMemoryPlane32 plane;
    Fill(plane, 1, 1, {pixel});
    operation(plane);
    return PixelAt(plane, 0, 0);
}

constexpr CRect kAll{0, 0, 1000, 1000};

struct PixelCase
{
    const char* name;
    std::uint32_t pixel;
    std::function<void(CPlane32&)> operation;
    std::uint32_t expected;
};

} // namespace

TEST(PointOperations, ColourOperationsGiveTheWorkedValuesInBothKernelForms)
{
    const PixelCase cases[] = {
        {"BlendColor 128 of black toward white", 0x00000000u,
         [](CPlane32& p) { p.BlendColor(0xFFFFFF, kAll, 128); }, 0x007F7F7Fu},
        {"BlendColor 128 of white toward black rounds down", 0x00FFFFFFu,
         [](CPlane32& p) { p.BlendColor(0x000000, kAll, 128); }, 0x007F7F7Fu},
        // Alpha moves toward 0 like a fourth channel: 255 − ⌈255 × 128 / 256⌉.
        {"BlendColor moves alpha toward 0", 0xFF102030u,
         [](CPlane32& p) { p.BlendColor(0x000000, kAll, 128); }, 0x7F081018u},
        {"BlendColor 300 fills with alpha 0", 0xFF102030u,
         [](CPlane32& p) { p.BlendColor(Colorref(1, 2, 3), kAll, 300); }, 0x00010203u},
        {"BlendColor 0 changes nothing", 0xFF102030u, [](CPlane32& p) { p.BlendColor(0xFFFFFF, kAll, 0); },
         0xFF102030u},
        {"BlendColor -5 changes nothing", 0xFF102030u, [](CPlane32& p) { p.BlendColor(0xFFFFFF, kAll, -5); },
         0xFF102030u},
        {"AddColor saturates and keeps alpha", 0x80F0F0F0u,
         [](CPlane32& p) { p.AddColor(Colorref(48, 32, 16), kAll); }, 0x80FFFFFFu},
        {"AddColor per channel", 0x80102030u, [](CPlane32& p) { p.AddColor(Colorref(1, 2, 3), kAll); },
         0x80112233u},
        {"SubtractColor of white keeps alpha", 0x80F0F0F0u,
         [](CPlane32& p) { p.SubtractColor(0xFFFFFF, kAll); }, 0x80000000u},
        {"SubtractColor stops at 0 per channel", 0x80102030u,
         [](CPlane32& p) { p.SubtractColor(Colorref(0x20, 0x20, 0x20), kAll); }, 0x80000010u},
        {"Invert keeps alpha", 0x80102030u, [](CPlane32& p) { p.Invert(kAll); }, 0x80EFDFCFu},
        {"ApplyTable writes alpha 0", 0x80102030u,
         [](CPlane32& p) {
             ToneTable inverse;
             for (int i = 0; i < 256; ++i)
                 inverse[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(255 - i);
             p.ApplyTable(kAll, inverse);
         },
         0x00EFDFCFu},
        {"GraySimple truncates the mean", 0x80010203u, [](CPlane32& p) { p.GraySimple(kAll); }, 0x00020202u},
        {"GrayExact of pure blue", 0x800000FFu, [](CPlane32& p) { p.GrayExact(kAll); }, 0x001B1B1Bu},
        {"ClearAlpha", 0x80102030u, [](CPlane32& p) { p.ClearAlpha(); }, 0x00102030u},
        {"InvertAlpha", 0x80102030u, [](CPlane32& p) { p.InvertAlpha(); }, 0x7F102030u},
        // (77 × 255) >> 8 = 76 from the red alone.
        {"AlphaFromLuma keeps the colour", 0x00FF0000u, [](CPlane32& p) { p.AlphaFromLuma(); }, 0x4CFF0000u},
    };
    for (const bool simd : {false, true}) {
        const ScopedKernelForm form(simd, 0);
        for (const PixelCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (simd ? " (SSE2)" : " (plain)"));
            EXPECT_EQ(OnePixel(c.pixel, c.operation), c.expected);
        }
    }
}

TEST(PointOperations, ColourBlendsGiveTheSameBytesInBothKernelFormsAtEveryWidth)
{
    const std::function<void(CPlane32&, CRect)> operations[] = {
        [](CPlane32& p, CRect r) { p.BlendColor(Colorref(200, 7, 90), r, 77); },
        [](CPlane32& p, CRect r) { p.BlendColor(Colorref(0, 255, 128), r, 255); },
        [](CPlane32& p, CRect r) { p.BlendColor(Colorref(33, 66, 99), r, 1); },
        [](CPlane32& p, CRect r) { p.AddColor(Colorref(100, 150, 3), r); },
        [](CPlane32& p, CRect r) { p.SubtractColor(Colorref(100, 150, 3), r); },
    };
    unsigned seed = 0;
    for (const auto& operation : operations) {
        for (int width = 1; width <= 19; ++width) {
            CMemoryPlane32 source({21, 3});
            FillRandom(source, ++seed);
            std::vector<std::uint32_t> results[2];
            for (const bool simd : {false, true}) {
                const ScopedKernelForm form(simd, 0);
                CMemoryPlane32 plane({21, 3});
                plane.CopyFrom(source);
                operation(plane, {1, 0, 1 + width, 3});
                results[simd] = Pixels(plane);
            }
            EXPECT_EQ(results[0], results[1]) << "width " << width;
        }
    }
}

TEST(PointOperations, MosaicCentresItsBlockGrid)
{
    // Ten columns in blocks of 1, 4, 4 and 1: each block takes its own centre column.
    CMemoryPlane32 plane;
    Fill(plane, 10, 1, Grey({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    plane.MosaicCenter({0, 0, 10, 1}, 4);
    EXPECT_EQ(Pixels(plane), Grey({0, 3, 3, 3, 3, 7, 7, 7, 7, 9}));

    // The centre pixel is copied whole, alpha included; the mean has alpha 0.
    CMemoryPlane32 block;
    Fill(block, 2, 2, {0x11000000u, 0x22000000u, 0x33FFFFFFu, 0x44FFFFFFu});
    block.MosaicCenter({0, 0, 2, 2}, 2);
    EXPECT_EQ(Pixels(block), std::vector<std::uint32_t>(4, 0x44FFFFFFu));
    Fill(block, 2, 2, {0x11000000u, 0x22000000u, 0x33FFFFFFu, 0x44FFFFFFu});
    block.MosaicAverage({0, 0, 2, 2}, 2);
    EXPECT_EQ(Pixels(block), std::vector<std::uint32_t>(4, 0x007F7F7Fu));

    // A block size below 2 changes nothing.
    block.MosaicAverage({0, 0, 2, 2}, 1);
    EXPECT_EQ(Pixels(block), std::vector<std::uint32_t>(4, 0x007F7F7Fu));
}

TEST(PointOperations, HistogramsCountTheirLevelsAndAreZeroedOutsideThePlane)
{
    CMemoryPlane32 plane;
    Fill(plane, 2, 1, {0x00FF0000u, 0x00030609u});
    HistogramCounts luma, average, red, green, blue;
    luma.fill(7);
    plane.HistogramLuma(luma, kAll);
    EXPECT_EQ(luma[76], 1u);
    EXPECT_EQ(luma[5], 1u); // (77 × 3 + 151 × 6 + 28 × 9) >> 8
    plane.HistogramAverage(average, kAll);
    EXPECT_EQ(average[85], 1u);
    EXPECT_EQ(average[6], 1u);
    plane.HistogramRgb(red, green, blue, kAll);
    EXPECT_EQ(red[255] + red[3], 2u);
    EXPECT_EQ(green[0] + green[6], 2u);
    EXPECT_EQ(blue[0] + blue[9], 2u);

    for (HistogramCounts* counts : {&luma, &average, &red, &green, &blue})
        counts->fill(9);
    plane.HistogramLuma(luma, {5, 5, 9, 9});
    plane.HistogramAverage(average, {5, 5, 9, 9});
    plane.HistogramRgb(red, green, blue, {5, 5, 9, 9});
    for (HistogramCounts* counts : {&luma, &average, &red, &green, &blue})
        EXPECT_EQ(*counts, HistogramCounts{});
}

TEST(PointOperations, MeasuresOfARectangle)
{
    CMemoryPlane32 plane;
    Fill(plane, 3, 1, {0x00102030u, 0xFF102030u, 0x00102031u});
    EXPECT_EQ(plane.CountColors(kAll), 2); // alpha does not count
    EXPECT_EQ(plane.CountColors({0, 0, 2, 1}), 1);
    EXPECT_EQ(plane.CountColors({5, 0, 9, 1}), 0);

    Fill(plane, 2, 1, {0x00102030u, 0x00102030u});
    EXPECT_EQ(plane.AverageColor(kAll), Colorref(0x10, 0x20, 0x30));
    EXPECT_EQ(plane.AverageColor({0, 0, 0, 0}), 0u);
    Fill(plane, 2, 1, {0x00000000u, 0x00030303u});
    EXPECT_EQ(plane.AverageColor(kAll), Colorref(1, 1, 1));
}

TEST(PointOperations, UsesAlphaNeedsFivePercentOfThePixels)
{
    struct Case
    {
        int size;
        int withAlpha;
        bool expected;
    };
    const Case cases[] = {{10, 4, false}, {10, 5, true}, {3, 1, true}, {3, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " " + std::to_string(c.withAlpha));
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(c.size * c.size), 0x00FFFFFFu);
        for (int i = 0; i < c.withAlpha; ++i)
            pixels[pixels.size() - 1 - static_cast<std::size_t>(i)] = 0x01000000u;
        CMemoryPlane32 plane;
        Fill(plane, c.size, c.size, pixels);
        EXPECT_EQ(plane.UsesAlpha(kAll), c.expected);
    }
    CMemoryPlane32 plane;
    Flood(plane, 2, 2, 0xFF000000u);
    EXPECT_FALSE(plane.UsesAlpha({3, 3, 5, 5}));
}

TEST(PointOperations, AlphaFromTheDifferenceToAnotherPlane)
{
    // Differences B 40, G 60, R 100, over the area both planes share only.
    CMemoryPlane32 plane, other;
    Fill(plane, 2, 1, {0x11C86432u, 0x11C86432u});
    Fill(other, 1, 1, {0xEE64280Au});
    plane.AlphaFromDifference(other);
    EXPECT_EQ(Pixels(plane), (std::vector<std::uint32_t>{0x42C86432u, 0x11C86432u}));
    plane.AlphaFromLumaDifference(other);
    EXPECT_EQ(PixelAt(plane, 0, 0), 0x45C86432u); // (28 × 40 + 151 × 60 + 77 × 100) >> 8

    // A channel of Q above P's is its difference modulo 256.
    Fill(plane, 1, 1, {0x00000000u});
    Fill(other, 1, 1, {0x00000001u});
    plane.AlphaFromDifference(other);
    EXPECT_EQ(PixelAt(plane, 0, 0) >> 24, 255u / 3);
}

TEST(PointOperations, PaletteAndColourKeyBlits)
{
    CMemoryPlane source8(8);
    source8.Resize({2, 1});
    {
        const Detail::PlaneBitsLock bits(source8);
        bits.Pixel(0, 0)[0] = 1;
        bits.Pixel(1, 0)[0] = 200;
    }
    Palette256 palette{};
    palette[1] = Colorref(30, 20, 10);
    palette[200] = Colorref(1, 2, 3);
    CMemoryPlane32 plane;
    Flood(plane, 3, 1, 0xFFFFFFFFu);
    plane.BlitPalette8(source8, {1, 0}, {0, 0, 2, 1}, palette);
    EXPECT_EQ(Pixels(plane), (std::vector<std::uint32_t>{0xFFFFFFFFu, 0x001E140Au, 0x00010203u}));

    // Magenta with alpha 0 is the key; with alpha 1 it is another pixel.
    CMemoryPlane32 keyed;
    Fill(keyed, 3, 1, {0x00FF00FFu, 0x01FF00FFu, 0x00123456u});
    Flood(plane, 3, 1, 0xAAAAAAAAu);
    plane.BlitColorKey(keyed, {0, 0}, kAll, Colorref(255, 0, 255));
    EXPECT_EQ(Pixels(plane), (std::vector<std::uint32_t>{0xAAAAAAAAu, 0x01FF00FFu, 0x00123456u}));
}

TEST(PointOperations, EightBitPlanesInvertAndCount)
{
    CMemoryPlane8 plane;
    plane.Resize({3, 1});
    {
        const Detail::PlaneBitsLock bits(plane);
        bits.Pixel(0, 0)[0] = 0;
        bits.Pixel(1, 0)[0] = 10;
        bits.Pixel(2, 0)[0] = 10;
    }
    plane.Invert({1, 0, 3, 1});
    HistogramCounts counts;
    counts.fill(3);
    plane.Histogram(counts, kAll);
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[245], 2u);
    plane.Histogram(counts, {-5, -5, 0, 0});
    EXPECT_EQ(counts, HistogramCounts{});
}
