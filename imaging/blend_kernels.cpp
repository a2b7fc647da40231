#include "imaging/blend_kernels.h"

#include "imaging/pixel_simd.h"

namespace Brivox::Kernels {

namespace Detail {

namespace {

template <EPixelBlend Blend> std::uint32_t BlendPixel(std::uint32_t a, std::uint32_t b, int k)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= BlendChannel(Blend, (a >> shift) & 0xFF, (b >> shift) & 0xFF, k) << shift;
    return out;
}

template <EPixelBlend Blend> void Rows(const SBlendRows& rows, int width, int height, int k)
{
    for (int y = 0; y < height; ++y) {
        std::uint32_t* out = rows.out + y * rows.outStride;
        const std::uint32_t* a = rows.a + y * rows.aStride;
        const std::uint32_t* b = ReadsB(Blend) ? rows.b + y * rows.bStride : nullptr;
        for (int x = 0; x < width; ++x)
            out[x] = BlendPixel<Blend>(a[x], ReadsB(Blend) ? b[x] : 0, k);
    }
}

} // namespace

void BlendRowsPlain(EPixelBlend blend, const SBlendRows& rows, int width, int height, int k)
{
    WithBlend(blend, [&](auto constant) { Rows<decltype(constant)::value>(rows, width, height, k); });
}

} // namespace Detail

void BlendRows(EPixelBlend blend, const SBlendRows& rows, int width, int height, int k)
{
    if (width <= 0 || height <= 0)
        return;
    if (UseSse2Kernels())
        Detail::BlendRowsSse2(blend, rows, width, height, k);
    else
        Detail::BlendRowsPlain(blend, rows, width, height, k);
}

} // namespace Brivox::Kernels
