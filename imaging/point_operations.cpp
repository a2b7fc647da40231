// The operations that change pixels one by one, measure a rectangle, or set and use the alpha
// byte, of 8-bit and 32-bit planes.
#include "imaging/blend_kernels.h"
#include "imaging/luma_table.h"
#include "imaging/pixel_walk.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Brivox {

namespace {

using Detail::Alpha;
using Detail::Blue;
using Detail::ClipToPlane;
using Detail::ForEachPixel;
using Detail::ForEachRow;
using Detail::Green;
using Detail::Red;
using Detail::Rgb;

// A blend of every pixel of the rectangle (as b) with one colour (as a).
void BlendWithColour(CPlane32& plane, Kernels::EPixelBlend blend, COLORREF colour, CRect rect, int k)
{
    if (!ClipToPlane(plane, rect))
        return;
    const std::vector<std::uint32_t> colourRow(static_cast<std::size_t>(rect.Width()),
                                               Detail::ColorToPixel32(colour));
    const Detail::PlaneBitsLock bits(plane);
    const Detail::SPixelRows rows = Detail::PixelRows(bits, rect.left, rect.top);
    Kernels::BlendRows(blend, {rows.origin, rows.stride, colourRow.data(), 0, rows.origin, rows.stride},
                       rect.Width(), rect.Height(), k);
}

// The edges of the blocks along a side of `length`: a partial block of (length mod n) / 2, the
// whole blocks, then the rest; partial blocks of no width do not exist.
std::vector<int> BlockEdges(int length, int n)
{
    std::vector<int> edges{0};
    int at = length % n / 2;
    if (at > 0)
        edges.push_back(at);
    for (int i = 0; i < length / n; ++i)
        edges.push_back(at += n);
    if (at < length)
        edges.push_back(length);
    return edges;
}

// Every block of the grid centred in the rectangle filled with value(first pixel of the block,
// stride, width, height).
template <class Value> void Mosaic(CPlane32& plane, CRect rect, int n, Value value)
{
    if (n < 2 || !ClipToPlane(plane, rect))
        return;
    const std::vector<int> columns = BlockEdges(rect.Width(), n), rows = BlockEdges(rect.Height(), n);
    const Detail::PlaneBitsLock bits(plane);
    const Detail::SPixelRows pixels = Detail::PixelRows(bits, rect.left, rect.top);
    for (std::size_t j = 0; j + 1 < rows.size(); ++j) {
        for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
            std::uint32_t* block = pixels.Row(rows[j]) + columns[i];
            const int w = columns[i + 1] - columns[i], h = rows[j + 1] - rows[j];
            const std::uint32_t v = value(block, pixels.stride, w, h);
            for (int y = 0; y < h; ++y)
                std::fill_n(block + y * pixels.stride, w, v);
        }
    }
}

// Sums of B, G and R over pixels, and their means (truncated) as a pixel or a COLORREF.
struct SChannelSums
{
    std::uint64_t r = 0, g = 0, b = 0, count = 0;

    void Add(std::uint32_t p)
    {
        r += Red(p);
        g += Green(p);
        b += Blue(p);
        ++count;
    }
    std::uint32_t MeanPixel() const
    {
        return count ? Rgb(static_cast<std::uint32_t>(r / count), static_cast<std::uint32_t>(g / count),
                           static_cast<std::uint32_t>(b / count))
                     : 0;
    }
};

// (R + G + B) / 3 for every sum of three channels.
struct SThirdTable
{
    std::uint8_t third[768];

    SThirdTable()
    {
        for (int s = 0; s < 768; ++s)
            third[s] = static_cast<std::uint8_t>(s / 3);
    }
    std::uint32_t operator()(std::uint32_t p) const { return third[Red(p) + Green(p) + Blue(p)]; }
};

// Every pixel of the whole plane through f.
template <class F> void ForWholePlane(CPlane32& plane, F f)
{
    ForEachPixel(plane, {0, 0, plane.GetWidth(), plane.GetHeight()}, f);
}

// Alpha from the per-channel differences P − Q (each modulo 256, a byte where Q exceeds P OR 0x80
// also lowering the byte above it) over the area both planes share.
template <class FromDifference>
void AlphaFromDifferenceOf(CPlane32& plane, const CPlane32& other, FromDifference fromDifference)
{
    const CRect area{0, 0, std::min(plane.GetWidth(), other.GetWidth()),
                     std::min(plane.GetHeight(), other.GetHeight())};
    if (area.IsEmpty())
        return;
    const Detail::SLockedPlanes planes(plane, {0, 0}, other, {0, 0});
    for (int y = 0; y < area.bottom; ++y) {
        std::uint32_t* p = planes.out.Row(y);
        const std::uint32_t* q = planes.in.Row(y);
        for (int x = 0; x < area.right; ++x) {
            const std::uint32_t d = (((p[x] | 0xFF808080u) - q[x]) & 0x00FFFFFFu) ^ (~p[x] & 0x00808080u);
            p[x] = (p[x] & 0x00FFFFFFu) | (fromDifference(d & 0xFF, (d >> 8) & 0xFF, d >> 16) << 24);
        }
    }
}

} // namespace

void CPlane8::Invert(CRect rect)
{
    if (!Detail::ClipToPlane(*this, rect))
        return;
    const Detail::PlaneBitsLock bits(*this);
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::uint8_t* row = bits.Pixel(rect.left, y);
        for (int x = 0; x < rect.Width(); ++x)
            row[x] = static_cast<std::uint8_t>(255 - row[x]);
    }
}

void CPlane8::Histogram(HistogramCounts& counts, CRect rect) const
{
    counts.fill(0);
    if (!Detail::ClipToPlane(*this, rect))
        return;
    const Detail::PlaneBitsLock bits(*this);
    for (int y = rect.top; y < rect.bottom; ++y) {
        const std::uint8_t* row = bits.Pixel(rect.left, y);
        for (int x = 0; x < rect.Width(); ++x)
            ++counts[row[x]];
    }
}

void CPlane32::Invert(CRect rect)
{
    ForEachPixel(*this, rect, [](std::uint32_t& p) { p ^= 0x00FFFFFFu; });
}

void CPlane32::BlendColor(COLORREF colour, CRect rect, int strength)
{
    if (strength <= 0)
        return;
    if (strength >= 256) {
        FillRect(colour, rect);
        return;
    }
    BlendWithColour(*this, Kernels::EPixelBlend::Mix, colour, rect, strength);
}

void CPlane32::AddColor(COLORREF colour, CRect rect)
{
    BlendWithColour(*this, Kernels::EPixelBlend::Add, colour, rect, 0);
}

void CPlane32::SubtractColor(COLORREF colour, CRect rect)
{
    BlendWithColour(*this, Kernels::EPixelBlend::Subtract, colour, rect, 0);
}

void CPlane32::MosaicCenter(CRect rect, int blockSize)
{
    Mosaic(*this, rect, blockSize, [](const std::uint32_t* block, std::ptrdiff_t stride, int w, int h) {
        return block[h / 2 * stride + w / 2];
    });
}

void CPlane32::MosaicAverage(CRect rect, int blockSize)
{
    Mosaic(*this, rect, blockSize, [](const std::uint32_t* block, std::ptrdiff_t stride, int w, int h) {
        SChannelSums sums;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                sums.Add(block[y * stride + x]);
        return sums.MeanPixel();
    });
}

void CPlane32::ApplyTable(CRect rect, const ToneTable& table)
{
    ForEachPixel(*this, rect,
                 [&table](std::uint32_t& p) { p = Rgb(table[Red(p)], table[Green(p)], table[Blue(p)]); });
}

void CPlane32::GraySimple(CRect rect)
{
    const SThirdTable third;
    ForEachPixel(*this, rect, [&third](std::uint32_t& p) { p = third(p) * 0x010101u; });
}

void CPlane32::GrayExact(CRect rect)
{
    const Kernels::SLumaTable luma;
    ForEachPixel(*this, rect, [&luma](std::uint32_t& p) { p = luma(p) * 0x010101u; });
}

void CPlane32::HistogramLuma(HistogramCounts& counts, CRect rect) const
{
    counts.fill(0);
    const Kernels::SLumaTable luma;
    ForEachPixel(*this, rect, [&](std::uint32_t p) { ++counts[luma(p)]; });
}

void CPlane32::HistogramAverage(HistogramCounts& counts, CRect rect) const
{
    counts.fill(0);
    const SThirdTable third;
    ForEachPixel(*this, rect, [&](std::uint32_t p) { ++counts[third(p)]; });
}

void CPlane32::HistogramRgb(HistogramCounts& red, HistogramCounts& green, HistogramCounts& blue,
                            CRect rect) const
{
    red.fill(0);
    green.fill(0);
    blue.fill(0);
    ForEachPixel(*this, rect, [&](std::uint32_t p) {
        ++red[Red(p)];
        ++green[Green(p)];
        ++blue[Blue(p)];
    });
}

int CPlane32::CountColors(CRect rect) const
{
    if (!ClipToPlane(*this, rect))
        return 0;
    // One bit per 24-bit colour (2 MB), freed on every way out.
    std::vector<std::uint64_t> seen(std::size_t{1} << 18);
    int count = 0;
    ForEachRow(*this, rect, [&](const std::uint32_t* row, int width) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = row[x] & 0x00FFFFFFu;
            const std::uint64_t bit = std::uint64_t{1} << (v & 63);
            if (!(seen[v >> 6] & bit)) {
                seen[v >> 6] |= bit;
                ++count;
            }
        }
    });
    return count;
}

COLORREF CPlane32::AverageColor(CRect rect) const
{
    SChannelSums sums;
    ForEachPixel(*this, rect, [&sums](std::uint32_t p) { sums.Add(p); });
    const std::uint32_t mean = sums.MeanPixel();
    return Red(mean) | (Green(mean) << 8) | (Blue(mean) << 16);
}

void CPlane32::ClearAlpha()
{
    ForWholePlane(*this, [](std::uint32_t& p) { p &= 0x00FFFFFFu; });
}

void CPlane32::InvertAlpha()
{
    ForWholePlane(*this, [](std::uint32_t& p) { p ^= 0xFF000000u; });
}

void CPlane32::AlphaFromLuma()
{
    const Kernels::SLumaTable luma;
    ForWholePlane(*this, [&luma](std::uint32_t& p) { p = (p & 0x00FFFFFFu) | (luma(p) << 24); });
}

void CPlane32::AlphaFromDifference(const CPlane32& other)
{
    AlphaFromDifferenceOf(*this, other,
                          [](std::uint32_t b, std::uint32_t g, std::uint32_t r) { return (b + g + r) / 3; });
}

void CPlane32::AlphaFromLumaDifference(const CPlane32& other)
{
    AlphaFromDifferenceOf(*this, other, [](std::uint32_t b, std::uint32_t g, std::uint32_t r) {
        return (28 * b + 151 * g + 77 * r) >> 8;
    });
}

bool CPlane32::UsesAlpha(CRect rect) const
{
    if (!ClipToPlane(*this, rect))
        return false;
    const std::int64_t threshold = static_cast<std::int64_t>(rect.Width()) * rect.Height() * 5 / 100;
    std::int64_t count = 0;
    const Detail::PlaneBitsLock bits(*this);
    const Detail::SPixelRows rows = Detail::PixelRows(bits, rect.left, rect.top);
    for (int y = 0; y < rect.Height(); ++y) {
        const std::uint32_t* row = rows.Row(y);
        for (int x = 0; x < rect.Width(); ++x) {
            if (Alpha(row[x]) != 0 && ++count >= threshold)
                return true;
        }
    }
    return false;
}

void CPlane32::BlitPalette8(const CPlane& source, CPoint point, CRect rect, const Palette256& palette,
                            const SPlaneClip* clip)
{
    if (!ClipOrNone(clip).ClipBlit(GetSize(), source.GetSize(), point, rect))
        return;
    std::uint32_t pixels[256];
    for (int i = 0; i < 256; ++i)
        pixels[i] = Detail::ColorToPixel32(palette[static_cast<std::size_t>(i)]);
    const Detail::PlaneBitsLock to(*this);
    const Detail::PlaneBitsLock from(source);
    const Detail::SPixelRows out = Detail::PixelRows(to, point.x, point.y);
    for (int y = 0; y < rect.Height(); ++y) {
        const std::uint8_t* in = from.Pixel(rect.left, rect.top + y);
        std::uint32_t* row = out.Row(y);
        for (int x = 0; x < rect.Width(); ++x)
            row[x] = pixels[in[x]];
    }
}

void CPlane32::BlitColorKey(const CPlane32& source, CPoint point, CRect rect, COLORREF key,
                            const SPlaneClip* clip)
{
    if (!ClipOrNone(clip).ClipBlit(GetSize(), source.GetSize(), point, rect))
        return;
    const std::uint32_t skipped = Detail::ColorToPixel32(key);
    const Detail::SLockedPlanes planes(*this, point, source, {rect.left, rect.top});
    for (int y = 0; y < rect.Height(); ++y) {
        const std::uint32_t* in = planes.in.Row(y);
        std::uint32_t* out = planes.out.Row(y);
        for (int x = 0; x < rect.Width(); ++x) {
            if (in[x] != skipped)
                out[x] = in[x];
        }
    }
}

} // namespace Brivox
