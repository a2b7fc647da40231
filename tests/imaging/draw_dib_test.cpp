#include "foundation/exception.h"
#include "foundation/win32.h"
#include "imaging/plane.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace Brivox;
using PlaneFixtures::PixelAt;

namespace {

// A DIB in one buffer: a header of `headerSize` bytes (the common fields filled), `colours`
// table entries after it, then the rows.
struct TestDib
{
    std::vector<std::uint8_t> memory;
    std::size_t bitsOffset = 0;

    TestDib(int headerSize, int width, int height, int bitCount, int colours, DWORD compression = BI_RGB)
    {
        const std::size_t stride = (static_cast<std::size_t>(std::abs(width)) * bitCount + 31) / 32 * 4;
        bitsOffset = static_cast<std::size_t>(headerSize) + 4 * colours;
        memory.assign(bitsOffset + stride * std::abs(height), 0);
        auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(memory.data());
        h.biSize = static_cast<DWORD>(headerSize);
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(bitCount);
        h.biCompression = compression;
        h.biClrUsed = static_cast<DWORD>(colours);
    }
    const BITMAPINFO* Header() const { return reinterpret_cast<const BITMAPINFO*>(memory.data()); }
    const BITMAPINFOHEADER& Info() const { return Header()->bmiHeader; }
    std::uint8_t* Bits() { return memory.data() + bitsOffset; }
    std::size_t Stride() const
    {
        return (static_cast<std::size_t>(std::abs(Info().biWidth)) * Info().biBitCount + 31) / 32 * 4;
    }
    // Image row r counted from the top, whatever the orientation.
    std::uint8_t* Row(int r)
    {
        const int height = std::abs(Info().biHeight);
        return Bits() + Stride() * static_cast<std::size_t>(Info().biHeight > 0 ? height - 1 - r : r);
    }
    void SetColour(int index, std::uint8_t b, std::uint8_t g, std::uint8_t r)
    {
        std::uint8_t* entry = memory.data() + Info().biSize + 4 * index;
        entry[0] = b;
        entry[1] = g;
        entry[2] = r;
    }
};

void FillWith(CPlane& plane, std::uint32_t value)
{
    const Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < plane.GetHeight(); ++y)
        std::fill_n(reinterpret_cast<std::uint32_t*>(bits.Pixel(0, y)), plane.GetWidth(), value);
}

} // namespace

TEST(DrawDib, EightBitPaletteFollowsTheHeaderWhateverItsSize)
{
    for (const int headerSize : {40, 108, 124}) {
        TestDib dib(headerSize, 3, 2, 8, 2);
        dib.SetColour(0, 1, 2, 3);
        dib.SetColour(1, 10, 20, 30);
        dib.Row(0)[0] = 1;
        dib.Row(1)[2] = 1;
        CDib32 plane;
        plane.Resize({3, 2});
        FillWith(plane, 0xFFFFFFFF);
        plane.DrawDib(dib.Header(), dib.Bits(), {0, 0}, {0, 0, 3, 2});
        EXPECT_EQ(PixelAt(plane, 0, 0), 0x001E140Au) << headerSize;
        EXPECT_EQ(PixelAt(plane, 2, 1), 0x001E140Au) << headerSize;
        EXPECT_EQ(PixelAt(plane, 1, 0), 0x00030201u) << headerSize;
    }
}

TEST(DrawDib, EightBitIndexPastTheTableGivesBlack)
{
    TestDib dib(40, 2, 1, 8, 1);
    dib.SetColour(0, 10, 20, 30);
    dib.Row(0)[1] = 200;
    CMemoryPlane32 plane({2, 1});
    FillWith(plane, 0xFFFFFFFF);
    plane.DrawDib(dib.Header(), dib.Bits(), {0, 0}, {0, 0, 2, 1});
    EXPECT_EQ(PixelAt(plane, 0, 0), 0x001E140Au);
    EXPECT_EQ(PixelAt(plane, 1, 0), 0u);
}

TEST(DrawDib, DirectPathsPlaceClippedRowsFromTheTop)
{
    // 24 bits: alpha 0; 32 bits: the fourth byte kept as alpha.
    for (const int bitCount : {24, 32}) {
        TestDib dib(40, 7, 5, bitCount, 0);
        for (int r = 0; r < 5; ++r)
            for (int x = 0; x < 7; ++x) {
                std::uint8_t* p = dib.Row(r) + x * (bitCount / 8);
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(r);
                p[2] = 0x80;
                if (bitCount == 32)
                    p[3] = 0x77;
            }
        CMemoryPlane32 plane({6, 6});
        FillWith(plane, 0xFFFFFFFF);
        // Point (-2, 3) cuts off two columns on the left and keeps three rows.
        plane.DrawDib(dib.Header(), dib.Bits(), {-2, 3}, {0, 0, 7, 5});
        const std::uint32_t alpha = bitCount == 32 ? 0x77000000 : 0;
        for (int y = 3; y < 6; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(PixelAt(plane, x, y), alpha | 0x800000u | ((y - 3u) << 8) | (x + 2u))
                    << bitCount << " " << x << "," << y;
        EXPECT_EQ(PixelAt(plane, 5, 3), 0xFFFFFFFFu);
        EXPECT_EQ(PixelAt(plane, 0, 2), 0xFFFFFFFFu);
    }
}

TEST(DrawDib, OtherDibsGoThroughTheDeviceContext)
{
    // Top-down 24-bit and bottom-up 16-bit DIBs, drawn in part: source row 1 and below, columns
    // 1 and 2.
    struct Case
    {
        int height, bitCount;
    };
    for (const Case c : {Case{-4, 24}, Case{4, 16}, Case{4, 24}}) {
        TestDib dib(40, 4, c.height, c.bitCount, 0);
        for (int r = 0; r < 4; ++r)
            for (int x = 0; x < 4; ++x) {
                if (c.bitCount == 24) {
                    dib.Row(r)[3 * x] = static_cast<std::uint8_t>(0x10 * r + x); // blue
                } else {
                    // Red full in row r == x, blue full elsewhere.
                    const std::uint16_t v = r == x ? 0x7C00 : 0x001F;
                    std::memcpy(dib.Row(r) + 2 * x, &v, 2);
                }
            }
        CDib32 plane;
        plane.Resize({4, 4});
        FillWith(plane, 0x00FFFFFF);
        plane.DrawDib(dib.Header(), dib.Bits(), {0, 0}, {1, 1, 3, 4});
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 2; ++x) {
                const std::uint32_t pixel = PixelAt(plane, x, y) & 0xFFFFFF;
                const int r = y + 1, column = x + 1;
                if (c.bitCount == 24) {
                    EXPECT_EQ(pixel, static_cast<std::uint32_t>(0x10 * r + column))
                        << c.height << " " << x << "," << y;
                } else {
                    EXPECT_EQ(pixel >= 0xF80000 ? r == column : pixel >= 0xF8, true)
                        << c.height << " " << x << "," << y << " " << std::hex << pixel;
                }
            }
        EXPECT_EQ(PixelAt(plane, 2, 0) & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(PixelAt(plane, 0, 3) & 0xFFFFFF, 0xFFFFFFu);
    }
}

TEST(DrawDib, HeapPlaneCannotTakeTheDeviceContextPath)
{
    TestDib dib(40, 2, -2, 24, 0);
    CMemoryPlane32 plane({2, 2});
    EXPECT_THROW(plane.DrawDib(dib.Header(), dib.Bits(), {0, 0}, {0, 0, 2, 2}), Win32Exception);
}
