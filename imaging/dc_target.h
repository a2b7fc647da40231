#pragma once
#include "foundation/geometry.h"
#include "foundation/win32.h"
#include "imaging/plane.h"
#include "imaging/plane_clip.h"

namespace Brivox {

namespace Detail {

// A plane's device context for the span of one drawing; null for heap storage.
class PlaneDcLock
{
public:
    explicit PlaneDcLock(CPlane& plane) : storage_(plane.GetStorage()), dc_(storage_.GetDC()) {}
    PlaneDcLock(const PlaneDcLock&) = delete;
    PlaneDcLock& operator=(const PlaneDcLock&) = delete;
    ~PlaneDcLock() { storage_.ReleaseDC(dc_); }

    HDC GetDC() const { return dc_; }

private:
    IPlaneImpl& storage_;
    HDC dc_;
};

} // namespace Detail

// Paints with GDI into a borrowed device context: a window's while painting, or a DIB plane's.
class CDcTarget
{
public:
    explicit CDcTarget(HDC dc);
    explicit CDcTarget(const Detail::PlaneDcLock& lock);

    HDC GetDC() const { return dc_; }

    // Not clipped: a negative origin reaches GDI as it is.
    void FillBlack(const CRect& rect);
    // Cut to {0, 0, extent}.
    void FillRect(COLORREF colour, CRect rect);
    // 1:1 copy of `rect` of the source to `point`, cut by the clip only.
    void BitBlt(const CDcTarget& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    void StretchBltFast(const CDcTarget& source, CRect destination, CRect sourceRect,
                        const SPlaneClip* clip = nullptr);
    // Smoothing stretch on NT-family systems, the fast one elsewhere.
    void StretchBltHalftone(const CDcTarget& source, CRect destination, CRect sourceRect,
                            const SPlaneClip* clip = nullptr);

private:
    void Stretch(const CDcTarget& source, CRect destination, CRect sourceRect, const SPlaneClip* clip,
                 int mode);

    HDC dc_;
    CSize extent_{0x3FFFFFFF, 0x3FFFFFFF};
};

} // namespace Brivox
