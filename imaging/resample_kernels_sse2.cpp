// SSE2 forms of the resampling kernels. Channels are widened to 16 bits and multiplied by 16-bit
// weights two taps at a time (pmaddwd), which gives the plain kernels' 32-bit sums exactly.
#include "imaging/pixel_simd.h"
#include "imaging/resample_kernels.h"

#include <emmintrin.h>

namespace Brivox::Detail {

namespace {

// Pixels of an output row a vertical pass sums at a time: their sums and the source rows they read
// stay in the first- and second-level caches.
constexpr int kChunk = 256;

BRIVOX_SSE2_TARGET inline __m128i Broadcast(std::uint32_t word)
{
    return _mm_set1_epi32(static_cast<int>(word));
}

// Adds the products of eight 16-bit channel values (two taps of four channels, interleaved) with
// a pair of weights to the four channel sums.
template <bool Split>
BRIVOX_SSE2_TARGET inline void MultiplyAdd(__m128i& sum, __m128i& low, __m128i channels,
                                           const std::uint32_t* w)
{
    if (Split) {
        sum = _mm_add_epi32(sum, _mm_madd_epi16(channels, Broadcast(w[0])));
        low = _mm_add_epi32(low, _mm_madd_epi16(channels, Broadcast(w[1])));
    } else {
        sum = _mm_add_epi32(sum, _mm_madd_epi16(channels, Broadcast(w[0])));
    }
}

// (sum + 0x8000) >> 16 per channel, clamped to 0 … 255 by the two saturating packs.
BRIVOX_SSE2_TARGET inline __m128i Shift(__m128i sum)
{
    return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(0x8000)), 16);
}

template <bool Split>
BRIVOX_SSE2_TARGET void RowsH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                              std::ptrdiff_t srcStride, int outCols, int firstRow, int endRow,
                              const SSimdTaps& t, std::uint32_t keepMask)
{
    constexpr int wordsPerPair = Split ? 2 : 1;
    const __m128i zero = _mm_setzero_si128();
    for (int y = firstRow; y < endRow; ++y) {
        const std::uint32_t* in = src + y * srcStride;
        std::uint32_t* out = dst + y * dstStride;
        for (int i = 0; i < outCols; ++i) {
            const std::uint32_t* p = in + t.start[static_cast<std::size_t>(i)];
            const std::uint32_t* w =
                t.words.data() + t.offset[static_cast<std::size_t>(i)] / 2 * wordsPerPair;
            const int taps = t.taps[static_cast<std::size_t>(i)];
            __m128i sum = zero, low = zero;
            int k = 0;
            for (; k + 4 <= taps; k += 4, w += 2 * wordsPerPair) {
                const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
                const __m128i lo = _mm_unpacklo_epi8(q, zero); // taps 0 and 1, one after the other
                const __m128i hi = _mm_unpackhi_epi8(q, zero); // taps 2 and 3
                MultiplyAdd<Split>(sum, low, _mm_unpacklo_epi16(lo, _mm_srli_si128(lo, 8)), w);
                MultiplyAdd<Split>(sum, low, _mm_unpacklo_epi16(hi, _mm_srli_si128(hi, 8)), w + wordsPerPair);
            }
            if (k < taps) {
                const __m128i q =
                    _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k)), zero);
                MultiplyAdd<Split>(sum, low, _mm_unpacklo_epi16(q, _mm_srli_si128(q, 8)), w);
            }
            if (Split)
                sum = _mm_add_epi32(_mm_slli_epi32(sum, 8), low);
            const __m128i v = Shift(sum);
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(v, v), zero);
            out[i] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(packed)) & keepMask;
        }
    }
}

template <bool Split>
BRIVOX_SSE2_TARGET void RowsV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                              std::ptrdiff_t srcStride, int columns, int firstOut, int endOut,
                              const SSimdTaps& t, std::uint32_t keepMask)
{
    constexpr int wordsPerPair = Split ? 2 : 1;
    const __m128i zero = _mm_setzero_si128();
    const __m128i mask = Broadcast(keepMask);
    alignas(16) std::int32_t sums[kChunk * 4];
    __m128i* s = reinterpret_cast<__m128i*>(sums);
    // A strip of kChunk columns at a time down all output rows: the source rows that neighbouring
    // output rows share are still in the cache when the next row needs them.
    for (int x0 = 0; x0 < columns; x0 += kChunk) {
        const int length = columns - x0 < kChunk ? columns - x0 : kChunk;
        const int blocks = length / 4;
        for (int y = firstOut; y < endOut; ++y) {
            const int offset = t.offset[static_cast<std::size_t>(y)];
            const int taps = t.taps[static_cast<std::size_t>(y)];
            const int* rows = t.sources.data() + offset;
            const int* weights = t.weights.data() + offset;
            const std::uint32_t* words = t.words.data() + offset / 2 * wordsPerPair;
            std::uint32_t* out = dst + y * dstStride;
            for (int k = 0; k < taps; k += 2) {
                const std::uint32_t* a = src + rows[k] * srcStride + x0;
                const std::uint32_t* b = src + rows[k + 1] * srcStride + x0;
                const std::uint32_t* w = words + k / 2 * wordsPerPair;
                for (int j = 0; j < blocks; ++j) {
                    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * j));
                    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * j));
                    // Each channel of row a beside the same channel of row b.
                    const __m128i lo = _mm_unpacklo_epi8(pa, pb);
                    const __m128i hi = _mm_unpackhi_epi8(pa, pb);
                    const __m128i c[4] = {_mm_unpacklo_epi8(lo, zero), _mm_unpackhi_epi8(lo, zero),
                                          _mm_unpacklo_epi8(hi, zero), _mm_unpackhi_epi8(hi, zero)};
                    for (int m = 0; m < 4; ++m) {
                        __m128i v = _mm_madd_epi16(c[m], Broadcast(w[0]));
                        if (Split)
                            v = _mm_add_epi32(_mm_slli_epi32(v, 8), _mm_madd_epi16(c[m], Broadcast(w[1])));
                        s[4 * j + m] = k == 0 ? v : _mm_add_epi32(s[4 * j + m], v);
                    }
                }
            }
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

BRIVOX_SSE2_TARGET void SimdKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                                    std::ptrdiff_t srcStride, int outCols, int firstRow, int endRow,
                                    const SSimdTaps& taps, std::uint32_t keepMask)
{
    if (taps.split)
        RowsH<true>(dst, dstStride, src, srcStride, outCols, firstRow, endRow, taps, keepMask);
    else
        RowsH<false>(dst, dstStride, src, srcStride, outCols, firstRow, endRow, taps, keepMask);
}

BRIVOX_SSE2_TARGET void SimdKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                                    std::ptrdiff_t srcStride, int columns, int firstOut, int endOut,
                                    const SSimdTaps& taps, std::uint32_t keepMask)
{
    if (taps.split)
        RowsV<true>(dst, dstStride, src, srcStride, columns, firstOut, endOut, taps, keepMask);
    else
        RowsV<false>(dst, dstStride, src, srcStride, columns, firstOut, endOut, taps, keepMask);
}

} // namespace Brivox::Detail
