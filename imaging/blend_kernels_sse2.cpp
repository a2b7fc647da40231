// SSE2 forms of the blend kernels: four pixels at a time, each byte a channel, widened to 16 bits
// where a product is needed. Rows whose width is not a multiple of four end in the plain form.
#include "imaging/blend_kernels.h"
#include "imaging/pixel_simd.h"

#include <emmintrin.h>

namespace Brivox::Kernels::Detail {

namespace {

struct SWide
{
    __m128i low, high;
};

BRIVOX_SSE2_TARGET inline SWide Widen(__m128i v)
{
    const __m128i zero = _mm_setzero_si128();
    return {_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero)};
}

// Low bytes of the 16-bit lanes, which all lie within 0 … 255.
BRIVOX_SSE2_TARGET inline __m128i Narrow(__m128i low, __m128i high)
{
    return _mm_packus_epi16(low, high);
}

template <EPixelBlend Blend> struct SKernel;

template <> struct SKernel<EPixelBlend::Add>
{
    BRIVOX_SSE2_TARGET static __m128i Run(__m128i a, __m128i b, __m128i) { return _mm_adds_epu8(b, a); }
};

template <> struct SKernel<EPixelBlend::Subtract>
{
    BRIVOX_SSE2_TARGET static __m128i Run(__m128i a, __m128i b, __m128i) { return _mm_subs_epu8(b, a); }
};

template <> struct SKernel<EPixelBlend::FadeBlack>
{
    // k holds 256 − amount in every lane; the product stays below 65536.
    BRIVOX_SSE2_TARGET static __m128i Lane(__m128i a, __m128i k)
    {
        return _mm_srli_epi16(_mm_mullo_epi16(a, k), 8);
    }
    BRIVOX_SSE2_TARGET static __m128i Run(__m128i a, __m128i, __m128i k)
    {
        const SWide w = Widen(a);
        return Narrow(Lane(w.low, k), Lane(w.high, k));
    }
};

template <> struct SKernel<EPixelBlend::FadeWhite>
{
    BRIVOX_SSE2_TARGET static __m128i Lane(__m128i a, __m128i k)
    {
        const __m128i rest = _mm_sub_epi16(_mm_set1_epi16(255), a);
        return _mm_add_epi16(a, _mm_srli_epi16(_mm_mullo_epi16(rest, k), 8));
    }
    BRIVOX_SSE2_TARGET static __m128i Run(__m128i a, __m128i, __m128i k)
    {
        const SWide w = Widen(a);
        return Narrow(Lane(w.low, k), Lane(w.high, k));
    }
};

template <> struct SKernel<EPixelBlend::Mix>
{
    // The low 16 bits of (a − b) × k shifted right by 8 are floor((a − b) × k / 256) modulo 256;
    // added to b modulo 256 they give the exact result, which lies within 0 … 255.
    BRIVOX_SSE2_TARGET static __m128i Lane(__m128i a, __m128i b, __m128i k)
    {
        const __m128i step = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(a, b), k), 8);
        return _mm_and_si128(_mm_add_epi16(b, step), _mm_set1_epi16(0xFF));
    }
    BRIVOX_SSE2_TARGET static __m128i Run(__m128i a, __m128i b, __m128i k)
    {
        const SWide wa = Widen(a), wb = Widen(b);
        return Narrow(Lane(wa.low, wb.low, k), Lane(wa.high, wb.high, k));
    }
};

template <EPixelBlend Blend>
BRIVOX_SSE2_TARGET void Rows(const SBlendRows& rows, int width, int height, int k)
{
    using Kernel = SKernel<Blend>;
    const __m128i factor = _mm_set1_epi16(static_cast<short>(Blend == EPixelBlend::FadeBlack ? 256 - k : k));
    const int wide = width & ~3;
    for (int y = 0; y < height; ++y) {
        std::uint32_t* out = rows.out + y * rows.outStride;
        const std::uint32_t* a = rows.a + y * rows.aStride;
        const std::uint32_t* b = ReadsB(Blend) ? rows.b + y * rows.bStride : nullptr;
        for (int x = 0; x < wide; x += 4) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
            const __m128i vb = ReadsB(Blend) ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x))
                                             : _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), Kernel::Run(va, vb, factor));
        }
        if (wide < width)
            BlendRowsPlain(Blend, {out + wide, 0, a + wide, 0, ReadsB(Blend) ? b + wide : nullptr, 0},
                           width - wide, 1, k);
    }
}

} // namespace

void BlendRowsSse2(EPixelBlend blend, const SBlendRows& rows, int width, int height, int k)
{
    WithBlend(blend, [&](auto constant) { Rows<decltype(constant)::value>(rows, width, height, k); });
}

} // namespace Brivox::Kernels::Detail
