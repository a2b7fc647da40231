#include "imaging/resample.h"

#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
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

using Operation = void (CPlane32::*)(const CPlane32&, CRect, CRect, const SPlaneClip*);

struct NamedOperation
{
    const char* name;
    Operation operation;
    bool alpha;
};

const NamedOperation operations[] = {
    {"ResizeAveraging", &CPlane32::ResizeAveraging, false},
    {"ResizeAveragingAlpha", &CPlane32::ResizeAveragingAlpha, true},
    {"ResizeLanczos3", &CPlane32::ResizeLanczos3, false},
    {"ResizeLanczos3Alpha", &CPlane32::ResizeLanczos3Alpha, true},
};

// The whole source into a fresh w × h plane.
std::vector<std::uint32_t> Resized(Operation operation, const CPlane32& source, int w, int h)
{
    CMemoryPlane32 destination({w, h});
    (destination.*operation)(source, {0, 0, w, h}, {0, 0, source.GetWidth(), source.GetHeight()}, nullptr);
    return Pixels(destination);
}

struct LineCase
{
    const char* name;
    Operation operation;
    std::vector<int> in;
    std::vector<int> out;
};

// Results of the weight formulas worked through by hand for short lines.
const LineCase lineCases[] = {
    {"Lanczos3 enlarges [0,255] to 4, both ends overshooting into the clamp",
     &CPlane32::ResizeLanczos3,
     {0, 255},
     {0, 54, 201, 255}},
    {"Lanczos3 halves an edge", &CPlane32::ResizeLanczos3, {0, 0, 255, 255}, {14, 241}},
    {"averaging reduces 3 to 2 by coverage", &CPlane32::ResizeAveraging, {0, 90, 180}, {30, 150}},
    {"averaging doubles without interpolating the last pixel",
     &CPlane32::ResizeAveraging,
     {0, 255},
     {0, 128, 255, 255}},
};

} // namespace

TEST(Resample, LinesGiveTheWorkedResultsAlongRowsAndColumns)
{
    for (const LineCase& c : lineCases) {
        SCOPED_TRACE(c.name);
        const int n = static_cast<int>(c.in.size()), count = static_cast<int>(c.out.size());
        CMemoryPlane32 row, column;
        Fill(row, n, 1, Grey(c.in));
        Fill(column, 1, n, Grey(c.in));
        EXPECT_EQ(Resized(c.operation, row, count, 1), Grey(c.out));
        EXPECT_EQ(Resized(c.operation, column, 1, count), Grey(c.out));
    }
}

TEST(Resample, Lanczos3EnlargesACheckerInBothPasses)
{
    CMemoryPlane32 checker;
    Fill(checker, 2, 2, Grey({0, 255, 255, 0}));
    EXPECT_EQ(Resized(&CPlane32::ResizeLanczos3, checker, 4, 4),
              Grey({0, 39, 216, 255, 54, 85, 170, 201, 201, 170, 85, 54, 255, 216, 39, 0}));
}

TEST(Resample, AlphaIsWrittenZeroOrFilteredLikeTheColours)
{
    // Alpha runs 0 → 255 across the row while the colour stays at 100.
    CMemoryPlane32 source;
    Fill(source, 2, 1, {0x00646464u, 0xFF646464u});
    for (const NamedOperation& op : operations) {
        SCOPED_TRACE(op.name);
        const std::vector<std::uint32_t> out = Resized(op.operation, source, 4, 1);
        const bool lanczos = std::string(op.name).find("Lanczos3") != std::string::npos;
        const std::vector<std::uint32_t> alphas =
            op.alpha ? (lanczos ? std::vector<std::uint32_t>{0, 54, 201, 255}
                                : std::vector<std::uint32_t>{0, 128, 255, 255})
                     : std::vector<std::uint32_t>{0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(out[static_cast<std::size_t>(i)] & 0x00FFFFFFu, 0x00646464u) << i;
            EXPECT_EQ(out[static_cast<std::size_t>(i)] >> 24, alphas[static_cast<std::size_t>(i)]) << i;
        }
    }
}

TEST(Resample, AveragingAtTheSameSizeCopiesEveryPixel)
{
    CMemoryPlane32 source({37, 23});
    FillRandom(source, 5);
    std::vector<std::uint32_t> colours = Pixels(source);
    for (std::uint32_t& p : colours)
        p &= 0x00FFFFFFu;
    EXPECT_EQ(Resized(&CPlane32::ResizeAveraging, source, 37, 23), colours);
    EXPECT_EQ(Resized(&CPlane32::ResizeAveragingAlpha, source, 37, 23), Pixels(source));
}

TEST(Resample, AStrongReductionSkipsNoSourcePixel)
{
    // One lit pixel anywhere in 1000 always reaches the pixel of 10 whose box holds it.
    for (int lit : {0, 99, 100, 377, 650, 999}) {
        std::vector<int> line(1000, 0);
        line[static_cast<std::size_t>(lit)] = 255;
        CMemoryPlane32 source;
        Fill(source, 1000, 1, Grey(line));
        const std::vector<std::uint32_t> out = Resized(&CPlane32::ResizeAveraging, source, 10, 1);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(out[static_cast<std::size_t>(i)] != 0, i == lit / 100) << lit << " " << i;
    }
}

TEST(Resample, OnePixelDestinationsAndIntermediates)
{
    CMemoryPlane32 source;
    Fill(source, 3, 1, Grey({30, 60, 90}));
    EXPECT_EQ(Resized(&CPlane32::ResizeAveraging, source, 1, 1), Grey({60}));
    EXPECT_EQ(Resized(&CPlane32::ResizeLanczos3, source, 1, 1), Grey({60}));
    CMemoryPlane32 dot;
    Fill(dot, 1, 1, Grey({77}));
    EXPECT_EQ(Resized(&CPlane32::ResizeLanczos3, dot, 3, 2), Grey({77, 77, 77, 77, 77, 77}));
}

TEST(Resample, ATallStripScalesDownToItsLastRows)
{
    // 800 × 40000 → 400 × 20000: bands of 64 rows, each source row pair averaging to its own band.
    CMemoryPlane32 source({800, 40000});
    const auto band = [](int row) { return (row / 64) % 2 ? 220u : 20u; };
    {
        const Detail::PlaneBitsLock bits(source);
        for (int y = 0; y < 40000; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bits.Pixel(0, y));
            std::fill(row, row + 800, band(y) * 0x010101u);
        }
    }
    for (const Operation op : {Operation{&CPlane32::ResizeAveraging}, Operation{&CPlane32::ResizeLanczos3}}) {
        CMemoryPlane32 destination({400, 20000});
        (destination.*op)(source, {0, 0, 400, 20000}, {0, 0, 800, 40000}, nullptr);
        // Rows well inside a band (output rows 32k + 4 … 32k + 27) hold the band's value exactly.
        for (int y : {4, 27, 10004, 19940, 19963}) {
            SCOPED_TRACE(y);
            EXPECT_EQ(PixelAt(destination, 0, y), band(2 * y) * 0x010101u);
            EXPECT_EQ(PixelAt(destination, 399, y), band(2 * y) * 0x010101u);
        }
    }
}

TEST(Resample, SimdAndPlainKernelsAndThreadCountsGiveTheSameBytes)
{
    const CSize sizes[][2] = {
        {{97, 61}, {31, 20}},
        {{97, 61}, {250, 140}},
        {{64, 64}, {64, 17}},
        {{40, 33}, {123, 33}},
        {{5, 300}, {77, 9}},
        {{1, 1}, {6, 5}},
        {{3, 2}, {1, 7}},
        {{301, 7}, {8, 300}},
        {{130, 90}, {43, 91}},
        {{2, 40}, {3, 13}},
        {{300, 20}, {301, 50}},
        {{263, 90}, {300, 20}},
        // Some weights of these pass 16 bits while their neighbours do not: just under half, a
        // ratio of 1 (a single weight of 65536) and a third, along rows and along columns.
        {{400, 9}, {201, 9}},
        {{9, 400}, {9, 201}},
        {{57, 41}, {57, 23}},
        {{20, 7}, {60, 7}},
        {{7, 20}, {7, 60}},
        {{300, 31}, {288, 31}},
    };
    unsigned seed = 11;
    for (const auto& size : sizes) {
        CMemoryPlane32 source(size[0]);
        FillRandom(source, ++seed);
        for (const NamedOperation& op : operations) {
            SCOPED_TRACE(std::string(op.name) + " " + std::to_string(size[0].cx) + "x" +
                         std::to_string(size[0].cy) + " to " + std::to_string(size[1].cx) + "x" +
                         std::to_string(size[1].cy));
            std::vector<std::uint32_t> plain;
            {
                const ScopedKernelForm form(false, 1);
                plain = Resized(op.operation, source, size[1].cx, size[1].cy);
            }
            for (const int shares : {1, 3}) {
                for (const bool simd : {false, true}) {
                    const ScopedKernelForm form(simd, shares);
                    EXPECT_EQ(Resized(op.operation, source, size[1].cx, size[1].cy), plain)
                        << "simd " << simd << ", shares " << shares;
                }
            }
        }
    }
}

TEST(Resample, SimdKernelsAddEveryPieceOfWeightsBeyondSixteenBits)
{
    // A table of small weights with a few far beyond 16 bits, some needing three 16-bit pieces: the
    // SIMD forms carry them as corrections (along rows) or split only their rows (along columns).
    constexpr int count = 150, n = 160, taps = 6;
    Detail::SLanczosData table;
    table.Allocate(taps, count);
    std::mt19937 random(5);
    for (int i = 0; i < count; ++i)
        for (int k = 0; k < taps; ++k) {
            table.Index(i)[k] = std::min(i + k, n - 1);
            table.Weight(i)[k] = static_cast<int>(random() % 24000) - 4000;
        }
    const int wide[][3] = {{7, 2, 65536}, {20, 3, 70000}, {20, 4, -40000}, {90, 0, 32768}, {149, 5, 65535}};
    for (const auto& [i, k, weight] : wide)
        table.Weight(i)[k] = weight;
    for (const bool horizontal : {true, false}) {
        SCOPED_TRACE(horizontal ? "along rows" : "along columns");
        Detail::SSimdTaps simd;
        ASSERT_TRUE(Detail::PrepareSimdTaps(table, count, n, horizontal, simd));
        EXPECT_EQ(simd.corrections.empty(), !horizontal);
        const int lines = 9;
        // Random lines of n pixels, each pixel's channels anywhere in 0 … 255.
        std::vector<std::uint32_t> source(static_cast<std::size_t>(n) * lines);
        for (std::uint32_t& pixel : source)
            pixel = static_cast<std::uint32_t>(random());
        std::vector<std::uint32_t> plain(static_cast<std::size_t>(count) * lines), fast(plain.size());
        if (horizontal) {
            Detail::LanczosKernelHAlpha(plain.data(), count, source.data(), n, count, n, 0, lines, table);
            Detail::SimdKernelH(fast.data(), count, source.data(), n, count, 0, lines, simd, 0xFFFFFFFFu);
        } else {
            Detail::LanczosKernelVAlpha(plain.data(), lines, source.data(), lines, lines, 0, count, n, table);
            Detail::SimdKernelV(fast.data(), lines, source.data(), lines, lines, 0, count, simd, 0xFFFFFFFFu);
        }
        EXPECT_EQ(fast, plain);
    }
}

TEST(Resample, OnlyTheVisiblePartOfAClippedDestinationIsWritten)
{
    CMemoryPlane32 source({40, 40});
    FillRandom(source, 3);
    // The same 80 × 80 enlargement drawn whole into a large plane and at (-20, -10) into a 50 × 50
    // plane with a clip: the visible window shows the matching part of the whole picture.
    CMemoryPlane32 whole({80, 80});
    whole.ResizeLanczos3(source, {0, 0, 80, 80}, {0, 0, 40, 40}, nullptr);
    CMemoryPlane32 window;
    Flood(window, 50, 50, 0xDEADBEEFu);
    const SPlaneClip clip{{0, 0, 30, 50}, true};
    window.ResizeLanczos3(source, {-20, -10, 60, 70}, {0, 0, 40, 40}, &clip);
    for (int y = 0; y < 50; ++y)
        for (int x = 30; x < 50; ++x)
            ASSERT_EQ(PixelAt(window, x, y), 0xDEADBEEFu) << x << "," << y;
    // Away from the cut edges (where the trimmed source ends) the pixels agree with the whole.
    for (int y = 8; y < 42; ++y)
        for (int x = 8; x < 22; ++x)
            ASSERT_EQ(PixelAt(window, x, y), PixelAt(whole, x + 20, y + 10)) << x << "," << y;
}

namespace {

struct ScaledClipCase
{
    const char* name;
    CSize destinationSize, sourceSize;
    SPlaneClip clip;
    CRect destination, source;
    bool result;
    CRect clippedDestination, clippedSource;
};

const ScaledClipCase scaledClipCases[] = {
    {"inside both planes",
     {100, 100},
     {50, 50},
     {},
     {0, 0, 100, 100},
     {0, 0, 50, 50},
     true,
     {0, 0, 100, 100},
     {0, 0, 50, 50}},
    {"destination left of the plane trims the source in proportion",
     {100, 100},
     {50, 50},
     {},
     {-20, 0, 80, 100},
     {0, 0, 50, 50},
     true,
     {0, 0, 80, 100},
     {10, 0, 50, 50}},
    {"moved edges round half up",
     {100, 100},
     {50, 50},
     {},
     {-3, -1, 97, 99},
     {0, 0, 50, 50},
     true,
     {0, 0, 97, 99},
     {1, 0, 50, 50}},
    {"the clip cuts like the plane",
     {100, 100},
     {50, 50},
     {{10, 0, 60, 40}, true},
     {0, 0, 100, 100},
     {0, 0, 50, 50},
     true,
     {10, 0, 60, 40},
     {5, 0, 30, 20}},
    {"source past its plane moves the destination back",
     {100, 100},
     {40, 40},
     {},
     {0, 0, 100, 100},
     {0, 0, 50, 50},
     true,
     {0, 0, 80, 80},
     {0, 0, 40, 40}},
    {"empty destination", {100, 100}, {50, 50}, {}, {5, 5, 5, 20}, {0, 0, 50, 50}, false, {}, {}},
    {"clipped away entirely", {100, 100}, {50, 50}, {}, {120, 0, 200, 50}, {0, 0, 50, 50}, false, {}, {}},
};

} // namespace

TEST(SPlaneClip, ClipScaledTrimsBothRectanglesInProportion)
{
    for (const ScaledClipCase& c : scaledClipCases) {
        SCOPED_TRACE(c.name);
        CRect d = c.destination, s = c.source;
        ASSERT_EQ(c.clip.ClipScaled(c.destinationSize, c.sourceSize, d, s), c.result);
        if (c.result) {
            EXPECT_EQ(d, c.clippedDestination);
            EXPECT_EQ(s, c.clippedSource);
        }
    }
}
