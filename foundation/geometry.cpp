#include "foundation/geometry.h"

#include "foundation/win32.h"

#include <algorithm>
#include <cstddef>

namespace Brivox {

static_assert(sizeof(CRect) == sizeof(RECT) && offsetof(CRect, left) == offsetof(RECT, left) &&
              offsetof(CRect, top) == offsetof(RECT, top) &&
              offsetof(CRect, right) == offsetof(RECT, right) &&
              offsetof(CRect, bottom) == offsetof(RECT, bottom));
static_assert(sizeof(CPoint) == sizeof(POINT) && sizeof(CSize) == sizeof(SIZE));

CSize CSize::Min(const CSize& other) const
{
    return {std::min(cx, other.cx), std::min(cy, other.cy)};
}

void CRect::Intersect(const CRect& other)
{
    left = std::max(left, other.left);
    top = std::max(top, other.top);
    right = std::min(right, other.right);
    bottom = std::min(bottom, other.bottom);
}

std::vector<CRect> CRect::Subtract(const CRect& inner) const
{
    std::vector<CRect> bands;
    if (top < inner.top)
        bands.push_back({left, top, right, inner.top});
    if (left < inner.left)
        bands.push_back({left, inner.top, inner.left, inner.bottom});
    if (inner.right < right)
        bands.push_back({inner.right, inner.top, right, inner.bottom});
    if (inner.bottom < bottom)
        bands.push_back({left, inner.bottom, right, bottom});
    return bands;
}

} // namespace Brivox
