#include "imaging/stretch_blit.h"

#include "imaging/pixel_rows.h"
#include "imaging/pixel_simd.h"

#include <algorithm>
#include <emmintrin.h>
#include <vector>

namespace Brivox {

namespace {

using Detail::SPixelRows;

constexpr std::uint32_t kColour = 0x00FFFFFFu;

// Per-channel sums of up to 16 pixels: blue and red in one word, green and alpha in another, each
// channel in 16 bits of its own.
struct ChannelSums
{
    std::uint32_t rb = 0, ga = 0;

    void Add(std::uint32_t p)
    {
        rb += p & 0x00FF00FFu;
        ga += p >> 8 & 0x00FF00FFu;
    }
    // floor(sum / 2^shift) per channel.
    std::uint32_t Mean(int shift) const
    {
        return (rb >> shift & 0x00FF00FFu) | (ga >> shift & 0x00FF00FFu) << 8;
    }
};

// 16.16 steps in 64 bits: lines of 32768 pixels and more step correctly.
std::int64_t Step(int sourceLength, int destinationLength)
{
    return static_cast<std::int64_t>(sourceLength) * 65536 / destinationLength;
}

int Limit(std::int64_t index, int length)
{
    return static_cast<int>(std::min<std::int64_t>(index, length - 1));
}

// The source index nearest to destination pixel i's centre; an axis that keeps its length maps
// i to i.
int NearestIndex(int i, int sourceLength, int destinationLength)
{
    if (sourceLength == destinationLength)
        return i;
    const std::int64_t step = Step(sourceLength, destinationLength);
    return Limit((step / 2 + 0x8000 + i * step) >> 16, sourceLength);
}

// The first and last source index of destination pixel i's footprint.
struct SSpan
{
    int lo, hi;
};

SSpan SmoothSpan(int i, int sourceLength, int destinationLength)
{
    if (sourceLength == destinationLength)
        return {i, i};
    const std::int64_t step = Step(sourceLength, destinationLength);
    return {Limit((0xFFFF + i * step) >> 16, sourceLength), Limit(((i + 1) * step) >> 16, sourceLength)};
}

void BoxMean(SPixelRows to, SPixelRows from, int dw, int dh, int factor, int shift, std::uint32_t keepMask)
{
    for (int j = 0; j < dh; ++j) {
        std::uint32_t* out = to.Row(j);
        for (int i = 0; i < dw; ++i) {
            ChannelSums sums;
            for (int y = 0; y < factor; ++y) {
                const std::uint32_t* in = from.Row(j * factor + y) + i * factor;
                for (int x = 0; x < factor; ++x)
                    sums.Add(in[x]);
            }
            out[i] = sums.Mean(shift) & keepMask;
        }
    }
}

void Replicate(SPixelRows to, SPixelRows from, int sw, int sh, int factor)
{
    for (int j = 0; j < sh; ++j) {
        const std::uint32_t* in = from.Row(j);
        for (int y = 0; y < factor; ++y) {
            std::uint32_t* out = to.Row(j * factor + y);
            for (int i = 0; i < sw; ++i)
                std::fill_n(out + i * factor, factor, in[i]);
        }
    }
}

void StretchNearest(SPixelRows to, SPixelRows from, int dw, int dh, int sw, int sh)
{
    std::vector<int> columns(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i)
        columns[static_cast<std::size_t>(i)] = NearestIndex(i, sw, dw);
    for (int j = 0; j < dh; ++j) {
        const std::uint32_t* in = from.Row(NearestIndex(j, sh, dh));
        std::uint32_t* out = to.Row(j);
        for (int i = 0; i < dw; ++i)
            out[i] = in[columns[static_cast<std::size_t>(i)]];
    }
}

void StretchSmooth(SPixelRows to, SPixelRows from, int dw, int dh, int sw, int sh, std::uint32_t keepMask)
{
    std::vector<SSpan> columns(static_cast<std::size_t>(dw));
    for (int i = 0; i < dw; ++i)
        columns[static_cast<std::size_t>(i)] = SmoothSpan(i, sw, dw);
    for (int j = 0; j < dh; ++j) {
        const SSpan rows = SmoothSpan(j, sh, dh);
        const std::uint32_t* top = from.Row(rows.lo);
        const std::uint32_t* bottom = from.Row(rows.hi);
        std::uint32_t* out = to.Row(j);
        for (int i = 0; i < dw; ++i) {
            const SSpan c = columns[static_cast<std::size_t>(i)];
            ChannelSums sums;
            sums.Add(top[c.lo]);
            sums.Add(top[c.hi]);
            sums.Add(bottom[c.lo]);
            sums.Add(bottom[c.hi]);
            out[i] = sums.Mean(2) & keepMask;
        }
    }
}

// The four 16-bit channel sums of one column.
BRIVOX_SSE2_TARGET inline __m128i SumAt(const std::uint64_t* sums, int index)
{
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + index));
}

// The SSE2 form of StretchSmooth, byte for byte the same: the two source rows of a destination
// row are summed per channel into 16-bit lanes once for every column, and each destination pixel
// adds two of those column sums (at most 4 × 255 a channel) and keeps a quarter of it. Summing
// every column pays while most of them are used, up to 8 source columns per destination column.
BRIVOX_SSE2_TARGET void StretchSmoothSse2(SPixelRows to, SPixelRows from, int dw, int dh, int sw, int sh,
                                          std::uint32_t keepMask)
{
    if (dw <= 0 || dh <= 0)
        return;
    std::vector<SSpan> columns(static_cast<std::size_t>(dw));
    int first = sw, last = 0;
    for (int i = 0; i < dw; ++i) {
        const SSpan c = SmoothSpan(i, sw, dw);
        columns[static_cast<std::size_t>(i)] = c;
        first = std::min({first, c.lo, c.hi});
        last = std::max({last, c.lo, c.hi});
    }
    // Four 16-bit channel sums per column, from the column `first` on.
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(last - first + 1));
    for (SSpan& c : columns)
        c = {c.lo - first, c.hi - first};
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi32(static_cast<int>(keepMask));
    SSpan summed{-1, -1};
    for (int j = 0; j < dh; ++j) {
        const SSpan rows = SmoothSpan(j, sh, dh);
        // Enlarged rows share their source rows with the row before.
        if (rows.lo != summed.lo || rows.hi != summed.hi) {
            const std::uint32_t* top = from.Row(rows.lo);
            const std::uint32_t* bottom = from.Row(rows.hi);
            auto* out = reinterpret_cast<__m128i*>(sums.data());
            int x = first;
            for (; x + 4 <= last + 1; x += 4, out += 2) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + x));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + x));
                _mm_storeu_si128(out, _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)));
                _mm_storeu_si128(out + 1,
                                 _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)));
            }
            for (; x <= last; ++x) {
                const __m128i a = _mm_cvtsi32_si128(static_cast<int>(top[x]));
                const __m128i b = _mm_cvtsi32_si128(static_cast<int>(bottom[x]));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(&sums[x - first]),
                                 _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)));
            }
            summed = rows;
        }
        std::uint32_t* out = to.Row(j);
        int i = 0;
        for (; i + 2 <= dw; i += 2) {
            const SSpan c0 = columns[static_cast<std::size_t>(i)];
            const SSpan c1 = columns[static_cast<std::size_t>(i) + 1];
            const __m128i pair =
                _mm_unpacklo_epi64(_mm_add_epi16(SumAt(sums.data(), c0.lo), SumAt(sums.data(), c0.hi)),
                                   _mm_add_epi16(SumAt(sums.data(), c1.lo), SumAt(sums.data(), c1.hi)));
            const __m128i means = _mm_srli_epi16(pair, 2);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i),
                             _mm_and_si128(_mm_packus_epi16(means, means), keep));
        }
        if (i < dw) {
            const SSpan c = columns[static_cast<std::size_t>(i)];
            const __m128i means =
                _mm_srli_epi16(_mm_add_epi16(SumAt(sums.data(), c.lo), SumAt(sums.data(), c.hi)), 2);
            out[i] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(means, means))) & keepMask;
        }
    }
}

void StretchSmoothRows(SPixelRows to, SPixelRows from, int dw, int dh, int sw, int sh, std::uint32_t keepMask)
{
    if (UseSse2Kernels() && sw <= 8 * std::int64_t{dw})
        StretchSmoothSse2(to, from, dw, dh, sw, sh, keepMask);
    else
        StretchSmooth(to, from, dw, dh, sw, sh, keepMask);
}

// The clipped general path shared by the three stretches.
template <class Path>
void Stretch(CPlane32& destination, const CPlane32& source, CRect to, CRect from, const SPlaneClip* clip,
             bool boxAveraging, bool averageAlpha, Path path)
{
    if (Detail::StretchBlitExactRatio(destination, source, to, from, clip, boxAveraging, averageAlpha))
        return;
    const Detail::SLockedPlanes planes(destination, {to.left, to.top}, source, {from.left, from.top});
    path(planes.out, planes.in, to.Width(), to.Height(), from.Width(), from.Height());
}

std::uint32_t FoldBytes(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
}

std::uint32_t FoldPixels(const std::uint32_t* p)
{
    return (p[0] & 0x00FF0000u) | (p[1] & 0xFF00FF00u) | (p[2] & 0x000000FFu);
}

void ImportBytes(SPixelRows to, const Detail::PlaneBitsLock& from, CPoint origin, int width, int height)
{
    for (int j = 0; j < height; ++j) {
        const std::uint8_t* in = from.Pixel(origin.x, origin.y + j);
        std::uint32_t* out = to.Row(j);
        for (int i = 0; i < width; ++i)
            out[i] = FoldBytes(in + 3 * i);
    }
}

void ImportPixels(SPixelRows to, SPixelRows from, int width, int height)
{
    int done = 0;
    if (UseSse2Kernels() && width / 2 >= 4) {
        done = width / 2 * 2;
        Detail::ImportRgb24Mmx(to.origin, to.stride, from.origin, from.stride, width / 2, height);
    }
    for (int j = 0; j < height; ++j) {
        const std::uint32_t* in = from.Row(j);
        std::uint32_t* out = to.Row(j);
        for (int i = done; i < width; ++i)
            out[i] = FoldPixels(in + 3 * i);
    }
}

} // namespace

namespace Detail {

bool StretchBlitExactRatio(CPlane32& destination, const CPlane32& source, CRect& destinationRect,
                           CRect& sourceRect, const SPlaneClip* clip, bool boxAveraging, bool averageAlpha)
{
    if (destinationRect.Width() == sourceRect.Width() && destinationRect.Height() == sourceRect.Height()) {
        destination.Blit(source, {destinationRect.left, destinationRect.top}, sourceRect, clip);
        return true;
    }
    if (!ClipOrNone(clip).ClipScaled(destination.GetSize(), source.GetSize(), destinationRect, sourceRect))
        return true;
    const int dw = destinationRect.Width(), dh = destinationRect.Height();
    const int sw = sourceRect.Width(), sh = sourceRect.Height();
    const auto rows = [&](auto operation) {
        const SLockedPlanes planes(destination, {destinationRect.left, destinationRect.top}, source,
                                   {sourceRect.left, sourceRect.top});
        operation(planes.out, planes.in);
    };
    for (const int factor : {2, 4}) {
        const int shift = factor == 2 ? 2 : 4;
        if (boxAveraging && sw == factor * dw && sh == factor * dh) {
            rows([&](SPixelRows to, SPixelRows from) {
                BoxMean(to, from, dw, dh, factor, shift, averageAlpha ? 0xFFFFFFFFu : kColour);
            });
            return true;
        }
        if (dw == factor * sw && dh == factor * sh) {
            rows([&](SPixelRows to, SPixelRows from) { Replicate(to, from, sw, sh, factor); });
            return true;
        }
    }
    return false;
}

BRIVOX_SSE2_TARGET void ImportRgb24Mmx(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                                       std::ptrdiff_t srcStride, int pairs, int rows)
{
    const int width = 2 * pairs;
    const __m128 red = _mm_castsi128_ps(_mm_set1_epi32(0x00FF0000));
    const __m128 greenAlpha = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(0xFF00FF00u)));
    const __m128 blue = _mm_castsi128_ps(_mm_set1_epi32(0x000000FF));
    for (int j = 0; j < rows; ++j) {
        const std::uint32_t* in = src + j * srcStride;
        std::uint32_t* out = dst + j * dstStride;
        int i = 0;
        // Four pixels from twelve: a = P0..P3, b = P4..P7, c = P8..P11.
        for (; i + 4 <= width; i += 4, in += 12) {
            const __m128 a = _mm_loadu_ps(reinterpret_cast<const float*>(in));
            const __m128 b = _mm_loadu_ps(reinterpret_cast<const float*>(in + 4));
            const __m128 c = _mm_loadu_ps(reinterpret_cast<const float*>(in + 8));
            // Reds from P0, P3, P6, P9; greens from P1, P4, P7, P10; blues from P2, P5, P8, P11.
            const __m128 r =
                _mm_shuffle_ps(a, _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2)), _MM_SHUFFLE(2, 0, 3, 0));
            const __m128 g =
                _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1)),
                               _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3)), _MM_SHUFFLE(2, 0, 2, 0));
            const __m128 bl =
                _mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2)), c, _MM_SHUFFLE(3, 0, 2, 0));
            const __m128 folded =
                _mm_or_ps(_mm_or_ps(_mm_and_ps(r, red), _mm_and_ps(g, greenAlpha)), _mm_and_ps(bl, blue));
            _mm_storeu_ps(reinterpret_cast<float*>(out + i), folded);
        }
        for (; i < width; ++i, in += 3)
            out[i] = FoldPixels(in);
    }
}

} // namespace Detail

void CPlane32::StretchBlit(const CPlane32& source, CRect destination, CRect sourceRect,
                           const SPlaneClip* clip)
{
    Stretch(*this, source, destination, sourceRect, clip, false, false, StretchNearest);
}

void CPlane32::StretchBlitSmooth(const CPlane32& source, CRect destination, CRect sourceRect,
                                 const SPlaneClip* clip)
{
    Stretch(*this, source, destination, sourceRect, clip, true, false,
            [](SPixelRows to, SPixelRows from, int dw, int dh, int sw, int sh) {
                StretchSmoothRows(to, from, dw, dh, sw, sh, kColour);
            });
}

void CPlane32::StretchBlitSmoothAlpha(const CPlane32& source, CRect destination, CRect sourceRect,
                                      const SPlaneClip* clip)
{
    Stretch(*this, source, destination, sourceRect, clip, true, true,
            [](SPixelRows to, SPixelRows from, int dw, int dh, int sw, int sh) {
                StretchSmoothRows(to, from, dw, dh, sw, sh, 0xFFFFFFFFu);
            });
}

void CPlane32::ImportRgb24(const CPlane& source, CPoint point, CRect sourceRect, const SPlaneClip* clip)
{
    // Only whole triples take part. Cut to them, the scale is exactly 1:3, so a destination edge
    // moved by a pixel moves the source edge by a whole triple and the folds keep their columns.
    if (!sourceRect.IsEmpty())
        sourceRect.right = sourceRect.left + sourceRect.Width() / 3 * 3;
    CRect to{point.x, point.y, point.x + sourceRect.Width() / 3, point.y + sourceRect.Height()};
    const int firstColumn = sourceRect.left;
    if (!ClipOrNone(clip).ClipScaled(GetSize(), source.GetSize(), to, sourceRect))
        return;
    // A source cut at its plane's left edge may begin inside a triple: start at the next whole one,
    // at the column the uncut fold gives it.
    const std::int64_t triple = std::max<std::int64_t>((std::int64_t{sourceRect.left} - firstColumn + 2) / 3,
                                                       std::int64_t{to.left} - point.x);
    const std::int64_t left = point.x + triple, sourceLeft = firstColumn + 3 * triple;
    // Never past the source that is left, nor past the cut destination.
    const int width = static_cast<int>(std::min((sourceRect.right - sourceLeft) / 3, to.right - left));
    const int height = std::min(to.Height(), sourceRect.Height());
    if (width <= 0 || height <= 0)
        return;
    to.left = static_cast<int>(left);
    sourceRect.left = static_cast<int>(sourceLeft);
    if (source.GetBitsPerPixel() == 32) {
        const Detail::SLockedPlanes planes(*this, {to.left, to.top}, source,
                                           {sourceRect.left, sourceRect.top});
        ImportPixels(planes.out, planes.in, width, height);
        return;
    }
    // 8-bit sources are read as bytes; other depths are first turned into grey levels.
    const CPlane* bytes = &source;
    CPoint origin{sourceRect.left, sourceRect.top};
    CMemoryPlane8 grey;
    if (source.GetBitsPerPixel() != 8) {
        grey.Resize({sourceRect.Width(), sourceRect.Height()});
        grey.Blit(source, {0, 0}, sourceRect);
        bytes = &grey;
        origin = {0, 0};
    }
    const Detail::PlaneBitsLock toBits(*this);
    const Detail::PlaneBitsLock fromBits(*bytes);
    ImportBytes(Detail::PixelRows(toBits, to.left, to.top), fromBits, origin, width, height);
}

} // namespace Brivox
