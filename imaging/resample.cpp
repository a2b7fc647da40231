#include "imaging/resample.h"

#include "foundation/thread_pool.h"
#include "imaging/pixel_rows.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

namespace Brivox {

namespace {

std::atomic<int> resampleShares{0};

// The lines of a pass over the processors; never more shares than lines.
void SplitLines(int lines, const std::function<void(int, int)>& job)
{
    const int shares = resampleShares.load(std::memory_order_relaxed);
    const int count = std::min(shares > 0 ? shares : GetProcessorCount(), lines);
    ParallelFor(std::max(count, 1), job, 0, lines);
}

SResampleLines LinesOf(const Detail::SLockedPlanes& planes)
{
    return {planes.out.origin, planes.out.stride, planes.in.origin, planes.in.stride};
}

void Resample(EResampleFilter filter, bool alpha, CPlane32& destination, const CPlane32& source, CRect to,
              CRect from, const SPlaneClip* clip)
{
    const SPlaneClip noClip;
    if (!(clip ? *clip : noClip).ClipScaled(destination.GetSize(), source.GetSize(), to, from))
        return;
    const int dstW = to.Width(), dstH = to.Height(), srcW = from.Width(), srcH = from.Height();
    const CPoint toOrigin{to.left, to.top}, fromOrigin{from.left, from.top};
    CMemoryPlane32 intermediate;
    // The pass order that keeps the intermediate smaller; ties go along rows first.
    if (static_cast<std::int64_t>(dstW) * srcH <= static_cast<std::int64_t>(srcW) * dstH) {
        intermediate.Resize({dstW, srcH});
        ResamplePass::Horizontal(filter, alpha, intermediate, source, {0, 0}, fromOrigin, dstW, srcW, srcH);
        ResamplePass::Vertical(filter, alpha, destination, intermediate, toOrigin, {0, 0}, dstW, dstH, srcH);
    } else {
        intermediate.Resize({srcW, dstH});
        ResamplePass::Vertical(filter, alpha, intermediate, source, {0, 0}, fromOrigin, srcW, dstH, srcH);
        ResamplePass::Horizontal(filter, alpha, destination, intermediate, toOrigin, {0, 0}, dstW, srcW,
                                 dstH);
    }
}

// An edge's movement carried over to the other rectangle, rounded half up, kept within int.
int Scaled(double distance)
{
    const double v = std::floor(distance + 0.5);
    constexpr double low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(v, low, high));
}

int Moved(int edge, int by)
{
    return static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(edge) - by,
                                                     std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

bool SPlaneClip::ClipScaled(CSize destinationSize, CSize sourceSize, CRect& destination, CRect& source) const
{
    if (destination.IsEmpty() || source.IsEmpty())
        return false;
    const auto side = [](int from, int to) { return static_cast<double>(to) - from; };
    const double sx = side(destination.left, destination.right) / side(source.left, source.right);
    const double sy = side(destination.top, destination.bottom) / side(source.top, source.bottom);
    const CRect d0 = destination;
    destination.Intersect({0, 0, destinationSize.cx, destinationSize.cy});
    if (enabled)
        destination.Intersect(rect);
    source.left = Moved(source.left, Scaled(side(destination.left, d0.left) / sx));
    source.top = Moved(source.top, Scaled(side(destination.top, d0.top) / sy));
    source.right = Moved(source.right, Scaled(side(destination.right, d0.right) / sx));
    source.bottom = Moved(source.bottom, Scaled(side(destination.bottom, d0.bottom) / sy));
    const CRect s0 = source;
    source.Intersect({0, 0, sourceSize.cx, sourceSize.cy});
    destination.left = Moved(destination.left, Scaled(sx * side(source.left, s0.left)));
    destination.top = Moved(destination.top, Scaled(sy * side(source.top, s0.top)));
    destination.right = Moved(destination.right, Scaled(sx * side(source.right, s0.right)));
    destination.bottom = Moved(destination.bottom, Scaled(sy * side(source.bottom, s0.bottom)));
    return !destination.IsEmpty() && !source.IsEmpty();
}

void ResamplePass::Horizontal(EResampleFilter filter, bool alpha, CPlane32& destination,
                              const CPlane32& source, CPoint destinationOrigin, CPoint sourceOrigin,
                              int outLength, int inLength, int lines)
{
    const Detail::SLockedPlanes planes(destination, destinationOrigin, source, sourceOrigin);
    ResampleRows(filter, alpha, LinesOf(planes), outLength, inLength, lines, SplitLines);
}

void ResamplePass::Vertical(EResampleFilter filter, bool alpha, CPlane32& destination, const CPlane32& source,
                            CPoint destinationOrigin, CPoint sourceOrigin, int lines, int outLength,
                            int inLength)
{
    const Detail::SLockedPlanes planes(destination, destinationOrigin, source, sourceOrigin);
    ResampleColumns(filter, alpha, LinesOf(planes), lines, outLength, inLength, SplitLines);
}

void CPlane32::ResizeAveraging(const CPlane32& source, CRect destination, CRect sourceRect,
                               const SPlaneClip* clip)
{
    Resample(EResampleFilter::Averaging, false, *this, source, destination, sourceRect, clip);
}

void CPlane32::ResizeAveragingAlpha(const CPlane32& source, CRect destination, CRect sourceRect,
                                    const SPlaneClip* clip)
{
    Resample(EResampleFilter::Averaging, true, *this, source, destination, sourceRect, clip);
}

void CPlane32::ResizeLanczos3(const CPlane32& source, CRect destination, CRect sourceRect,
                              const SPlaneClip* clip)
{
    Resample(EResampleFilter::Lanczos3, false, *this, source, destination, sourceRect, clip);
}

void CPlane32::ResizeLanczos3Alpha(const CPlane32& source, CRect destination, CRect sourceRect,
                                   const SPlaneClip* clip)
{
    Resample(EResampleFilter::Lanczos3, true, *this, source, destination, sourceRect, clip);
}

namespace Detail {

void SetResampleShares(int shares)
{
    resampleShares.store(shares, std::memory_order_relaxed);
}

} // namespace Detail

} // namespace Brivox
