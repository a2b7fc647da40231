#include "imaging/stretch_blit.h"

#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Brivox;
using PlaneBuilders::Fill;
using PlaneBuilders::Flood;
using PlaneBuilders::ScopedKernelForm;
using PlaneFixtures::FillRandom;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

using Stretch = void (CPlane32::*)(const CPlane32&, CRect, CRect, const SPlaneClip*);

struct NamedStretch
{
    const char* name;
    Stretch stretch;
};

const NamedStretch stretches[] = {
    {"StretchBlit", &CPlane32::StretchBlit},
    {"StretchBlitSmooth", &CPlane32::StretchBlitSmooth},
    {"StretchBlitSmoothAlpha", &CPlane32::StretchBlitSmoothAlpha},
};

std::vector<std::uint32_t> Stretched(Stretch stretch, const CPlane32& source, int w, int h)
{
    CMemoryPlane32 destination({w, h});
    (destination.*stretch)(source, {0, 0, w, h}, {0, 0, source.GetWidth(), source.GetHeight()}, nullptr);
    return Pixels(destination);
}

// Floor of the block's mean per channel; alpha 0 unless withAlpha.
std::uint32_t BlockMean(const CPlane32& source, int x0, int y0, int size, bool withAlpha = false)
{
    std::uint32_t pixel = 0;
    for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8) {
        std::uint32_t sum = 0;
        for (int y = y0; y < y0 + size; ++y)
            for (int x = x0; x < x0 + size; ++x)
                sum += PixelAt(source, x, y) >> shift & 0xFF;
        pixel |= sum / (size * size) << shift;
    }
    return pixel;
}

} // namespace

TEST(StretchBlit, SameSizeIsAnExactCopyWithAlpha)
{
    CMemoryPlane32 source({13, 9});
    FillRandom(source, 1);
    for (const NamedStretch& s : stretches) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(Stretched(s.stretch, source, 13, 9), Pixels(source));
    }
}

TEST(StretchBlit, ExactReductionsAverageBlocksOnlyWhenSmooth)
{
    CMemoryPlane32 source({16, 8});
    FillRandom(source, 2);
    for (const int factor : {2, 4}) {
        SCOPED_TRACE(factor);
        const int w = 16 / factor, h = 8 / factor;
        std::vector<std::uint32_t> means, meansWithAlpha;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                means.push_back(BlockMean(source, x * factor, y * factor, factor));
                meansWithAlpha.push_back(BlockMean(source, x * factor, y * factor, factor, true));
            }
        // Both smooth forms average the blocks; the alpha form averages alpha too, as it does at
        // every other ratio, so a transparent page keeps its transparency at 1/2 and 1/4.
        EXPECT_EQ(Stretched(&CPlane32::StretchBlitSmooth, source, w, h), means);
        EXPECT_EQ(Stretched(&CPlane32::StretchBlitSmoothAlpha, source, w, h), meansWithAlpha);
        // The nearest stretch takes whole single pixels.
        const std::vector<std::uint32_t> all = Pixels(source);
        for (const std::uint32_t p : Stretched(&CPlane32::StretchBlit, source, w, h))
            EXPECT_NE(std::find(all.begin(), all.end(), p), all.end());
    }
}

TEST(StretchBlit, ExactEnlargementsReplicatePixelsWithAlpha)
{
    CMemoryPlane32 source({3, 2});
    FillRandom(source, 3);
    for (const NamedStretch& s : stretches) {
        for (const int factor : {2, 4}) {
            SCOPED_TRACE(std::string(s.name) + " " + std::to_string(factor));
            CMemoryPlane32 destination({3 * factor, 2 * factor});
            (destination.*s.stretch)(source, {0, 0, 3 * factor, 2 * factor}, {0, 0, 3, 2}, nullptr);
            for (int y = 0; y < 2 * factor; ++y)
                for (int x = 0; x < 3 * factor; ++x)
                    ASSERT_EQ(PixelAt(destination, x, y), PixelAt(source, x / factor, y / factor))
                        << x << "," << y;
        }
    }
}

TEST(StretchBlit, NearestTakesThePixelNearestTheCentre)
{
    // 4 columns to 2: positions 1.5 and 3.5 give columns 1 and 3.
    CMemoryPlane32 source;
    Fill(source, 4, 1, {0xFF000010u, 0xFF000011u, 0xFF000012u, 0xFF000013u});
    EXPECT_EQ(Stretched(&CPlane32::StretchBlit, source, 2, 1),
              (std::vector<std::uint32_t>{0xFF000011u, 0xFF000013u}));
    // 2 columns to 3: centres 0.33, 1.0, 1.67 of the source.
    CMemoryPlane32 pair;
    Fill(pair, 2, 1, {0x10u, 0x20u});
    EXPECT_EQ(Stretched(&CPlane32::StretchBlit, pair, 3, 1),
              (std::vector<std::uint32_t>{0x10u, 0x20u, 0x20u}));
}

TEST(StretchBlit, SmoothMixesTheFootprintsFourCorners)
{
    // 6 columns to 4 (step 1.5): footprints [0, 1], [2, 3], [3, 4], [5, 5]; rows unchanged.
    CMemoryPlane32 source;
    Fill(source, 6, 1, {0xFF000000u, 0xFF000040u, 0xFF000080u, 0xFF0000C0u, 0xFF0000FFu, 0xFF000020u});
    EXPECT_EQ(Stretched(&CPlane32::StretchBlitSmooth, source, 4, 1),
              (std::vector<std::uint32_t>{0x20u, 0xA0u, 0xDFu, 0x20u}));
    EXPECT_EQ(Stretched(&CPlane32::StretchBlitSmoothAlpha, source, 4, 1),
              (std::vector<std::uint32_t>{0xFF000020u, 0xFF0000A0u, 0xFF0000DFu, 0xFF000020u}));
}

// The SSE2 form sums each source row pair once for every column: it must give the plain form's
// bytes at every ratio, odd widths, a last lone pixel, shared rows of an enlargement and the
// strong reductions that the plain form keeps, with a clip that starts inside the source.
TEST(StretchBlit, SmoothGivesTheSameBytesInBothKernelForms)
{
    const struct
    {
        int sw, sh, dw, dh;
    } cases[] = {{461, 35, 320, 24}, {320, 24, 144, 11}, {7, 5, 3, 2},    {5, 3, 11, 7},
                 {9, 9, 1, 1},       {96, 3, 12, 3},     {100, 3, 11, 5}, {3, 40, 5, 17}};
    for (const auto& c : cases) {
        CMemoryPlane32 source({c.sw + 2, c.sh + 1});
        FillRandom(source, static_cast<unsigned>(c.sw * 31 + c.dw));
        for (const NamedStretch& s : stretches) {
            SCOPED_TRACE(std::string(s.name) + " " + std::to_string(c.sw) + "x" + std::to_string(c.sh) +
                         " to " + std::to_string(c.dw) + "x" + std::to_string(c.dh));
            std::vector<std::uint32_t> forms[2];
            for (const bool simd : {false, true}) {
                const ScopedKernelForm form(simd, 0);
                CMemoryPlane32 destination({c.dw + 3, c.dh + 2});
                Flood(destination, c.dw + 3, c.dh + 2, 0x12345678u);
                const SPlaneClip clip{{1, 1, c.dw + 3, c.dh + 2}, true};
                (destination.*s.stretch)(source, {-1, 0, c.dw + 1, c.dh + 1}, {1, 1, c.sw + 1, c.sh + 1},
                                         &clip);
                forms[simd] = Pixels(destination);
            }
            EXPECT_EQ(forms[0], forms[1]);
        }
    }
}

TEST(StretchBlit, AnAxisThatKeepsItsLengthIsCopiedUnshifted)
{
    // Columns distinct, rows alike: stretching only the height must keep every column as it is,
    // and stretching only the width must keep every row.
    std::vector<std::uint32_t> columns, rows;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            columns.push_back(0x00100000u * static_cast<std::uint32_t>(x + 1));
            rows.push_back(0x00000010u * static_cast<std::uint32_t>(y + 1));
        }
    CMemoryPlane32 byColumn, byRow;
    Fill(byColumn, 5, 4, columns);
    Fill(byRow, 5, 4, rows);
    for (const NamedStretch& s : stretches) {
        SCOPED_TRACE(s.name);
        const std::vector<std::uint32_t> tall = Stretched(s.stretch, byColumn, 5, 11);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(tall[static_cast<std::size_t>(y * 5 + x)], columns[static_cast<std::size_t>(x)]);
        const std::vector<std::uint32_t> narrow = Stretched(s.stretch, byRow, 3, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 3; ++x)
                ASSERT_EQ(narrow[static_cast<std::size_t>(y * 3 + x)], rows[static_cast<std::size_t>(y * 5)]);
    }
}

TEST(StretchBlit, ALongStripStepsToItsEnd)
{
    // 1 × 40000 to 1 × 30000: each source pixel holds its row number; row j of the result must come
    // from near (j + 0.5) × 4 / 3 all the way down.
    std::vector<std::uint32_t> strip(40000);
    for (std::uint32_t y = 0; y < 40000; ++y)
        strip[y] = y;
    CMemoryPlane32 source;
    Fill(source, 1, 40000, strip);
    const std::vector<std::uint32_t> nearest = Stretched(&CPlane32::StretchBlit, source, 1, 30000);
    for (int j = 0; j < 30000; j += 997) {
        const double centre = (j + 0.5) * 4.0 / 3.0;
        EXPECT_NEAR(static_cast<double>(nearest[static_cast<std::size_t>(j)]), centre, 1.0) << j;
    }
    EXPECT_EQ(nearest.back(), 39999u);
    // The smooth form mixes the first and last row of each footprint; blue changes slowly enough
    // (row / 200) for the mean to stay within a step of the footprint's value.
    for (std::uint32_t y = 0; y < 40000; ++y)
        strip[y] = y / 200;
    Fill(source, 1, 40000, strip);
    const std::vector<std::uint32_t> smooth = Stretched(&CPlane32::StretchBlitSmooth, source, 1, 30000);
    for (int j = 0; j < 30000; j += 997)
        EXPECT_NEAR(static_cast<double>(smooth[static_cast<std::size_t>(j)]), (j + 0.5) * 4.0 / 3.0 / 200.0,
                    1.0)
            << j;
}

TEST(StretchBlit, ClippedDestinationWritesOnlyTheVisiblePart)
{
    CMemoryPlane32 source({10, 10});
    FillRandom(source, 4);
    CMemoryPlane32 destination;
    Flood(destination, 20, 20, 0xDEADBEEFu);
    const SPlaneClip clip{{0, 0, 12, 20}, true};
    destination.StretchBlitSmooth(source, {-5, 2, 25, 17}, {0, 0, 10, 10}, &clip);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(PixelAt(destination, x, y) == 0xDEADBEEFu, x >= 12 || y < 2 || y >= 17)
                << x << "," << y;
}

TEST(ImportRgb24, FoldsThreePixelsIntoOne)
{
    CMemoryPlane32 source;
    // Seven columns: the seventh is left over.
    Fill(source, 7, 1,
         {0x11223344u, 0x55667788u, 0x99AABBCCu, 0x01020304u, 0x05060708u, 0x090A0B0Cu, 0xFFFFFFFFu});
    CMemoryPlane32 destination;
    Flood(destination, 3, 1, 0xDEADBEEFu);
    destination.ImportRgb24(source);
    EXPECT_EQ(Pixels(destination), (std::vector<std::uint32_t>{0x552277CCu, 0x0502070Cu, 0xDEADBEEFu}));
}

TEST(ImportRgb24, BytesAndOtherDepthsGoThroughGreyLevels)
{
    CMemoryPlane8 bytes;
    bytes.Resize({6, 1});
    {
        const Detail::PlaneBitsLock bits(bytes);
        const std::uint8_t row[] = {10, 20, 30, 40, 50, 60};
        std::copy(row, row + 6, bits.Pixel(0, 0));
    }
    CMemoryPlane32 destination({2, 1});
    destination.ImportRgb24(bytes);
    EXPECT_EQ(Pixels(destination), (std::vector<std::uint32_t>{0x000A141Eu, 0x0028323Cu}));
    // 24 bits: pure blue, green and red pixels become their luminance 27, 150 and 76.
    CMemoryPlane rgb(24);
    rgb.Resize({3, 1});
    {
        const Detail::PlaneBitsLock bits(rgb);
        const std::uint8_t row[] = {255, 0, 0, 0, 255, 0, 0, 0, 255};
        std::copy(row, row + 9, bits.Pixel(0, 0));
    }
    CMemoryPlane32 folded({1, 1});
    folded.ImportRgb24(rgb);
    EXPECT_EQ(Pixels(folded), (std::vector<std::uint32_t>{0x001B964Cu}));
}

TEST(ImportRgb24, NeverReadsPastTheSourceWhenTheRectangleOverhangsIt)
{
    // An 11-pixel row asked as 12: a third of what exists is 3 pixels, not 4.
    CMemoryPlane32 source({11, 1});
    FillRandom(source, 6);
    CMemoryPlane32 destination;
    Flood(destination, 5, 1, 0xDEADBEEFu);
    destination.ImportRgb24(source, {0, 0}, {0, 0, 12, 1});
    EXPECT_NE(PixelAt(destination, 2, 0), 0xDEADBEEFu);
    EXPECT_EQ(PixelAt(destination, 3, 0), 0xDEADBEEFu);
}

TEST(ImportRgb24, CutFoldsKeepTheTriplesOfTheWholeFold)
{
    CMemoryPlane32 source({11, 1});
    FillRandom(source, 8);
    const auto fold = [&](int column) {
        return (PixelAt(source, column, 0) & 0x00FF0000u) | (PixelAt(source, column + 1, 0) & 0xFF00FF00u) |
               (PixelAt(source, column + 2, 0) & 0x000000FFu);
    };
    // Drawn from x = -1, the first triple falls off the destination and the second lands at 0,
    // whole: columns 3, 4, 5 (the last two columns are left over).
    CMemoryPlane32 cut;
    Flood(cut, 4, 1, 0xDEADBEEFu);
    cut.ImportRgb24(source, {-1, 0}, {0, 0, 11, 1});
    EXPECT_EQ(Pixels(cut), (std::vector<std::uint32_t>{fold(3), fold(6), 0xDEADBEEFu, 0xDEADBEEFu}));
    // A rectangle from column -1: its first triple lacks a column and is left out; the others
    // start at columns 2, 5 and 8 and stay at their places 1, 2 and 3.
    CMemoryPlane32 overhang;
    Flood(overhang, 5, 1, 0xDEADBEEFu);
    overhang.ImportRgb24(source, {0, 0}, {-1, 0, 11, 1});
    EXPECT_EQ(Pixels(overhang),
              (std::vector<std::uint32_t>{0xDEADBEEFu, fold(2), fold(5), fold(8), 0xDEADBEEFu}));
}

TEST(ImportRgb24, SimdAndPlainFormsGiveTheSameBytes)
{
    for (const int width : {8, 9, 24, 31, 100}) {
        CMemoryPlane32 source({3 * width + 2, 5});
        FillRandom(source, static_cast<unsigned>(width));
        std::vector<std::uint32_t> plain;
        for (const bool simd : {false, true}) {
            const ScopedKernelForm form(simd, 0);
            CMemoryPlane32 destination({width, 5});
            destination.ImportRgb24(source);
            if (!simd)
                plain = Pixels(destination);
            else
                EXPECT_EQ(Pixels(destination), plain) << width;
        }
    }
}
