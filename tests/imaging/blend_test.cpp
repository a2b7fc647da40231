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
using PlaneBuilders::ScopedKernelForm;
using PlaneFixtures::FillRandom;
using PlaneFixtures::PixelAt;
using PlaneFixtures::Pixels;

namespace {

constexpr std::uint32_t kSentinel = 0xDEADBEEFu;
constexpr CRect kAll{0, 0, 1000, 1000};

// 0xAARRGGBB from its four bytes.
constexpr std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// An 8-bit plane holding the bytes, one row.
void FillMask(CMemoryPlane& mask, const std::vector<std::uint8_t>& bytes)
{
    mask.Resize({static_cast<int>(bytes.size()), 1});
    const Detail::PlaneBitsLock bits(mask);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bits.Pixel(static_cast<int>(i), 0)[0] = bytes[i];
}

// A two-plane operation from the destination's own pixel D and the source pixel S (and a second
// source A when given: then S is the first source A and the given pixel B the second).
struct BlendCase
{
    const char* name;
    std::uint32_t destination, source, second;
    std::function<void(CPlane32& d, const CPlane32& s, const CPlane32& second)> operation;
    std::uint32_t expected;
};

std::uint32_t Blended(const BlendCase& c)
{
    CMemoryPlane32 d, s, second;
    Fill(d, 1, 1, {c.destination});
    Fill(s, 1, 1, {c.source});
    Fill(second, 1, 1, {c.second});
    c.operation(d, s, second);
    return PixelAt(d, 0, 0);
}

} // namespace

TEST(Blends, PixelValuesInBothKernelForms)
{
    const BlendCase cases[] = {
        {"AddPlane saturates per channel; alpha saturates as a fourth", Argb(200, 200, 100, 50),
         Argb(100, 80, 100, 100), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.AddPlane(s, {0, 0}, kAll);
         },
         Argb(255, 255, 200, 150)},
        {"SubtractPlane stops at 0 per channel", Argb(10, 16, 32, 48), Argb(20, 32, 16, 16), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.SubtractPlane(s, {0, 0}, kAll);
         },
         Argb(0, 0, 16, 32)},
        {"OrPlane", 0x0F0F0F0Fu, 0xF000F000u, 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.OrPlane(s, {0, 0}, kAll);
         },
         0xFF0FFF0Fu},
        {"AndPlane", 0x0F0F0F0Fu, 0xFF00FF0Fu, 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.AndPlane(s, {0, 0}, kAll);
         },
         0x0F000F0Fu},
        {"BlitFadeBlack 255 leaves 0", 0, Argb(255, 255, 128, 1), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlitFadeBlack(s, {0, 0}, kAll, 255);
         },
         0},
        {"BlitFadeBlack 64", 0, Argb(200, 255, 128, 1), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlitFadeBlack(s, {0, 0}, kAll, 64);
         },
         Argb(150, 191, 96, 0)},
        {"BlitFadeBlack 0 copies", 0, Argb(200, 255, 128, 1), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlitFadeBlack(s, {0, 0}, kAll, 0);
         },
         Argb(200, 255, 128, 1)},
        {"BlitFadeBlack 256 fills black", kSentinel, Argb(200, 255, 128, 1), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlitFadeBlack(s, {0, 0}, kAll, 256);
         },
         0},
        {"BlitFadeWhite 255 turns 0 into 254", 0, Argb(0, 0, 0, 0), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlitFadeWhite(s, {0, 0}, kAll, 255);
         },
         Argb(254, 254, 254, 254)},
        {"BlitFadeWhite 256 fills white with alpha 0", kSentinel, 0, 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlitFadeWhite(s, {0, 0}, kAll, 256);
         },
         0x00FFFFFFu},
        {"BlendOpacity 128 rounds down", Argb(0, 255, 0, 10), Argb(255, 0, 255, 11), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlendOpacity(s, {0, 0}, kAll, 128);
         },
         Argb(127, 127, 127, 10)},
        {"BlendOpacity 0 writes nothing", kSentinel, 0, 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlendOpacity(s, {0, 0}, kAll, 0);
         },
         kSentinel},
        {"BlendOpacity 256 copies", kSentinel, 0x12345678u, 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.BlendOpacity(s, {0, 0}, kAll, 256);
         },
         0x12345678u},
        {"CrossFade 64 moves B toward A", kSentinel, Argb(255, 255, 0, 100), Argb(0, 0, 255, 100),
         [](CPlane32& d, const CPlane32& a, const CPlane32& b) {
             d.CrossFade(a, b, {0, 0}, kAll, 64);
         },
         Argb(63, 63, 191, 100)},
        {"CrossFade 0 copies the second", kSentinel, 0x11111111u, 0x22222222u,
         [](CPlane32& d, const CPlane32& a, const CPlane32& b) {
             d.CrossFade(a, b, {0, 0}, kAll, 0);
         },
         0x22222222u},
        {"CrossFade 256 copies the first", kSentinel, 0x11111111u, 0x22222222u,
         [](CPlane32& d, const CPlane32& a, const CPlane32& b) {
             d.CrossFade(a, b, {0, 0}, kAll, 256);
         },
         0x11111111u},
        {"AlphaComposite alpha 0 keeps the destination", 0x12345678u, Argb(0, 1, 2, 3), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.AlphaComposite(s, {0, 0}, kAll);
         },
         0x12345678u},
        {"AlphaComposite alpha 255 copies with alpha", 0x12345678u, Argb(255, 1, 2, 3), 0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.AlphaComposite(s, {0, 0}, kAll);
         },
         Argb(255, 1, 2, 3)},
        {"AlphaComposite alpha 128 takes the floor of the means", Argb(9, 10, 200, 1), Argb(128, 21, 100, 0),
         0,
         [](CPlane32& d, const CPlane32& s, const CPlane32&) {
             d.AlphaComposite(s, {0, 0}, kAll);
         },
         Argb(0, 15, 150, 0)},
    };
    for (const bool simd : {false, true}) {
        const ScopedKernelForm form(simd, 0);
        for (const BlendCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (simd ? " (SSE2)" : " (plain)"));
            EXPECT_EQ(Blended(c), c.expected);
        }
    }
}

TEST(Blends, KernelFormsGiveTheSameBytesOnRandomPlanesAtEveryWidth)
{
    using Operation = std::function<void(CPlane32&, const CPlane32&, const CPlane32&, CPoint, CRect)>;
    const Operation operations[] = {
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) { d.AddPlane(s, p, r); },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) { d.SubtractPlane(s, p, r); },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) {
            d.BlitFadeBlack(s, p, r, 1);
        },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) {
            d.BlitFadeBlack(s, p, r, 200);
        },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) {
            d.BlitFadeWhite(s, p, r, 99);
        },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) {
            d.BlitFadeWhite(s, p, r, 255);
        },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) {
            d.BlendOpacity(s, p, r, 3);
        },
        [](CPlane32& d, const CPlane32& s, const CPlane32&, CPoint p, CRect r) {
            d.BlendOpacity(s, p, r, 170);
        },
        [](CPlane32& d, const CPlane32& a, const CPlane32& b, CPoint p, CRect r) {
            d.CrossFade(a, b, p, r, 129);
        },
    };
    unsigned seed = 100;
    int index = 0;
    for (const Operation& operation : operations) {
        ++index;
        for (int width = 1; width <= 13; ++width) {
            CMemoryPlane32 destination({20, 3}), first({20, 4}), second({20, 4});
            FillRandom(destination, ++seed);
            FillRandom(first, ++seed);
            FillRandom(second, ++seed);
            std::vector<std::uint32_t> results[2];
            for (const bool simd : {false, true}) {
                const ScopedKernelForm form(simd, 0);
                CMemoryPlane32 plane({20, 3});
                plane.CopyFrom(destination);
                operation(plane, first, second, {3, 0}, {1, 1, 1 + width, 4});
                results[simd] = Pixels(plane);
            }
            EXPECT_EQ(results[0], results[1]) << "operation " << index << ", width " << width;
        }
    }
}

TEST(Blends, MaskCopiesAndRamps)
{
    CMemoryPlane32 source, second, destination;
    Fill(source, 4, 1, {0x80102030u, 0x80102030u, 0x80102030u, 0x80102030u});
    Fill(second, 4, 1, {0x40C0A090u, 0x40C0A090u, 0x40C0A090u, 0x40C0A090u});
    CMemoryPlane mask(8);
    FillMask(mask, {0, 99, 100, 255});

    Flood(destination, 4, 1, kSentinel);
    destination.CopyPlane(source, mask, {0, 0}, kAll, 99, 100);
    EXPECT_EQ(Pixels(destination),
              (std::vector<std::uint32_t>{kSentinel, 0x80102030u, 0x80102030u, kSentinel}));
    Flood(destination, 4, 1, kSentinel);
    destination.CopyPlane(source, mask, {0, 0}, kAll, 200, 100);
    EXPECT_EQ(Pixels(destination), std::vector<std::uint32_t>(4, kSentinel));
    destination.CopyPlane(source, mask, {0, 0}, kAll, 0, 255);
    EXPECT_EQ(Pixels(destination), Pixels(source));

    // Width 0: a hard threshold, below it the source (or A), from it on black, white or B.
    Flood(destination, 4, 1, kSentinel);
    destination.RampBlend(source, mask, {0, 0}, kAll, 100, 0);
    EXPECT_EQ(Pixels(destination), (std::vector<std::uint32_t>{0x80102030u, 0x80102030u, 0, 0}));
    destination.RampBlendWhite(source, mask, {0, 0}, kAll, 100, 0);
    EXPECT_EQ(Pixels(destination),
              (std::vector<std::uint32_t>{0x80102030u, 0x80102030u, 0xFFFFFFFFu, 0xFFFFFFFFu}));
    destination.RampCrossFade(source, second, mask, {0, 0}, kAll, 100, 0);
    EXPECT_EQ(Pixels(destination),
              (std::vector<std::uint32_t>{0x80102030u, 0x80102030u, 0x40C0A090u, 0x40C0A090u}));

    // Threshold 99, width 3: the mask value 100 lies in the band with ramp (2 × 256) / 4 = 128.
    destination.RampBlend(source, mask, {0, 0}, kAll, 99, 3);
    EXPECT_EQ(PixelAt(destination, 2, 0), 0x00081018u);
    destination.RampBlendWhite(source, mask, {0, 0}, kAll, 99, 3);
    EXPECT_EQ(PixelAt(destination, 2, 0), 0x00878F97u);
    destination.RampCrossFade(source, second, mask, {0, 0}, kAll, 99, 3);
    EXPECT_EQ(PixelAt(destination, 2, 0), 0x00686060u);
    // The value 99 is the band's first step, 256 / 4.
    EXPECT_EQ(PixelAt(destination, 1, 0), 0x003C4048u);
}

TEST(Blends, OnlyTheOverlapIsProcessed)
{
    // A source rectangle partly outside the source and a point partly outside the destination:
    // each kept source pixel lands at the point plus its offset.
    CMemoryPlane32 source({4, 4});
    FillRandom(source, 21);
    CMemoryPlane32 destination;
    Flood(destination, 3, 3, kSentinel);
    destination.OrPlane(source, {-1, 1}, {2, 2, 9, 9});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            const bool written = x == 0 && y >= 1;
            EXPECT_EQ(PixelAt(destination, x, y), written ? kSentinel | PixelAt(source, 3, 1 + y) : kSentinel)
                << x << " " << y;
        }
    }
}

TEST(Blends, ASecondSourceOrMaskSmallerThanTheRectangleLimitsIt)
{
    CMemoryPlane32 first, second, destination;
    Flood(first, 4, 1, 0x00000000u);
    Flood(second, 2, 1, 0x00FFFFFFu);
    Flood(destination, 4, 1, kSentinel);
    destination.CrossFade(first, second, {0, 0}, kAll, 128);
    EXPECT_EQ(Pixels(destination),
              (std::vector<std::uint32_t>{0x007F7F7Fu, 0x007F7F7Fu, kSentinel, kSentinel}));

    CMemoryPlane mask(8);
    FillMask(mask, {0, 0, 0});
    Flood(destination, 4, 1, kSentinel);
    destination.CopyPlane(first, mask, {0, 0}, kAll, 0, 0);
    EXPECT_EQ(Pixels(destination), (std::vector<std::uint32_t>{0, 0, 0, kSentinel}));
}
