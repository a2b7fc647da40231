#include "imaging/neighbourhood_kernels.h"
#include "imaging/plane.h"
#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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

constexpr std::uint32_t kSentinel = 0xDEADBEEFu;

using Filter = void (CPlane32::*)(const CPlane32&, CPoint, CRect, const SPlaneClip*);

// The whole source filtered into a plane of its size that held kSentinel everywhere.
std::vector<std::uint32_t> Filtered(Filter filter, const CPlane32& source)
{
    CMemoryPlane32 destination;
    Flood(destination, source.GetWidth(), source.GetHeight(), kSentinel);
    (destination.*filter)(source, {0, 0}, {0, 0, source.GetWidth(), source.GetHeight()}, nullptr);
    return Pixels(destination);
}

std::vector<std::uint32_t> Gaussed(const CPlane32& source, double sigma)
{
    CMemoryPlane32 destination;
    Flood(destination, source.GetWidth(), source.GetHeight(), kSentinel);
    destination.GaussBlur(source, {0, 0}, {0, 0, source.GetWidth(), source.GetHeight()}, sigma);
    return Pixels(destination);
}

// The Gaussian blur written the slow and obvious way: weights of 64 × exp(−i² / 2σ²) truncated,
// the taps inside the plane only, each channel the weighted sum divided by the weights used.
std::vector<std::uint32_t> ReferenceGauss(const CPlane32& source, double sigma)
{
    const int w = source.GetWidth(), h = source.GetHeight(), r = static_cast<int>(3 * sigma);
    const auto weight = [sigma](int i) {
        return static_cast<int>(64.0 * std::exp(-1.0 * i * i / (2 * sigma * sigma)));
    };
    const auto pass = [&](const std::vector<std::uint32_t>& in, bool alongRows) {
        std::vector<std::uint32_t> out(in.size());
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                long sums[3] = {0, 0, 0}, used = 0;
                for (int k = -r; k <= r; ++k) {
                    const int sx = alongRows ? x + k : x, sy = alongRows ? y : y + k;
                    if (sx < 0 || sx >= w || sy < 0 || sy >= h)
                        continue;
                    const std::uint32_t p = in[static_cast<std::size_t>(sy * w + sx)];
                    for (int c = 0; c < 3; ++c)
                        sums[c] += weight(std::abs(k)) * static_cast<long>((p >> (8 * c)) & 0xFF);
                    used += weight(std::abs(k));
                }
                out[static_cast<std::size_t>(y * w + x)] = static_cast<std::uint32_t>(
                    sums[0] / used | (sums[1] / used) << 8 | (sums[2] / used) << 16);
            }
        }
        return out;
    };
    return pass(pass(Pixels(source), true), false);
}

// The median as it is described: the nine pixels of the window in row order inserted into a list
// sorted by R + G + B, each after those of an equal key; the fifth.
std::uint32_t ReferenceMedian(const std::vector<std::uint32_t>& pixels, int w, int x, int y)
{
    const auto key = [](std::uint32_t p) { return (p & 0xFF) + ((p >> 8) & 0xFF) + ((p >> 16) & 0xFF); };
    std::vector<std::uint32_t> list;
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            const std::uint32_t p = pixels[static_cast<std::size_t>((y + j) * w + x + i)];
            const auto at =
                std::upper_bound(list.begin(), list.end(), p,
                                 [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
            list.insert(at, p);
        }
    }
    return list[4];
}

// A random plane of few distinct keys, so that windows hold many equal keys.
void FillFewKeys(CPlane32& plane, int w, int h, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint32_t> pixels;
    for (int i = 0; i < w * h; ++i) {
        // Equal sums from different channels, and different alphas.
        const std::uint32_t kinds[] = {0x00030000u, 0x00000300u, 0x00000003u, 0x00010101u, 0x00020100u};
        pixels.push_back(kinds[random() % 5] | (random() % 3) << 24 | (random() % 2 ? 0x00101010u : 0));
    }
    Fill(plane, w, h, pixels);
}

} // namespace

TEST(NeighbourhoodFilters, NarrowRectanglesAreCopiedUnchanged)
{
    CMemoryPlane32 row, column;
    Fill(row, 5, 1, {0x11000001u, 0x22000002u, 0x33000003u, 0x44000004u, 0x55000005u});
    Fill(column, 1, 5, Pixels(row));
    for (const Filter filter :
         {Filter{&CPlane32::Blur}, Filter{&CPlane32::Sharpen}, Filter{&CPlane32::SharpenStrong}}) {
        EXPECT_EQ(Filtered(filter, row), Pixels(row));
        EXPECT_EQ(Filtered(filter, column), Pixels(column));
    }
}

TEST(NeighbourhoodFilters, BlurOfAUniformAreaByItsNeighbourCounts)
{
    // All four bytes 128: inside the mean of four has alpha 0, so alpha halves; on an edge the
    // three-neighbour mean of 128 is 127; in a corner the two-neighbour mean keeps all four bytes.
    CMemoryPlane32 source;
    Flood(source, 4, 3, 0x80808080u);
    const std::uint32_t corner = 0x80808080u, edge = 0x407F7F7Fu, inside = 0x40808080u;
    EXPECT_EQ(Filtered(&CPlane32::Blur, source),
              (std::vector<std::uint32_t>{corner, edge, edge, corner, edge, inside, inside, edge, corner,
                                          edge, edge, corner}));
}

TEST(NeighbourhoodFilters, SharpeningValues)
{
    struct Case
    {
        int centre, neighbour, sharpen, strong;
    };
    // The centre of a 3 × 3 area with four equal neighbours; the division truncates toward zero.
    const Case cases[] = {{100, 90, 105, 110}, {250, 100, 255, 255}, {10, 13, 9, 7}, {5, 200, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.centre) + " among " + std::to_string(c.neighbour));
        CMemoryPlane32 source;
        Fill(source, 3, 3, Grey({0, c.neighbour, 0, c.neighbour, c.centre, c.neighbour, 0, c.neighbour, 0}));
        EXPECT_EQ(Filtered(&CPlane32::Sharpen, source)[4], Grey({c.sharpen})[0]);
        EXPECT_EQ(Filtered(&CPlane32::SharpenStrong, source)[4], Grey({c.strong})[0]);
    }
}

TEST(NeighbourhoodFilters, GaussWeightsAndImpulseResponse)
{
    EXPECT_EQ(Kernels::GaussWeights(1.0, 3), (std::vector<int>{64, 38, 8, 0}));

    // σ 1 (radius 3): away from the ends each output is 255 × weight / 156.
    std::vector<int> line(11, 0);
    line[5] = 255;
    CMemoryPlane32 row;
    Fill(row, 11, 1, Grey(line));
    EXPECT_EQ(Gaussed(row, 1.0), Grey({0, 0, 0, 13, 62, 104, 62, 13, 0, 0, 0}));
    // At the end the kernel is cut and renormalised: 255 × 64 / (64 + 38 + 8 + 0).
    line.assign(11, 0);
    line[0] = 255;
    Fill(row, 11, 1, Grey(line));
    EXPECT_EQ(Gaussed(row, 1.0)[0], Grey({148})[0]);
    // Both passes: the centre of a 2-D impulse is 104 × 64 / 156.
    std::vector<int> square(49, 0);
    square[24] = 255;
    CMemoryPlane32 dot;
    Fill(dot, 7, 7, Grey(square));
    EXPECT_EQ(Gaussed(dot, 1.0)[24], Grey({42})[0]);
}

TEST(NeighbourhoodFilters, GaussBlurMatchesTheObviousComputationInBothKernelForms)
{
    unsigned seed = 3;
    for (const double sigma : {0.34, 0.7, 1.5, 2.0, 4.3}) {
        for (const CSize size : {CSize{37, 23}, CSize{70, 9}, CSize{5, 40}, CSize{2, 2}}) {
            CMemoryPlane32 source(size);
            FillRandom(source, ++seed);
            const std::vector<std::uint32_t> expected = ReferenceGauss(source, sigma);
            for (const bool simd : {false, true}) {
                SCOPED_TRACE(std::to_string(sigma) + " " + std::to_string(size.cx) + "x" +
                             std::to_string(size.cy) + (simd ? " SSE2" : " plain"));
                const ScopedKernelForm form(simd, 0);
                EXPECT_EQ(Gaussed(source, sigma), expected);
            }
        }
    }
}

TEST(NeighbourhoodFilters, GaussBlurBelowRadiusOneCopiesAndAHugeSigmaAveragesTheWholeLine)
{
    CMemoryPlane32 source({9, 4});
    FillRandom(source, 8);
    EXPECT_EQ(Gaussed(source, 0.3), Pixels(source));
    EXPECT_EQ(Gaussed(source, std::nan("")), Pixels(source));
    EXPECT_EQ(Gaussed(source, -2.0), Pixels(source));

    // All weights 64: every pixel is the truncated mean of its column of row means.
    CMemoryPlane32 ramp;
    Fill(ramp, 4, 1, Grey({0, 10, 20, 31}));
    EXPECT_EQ(Gaussed(ramp, 1e9), Grey({15, 15, 15, 15}));
}

TEST(NeighbourhoodFilters, UnsharpMaskSharpensAgainstTheBlurredPlaneInPlace)
{
    CMemoryPlane32 page, blurred;
    Fill(page, 2, 1, Grey({100, 250}));
    Fill(blurred, 2, 1, Grey({90, 100}));
    page.UnsharpMask(page, blurred, {0, 0}, {0, 0, 2, 1}, {0, 0});
    EXPECT_EQ(Pixels(page), Grey({105, 255}));

    // A destination point left of the plane cuts the first source pixel; the blurred pixel read
    // with each kept pixel is the one at its own offset.
    Fill(page, 3, 1, {0x80646464u, 0x80646464u, 0x80646464u});
    Fill(blurred, 4, 1, Grey({0, 90, 100, 110}));
    CMemoryPlane32 out;
    Flood(out, 3, 1, kSentinel);
    out.UnsharpMask(page, blurred, {-1, 0}, {0, 0, 3, 1}, {1, 0});
    EXPECT_EQ(Pixels(out), (std::vector<std::uint32_t>{Grey({100})[0], Grey({95})[0], kSentinel}));

    // A blurred plane too small for the rectangle limits it instead of being read past its end.
    Flood(out, 3, 1, kSentinel);
    out.UnsharpMask(page, blurred, {0, 0}, {0, 0, 3, 1}, {2, 0});
    EXPECT_EQ(Pixels(out), (std::vector<std::uint32_t>{Grey({100})[0], Grey({95})[0], kSentinel}));
}

TEST(NeighbourhoodFilters, MedianOfSmallAreasKeepsTheSourceBorder)
{
    // 3 × 3: only the centre is a median (equal keys give the centre, the fifth inserted); the
    // border is the source's, never what the destination held.
    CMemoryPlane32 source;
    std::vector<std::uint32_t> keys(9, 0x00010101u);
    keys[4] = 0x7F030000u;
    Fill(source, 3, 3, keys);
    EXPECT_EQ(Filtered(&CPlane32::Median, source), keys);

    // 2 × 5 has no pixel off its border: a copy.
    CMemoryPlane32 narrow({2, 5});
    FillRandom(narrow, 4);
    EXPECT_EQ(Filtered(&CPlane32::Median, narrow), Pixels(narrow));
}

TEST(NeighbourhoodFilters, MedianMatchesTheInsertionListInBothKernelForms)
{
    unsigned seed = 40;
    for (const CSize size : {CSize{3, 3}, CSize{10, 4}, CSize{11, 5}, CSize{19, 6}, CSize{40, 7}}) {
        for (const bool fewKeys : {false, true}) {
            CMemoryPlane32 source;
            if (fewKeys)
                FillFewKeys(source, size.cx, size.cy, ++seed);
            else {
                source.Resize(size);
                FillRandom(source, ++seed);
            }
            const std::vector<std::uint32_t> pixels = Pixels(source);
            std::vector<std::uint32_t> expected = pixels;
            for (int y = 1; y < size.cy - 1; ++y)
                for (int x = 1; x < size.cx - 1; ++x)
                    expected[static_cast<std::size_t>(y * size.cx + x)] =
                        ReferenceMedian(pixels, size.cx, x, y);
            for (const bool simd : {false, true}) {
                SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy) +
                             (fewKeys ? " few keys" : "") + (simd ? " SSE2" : " plain"));
                const ScopedKernelForm form(simd, 0);
                EXPECT_EQ(Filtered(&CPlane32::Median, source), expected);
            }
        }
    }
}

TEST(NeighbourhoodFilters, FiltersWriteAtTheClippedPointWithTheClippedEdges)
{
    // A 4 × 4 source blurred at (2, 1) into a 5 × 3 plane: only the 3 × 2 overlap is written, from
    // the source's top-left part, whose own edges act as the image's edges.
    CMemoryPlane32 source({4, 4});
    FillRandom(source, 12);
    CMemoryPlane32 part;
    Flood(part, 3, 2, 0);
    part.Blur(source, {0, 0}, {0, 0, 3, 2});
    CMemoryPlane32 plane;
    Flood(plane, 5, 3, kSentinel);
    plane.Blur(source, {2, 1}, {0, 0, 4, 4});
    EXPECT_EQ(PixelAt(plane, 1, 1), kSentinel);
    EXPECT_EQ(PixelAt(plane, 2, 0), kSentinel);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(PixelAt(plane, 2 + x, 1 + y), PixelAt(part, x, y)) << x << " " << y;
}
