#include "imaging/plane_clip.h"

#include "imaging/wide_rect.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace Brivox {

namespace {

using WideRect = Detail::SWideRect;

// The destination side of a blit clip: the destination rectangle cut to `destinationSize` (when
// given) and the clip, the source rectangle and the point moved along with it. False when the
// source rectangle is empty to begin with.
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

double Side(int from, int to)
{
    return static_cast<double>(to) - from;
}

// Each edge of `r` moved by as far as the facing edge went from `before` to `after`, carried over
// to r's scale by carry(distance, along x) and rounded half up; kept within int.
template <class Carry> void MoveEdges(CRect& r, const CRect& before, const CRect& after, Carry carry)
{
    const auto move = [](int& edge, double by) {
        const double rounded = std::clamp(std::floor(by + 0.5), double{INT_MIN}, double{INT_MAX});
        edge = static_cast<int>(
            std::clamp<std::int64_t>(std::int64_t{edge} - static_cast<int>(rounded), INT_MIN, INT_MAX));
    };
    move(r.left, carry(Side(after.left, before.left), true));
    move(r.top, carry(Side(after.top, before.top), false));
    move(r.right, carry(Side(after.right, before.right), true));
    move(r.bottom, carry(Side(after.bottom, before.bottom), false));
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
    const double sx = 1.0 / (Side(destination.left, destination.right) / Side(source.left, source.right));
    const double sy = 1.0 / (Side(destination.top, destination.bottom) / Side(source.top, source.bottom));
    if (enabled)
        destination.Intersect(rect);
    MoveEdges(source, old, destination, [&](double distance, bool x) { return (x ? sx : sy) * distance; });
    return !destination.IsEmpty() && !source.IsEmpty();
}

bool SPlaneClip::ClipScaled(CSize destinationSize, CSize sourceSize, CRect& destination, CRect& source) const
{
    if (destination.IsEmpty() || source.IsEmpty())
        return false;
    const double sx = Side(destination.left, destination.right) / Side(source.left, source.right);
    const double sy = Side(destination.top, destination.bottom) / Side(source.top, source.bottom);
    const CRect d0 = destination;
    destination.Intersect({0, 0, destinationSize.cx, destinationSize.cy});
    if (enabled)
        destination.Intersect(rect);
    MoveEdges(source, d0, destination, [&](double distance, bool x) { return distance / (x ? sx : sy); });
    const CRect s0 = source;
    source.Intersect({0, 0, sourceSize.cx, sourceSize.cy});
    MoveEdges(destination, s0, source, [&](double distance, bool x) { return (x ? sx : sy) * distance; });
    return !destination.IsEmpty() && !source.IsEmpty();
}

} // namespace Brivox
