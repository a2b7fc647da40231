#include "imaging/neighbourhood_kernels.h"

#include "imaging/pixel_simd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace Brivox::Kernels {

namespace {

// For each of B, G, R: floor((a + b + c) × 85 / 256), alpha 0. B and R share one word (mask
// 0xFF00FF), G has its own (0xFF00); no field overflows into the next.
std::uint32_t MeanOfThree(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    const std::uint32_t rb = (a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu);
    const std::uint32_t g = (a & 0xFF00u) + (b & 0xFF00u) + (c & 0xFF00u);
    return (((rb * 85) >> 8) & 0xFF00FFu) | (((g * 85) >> 8) & 0xFF00u);
}

// For each of B, G, R: floor((a + b + c + d) / 4), alpha 0.
std::uint32_t MeanOfFour(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    const std::uint32_t rb = (a & 0xFF00FFu) + (b & 0xFF00FFu) + (c & 0xFF00FFu) + (d & 0xFF00FFu);
    const std::uint32_t g = (a & 0xFF00u) + (b & 0xFF00u) + (c & 0xFF00u) + (d & 0xFF00u);
    return ((rb >> 2) & 0xFF00FFu) | ((g >> 2) & 0xFF00u);
}

int Clamp255(int v)
{
    return std::clamp(v, 0, 255);
}

template <class Channel> std::uint32_t PerChannel(std::uint32_t c, std::uint32_t n, Channel channel)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= static_cast<std::uint32_t>(Clamp255(
                   channel(static_cast<int>((c >> shift) & 0xFF), static_cast<int>((n >> shift) & 0xFF))))
               << shift;
    return out;
}

template <ENeighbourFilter Filter> std::uint32_t Filtered(std::uint32_t c, std::uint32_t n)
{
    if constexpr (Filter == ENeighbourFilter::Blur)
        return MeanOfTwo(n, c);
    else if constexpr (Filter == ENeighbourFilter::Sharpen)
        return SharpenPixel(c, n);
    else
        return SharpenPixelStrong(c, n);
}

// One row whose pixels have the neighbours above and below when given (null on the area's top or
// bottom edge), and always those to the left and right inside the row.
template <ENeighbourFilter Filter>
void NeighbourRow(std::uint32_t* out, const std::uint32_t* above, const std::uint32_t* row,
                  const std::uint32_t* below, int w)
{
    const std::uint32_t* vertical = above ? above : below;
    if (above && below) {
        out[0] = Filtered<Filter>(row[0], MeanOfThree(above[0], below[0], row[1]));
        for (int x = 1; x < w - 1; ++x)
            out[x] = Filtered<Filter>(row[x], MeanOfFour(above[x], below[x], row[x - 1], row[x + 1]));
        out[w - 1] = Filtered<Filter>(row[w - 1], MeanOfThree(above[w - 1], below[w - 1], row[w - 2]));
    } else {
        out[0] = Filtered<Filter>(row[0], MeanOfTwo(vertical[0], row[1]));
        for (int x = 1; x < w - 1; ++x)
            out[x] = Filtered<Filter>(row[x], MeanOfThree(vertical[x], row[x - 1], row[x + 1]));
        out[w - 1] = Filtered<Filter>(row[w - 1], MeanOfTwo(vertical[w - 1], row[w - 2]));
    }
}

template <ENeighbourFilter Filter> void Neighbours(const SFilterRows& r, int w, int h)
{
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* row = r.in + y * r.inStride;
        NeighbourRow<Filter>(r.out + y * r.outStride, y > 0 ? row - r.inStride : nullptr, row,
                             y < h - 1 ? row + r.inStride : nullptr, w);
    }
}

} // namespace

std::uint32_t SharpenPixel(std::uint32_t c, std::uint32_t n)
{
    return PerChannel(c, n, [](int a, int b) { return a + (a - b) / 2; });
}

std::uint32_t SharpenPixelStrong(std::uint32_t c, std::uint32_t n)
{
    return PerChannel(c, n, [](int a, int b) { return 2 * a - b; });
}

void NeighbourRows(ENeighbourFilter filter, const SFilterRows& rows, int w, int h)
{
    switch (filter) {
    case ENeighbourFilter::Blur:
        return Neighbours<ENeighbourFilter::Blur>(rows, w, h);
    case ENeighbourFilter::Sharpen:
        return Neighbours<ENeighbourFilter::Sharpen>(rows, w, h);
    case ENeighbourFilter::SharpenStrong:
        return Neighbours<ENeighbourFilter::SharpenStrong>(rows, w, h);
    }
}

void UnsharpRows(std::uint32_t* out, std::ptrdiff_t outStride, const std::uint32_t* source,
                 std::ptrdiff_t sourceStride, const std::uint32_t* blurred, std::ptrdiff_t blurredStride,
                 int w, int h)
{
    for (int y = 0; y < h; ++y) {
        const std::uint32_t* s = source + y * sourceStride;
        const std::uint32_t* b = blurred + y * blurredStride;
        std::uint32_t* o = out + y * outStride;
        for (int x = 0; x < w; ++x)
            o[x] = SharpenPixel(s[x], b[x]);
    }
}

namespace Detail {

namespace {

// Keys R + G + B of a row.
void RowKeys(std::uint16_t* keys, const std::uint32_t* row, int w)
{
    for (int x = 0; x < w; ++x)
        keys[x] =
            static_cast<std::uint16_t>((row[x] & 0xFF) + ((row[x] >> 8) & 0xFF) + ((row[x] >> 16) & 0xFF));
}

template <class Span> void Medians(const SFilterRows& r, int w, int h, Span span)
{
    // The border comes from the source: rows 0 and h − 1 whole, the first and last pixel of the
    // others.
    std::memcpy(r.out, r.in, 4 * static_cast<std::size_t>(w));
    std::memcpy(r.out + (h - 1) * r.outStride, r.in + (h - 1) * r.inStride, 4 * static_cast<std::size_t>(w));
    // Keys of three rows, rolled down the area.
    std::vector<std::uint16_t> keyRows(3 * static_cast<std::size_t>(w));
    std::uint16_t* keys[3] = {keyRows.data(), keyRows.data() + w, keyRows.data() + 2 * w};
    RowKeys(keys[0], r.in, w);
    RowKeys(keys[1], r.in + r.inStride, w);
    for (int y = 1; y < h - 1; ++y) {
        const std::uint32_t* row = r.in + y * r.inStride;
        RowKeys(keys[2], row + r.inStride, w);
        std::uint32_t* out = r.out + y * r.outStride;
        out[0] = row[0];
        out[w - 1] = row[w - 1];
        span(out, SMedianWindow{{row - r.inStride, row, row + r.inStride}, {keys[0], keys[1], keys[2]}}, w);
        std::rotate(keys, keys + 1, keys + 3);
    }
}

} // namespace

void MedianSpanPlain(std::uint32_t* out, const SMedianWindow& window, int first, int end)
{
    // Keys made unique by the window index (key × 16 + index), so the median of nine by a sorting
    // network is the fifth of the stable order by key.
    const auto order = [](int& a, int& b) {
        const int low = std::min(a, b);
        b = std::max(a, b);
        a = low;
    };
    for (int x = first; x < end; ++x) {
        int p[9];
        for (int k = 0; k < 9; ++k)
            p[k] = window.keys[k / 3][x - 1 + k % 3] * 16 + k;
        order(p[1], p[2]);
        order(p[4], p[5]);
        order(p[7], p[8]);
        order(p[0], p[1]);
        order(p[3], p[4]);
        order(p[6], p[7]);
        order(p[1], p[2]);
        order(p[4], p[5]);
        order(p[7], p[8]);
        order(p[0], p[3]);
        order(p[5], p[8]);
        order(p[4], p[7]);
        order(p[3], p[6]);
        order(p[1], p[4]);
        order(p[2], p[5]);
        order(p[4], p[7]);
        order(p[4], p[2]);
        order(p[6], p[4]);
        order(p[4], p[2]);
        const int k = p[4] & 15;
        out[x] = window.pixels[k / 3][x - 1 + k % 3];
    }
}

void MedianRowsPlain(const SFilterRows& rows, int w, int h)
{
    Medians(rows, w, h, [](std::uint32_t* out, const SMedianWindow& window, int width) {
        MedianSpanPlain(out, window, 1, width - 1);
    });
}

void MedianRowsSse2(const SFilterRows& rows, int w, int h)
{
    Medians(rows, w, h, [](std::uint32_t* out, const SMedianWindow& window, int width) {
        MedianSpanPlain(out, window, MedianSpanSse2(out, window, 1, width - 1), width - 1);
    });
}

} // namespace Detail

void MedianRows(const SFilterRows& rows, int w, int h)
{
    if (UseSse2Kernels())
        Detail::MedianRowsSse2(rows, w, h);
    else
        Detail::MedianRowsPlain(rows, w, h);
}

std::vector<int> GaussWeights(double sigma, int radius)
{
    std::vector<int> weights(static_cast<std::size_t>(radius) + 1);
    for (int i = 0; i <= radius; ++i)
        weights[static_cast<std::size_t>(i)] =
            static_cast<int>(64.0 * std::exp(-static_cast<double>(i) * i / (2.0 * sigma * sigma)));
    return weights;
}

namespace Detail {

SDivisor::SDivisor(std::uint32_t d)
{
    int log = 0;
    while ((std::uint64_t{1} << log) < d)
        ++log;
    shift = 31 + log;
    m = static_cast<std::uint32_t>(((std::uint64_t{1} << shift) + d - 1) / d);
}

std::vector<SGaussTaps> GaussLineTaps(int length, const std::vector<int>& weights)
{
    const int radius = static_cast<int>(weights.size()) - 1;
    std::vector<SGaussTaps> taps;
    taps.reserve(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
        const int first = std::max(-radius, -i), last = std::min(radius, length - 1 - i);
        std::uint32_t sum = 0;
        for (int k = first; k <= last; ++k)
            sum += static_cast<std::uint32_t>(weights[static_cast<std::size_t>(std::abs(k))]);
        taps.push_back({first, last, SDivisor(sum)});
    }
    return taps;
}

void GaussSpanPlain(std::uint32_t* out, const std::uint32_t* const* taps, const int* weights, int count,
                    SDivisor divisor, int from, int to)
{
    for (int x = from; x < to; ++x) {
        std::uint32_t b = 0, g = 0, r = 0;
        for (int k = 0; k < count; ++k) {
            const std::uint32_t p = taps[k][x], w = static_cast<std::uint32_t>(weights[k]);
            b += w * (p & 0xFF);
            g += w * ((p >> 8) & 0xFF);
            r += w * ((p >> 16) & 0xFF);
        }
        out[x] = divisor(b) | (divisor(g) << 8) | (divisor(r) << 16);
    }
}

} // namespace Detail

namespace {

// The taps of one position as pointers (tap k of the position i places further along is
// pointers[k][i]) and their weights.
struct STapList
{
    std::vector<const std::uint32_t*> pointers;
    std::vector<int> weights;

    // `at` is the position's pixel; `step` leads from one tap to the next.
    void Set(const Detail::SGaussTaps& t, const std::vector<int>& all, const std::uint32_t* at,
             std::ptrdiff_t step)
    {
        pointers.clear();
        weights.clear();
        for (int k = t.first; k <= t.last; ++k) {
            pointers.push_back(at + k * step);
            weights.push_back(all[static_cast<std::size_t>(std::abs(k))]);
        }
    }
    // Positions [0, count) from `out` on, SSE2 as far as it reaches.
    void Run(bool simd, std::uint32_t* out, Detail::SDivisor divisor, int count) const
    {
        const int n = static_cast<int>(weights.size());
        const int done =
            simd ? Detail::GaussSpanSse2(out, pointers.data(), weights.data(), n, divisor, 0, count) : 0;
        Detail::GaussSpanPlain(out, pointers.data(), weights.data(), n, divisor, done, count);
    }
};

} // namespace

void GaussRows(const SFilterRows& r, int length, int lines, const std::vector<int>& weights)
{
    const std::vector<Detail::SGaussTaps> taps = Detail::GaussLineTaps(length, weights);
    const int radius = static_cast<int>(weights.size()) - 1;
    // The positions whose taps all lie inside the row share their taps and weight sum.
    const int innerFrom = std::min(radius, length), innerTo = std::max(innerFrom, length - radius);
    const bool simd = UseSse2Kernels();
    STapList list;
    for (int y = 0; y < lines; ++y) {
        const std::uint32_t* in = r.in + y * r.inStride;
        std::uint32_t* out = r.out + y * r.outStride;
        const auto span = [&](int from, int to) {
            const Detail::SGaussTaps& t = taps[static_cast<std::size_t>(from)];
            list.Set(t, weights, in + from, 1);
            list.Run(simd, out + from, t.divisor, to - from);
        };
        for (int x = 0; x < innerFrom; ++x)
            span(x, x + 1);
        if (innerFrom < innerTo)
            span(innerFrom, innerTo);
        for (int x = innerTo; x < length; ++x)
            span(x, x + 1);
    }
}

void GaussColumns(const SFilterRows& r, int length, int lines, const std::vector<int>& weights)
{
    const std::vector<Detail::SGaussTaps> taps = Detail::GaussLineTaps(length, weights);
    const bool simd = UseSse2Kernels();
    STapList list;
    for (int y = 0; y < length; ++y) {
        const Detail::SGaussTaps& t = taps[static_cast<std::size_t>(y)];
        list.Set(t, weights, r.in + y * r.inStride, r.inStride);
        list.Run(simd, r.out + y * r.outStride, t.divisor, lines);
    }
}

} // namespace Brivox::Kernels
