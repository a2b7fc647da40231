#include "imaging/plane_clip.h"

#include "imaging/wide_rect.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Brivox {

namespace {

using WideRect = Detail::SWideRect;

// Steps 1 to 4 of a blit clip: the destination rectangle cut to `destinationSize` (when given) and
// the clip, and the source rectangle and the point moved along with it. False when the source
// rectangle is empty to begin with.
bool CutDestination(const SPlaneClip& clip, const CSize* destinationSize, CPoint& point, CRect& source)
{
    if (source.IsEmpty())
        return false;
    const std::int64_t x = point.x, y = point.y, l = source.left, t = source.top;
    WideRect d{x, y, x + (source.right - l), y + (source.bottom - t)};
    if (destinationSize)
        d.Intersect({0, 0, destinationSize->cx, destinationSize->cy});
    if (clip.enabled)
        d.Intersect(clip.rect);
    // An empty cut gives an empty source rectangle; the values then no longer matter, but they
    // must stay within int.
    d.right = std::max(d.right, d.left);
    d.bottom = std::max(d.bottom, d.top);
    source = {static_cast<int>(l + (d.left - x)), static_cast<int>(t + (d.top - y)),
              static_cast<int>(l + (d.right - x)), static_cast<int>(t + (d.bottom - y))};
    point = {static_cast<int>(d.left), static_cast<int>(d.top)};
    return true;
}

} // namespace

bool SPlaneClip::ClipToRect(CRect& r) const
{
    r.Intersect(rect);
    return !r.IsEmpty();
}

bool SPlaneClip::ClipBlit(CSize destinationSize, CSize sourceSize, CPoint& point, CRect& source) const
{
    if (!CutDestination(*this, &destinationSize, point, source))
        return false;
    const CRect before = source;
    source.Intersect({0, 0, sourceSize.cx, sourceSize.cy});
    point.x += source.left - before.left;
    point.y += source.top - before.top;
    return !source.IsEmpty();
}

bool SPlaneClip::ClipDestination(CPoint& point, CRect& source) const
{
    return CutDestination(*this, nullptr, point, source) && !source.IsEmpty();
}

bool SPlaneClip::ClipScaledDestination(CRect& destination, CRect& source) const
{
    if (destination.IsEmpty() || source.IsEmpty())
        return false;
    const CRect old = destination;
    const auto side = [](int from, int to) { return static_cast<double>(to) - from; };
    const double sx = 1.0 / (side(destination.left, destination.right) / side(source.left, source.right));
    const double sy = 1.0 / (side(destination.top, destination.bottom) / side(source.top, source.bottom));
    if (enabled)
        destination.Intersect(rect);
    const auto moved = [](double scale, int before, int after) {
        return static_cast<int>(std::floor(scale * (static_cast<double>(before) - after) + 0.5));
    };
    source.left -= moved(sx, old.left, destination.left);
    source.top -= moved(sy, old.top, destination.top);
    source.right -= moved(sx, old.right, destination.right);
    source.bottom -= moved(sy, old.bottom, destination.bottom);
    return !destination.IsEmpty() && !source.IsEmpty();
}

} // namespace Brivox
