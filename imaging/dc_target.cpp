#include "imaging/dc_target.h"

#include "foundation/encoding.h"

namespace Brivox {

CDcTarget::CDcTarget(HDC dc) : dc_(dc) {}

CDcTarget::CDcTarget(const Detail::PlaneDcLock& lock) : dc_(lock.GetDC()) {}

void CDcTarget::FillBlack(const CRect& rect)
{
    ::PatBlt(dc_, rect.left, rect.top, rect.Width(), rect.Height(), BLACKNESS);
}

void CDcTarget::FillRect(COLORREF colour, CRect rect)
{
    rect.Intersect({0, 0, extent_.cx, extent_.cy});
    const LOGBRUSH style{BS_SOLID, colour, 0};
    const HBRUSH brush = ::CreateBrushIndirect(&style);
    ::FillRect(dc_, reinterpret_cast<const RECT*>(&rect), brush);
    ::DeleteObject(brush);
}

void CDcTarget::BitBlt(const CDcTarget& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    if (ClipOrNone(clip).ClipDestination(point, rect))
        ::BitBlt(dc_, point.x, point.y, rect.Width(), rect.Height(), source.dc_, rect.left, rect.top,
                 SRCCOPY);
}

void CDcTarget::Stretch(const CDcTarget& source, CRect destination, CRect sourceRect, const SPlaneClip* clip,
                        int mode)
{
    if (!ClipOrNone(clip).ClipScaledDestination(destination, sourceRect))
        return;
    const int previous = ::SetStretchBltMode(dc_, mode);
    if (mode == HALFTONE)
        ::SetBrushOrgEx(dc_, 0, 0, nullptr); // halftoning needs it; not restored
    ::StretchBlt(dc_, destination.left, destination.top, destination.Width(), destination.Height(),
                 source.dc_, sourceRect.left, sourceRect.top, sourceRect.Width(), sourceRect.Height(),
                 SRCCOPY);
    ::SetStretchBltMode(dc_, previous);
}

void CDcTarget::StretchBltFast(const CDcTarget& source, CRect destination, CRect sourceRect,
                               const SPlaneClip* clip)
{
    Stretch(source, destination, sourceRect, clip, COLORONCOLOR);
}

void CDcTarget::StretchBltHalftone(const CDcTarget& source, CRect destination, CRect sourceRect,
                                   const SPlaneClip* clip)
{
    Stretch(source, destination, sourceRect, clip, IsWindowsNT() ? HALFTONE : COLORONCOLOR);
}

} // namespace Brivox
