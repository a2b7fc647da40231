#pragma once
// Row kernels of the per-pixel blends of one or two planes. Each byte of a pixel, alpha included,
// is one channel, so the plain and the SSE2 forms give the same four bytes. Strides are in pixels;
// a stride of 0 reads one row again and again (a row of one colour).

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace Brivox::Kernels {

enum class EPixelBlend
{
    // min(b + a, 255)
    Add,
    // max(b − a, 0)
    Subtract,
    // (a × (256 − k)) >> 8
    FadeBlack,
    // a + (((255 − a) × k) >> 8)
    FadeWhite,
    // b + floor((a − b) × k / 256)
    Mix,
};

struct SBlendRows
{
    std::uint32_t* out;
    std::ptrdiff_t outStride;
    const std::uint32_t* a;
    std::ptrdiff_t aStride;
    // Unused by the fades.
    const std::uint32_t* b;
    std::ptrdiff_t bStride;
};

// `width` pixels of each of `height` rows, out = blend(a, b, k); k lies within 1 … 255 for the
// fades and the mix. The rows of `out` may be those of `a` or `b`. Takes the SSE2 form when it is
// allowed.
void BlendRows(EPixelBlend blend, const SBlendRows& rows, int width, int height, int k);

namespace Detail {

// Whether a blend reads its second operand.
constexpr bool ReadsB(EPixelBlend blend)
{
    return blend != EPixelBlend::FadeBlack && blend != EPixelBlend::FadeWhite;
}

// Calls run with the blend as a constant of the compilation (std::integral_constant), so that
// each form is made once per blend.
template <class Run> void WithBlend(EPixelBlend blend, Run run)
{
    using E = EPixelBlend;
    switch (blend) {
    case E::Add:
        return run(std::integral_constant<E, E::Add>{});
    case E::Subtract:
        return run(std::integral_constant<E, E::Subtract>{});
    case E::FadeBlack:
        return run(std::integral_constant<E, E::FadeBlack>{});
    case E::FadeWhite:
        return run(std::integral_constant<E, E::FadeWhite>{});
    case E::Mix:
        return run(std::integral_constant<E, E::Mix>{});
    }
}

// The two forms, for tests and the dispatcher.
void BlendRowsPlain(EPixelBlend blend, const SBlendRows& rows, int width, int height, int k);
void BlendRowsSse2(EPixelBlend blend, const SBlendRows& rows, int width, int height, int k);

// One channel of a blend, as both forms compute it.
inline std::uint32_t BlendChannel(EPixelBlend blend, std::uint32_t a, std::uint32_t b, int k)
{
    switch (blend) {
    case EPixelBlend::Add:
        return b + a > 255 ? 255 : b + a;
    case EPixelBlend::Subtract:
        return b > a ? b - a : 0;
    case EPixelBlend::FadeBlack:
        return (a * static_cast<std::uint32_t>(256 - k)) >> 8;
    case EPixelBlend::FadeWhite:
        return a + (((255 - a) * static_cast<std::uint32_t>(k)) >> 8);
    case EPixelBlend::Mix:
    default:
        // The arithmetic shift of a possibly negative product rounds toward minus infinity.
        return static_cast<std::uint32_t>(static_cast<int>(b) +
                                          ((static_cast<int>(a) - static_cast<int>(b)) * k >> 8));
    }
}

} // namespace Detail

} // namespace Brivox::Kernels
