// SSE2 form of the 3×3 median: the sorting network of the plain form on eight windows at once,
// over 16-bit keys (key × 16 + window index, at most 765 × 16 + 8).
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

} // namespace

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
