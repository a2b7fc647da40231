// SSE2 forms of the Gaussian passes and the 3×3 median. The Gaussian sums the same products as the
// plain form, two taps at a time on 16-bit channels (pmaddwd), and divides through the same
// multiplier; the median runs the plain form's sorting network on eight windows at once, over
// 16-bit keys (key × 16 + window index, at most 765 × 16 + 8).
#include "imaging/neighbourhood_kernels.h"
#include "imaging/pixel_simd.h"

#include <emmintrin.h>

namespace Brivox::Kernels::Detail {

namespace {

BRIVOX_SSE2_TARGET inline void Order(__m128i& a, __m128i& b)
{
    const __m128i low = _mm_min_epi16(a, b);
    b = _mm_max_epi16(a, b);
    a = low;
}

// Adds weight × channel of two taps to the sums of four pixels (all four channels, 32 bits each);
// `pair` holds the first tap's weight in the low and the second's in the high 16 bits of each word.
BRIVOX_SSE2_TARGET inline void AddTaps(__m128i (&sums)[4], const std::uint32_t* first,
                                       const std::uint32_t* second, __m128i pair)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second));
    const __m128i aLow = _mm_unpacklo_epi8(a, zero), aHigh = _mm_unpackhi_epi8(a, zero);
    const __m128i bLow = _mm_unpacklo_epi8(b, zero), bHigh = _mm_unpackhi_epi8(b, zero);
    sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi16(aLow, bLow), pair));
    sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi16(aLow, bLow), pair));
    sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi16(aHigh, bHigh), pair));
    sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi16(aHigh, bHigh), pair));
}

// (n × m) >> shift in each 32-bit lane.
BRIVOX_SSE2_TARGET inline __m128i Divide(__m128i n, __m128i m, __m128i shift)
{
    const __m128i even = _mm_srl_epi64(_mm_mul_epu32(n, m), shift);
    const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(n, 32), m), shift);
    return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
}

} // namespace

BRIVOX_SSE2_TARGET int GaussSpanSse2(std::uint32_t* out, const std::uint32_t* const* taps, const int* weights,
                                     int count, SDivisor divisor, int from, int to)
{
    const __m128i m = _mm_set1_epi32(static_cast<int>(divisor.m));
    const __m128i shift = _mm_cvtsi32_si128(divisor.shift);
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    int x = from;
    for (; x + 4 <= to; x += 4) {
        __m128i sums[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(),
                           _mm_setzero_si128()};
        int k = 0;
        for (; k + 2 <= count; k += 2)
            AddTaps(sums, taps[k] + x, taps[k + 1] + x, _mm_set1_epi32(weights[k] | weights[k + 1] << 16));
        if (k < count)
            AddTaps(sums, taps[k] + x, taps[k] + x, _mm_set1_epi32(weights[k]));
        const __m128i low = _mm_packs_epi32(Divide(sums[0], m, shift), Divide(sums[1], m, shift));
        const __m128i high = _mm_packs_epi32(Divide(sums[2], m, shift), Divide(sums[3], m, shift));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm_and_si128(_mm_packus_epi16(low, high), colour));
    }
    return x;
}

BRIVOX_SSE2_TARGET int MedianSpanSse2(std::uint32_t* out, const SMedianWindow& window, int first, int end)
{
    int x = first;
    for (; x + 8 <= end; x += 8) {
        __m128i p[9];
        for (int k = 0; k < 9; ++k) {
            const __m128i keys =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(window.keys[k / 3] + x - 1 + k % 3));
            p[k] = _mm_or_si128(_mm_slli_epi16(keys, 4), _mm_set1_epi16(static_cast<short>(k)));
        }
        Order(p[1], p[2]);
        Order(p[4], p[5]);
        Order(p[7], p[8]);
        Order(p[0], p[1]);
        Order(p[3], p[4]);
        Order(p[6], p[7]);
        Order(p[1], p[2]);
        Order(p[4], p[5]);
        Order(p[7], p[8]);
        Order(p[0], p[3]);
        Order(p[5], p[8]);
        Order(p[4], p[7]);
        Order(p[3], p[6]);
        Order(p[1], p[4]);
        Order(p[2], p[5]);
        Order(p[4], p[7]);
        Order(p[4], p[2]);
        Order(p[6], p[4]);
        Order(p[4], p[2]);
        alignas(16) std::uint16_t median[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(median), p[4]);
        for (int i = 0; i < 8; ++i) {
            const int k = median[i] & 15;
            out[x + i] = window.pixels[k / 3][x + i - 1 + k % 3];
        }
    }
    return x;
}

} // namespace Brivox::Kernels::Detail
