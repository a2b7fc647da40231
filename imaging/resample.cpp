#include "imaging/resample.h"

#include "foundation/thread_pool.h"
#include "imaging/pixel_rows.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

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
    if (!ClipOrNone(clip).ClipScaled(destination.GetSize(), source.GetSize(), to, from))
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

} // namespace

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
