// Filters that compute a pixel from its neighbours: smoothing, sharpening, Gaussian blur, unsharp
// masking and the 3×3 median.
#include "imaging/neighbourhood_kernels.h"
#include "imaging/pixel_rows.h"
#include "imaging/pixel_walk.h"
#include "imaging/plane.h"

#include <algorithm>
#include <vector>

namespace Brivox {

namespace {

Kernels::SFilterRows FilterRows(const Detail::SLockedPlanes& planes)
{
    return {planes.out.origin, planes.out.stride, planes.in.origin, planes.in.stride};
}

void FilterByNeighbours(Kernels::ENeighbourFilter filter, CPlane32& destination, const CPlane32& source,
                        CPoint point, CRect rect, const SPlaneClip* clip)
{
    if (!ClipOrNone(clip).ClipBlit(destination.GetSize(), source.GetSize(), point, rect))
        return;
    if (rect.Width() < 2 || rect.Height() < 2) {
        destination.Blit(source, point, rect, clip);
        return;
    }
    const Detail::SLockedPlanes planes(destination, point, source, {rect.left, rect.top});
    Kernels::NeighbourRows(filter, FilterRows(planes), rect.Width(), rect.Height());
}

} // namespace

void CPlane32::Blur(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    FilterByNeighbours(Kernels::ENeighbourFilter::Blur, *this, source, point, rect, clip);
}

void CPlane32::Sharpen(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    FilterByNeighbours(Kernels::ENeighbourFilter::Sharpen, *this, source, point, rect, clip);
}

void CPlane32::SharpenStrong(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    FilterByNeighbours(Kernels::ENeighbourFilter::SharpenStrong, *this, source, point, rect, clip);
}

void CPlane32::GaussBlur(const CPlane32& source, CPoint point, CRect rect, double sigma,
                         const SPlaneClip* clip)
{
    if (!ClipOrNone(clip).ClipBlit(GetSize(), source.GetSize(), point, rect))
        return;
    const int w = rect.Width(), h = rect.Height();
    const double reach = 3.0 * sigma;
    if (!(reach >= 1.0)) {
        Blit(source, point, rect, nullptr);
        return;
    }
    // Taps beyond the rectangle are never used, so a radius past its longer side changes nothing;
    // capping it keeps an absurd sigma from asking for a huge weight table.
    const int radius = static_cast<int>(std::min(reach, static_cast<double>(std::max(w, h))));
    const std::vector<int> weights = Kernels::GaussWeights(sigma, radius);
    CMemoryPlane32 intermediate({w, h});
    {
        const Detail::SLockedPlanes planes(intermediate, {0, 0}, source, {rect.left, rect.top});
        Kernels::GaussRows(FilterRows(planes), w, h, weights);
    }
    const Detail::SLockedPlanes planes(*this, point, intermediate, {0, 0});
    Kernels::GaussColumns(FilterRows(planes), h, w, weights);
}

void CPlane32::UnsharpMask(const CPlane32& source, const CPlane32& blurred, CPoint point, CRect rect,
                           CPoint blurredPoint, const SPlaneClip* clip)
{
    const CRect asked = rect;
    if (!ClipOrNone(clip).ClipBlit(GetSize(), source.GetSize(), point, rect))
        return;
    // The blurred plane is read in step with the source pixels the clip kept, and only where it
    // holds pixels.
    const std::int64_t atX = std::int64_t{blurredPoint.x} + rect.left - asked.left;
    const std::int64_t atY = std::int64_t{blurredPoint.y} + rect.top - asked.top;
    const CRect clipped = rect;
    if (!Detail::CutToFurtherPlane(blurred.GetSize(), atX, atY, point, rect))
        return;
    const CPoint from{static_cast<int>(atX + rect.left - clipped.left),
                      static_cast<int>(atY + rect.top - clipped.top)};
    const Detail::PlaneBitsLock to(*this);
    const Detail::PlaneBitsLock in(source);
    const Detail::PlaneBitsLock mask(blurred);
    const Detail::SPixelRows out = Detail::PixelRows(to, point.x, point.y);
    const Detail::SPixelRows sharp = Detail::PixelRows(in, rect.left, rect.top);
    const Detail::SPixelRows soft = Detail::PixelRows(mask, from.x, from.y);
    Kernels::UnsharpRows(out.origin, out.stride, sharp.origin, sharp.stride, soft.origin, soft.stride,
                         rect.Width(), rect.Height());
}

void CPlane32::Median(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    if (!ClipOrNone(clip).ClipBlit(GetSize(), source.GetSize(), point, rect))
        return;
    // Every pixel of so narrow a rectangle is on its border, which keeps the source's pixels.
    if (rect.Width() <= 2 || rect.Height() <= 2) {
        Blit(source, point, rect, nullptr);
        return;
    }
    const Detail::SLockedPlanes planes(*this, point, source, {rect.left, rect.top});
    Kernels::MedianRows(FilterRows(planes), rect.Width(), rect.Height());
}

} // namespace Brivox
