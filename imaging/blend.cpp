// Operations that combine a source plane, for some a second source or an 8-bit mask, into the
// plane they are called on: bitwise and saturating arithmetic, fades, blends, cross-fades, mask
// copies and ramps, and compositing by the source's alpha.
#include "imaging/blend_kernels.h"
#include "imaging/pixel_walk.h"
#include "imaging/plane.h"

#include <array>
#include <cstdint>
#include <optional>

namespace Brivox {

namespace {

using Kernels::EPixelBlend;

// Where one row of every plane of an operation starts; the second source and the mask are read
// at the first source's coordinates.
struct SFrameRow
{
    std::uint32_t* out;
    const std::uint32_t* first;
    const std::uint32_t* second;
    const std::uint8_t* mask;
};

// Clips the operation (to the destination, the first source and the clip, then to the second
// source and the mask, which must hold the pixels they are read at), locks every plane and calls
// rows(row of row 0, strides in pixels of destination, first and second source, mask stride in
// bytes, width, height).
template <class Rows>
void InFrame(CPlane32& destination, const CPlane32& first, const CPlane32* second, const CPlane* mask,
             CPoint point, CRect rect, const SPlaneClip* clip, Rows rows)
{
    if (!ClipOrNone(clip).ClipBlit(destination.GetSize(), first.GetSize(), point, rect))
        return;
    for (const CPlane* further : {static_cast<const CPlane*>(second), mask}) {
        if (further && !Detail::CutToFurtherPlane(further->GetSize(), rect.left, rect.top, point, rect))
            return;
    }
    const Detail::PlaneBitsLock to(destination);
    const Detail::PlaneBitsLock from(first);
    std::optional<Detail::PlaneBitsLock> fromSecond, fromMask;
    const Detail::SPixelRows out = Detail::PixelRows(to, point.x, point.y);
    const Detail::SPixelRows a = Detail::PixelRows(from, rect.left, rect.top);
    Detail::SPixelRows b{nullptr, 0};
    if (second)
        b = Detail::PixelRows(fromSecond.emplace(*second), rect.left, rect.top);
    const std::uint8_t* m = nullptr;
    std::ptrdiff_t maskStride = 0;
    if (mask) {
        // One byte per pixel, whatever the mask's depth.
        fromMask.emplace(*mask);
        m = fromMask->Top() + rect.top * fromMask->Stride() + rect.left;
        maskStride = fromMask->Stride();
    }
    rows(SFrameRow{out.origin, a.origin, b.origin, m}, out.stride, a.stride, b.stride, maskStride,
         rect.Width(), rect.Height());
}

// pixel(destination pixel, first source pixel, second source pixel or 0, mask byte or 0) for every
// pixel of the clipped operation.
template <class Pixel>
void ForEachFramePixel(CPlane32& destination, const CPlane32& first, const CPlane32* second,
                       const CPlane* mask, CPoint point, CRect rect, const SPlaneClip* clip, Pixel pixel)
{
    InFrame(destination, first, second, mask, point, rect, clip,
            [&](const SFrameRow& row0, std::ptrdiff_t outStride, std::ptrdiff_t aStride,
                std::ptrdiff_t bStride, std::ptrdiff_t maskStride, int w, int h) {
                for (int y = 0; y < h; ++y) {
                    std::uint32_t* out = row0.out + y * outStride;
                    const std::uint32_t* a = row0.first + y * aStride;
                    const std::uint32_t* b = row0.second ? row0.second + y * bStride : nullptr;
                    const std::uint8_t* m = row0.mask ? row0.mask + y * maskStride : nullptr;
                    for (int x = 0; x < w; ++x)
                        pixel(out[x], a[x], b ? b[x] : 0u, m ? m[x] : std::uint8_t{0});
                }
            });
}

// A kernel blend of the clipped operation: out = blend(first source, second source or the
// destination, k).
void BlendFrame(EPixelBlend blend, CPlane32& destination, const CPlane32& first, const CPlane32* second,
                CPoint point, CRect rect, int k, const SPlaneClip* clip)
{
    InFrame(destination, first, second, nullptr, point, rect, clip,
            [&](const SFrameRow& row0, std::ptrdiff_t outStride, std::ptrdiff_t aStride,
                std::ptrdiff_t bStride, std::ptrdiff_t, int w, int h) {
                const bool fromSecond = row0.second != nullptr;
                Kernels::BlendRows(blend,
                                   {row0.out, outStride, row0.first, aStride,
                                    fromSecond ? row0.second : row0.out, fromSecond ? bStride : outStride},
                                   w, h, k);
            });
}

// The blend of the three colour channels alone; alpha 0.
std::uint32_t BlendColour(EPixelBlend blend, std::uint32_t a, std::uint32_t b, int k)
{
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8)
        out |= Kernels::Detail::BlendChannel(blend, (a >> shift) & 0xFF, (b >> shift) & 0xFF, k) << shift;
    return out;
}

// The mask ramp: 0 below the threshold, 256 from threshold + width on, and between them
// ((v − threshold + 1) × 256) / (width + 1).
std::array<int, 256> Ramp(int threshold, int width)
{
    std::array<int, 256> ramp{};
    const std::int64_t t = threshold, end = t + width;
    for (std::int64_t v = 0; v < 256; ++v)
        ramp[static_cast<std::size_t>(v)] =
            v < t     ? 0
            : v < end ? static_cast<int>((v - t + 1) * 256 / (std::int64_t{width} + 1))
                      : 256;
    return ramp;
}

// A ramp operation: d = low(a, b) where the ramp of the mask byte is 0, high(a, b) where it is
// 256, between(a, b, r) elsewhere.
template <class Low, class High, class Between>
void RampFrame(CPlane32& destination, const CPlane32& first, const CPlane32* second, const CPlane& mask,
               CPoint point, CRect rect, int threshold, int width, const SPlaneClip* clip, Low low, High high,
               Between between)
{
    const std::array<int, 256> ramp = Ramp(threshold, width);
    ForEachFramePixel(destination, first, second, &mask, point, rect, clip,
                      [&](std::uint32_t& d, std::uint32_t a, std::uint32_t b, std::uint8_t m) {
                          const int r = ramp[m];
                          d = r == 0 ? low(a, b) : r == 256 ? high(a, b) : between(a, b, r);
                      });
}

std::uint32_t SourceOf(std::uint32_t a, std::uint32_t)
{
    return a;
}

} // namespace

void CPlane32::OrPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    ForEachFramePixel(*this, source, nullptr, nullptr, point, rect, clip,
                      [](std::uint32_t& d, std::uint32_t s, std::uint32_t, std::uint8_t) { d |= s; });
}

void CPlane32::AndPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    ForEachFramePixel(*this, source, nullptr, nullptr, point, rect, clip,
                      [](std::uint32_t& d, std::uint32_t s, std::uint32_t, std::uint8_t) { d &= s; });
}

void CPlane32::AddPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    BlendFrame(EPixelBlend::Add, *this, source, nullptr, point, rect, 0, clip);
}

void CPlane32::SubtractPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    BlendFrame(EPixelBlend::Subtract, *this, source, nullptr, point, rect, 0, clip);
}

void CPlane32::BlitFadeBlack(const CPlane32& source, CPoint point, CRect rect, int amount,
                             const SPlaneClip* clip)
{
    if (amount <= 0) {
        Blit(source, point, rect, clip);
    } else if (amount >= 256) {
        FillRect(0x000000, {point.x, point.y, point.x + rect.Width(), point.y + rect.Height()});
    } else {
        BlendFrame(EPixelBlend::FadeBlack, *this, source, nullptr, point, rect, amount, clip);
    }
}

void CPlane32::BlitFadeWhite(const CPlane32& source, CPoint point, CRect rect, int amount,
                             const SPlaneClip* clip)
{
    if (amount <= 0) {
        Blit(source, point, rect, clip);
    } else if (amount >= 256) {
        FillRect(0xFFFFFF, {point.x, point.y, point.x + rect.Width(), point.y + rect.Height()});
    } else {
        BlendFrame(EPixelBlend::FadeWhite, *this, source, nullptr, point, rect, amount, clip);
    }
}

void CPlane32::BlendOpacity(const CPlane32& source, CPoint point, CRect rect, int opacity,
                            const SPlaneClip* clip)
{
    if (opacity >= 256)
        Blit(source, point, rect, clip);
    else if (opacity > 0)
        BlendFrame(EPixelBlend::Mix, *this, source, nullptr, point, rect, opacity, clip);
}

void CPlane32::CrossFade(const CPlane32& first, const CPlane32& second, CPoint point, CRect rect, int weight,
                         const SPlaneClip* clip)
{
    if (weight <= 0)
        Blit(second, point, rect, clip);
    else if (weight >= 256)
        Blit(first, point, rect, clip);
    else
        BlendFrame(EPixelBlend::Mix, *this, first, &second, point, rect, weight, clip);
}

void CPlane32::CopyPlane(const CPlane32& source, const CPlane& mask, CPoint point, CRect rect, int low,
                         int high, const SPlaneClip* clip)
{
    std::array<bool, 256> copied{};
    for (int v = std::max(low, 0); v < 256 && v <= high; ++v)
        copied[static_cast<std::size_t>(v)] = true;
    ForEachFramePixel(*this, source, nullptr, &mask, point, rect, clip,
                      [&copied](std::uint32_t& d, std::uint32_t s, std::uint32_t, std::uint8_t m) {
                          if (copied[m])
                              d = s;
                      });
}

void CPlane32::RampBlend(const CPlane32& source, const CPlane& mask, CPoint point, CRect rect, int threshold,
                         int width, const SPlaneClip* clip)
{
    RampFrame(
        *this, source, nullptr, mask, point, rect, threshold, width, clip, SourceOf,
        [](std::uint32_t, std::uint32_t) { return 0x00000000u; },
        [](std::uint32_t s, std::uint32_t, int r) { return BlendColour(EPixelBlend::FadeBlack, s, 0, r); });
}

void CPlane32::RampBlendWhite(const CPlane32& source, const CPlane& mask, CPoint point, CRect rect,
                              int threshold, int width, const SPlaneClip* clip)
{
    RampFrame(
        *this, source, nullptr, mask, point, rect, threshold, width, clip, SourceOf,
        [](std::uint32_t, std::uint32_t) { return 0xFFFFFFFFu; },
        [](std::uint32_t s, std::uint32_t, int r) { return BlendColour(EPixelBlend::FadeWhite, s, 0, r); });
}

void CPlane32::RampCrossFade(const CPlane32& first, const CPlane32& second, const CPlane& mask, CPoint point,
                             CRect rect, int threshold, int width, const SPlaneClip* clip)
{
    // From A toward B by r / 256: the mix with B as the target and A as the base.
    RampFrame(
        *this, first, &second, mask, point, rect, threshold, width, clip, SourceOf,
        [](std::uint32_t, std::uint32_t b) { return b; },
        [](std::uint32_t a, std::uint32_t b, int r) { return BlendColour(EPixelBlend::Mix, b, a, r); });
}

void CPlane32::AlphaComposite(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    ForEachFramePixel(*this, source, nullptr, nullptr, point, rect, clip,
                      [](std::uint32_t& d, std::uint32_t s, std::uint32_t, std::uint8_t) {
                          const std::uint32_t alpha = s >> 24;
                          if (alpha == 255)
                              d = s;
                          else if (alpha != 0)
                              d = BlendColour(EPixelBlend::Mix, s, d, static_cast<int>(alpha));
                      });
}

} // namespace Brivox
