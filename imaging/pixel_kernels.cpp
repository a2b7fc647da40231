#include "imaging/pixel_kernels.h"

#include "imaging/luma_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Brivox::Kernels {

namespace {

struct Rgb
{
    std::uint32_t r, g, b;
};

std::uint32_t Widen5(std::uint32_t c)
{
    return (c << 3) | (c >> 2);
}

std::uint16_t Load16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Store32(std::uint8_t* p, std::uint32_t v)
{
    std::memcpy(p, &v, 4);
}

template <int Bits> Rgb Decode(const std::uint8_t* p)
{
    if constexpr (Bits == 8) {
        return {p[0], p[0], p[0]};
    } else if constexpr (Bits == 16) {
        const std::uint32_t w = Load16(p);
        return {Widen5((w >> 10) & 31), Widen5((w >> 5) & 31), Widen5(w & 31)};
    } else {
        return {p[2], p[1], p[0]};
    }
}

template <int Bits> void Encode(std::uint8_t* p, const Rgb& c, const SLumaTable& luma)
{
    if constexpr (Bits == 8) {
        p[0] = static_cast<std::uint8_t>(luma(c.r, c.g, c.b));
    } else if constexpr (Bits == 16) {
        const std::uint32_t w = ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
        p[0] = static_cast<std::uint8_t>(w);
        p[1] = static_cast<std::uint8_t>(w >> 8);
    } else if constexpr (Bits == 24) {
        p[0] = static_cast<std::uint8_t>(c.b);
        p[1] = static_cast<std::uint8_t>(c.g);
        p[2] = static_cast<std::uint8_t>(c.r);
    } else {
        Store32(p, (c.r << 16) | (c.g << 8) | c.b);
    }
}

template <int SrcBits, int DstBits>
void ConvertPixels(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src,
                   std::ptrdiff_t srcStride, int width, int height, const SLumaTable& luma)
{
    for (int y = 0; y < height; ++y, dst += dstStride, src += srcStride) {
        const std::uint8_t* s = src;
        std::uint8_t* d = dst;
        for (int x = 0; x < width; ++x, s += SrcBits / 8, d += DstBits / 8)
            Encode<DstBits>(d, Decode<SrcBits>(s), luma);
    }
}

template <int SrcBits>
void ConvertFrom(std::uint8_t* dst, std::ptrdiff_t dstStride, int dstBits, const std::uint8_t* src,
                 std::ptrdiff_t srcStride, int width, int height)
{
    const SLumaTable luma;
    switch (dstBits) {
    case 8:
        return ConvertPixels<SrcBits, 8>(dst, dstStride, src, srcStride, width, height, luma);
    case 16:
        return ConvertPixels<SrcBits, 16>(dst, dstStride, src, srcStride, width, height, luma);
    case 24:
        return ConvertPixels<SrcBits, 24>(dst, dstStride, src, srcStride, width, height, luma);
    default:
        return ConvertPixels<SrcBits, 32>(dst, dstStride, src, srcStride, width, height, luma);
    }
}

int NormalisedDepth(int bits)
{
    return bits == 8 || bits == 16 || bits == 24 ? bits : 32;
}

} // namespace

std::uint32_t ColorToPixel(std::uint32_t colorref, int bitsPerPixel)
{
    const std::uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
    switch (bitsPerPixel) {
    case 8:
        return (77 * r + 151 * g + 28 * b) >> 8;
    case 16:
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    default:
        return (r << 16) | (g << 8) | b;
    }
}

void FillRows(std::uint8_t* rows, std::ptrdiff_t stride, int bitsPerPixel, int width, int height,
              std::uint32_t value)
{
    for (int y = 0; y < height; ++y, rows += stride) {
        switch (bitsPerPixel) {
        case 8:
            std::memset(rows, static_cast<int>(value & 0xFF), static_cast<std::size_t>(width));
            break;
        case 16:
            std::fill_n(reinterpret_cast<std::uint16_t*>(rows), width, static_cast<std::uint16_t>(value));
            break;
        case 24:
            for (int x = 0; x < width; ++x) {
                rows[3 * x] = static_cast<std::uint8_t>(value);
                rows[3 * x + 1] = static_cast<std::uint8_t>(value >> 8);
                rows[3 * x + 2] = static_cast<std::uint8_t>(value >> 16);
            }
            break;
        default:
            std::fill_n(reinterpret_cast<std::uint32_t*>(rows), width, value);
            break;
        }
    }
}

void CopyRows(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride,
              std::size_t rowBytes, int height)
{
    if (height <= 0)
        return;
    // With one buffer and one stride, a destination lying later in row order than the source must
    // be written from its last row up; memmove takes care of the overlap within a row.
    const auto d = reinterpret_cast<std::uintptr_t>(dst), s = reinterpret_cast<std::uintptr_t>(src);
    const bool lastRowFirst = dstStride == srcStride && (dstStride > 0 ? d > s : d < s);
    if (lastRowFirst) {
        for (int y = height - 1; y >= 0; --y)
            std::memmove(dst + y * dstStride, src + y * srcStride, rowBytes);
    } else {
        for (int y = 0; y < height; ++y)
            std::memmove(dst + y * dstStride, src + y * srcStride, rowBytes);
    }
}

void ConvertRows(std::uint8_t* dst, std::ptrdiff_t dstStride, int dstBits, const std::uint8_t* src,
                 std::ptrdiff_t srcStride, int srcBits, int width, int height)
{
    dstBits = NormalisedDepth(dstBits);
    if (dstBits == srcBits) {
        CopyRows(dst, dstStride, src, srcStride, static_cast<std::size_t>(width) * (srcBits / 8), height);
        return;
    }
    switch (srcBits) {
    case 8:
        return ConvertFrom<8>(dst, dstStride, dstBits, src, srcStride, width, height);
    case 16:
        return ConvertFrom<16>(dst, dstStride, dstBits, src, srcStride, width, height);
    case 24:
        if (dstBits == 32) {
            Rgb24ToRgb32Rows(height, width, dstStride / 4, reinterpret_cast<std::uint32_t*>(dst), src,
                             srcStride);
            return;
        }
        return ConvertFrom<24>(dst, dstStride, dstBits, src, srcStride, width, height);
    default:
        return ConvertFrom<32>(dst, dstStride, dstBits, src, srcStride, width, height);
    }
}

void Rgb24ToRgb32Rows(int rows, int pixelsPerRow, std::ptrdiff_t dstStep, std::uint32_t* dst,
                      const std::uint8_t* src, std::ptrdiff_t srcStep)
{
    for (int y = 0; y < rows; ++y, dst += dstStep, src += srcStep) {
        const std::uint8_t* s = src;
        std::uint32_t* d = dst;
        int x = 0;
        for (; x + 4 <= pixelsPerRow; x += 4, s += 12, d += 4) {
            // Words w0 = G1 B1 R0 G0 B0 (high to low), w1 = B2 R1 G1, w2 = R3 G3 B3 R2.
            const std::uint32_t w0 = Load32(s), w1 = Load32(s + 4), w2 = Load32(s + 8);
            d[0] = w0 & 0xFFFFFF;
            d[1] = (w0 >> 24) | ((w1 & 0xFFFF) << 8);
            d[2] = (w1 >> 16) | ((w2 & 0xFF) << 16);
            d[3] = w2 >> 8;
        }
        for (; x < pixelsPerRow; ++x, s += 3, ++d)
            *d = static_cast<std::uint32_t>(s[0]) | (s[1] << 8) | (s[2] << 16);
    }
}

void Palette8ToRgb32Rows(int rows, int pixelsPerRow, std::ptrdiff_t dstStep, std::uint32_t* dst,
                         const std::uint8_t* src, std::ptrdiff_t srcStep, const std::uint8_t* table,
                         int tableSize)
{
    std::uint32_t colours[256] = {};
    for (int i = 0; i < std::clamp(tableSize, 0, 256); ++i)
        colours[i] = Load32(table + 4 * i) & 0xFFFFFF;
    for (int y = 0; y < rows; ++y, dst += dstStep, src += srcStep) {
        for (int x = 0; x < pixelsPerRow; ++x)
            dst[x] = colours[src[x]];
    }
}

} // namespace Brivox::Kernels
