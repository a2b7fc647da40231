// SSE2 forms of the resampling kernels. Channels are widened to 16 bits and multiplied by 16-bit
// weights two taps at a time (pmaddwd), which gives the plain kernels' 32-bit sums exactly.
#include "imaging/pixel_simd.h"
#include "imaging/resample_kernels.h"

#include <algorithm>
#include <emmintrin.h>

namespace Brivox::Detail {

namespace {

// Pixels of an output row a vertical pass sums at a time: their sums and the source rows they read
// stay in the first- and second-level caches.
constexpr int kChunk = 256;

// Output pixels of a horizontal pass whose sums are kept for the pieces of weights beyond 16 bits.
constexpr std::size_t kStretch = 64;

BRIVOX_SSE2_TARGET inline __m128i Broadcast(std::uint32_t word)
{
    return _mm_set1_epi32(static_cast<int>(word));
}

// (sum + 0x8000) >> 16 per channel, clamped to 0 … 255 by the two saturating packs.
BRIVOX_SSE2_TARGET inline __m128i Shift(__m128i sum)
{
    return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(0x8000)), 16);
}

// Two neighbouring pixels widened to 16-bit channels, rearranged so that each channel of the first
// stands beside the same channel of the second: ready for the products with a word of two weights.
BRIVOX_SSE2_TARGET inline __m128i PairChannels(__m128i twoPixels)
{
    return _mm_unpacklo_epi16(twoPixels, _mm_srli_si128(twoPixels, 8));
}

// A pair of weights, each broadcast: one word, or (split) the high word and the low word.
struct SPairWeights
{
    __m128i first, second;
};

template <bool Split> BRIVOX_SSE2_TARGET inline SPairWeights LoadWeights(const std::uint32_t* w)
{
    return {Broadcast(w[0]), Split ? Broadcast(w[1]) : _mm_setzero_si128()};
}

// The products of eight 16-bit channel values (two taps of four channels, interleaved) with a
// pair of weights: (split) the high products shifted by 8 plus the low products.
template <bool Split> BRIVOX_SSE2_TARGET inline __m128i Multiply(__m128i channels, SPairWeights w)
{
    const __m128i product = _mm_madd_epi16(channels, w.first);
    if (!Split)
        return product;
    return _mm_add_epi32(_mm_slli_epi32(product, 8), _mm_madd_epi16(channels, w.second));
}

// Two neighbouring pixels times a pair of weights.
template <bool Split>
BRIVOX_SSE2_TARGET inline __m128i MultiplyPair(const std::uint32_t* pixels, const std::uint32_t* w)
{
    const __m128i q =
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels)), _mm_setzero_si128());
    return Multiply<Split>(PairChannels(q), LoadWeights<Split>(w));
}

// The sum of a horizontal entry's taps over its run.
template <bool Split>
BRIVOX_SSE2_TARGET inline __m128i SumH(const std::uint32_t* in, const SSimdTaps& t, std::size_t at)
{
    constexpr int wordsPerPair = Split ? 2 : 1;
    const __m128i zero = _mm_setzero_si128();
    const std::uint32_t* p = in + t.start[at];
    const std::uint32_t* w = t.words.data() + t.wordOffset[at];
    const int taps = t.taps[at];
    __m128i sum = zero;
    int k = 0;
    for (; k + 4 <= taps; k += 4, w += 2 * wordsPerPair) {
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        const __m128i lo = _mm_unpacklo_epi8(q, zero); // taps 0 and 1, one after the other
        const __m128i hi = _mm_unpackhi_epi8(q, zero); // taps 2 and 3
        sum = _mm_add_epi32(sum, Multiply<Split>(PairChannels(lo), LoadWeights<Split>(w)));
        sum = _mm_add_epi32(sum, Multiply<Split>(PairChannels(hi), LoadWeights<Split>(w + wordsPerPair)));
    }
    if (k < taps)
        sum = _mm_add_epi32(sum, MultiplyPair<Split>(p + k, w));
    return sum;
}

// The sum's four channels finished as one pixel.
BRIVOX_SSE2_TARGET inline std::uint32_t Finish(__m128i sum, std::uint32_t keepMask)
{
    const __m128i v = Shift(sum);
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(v, v), _mm_setzero_si128());
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed)) & keepMask;
}

// A vertical entry's weighted rows added into the sums of `blocks` groups of four pixels from x0.
template <bool Split>
BRIVOX_SSE2_TARGET inline void AddRowsV(__m128i* s, const std::uint32_t* src, std::ptrdiff_t srcStride,
                                        int x0, int blocks, const int* rows, const std::uint32_t* words,
                                        int taps)
{
    constexpr int wordsPerPair = Split ? 2 : 1;
    const __m128i zero = _mm_setzero_si128();
    for (int k = 0; k < taps; k += 2) {
        const std::uint32_t* a = src + rows[k] * srcStride + x0;
        const std::uint32_t* b = src + rows[k + 1] * srcStride + x0;
        const SPairWeights w = LoadWeights<Split>(words + k / 2 * wordsPerPair);
        for (int j = 0; j < blocks; ++j) {
            const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * j));
            const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * j));
            // Each channel of row a beside the same channel of row b.
            const __m128i lo = _mm_unpacklo_epi8(pa, pb);
            const __m128i hi = _mm_unpackhi_epi8(pa, pb);
            const __m128i c[4] = {_mm_unpacklo_epi8(lo, zero), _mm_unpackhi_epi8(lo, zero),
                                  _mm_unpacklo_epi8(hi, zero), _mm_unpackhi_epi8(hi, zero)};
            for (int m = 0; m < 4; ++m) {
                const __m128i v = Multiply<Split>(c[m], w);
                s[4 * j + m] = k == 0 ? v : _mm_add_epi32(s[4 * j + m], v);
            }
        }
    }
}

} // namespace

BRIVOX_SSE2_TARGET void SimdKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                                    std::ptrdiff_t srcStride, int outCols, int firstRow, int endRow,
                                    const SSimdTaps& taps, std::uint32_t keepMask)
{
    const std::size_t columns = static_cast<std::size_t>(outCols);
    if (taps.split.front()) {
        for (int y = firstRow; y < endRow; ++y) {
            const std::uint32_t* in = src + y * srcStride;
            std::uint32_t* out = dst + y * dstStride;
            for (std::size_t i = 0; i < columns; ++i)
                out[i] = Finish(SumH<true>(in, taps, i), keepMask);
        }
        return;
    }
    // Every pixel is finished at once. The corrections are added afterwards, a stretch of pixels at
    // a time in a loop of their own, and their pixels finished again: tested pixel by pixel, their
    // irregular places would cost more in mispredicted branches than they do in arithmetic. A
    // stretch's sums stay in the cache.
    alignas(16) std::int32_t sums[kStretch * 4];
    __m128i* const sum = reinterpret_cast<__m128i*>(sums);
    const SSimdTaps::SCorrection* const corrections = taps.corrections.data();
    const std::size_t correctionCount = taps.corrections.size();
    for (int y = firstRow; y < endRow; ++y) {
        const std::uint32_t* in = src + y * srcStride;
        std::uint32_t* out = dst + y * dstStride;
        std::size_t c = 0;
        for (std::size_t i0 = 0; i0 < columns; i0 += kStretch) {
            const std::size_t i1 = std::min(columns, i0 + kStretch);
            for (std::size_t i = i0; i < i1; ++i) {
                sum[i - i0] = SumH<false>(in, taps, i);
                out[i] = Finish(sum[i - i0], keepMask);
            }
            for (; c < correctionCount && static_cast<std::size_t>(corrections[c].destination) < i1; ++c) {
                const std::size_t i = static_cast<std::size_t>(corrections[c].destination);
                sum[i - i0] = _mm_add_epi32(
                    sum[i - i0], MultiplyPair<false>(in + corrections[c].source, &corrections[c].word));
                out[i] = Finish(sum[i - i0], keepMask);
            }
        }
    }
}

namespace {

// Which rows of a vertical pass are split: none, all, or each as its table entry says.
enum class ESplitRows
{
    None,
    All,
    Some,
};

template <ESplitRows Rows>
BRIVOX_SSE2_TARGET void RowsV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                              std::ptrdiff_t srcStride, int columns, int firstOut, int endOut,
                              const SSimdTaps& t, std::uint32_t keepMask)
{
    const __m128i mask = Broadcast(keepMask);
    alignas(16) std::int32_t sums[kChunk * 4];
    __m128i* s = reinterpret_cast<__m128i*>(sums);
    // A strip of kChunk columns at a time down all output rows: the source rows that neighbouring
    // output rows share are still in the cache when the next row needs them.
    for (int x0 = 0; x0 < columns; x0 += kChunk) {
        const int length = columns - x0 < kChunk ? columns - x0 : kChunk;
        const int blocks = length / 4;
        for (int y = firstOut; y < endOut; ++y) {
            const std::size_t at = static_cast<std::size_t>(y);
            const int taps = t.taps[at];
            const int* rows = t.sources.data() + t.offset[at];
            const int* weights = t.weights.data() + t.offset[at];
            const std::uint32_t* words = t.words.data() + t.wordOffset[at];
            std::uint32_t* out = dst + y * dstStride;
            // Only the rows whose weights need it take the second multiplication.
            if (Rows == ESplitRows::All || (Rows == ESplitRows::Some && t.split[at]))
                AddRowsV<true>(s, src, srcStride, x0, blocks, rows, words, taps);
            else
                AddRowsV<false>(s, src, srcStride, x0, blocks, rows, words, taps);
            for (int j = 0; j < blocks; ++j) {
                const __m128i p01 = _mm_packs_epi32(Shift(s[4 * j]), Shift(s[4 * j + 1]));
                const __m128i p23 = _mm_packs_epi32(Shift(s[4 * j + 2]), Shift(s[4 * j + 3]));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x0 + 4 * j),
                                 _mm_and_si128(_mm_packus_epi16(p01, p23), mask));
            }
            // The last pixels of a chunk that are no whole group of four, one at a time.
            for (int x = x0 + 4 * blocks; x < x0 + length; ++x) {
                int sum[4] = {};
                for (int k = 0; k < taps; ++k) {
                    const std::uint32_t pixel = src[rows[k] * srcStride + x];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += weights[k] * static_cast<int>(pixel >> 8 * c & 0xFF);
                }
                std::uint32_t pixel = 0;
                for (int c = 0; c < 4; ++c) {
                    const int v = (sum[c] + 0x8000) >> 16;
                    pixel |= static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v) << 8 * c;
                }
                out[x] = pixel & keepMask;
            }
        }
    }
}

} // namespace

BRIVOX_SSE2_TARGET void SimdKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                                    std::ptrdiff_t srcStride, int columns, int firstOut, int endOut,
                                    const SSimdTaps& taps, std::uint32_t keepMask)
{
    // Tables split in none or all of their rows run without the test per row.
    const auto first = taps.split.begin() + firstOut, end = taps.split.begin() + endOut;
    if (std::none_of(first, end, [](unsigned char split) { return split != 0; }))
        RowsV<ESplitRows::None>(dst, dstStride, src, srcStride, columns, firstOut, endOut, taps, keepMask);
    else if (std::all_of(first, end, [](unsigned char split) { return split != 0; }))
        RowsV<ESplitRows::All>(dst, dstStride, src, srcStride, columns, firstOut, endOut, taps, keepMask);
    else
        RowsV<ESplitRows::Some>(dst, dstStride, src, srcStride, columns, firstOut, endOut, taps, keepMask);
}

} // namespace Brivox::Detail
