#include "imaging/rotate.h"

#include "imaging/plane.h"
#include "plane_builders.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

using namespace Brivox;
using PlaneBuilders::Fill;
using PlaneBuilders::Flood;
using PlaneFixtures::FillRandom;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

constexpr std::uint32_t kSentinel = 0xDEADBEEFu;

// 3 × 2 pixels a b c / d e f, alpha included.
const std::vector<std::uint32_t> abcdef = {0xA1000001u, 0xA2000002u, 0xA3000003u,
                                           0xA4000004u, 0xA5000005u, 0xA6000006u};
const std::uint32_t a = abcdef[0], b = abcdef[1], c = abcdef[2], d = abcdef[3], e = abcdef[4], f = abcdef[5];

using Turn = void (CPlane32::*)(const CPlane32&, CPoint, CRect, const SPlaneClip*);

struct TurnCase
{
    const char* name;
    Turn turn;
    CSize size;
    std::vector<std::uint32_t> result;
};

const TurnCase turnCases[] = {
    {"MirrorHorizontal", &CPlane32::MirrorHorizontal, {3, 2}, {c, b, a, f, e, d}},
    {"FlipVertical", &CPlane32::FlipVertical, {3, 2}, {d, e, f, a, b, c}},
    {"Rotate180", &CPlane32::Rotate180, {3, 2}, {f, e, d, c, b, a}},
    {"Rotate90Clockwise", &CPlane32::Rotate90Clockwise, {2, 3}, {d, a, e, b, f, c}},
    {"Rotate90CounterClockwise", &CPlane32::Rotate90CounterClockwise, {2, 3}, {c, f, b, e, a, d}},
};

std::vector<std::uint32_t> Turned(Turn turn, const CPlane32& source, CSize size)
{
    CMemoryPlane32 destination(size);
    (destination.*turn)(source, {0, 0}, {0, 0, source.GetWidth(), source.GetHeight()}, nullptr);
    return Pixels(destination);
}

// A DIB whose storage is larger than its logical size: writes past the logical edges land in the
// spare storage, where a test can see them.
struct RoomyDib
{
    CDib32 plane;
    RoomyDib(CSize logical, CSize capacity)
    {
        plane.Resize(capacity);
        {
            const Detail::PlaneBitsLock bits(plane);
            for (int y = 0; y < capacity.cy; ++y)
                std::fill_n(reinterpret_cast<std::uint32_t*>(bits.Pixel(0, y)), capacity.cx, kSentinel);
        }
        plane.Resize(logical);
    }
    // Every pixel of the storage outside the logical size still holds the sentinel.
    bool SpareUntouched(CSize capacity) const
    {
        const Detail::PlaneBitsLock bits(plane);
        for (int y = 0; y < capacity.cy; ++y)
            for (int x = 0; x < capacity.cx; ++x)
                if ((x >= plane.GetWidth() || y >= plane.GetHeight()) &&
                    *reinterpret_cast<const std::uint32_t*>(bits.Pixel(x, y)) != kSentinel)
                    return false;
        return true;
    }
};

} // namespace

TEST(Rotate, FlipsAndQuarterTurnsMoveWholePixels)
{
    CMemoryPlane32 source;
    Fill(source, 3, 2, abcdef);
    for (const TurnCase& t : turnCases) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(Turned(t.turn, source, t.size), t.result);
    }
}

TEST(Rotate, QuarterTurnsOfLargePlanesMatchTheMapping)
{
    // Larger than one cache tile in both directions, with odd sides.
    CMemoryPlane32 source({150, 71});
    FillRandom(source, 8);
    CMemoryPlane32 clockwise({71, 150}), counter({71, 150});
    clockwise.Rotate90Clockwise(source);
    counter.Rotate90CounterClockwise(source);
    for (int y = 0; y < 71; ++y)
        for (int x = 0; x < 150; ++x) {
            ASSERT_EQ(PixelAt(clockwise, 70 - y, x), PixelAt(source, x, y));
            ASSERT_EQ(PixelAt(counter, y, 149 - x), PixelAt(source, x, y));
        }
}

TEST(Rotate, MirrorPartlyOutsideMirrorsTheKeptPart)
{
    CMemoryPlane32 source;
    Fill(source, 3, 2, abcdef);
    CMemoryPlane32 destination;
    Flood(destination, 3, 2, kSentinel);
    // At x = -1 an unmirrored copy would keep columns 1 and 2 (b c / e f) at columns 0 and 1.
    destination.MirrorHorizontal(source, {-1, 0}, {0, 0, 3, 2});
    EXPECT_EQ(Pixels(destination), (std::vector<std::uint32_t>{c, b, kSentinel, f, e, kSentinel}));
}

TEST(Rotate, WholeSourceIdiomTurnsThePlane)
{
    // A rectangle from (0, 0) to a huge corner asks for the whole source plane.
    CMemoryPlane32 source({4, 3});
    FillRandom(source, 12);
    const CRect whole{0, 0, 0x3FFFFFFF, 0x3FFFFFFF};
    for (const TurnCase& t : turnCases) {
        SCOPED_TRACE(t.name);
        // turnCases name the result sizes of a 3 × 2 source: a quarter turn swaps the sides.
        const bool quarter = t.size.cx < t.size.cy;
        const CSize logical = quarter ? CSize{3, 4} : CSize{4, 3}, capacity{9, 9};
        RoomyDib destination(logical, capacity);
        (destination.plane.*t.turn)(source, {0, 0}, whole, nullptr);
        EXPECT_EQ(Pixels(destination.plane), Turned(t.turn, source, logical));
        EXPECT_TRUE(destination.SpareUntouched(capacity));
    }
}

TEST(Rotate, TrimmedQuarterTurnsTurnThePartInsideTheSource)
{
    CMemoryPlane32 source({7, 5});
    FillRandom(source, 9);
    struct Case
    {
        const char* name;
        Turn turn;
        bool clockwise;
        CPoint point;
        CRect rect;
        SPlaneClip clip;
    };
    const Case cases[] = {
        {"source rectangle left of the source",
         &CPlane32::Rotate90Clockwise,
         true,
         {0, 0},
         {-3, 0, 7, 5},
         {}},
        {"source rectangle above the source",
         &CPlane32::Rotate90CounterClockwise,
         false,
         {0, 0},
         {0, -2, 7, 5},
         {}},
        {"source rectangle past the right and bottom",
         &CPlane32::Rotate90Clockwise,
         true,
         {1, 0},
         {2, 1, 9, 8},
         {}},
        {"whole-source idiom, larger than the destination",
         &CPlane32::Rotate90CounterClockwise,
         false,
         {1, 2},
         {0, 0, 0x3FFFFFFF, 0x3FFFFFFF},
         {}},
        {"point outside the destination", &CPlane32::Rotate90Clockwise, true, {-2, 3}, {0, 0, 7, 5}, {}},
        {"clipped", &CPlane32::Rotate90CounterClockwise, false, {1, 1}, {0, 0, 7, 5}, {{2, 0, 5, 6}, true}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        const CSize logical{6, 9}, capacity{12, 14};
        RoomyDib destination(logical, capacity);
        (destination.plane.*t.turn)(source, t.point, t.rect, &t.clip);
        EXPECT_TRUE(destination.SpareUntouched(capacity));
        CRect part = t.rect;
        part.Intersect({0, 0, 7, 5});
        const int w = part.Width(), h = part.Height();
        for (int y = 0; y < logical.cy; ++y)
            for (int x = 0; x < logical.cx; ++x) {
                // The source pixel the uncut turn of the part puts here, if there is one.
                const int i = x - t.point.x, j = y - t.point.y;
                const int sx = part.left + (t.clockwise ? j : w - 1 - j);
                const int sy = part.top + (t.clockwise ? h - 1 - i : i);
                const bool inTurn = i >= 0 && i < h && j >= 0 && j < w;
                const bool inClip = !t.clip.enabled || (x >= t.clip.rect.left && x < t.clip.rect.right &&
                                                        y >= t.clip.rect.top && y < t.clip.rect.bottom);
                const std::uint32_t expected = inTurn && inClip ? PixelAt(source, sx, sy) : kSentinel;
                ASSERT_EQ(PixelAt(destination.plane, x, y), expected) << x << "," << y;
            }
    }
}

TEST(GetRotatedSize, QuarterAnglesGiveTheSizeOrItsSwap)
{
    for (const CSize size : {CSize{100, 50}, CSize{1, 1}, CSize{65535, 3}, CSize{4000, 3000}}) {
        EXPECT_EQ(GetRotatedSize(size, 0), size);
        EXPECT_EQ(GetRotatedSize(size, 90), (CSize{size.cy, size.cx}));
        EXPECT_EQ(GetRotatedSize(size, 180), size);
        EXPECT_EQ(GetRotatedSize(size, 270), (CSize{size.cy, size.cx}));
        EXPECT_EQ(GetRotatedSize(size, -90), (CSize{size.cy, size.cx}));
        EXPECT_EQ(GetRotatedSize(size, 450.00005), (CSize{size.cy, size.cx}));
    }
}

TEST(GetRotatedSize, TheCanvasHoldsTheWholeTurnedPicture)
{
    EXPECT_EQ(GetRotatedSize({100, 50}, 45), (CSize{107, 107}));
    // The turned picture is 50.87 high; where it falls on the pixel grid it touches 52 rows.
    EXPECT_EQ(GetRotatedSize({100, 50}, 0.5), (CSize{101, 52}));
    for (double angle = 0.25; angle < 360; angle += 7.75)
        for (const CSize size : {CSize{100, 50}, CSize{3, 200}, CSize{640, 480}}) {
            const double t = angle * 3.141592653589793 / 180;
            const double width = size.cx * std::fabs(std::cos(t)) + size.cy * std::fabs(std::sin(t));
            const double height = size.cx * std::fabs(std::sin(t)) + size.cy * std::fabs(std::cos(t));
            const CSize canvas = GetRotatedSize(size, angle);
            // The 16.16 sine and cosine may place a corner a hundredth of a pixel short of its exact spot.
            EXPECT_GE(canvas.cx, width - 0.05) << angle;
            EXPECT_GE(canvas.cy, height - 0.05) << angle;
            EXPECT_LE(canvas.cx, width + 2) << angle;
            EXPECT_LE(canvas.cy, height + 2) << angle;
        }
}

TEST(RotateByAngle, QuarterAnglesTakeTheExactPaths)
{
    CMemoryPlane32 source;
    Fill(source, 3, 2, abcdef);
    struct Case
    {
        double angle;
        CSize size;
        std::vector<std::uint32_t> result;
    };
    const Case cases[] = {
        {360.00005, {3, 2}, abcdef},
        {-90, {2, 3}, {c, f, b, e, a, d}},
        {450, {2, 3}, {d, a, e, b, f, c}},
        {180.00009, {3, 2}, {f, e, d, c, b, a}},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.angle);
        for (const bool nearest : {false, true}) {
            CMemoryPlane32 destination(t.size);
            if (nearest)
                destination.RotateByAngleNearest(source, t.angle, 0);
            else
                destination.RotateByAngle(source, t.angle, 0);
            EXPECT_EQ(Pixels(destination), t.result);
        }
    }
}

TEST(RotateByAngle, JustShortOfAFullTurnTakesTheGeneralPath)
{
    // The interpolating path writes alpha 0, the copy would keep it.
    CMemoryPlane32 source;
    Flood(source, 4, 4, 0xFF808080u);
    CMemoryPlane32 destination(GetRotatedSize({4, 4}, 359.99995));
    EXPECT_EQ(destination.GetSize(), (CSize{4, 4}));
    destination.RotateByAngle(source, 359.99995, 0);
    for (const std::uint32_t p : Pixels(destination))
        EXPECT_EQ(p >> 24, 0u);
}

TEST(RotateByAngle, BilinearSampleMixesByTheFractions)
{
    // Grey 200 right of a black background: a quarter of the way across gives a quarter of it.
    EXPECT_EQ(Detail::BilinearSample(0, 0x00C8C8C8u, 0, 0x00C8C8C8u, 0x4000, 0x9000), 0x00323232u);
    // At the cell's corner the first pixel comes back (alpha dropped).
    EXPECT_EQ(Detail::BilinearSample(0xFF123456u, 0x00FFFFFFu, 0, 0, 0, 0), 0x00123456u);
    // Channels mix separately; halfway between 10 and 11 rounds down whichever way a channel runs.
    EXPECT_EQ(Detail::BilinearSample(0x000A0B0Au, 0x000B0A0Bu, 0x000A0B0Au, 0x000B0A0Bu, 0x8000, 0),
              0x000A0A0Au);
}

TEST(RotateByAngle, TheSourceOriginLandsOnTheCanvasExactly)
{
    CMemoryPlane32 source({9, 6});
    FillRandom(source, 10);
    for (const double angle : {10.0, 30.0, 135.0, 300.0, 333.0}) {
        SCOPED_TRACE(angle);
        const double c = std::cos(angle * 3.141592653589793 / 180);
        const double s = std::sin(angle * 3.141592653589793 / 180);
        // The picture covers half a pixel around each source pixel's centre; the canvas pixel
        // whose centre the turned centre of source pixel (0, 0) is, is the one the turned picture's
        // leftmost and topmost points fall in, counted from there.
        double left = 0, top = 0;
        for (const double x : {-0.5, 8.5})
            for (const double y : {-0.5, 5.5}) {
                left = std::min(left, x * c - y * s);
                top = std::min(top, x * s + y * c);
            }
        const int ox = -static_cast<int>(std::floor(left + 0.5));
        const int oy = -static_cast<int>(std::floor(top + 0.5));
        const CSize canvas = GetRotatedSize({9, 6}, angle);
        CMemoryPlane32 bilinear(canvas), nearest(canvas);
        bilinear.RotateByAngle(source, angle, 0x00FF00);
        nearest.RotateByAngleNearest(source, angle, 0x00FF00);
        EXPECT_EQ(PixelAt(bilinear, ox, oy), PixelAt(source, 0, 0) & 0x00FFFFFFu);
        EXPECT_EQ(PixelAt(nearest, ox, oy), PixelAt(source, 0, 0));
        // Canvas pixels whose centres turn back well outside the source show the background,
        // alpha 0.
        for (int j = 0; j < canvas.cy; ++j)
            for (int i = 0; i < canvas.cx; ++i) {
                const double x = i - ox, y = j - oy;
                const double u = x * c + y * s, v = y * c - x * s;
                if (u > -2 && u < 10 && v > -2 && v < 7)
                    continue;
                ASSERT_EQ(PixelAt(bilinear, i, j), 0x0000FF00u) << i << "," << j;
                ASSERT_EQ(PixelAt(nearest, i, j), 0x0000FF00u) << i << "," << j;
            }
    }
}

TEST(RotateByAngleNearest, NoRowOrColumnOfTheSourceIsLostAtAnyAngle)
{
    for (const CSize size : {CSize{5, 3}, CSize{12, 8}, CSize{3, 7}}) {
        // Every pixel its own colour, opaque, so that none is taken for the background.
        std::vector<std::uint32_t> pixels;
        for (int k = 0; k < size.cx * size.cy; ++k)
            pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(k));
        CMemoryPlane32 source;
        Fill(source, size.cx, size.cy, pixels);
        for (int step = 0; step < 7200; ++step) {
            const double angle = step * 0.05;
            CMemoryPlane32 turned(GetRotatedSize(size, angle));
            turned.RotateByAngleNearest(source, angle, 0);
            std::vector<bool> columns(static_cast<std::size_t>(size.cx)),
                rows(static_cast<std::size_t>(size.cy));
            for (const std::uint32_t p : Pixels(turned))
                if (p >> 24 != 0) {
                    const int k = static_cast<int>(p & 0xFFFFFF);
                    columns[static_cast<std::size_t>(k % size.cx)] = true;
                    rows[static_cast<std::size_t>(k / size.cx)] = true;
                }
            const auto all = [](const std::vector<bool>& seen) {
                return std::all_of(seen.begin(), seen.end(), [](bool b) { return b; });
            };
            ASSERT_TRUE(all(columns)) << size.cx << "x" << size.cy << " at " << angle;
            ASSERT_TRUE(all(rows)) << size.cx << "x" << size.cy << " at " << angle;
        }
    }
}

TEST(RotateByAngleNearest, ALongStripKeepsItsEndsNearTheQuarterAngles)
{
    // The 16.16 sine and cosine are a little short of 1 near these angles, which over 40000 pixels
    // adds up to more than half a pixel.
    const CSize size{3, 40000};
    std::vector<std::uint32_t> pixels;
    for (int k = 0; k < size.cx * size.cy; ++k)
        pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(k));
    CMemoryPlane32 source;
    Fill(source, size.cx, size.cy, pixels);
    for (const double angle : {0.3, 90.09, 90.35, 179.8, 269.7}) {
        SCOPED_TRACE(angle);
        CMemoryPlane32 turned(GetRotatedSize(size, angle));
        turned.RotateByAngleNearest(source, angle, 0);
        std::vector<bool> rows(static_cast<std::size_t>(size.cy));
        const Detail::PlaneBitsLock bits(turned);
        for (int y = 0; y < turned.GetHeight(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(bits.Pixel(0, y));
            for (int x = 0; x < turned.GetWidth(); ++x)
                if (row[x] >> 24 != 0)
                    rows[(row[x] & 0xFFFFFF) / static_cast<std::size_t>(size.cx)] = true;
        }
        EXPECT_TRUE(rows.front());
        EXPECT_TRUE(rows.back());
    }
}

TEST(RotateByAngle, NeverWritesOutsideASmallDestination)
{
    CMemoryPlane32 source({40, 30});
    FillRandom(source, 11);
    const double angle = 37;
    const CSize canvas = GetRotatedSize({40, 30}, angle);
    CMemoryPlane32 whole(canvas);
    whole.RotateByAngle(source, angle, 0x102030);
    for (const bool clipped : {false, true}) {
        SCOPED_TRACE(clipped);
        const CSize logical{canvas.cx / 2, canvas.cy - 10}, capacity{canvas.cx + 8, canvas.cy + 8};
        RoomyDib destination(logical, capacity);
        const SPlaneClip clip{{3, 4, 15, 20}, clipped};
        destination.plane.RotateByAngle(source, {-5, -3}, {0, 0, 40, 30}, angle, 0x102030, &clip);
        EXPECT_TRUE(destination.SpareUntouched(capacity));
        for (int y = 0; y < logical.cy; ++y)
            for (int x = 0; x < logical.cx; ++x) {
                const bool inClip = !clipped || (x >= 3 && x < 15 && y >= 4 && y < 20);
                const bool onCanvas = x + 5 < canvas.cx && y + 3 < canvas.cy;
                const std::uint32_t expected = inClip && onCanvas ? PixelAt(whole, x + 5, y + 3) : kSentinel;
                ASSERT_EQ(PixelAt(destination.plane, x, y), expected) << x << "," << y;
            }
    }
}

TEST(RotateByAngle, AnglesThatAreNoNumberOrHugeEndAtOnce)
{
    CMemoryPlane32 source;
    Fill(source, 3, 2, abcdef);
    CMemoryPlane32 destination({3, 2});
    destination.RotateByAngle(source, std::nan(""), 0);
    EXPECT_EQ(Pixels(destination), abcdef);
    const CSize canvas = GetRotatedSize({3, 2}, 1e300);
    CMemoryPlane32 turned(canvas);
    turned.RotateByAngleNearest(source, 1e300, 0);
    EXPECT_GT(canvas.cx, 0);
}
