#include "document/layout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace Brivox {

namespace {

// Rectangles hold int, but their extents and every product are taken in 64 bits: a side of
// 65535 pixels times a view of a few thousand already passes int.
using Wide = std::int64_t;

int Narrow(Wide value)
{
    return static_cast<int>(std::clamp<Wide>(value, INT_MIN, INT_MAX));
}

Wide Width(const CRect& r)
{
    return Wide{r.right} - r.left;
}

Wide Height(const CRect& r)
{
    return Wide{r.bottom} - r.top;
}

double Ratio(Wide a, Wide b)
{
    return static_cast<double>(a) / static_cast<double>(b);
}

// floor(x + 0.5). What is no number counts as 0, and the result stays far inside 64 bits so that
// sums of it with coordinates cannot wrap.
Wide Near(double x)
{
    constexpr double limit = 1e18;
    const double rounded = std::floor(x + 0.5);
    if (std::isnan(rounded))
        return 0;
    return static_cast<Wide>(std::clamp(rounded, -limit, limit));
}

// (a·b + c ÷ 2) ÷ c with c > 0, each ÷ truncating towards zero.
Wide ScaleDiv(Wide a, Wide b, Wide c)
{
    Wide product = 0;
    Wide sum = 0;
    if (!__builtin_mul_overflow(a, b, &product) && !__builtin_add_overflow(product, c / 2, &sum))
        return sum / c;
    // Only rectangles spanning more than 2^31 pixels get here; the result is saturated anyway.
    const long double quotient = std::trunc((static_cast<long double>(a) * b + c / 2) / c);
    return static_cast<Wide>(std::clamp<long double>(quotient, -1e18L, 1e18L));
}

// (w, h) taken from the extents of `from` to those of `to`; zeros when `from` has no extent.
CSize MapSize(Wide w, Wide h, const CRect& from, const CRect& to)
{
    const Wide fw = Width(from), fh = Height(from);
    if (fw <= 0 || fh <= 0)
        return {};
    return {Narrow(ScaleDiv(w, Width(to), fw)), Narrow(ScaleDiv(h, Height(to), fh))};
}

// An extent scaled by a factor: never negative.
int ScaleExtent(Wide extent, double factor)
{
    return extent <= 0 ? 0 : Narrow(std::max<Wide>(Near(static_cast<double>(extent) * factor), 0));
}

// The start of `extent` placed between low and high.
Wide Align(int low, int high, int extent, StretchingLayoutBase::Alignment alignment)
{
    switch (alignment) {
    case StretchingLayoutBase::AlignStart:
        return low;
    case StretchingLayoutBase::AlignEnd:
        return Wide{high} - extent;
    case StretchingLayoutBase::AlignCentre:
        break;
    }
    return low + (Wide{high} - extent - low) / 2;
}

double UsableRate(double rate)
{
    if (!std::isfinite(rate))
        return 1.0;
    return std::clamp(rate, FixedStretchingLayout::minRate, FixedStretchingLayout::maxRate);
}

} // namespace

void ILayout::CopyRectsFrom(const ILayout& other)
{
    SetImageRect(other.m_imageRect);
    SetViewRect(other.m_viewRect);
}

void ILayout::Recalculate()
{
    if (!m_dirty)
        return;
    Compute();
    m_dirty = false;
}

void ILayout::Compute()
{
    m_sourceRect = {};
    m_destRect = {};
    if (m_imageRect.IsEmpty() || m_viewRect.IsEmpty())
        return;
    const CRect& i = m_imageRect;
    const CRect d = DestinationRect();
    if (d.IsEmpty()) {
        m_sourceRect = i;
        m_destRect = d;
        return;
    }
    CRect c = d;
    c.Intersect(m_viewRect);
    // Only a simple layout's sub-rectangle far off the image puts it wholly outside the view;
    // mapping that back would give turned-over rectangles, which blits would draw mirrored.
    if (c.IsEmpty())
        return;
    const double sx = Ratio(Width(d), Width(i)), sy = Ratio(Height(d), Height(i));
    const CRect s = VisibleSource(d, c);
    CRect clipped = s;
    clipped.Intersect(i);
    // Whatever the image rectangle cut off the source maps forward into the view again.
    const auto forward = [](int cutEdge, int sourceEdge, int clippedEdge, double scale) {
        return Narrow(cutEdge - Near(static_cast<double>(Wide{sourceEdge} - clippedEdge) * scale));
    };
    c = {forward(c.left, s.left, clipped.left, sx), forward(c.top, s.top, clipped.top, sy),
         forward(c.right, s.right, clipped.right, sx), forward(c.bottom, s.bottom, clipped.bottom, sy)};
    m_sourceRect = clipped;
    m_destRect = c;
}

CRect ILayout::VisibleSource(const CRect& placed, const CRect& cut) const
{
    const CRect& i = m_imageRect;
    const double sx = Ratio(Width(placed), Width(i)), sy = Ratio(Height(placed), Height(i));
    const auto back = [](int imageEdge, int placedEdge, int cutEdge, double scale) {
        return Narrow(imageEdge - Near(static_cast<double>(Wide{placedEdge} - cutEdge) / scale));
    };
    return {back(i.left, placed.left, cut.left, sx), back(i.top, placed.top, cut.top, sy),
            back(i.right, placed.right, cut.right, sx), back(i.bottom, placed.bottom, cut.bottom, sy)};
}

const CRect& ILayout::GetSourceRect()
{
    Recalculate();
    return m_sourceRect;
}

const CRect& ILayout::GetDestRect()
{
    Recalculate();
    return m_destRect;
}

double ILayout::GetScaleX()
{
    Recalculate();
    const Wide sw = Width(m_sourceRect);
    return sw <= 0 ? 0.0 : Ratio(Width(m_destRect), sw);
}

double ILayout::GetScaleY()
{
    Recalculate();
    const Wide sh = Height(m_sourceRect);
    return sh <= 0 ? 0.0 : Ratio(Height(m_destRect), sh);
}

CSize ILayout::GetExcess()
{
    Recalculate();
    return {Narrow(Width(m_imageRect) - Width(m_sourceRect)),
            Narrow(Height(m_imageRect) - Height(m_sourceRect))};
}

CPoint ILayout::ClampOffset(CPoint offset)
{
    const CSize excess = GetExcess();
    return {std::max(std::min(offset.x, excess.cx), 0), std::max(std::min(offset.y, excess.cy), 0)};
}

CPoint ILayout::GetClampedOffset()
{
    Recalculate();
    return ClampOffset({Narrow(Wide{m_sourceRect.left} - m_imageRect.left),
                        Narrow(Wide{m_sourceRect.top} - m_imageRect.top)});
}

void ILayout::SetOrigin(CPoint offset)
{
    const CPoint o = ClampOffset(offset);
    const Wide sw = Width(m_sourceRect), sh = Height(m_sourceRect);
    const Wide left = Wide{m_imageRect.left} + o.x, top = Wide{m_imageRect.top} + o.y;
    m_sourceRect = {Narrow(left), Narrow(top), Narrow(left + sw), Narrow(top + sh)};
}

CPoint ILayout::ViewToImage(CPoint point)
{
    Recalculate();
    const Wide dw = Width(m_destRect), dh = Height(m_destRect);
    if (dw <= 0 || dh <= 0)
        return {};
    return {Narrow(m_sourceRect.left + ScaleDiv(Wide{point.x} - m_destRect.left, Width(m_sourceRect), dw)),
            Narrow(m_sourceRect.top + ScaleDiv(Wide{point.y} - m_destRect.top, Height(m_sourceRect), dh))};
}

CSize ILayout::DestToSource(CSize size)
{
    Recalculate();
    return MapSize(size.cx, size.cy, m_destRect, m_sourceRect);
}

CSize ILayout::SourceToDest(CSize size)
{
    Recalculate();
    return MapSize(size.cx, size.cy, m_sourceRect, m_destRect);
}

bool ILayout::IsUnscaled()
{
    Recalculate();
    return Width(m_destRect) == Width(m_sourceRect) && Height(m_destRect) == Height(m_sourceRect);
}

CSize ILayout::GetScaledImageSize()
{
    Recalculate();
    return MapSize(Width(m_imageRect), Height(m_imageRect), m_sourceRect, m_destRect);
}

CRect ILayout::GetImageDestRect()
{
    Recalculate();
    const Wide sw = Width(m_sourceRect), sh = Height(m_sourceRect);
    const Wide dw = Width(m_destRect), dh = Height(m_destRect);
    if (sw <= 0 || sh <= 0)
        return {0, 0, Narrow(dw), Narrow(dh)};
    const Wide x = ScaleDiv(dw, Wide{m_sourceRect.left} - m_imageRect.left, sw);
    const Wide y = ScaleDiv(dh, Wide{m_sourceRect.top} - m_imageRect.top, sh);
    return {Narrow(x), Narrow(y), Narrow(x + dw), Narrow(y + dh)};
}

CRect ILayout::ViewRectToSource(const CRect& rect)
{
    Recalculate();
    const CPoint p = ViewToImage({rect.left, rect.top});
    const CSize size = MapSize(Width(rect), Height(rect), m_destRect, m_sourceRect);
    return {p.x, p.y, Narrow(Wide{p.x} + size.cx), Narrow(Wide{p.y} + size.cy)};
}

std::shared_ptr<ILayout> SimpleLayout::Clone() const
{
    auto copy = std::make_shared<SimpleLayout>();
    copy->CopyRectsFrom(*this);
    copy->SetSourceSubRect(m_subRect);
    return copy;
}

CRect SimpleLayout::VisibleSource(const CRect&, const CRect& cut) const
{
    // Where the view's edge bounds the visible part, that edge is the sub-rectangle's by
    // definition. Mapping it back through the placement would add the placement's rounding,
    // divided by the scale: below a scale of about 3 the visible part would miss the sub-rectangle
    // by pixels. Elsewhere the image's own edge lies inside the view.
    const CRect& i = GetImageRect();
    const CRect& v = GetViewRect();
    const CRect& u = m_subRect;
    return {cut.left == v.left ? std::max(u.left, i.left) : i.left,
            cut.top == v.top ? std::max(u.top, i.top) : i.top,
            cut.right == v.right ? std::min(u.right, i.right) : i.right,
            cut.bottom == v.bottom ? std::min(u.bottom, i.bottom) : i.bottom};
}

CRect SimpleLayout::DestinationRect() const
{
    if (m_subRect.IsEmpty())
        return {};
    const CRect& i = GetImageRect();
    const CRect& v = GetViewRect();
    const CRect& u = m_subRect;
    const double tx = Ratio(Width(v), Width(u));
    const double ty = Ratio(Height(v), Height(u));
    const auto place = [](int viewEdge, int imageEdge, int subEdge, double scale) {
        return Narrow(viewEdge + Near(scale * static_cast<double>(Wide{imageEdge} - subEdge)));
    };
    return {place(v.left, i.left, u.left, tx), place(v.top, i.top, u.top, ty),
            place(v.right, i.right, u.right, tx), place(v.bottom, i.bottom, u.bottom, ty)};
}

void StretchingLayoutBase::CopyStretchingFrom(const StretchingLayoutBase& other)
{
    CopyRectsFrom(other);
    SetVerticalAlignment(other.m_vertical);
    SetHorizontalAlignment(other.m_horizontal);
}

CRect StretchingLayoutBase::DestinationRect() const
{
    const CSize size = ScaledSize();
    const CRect& v = GetViewRect();
    const Wide x = Align(v.left, v.right, size.cx, m_horizontal);
    const Wide y = Align(v.top, v.bottom, size.cy, m_vertical);
    return {Narrow(x), Narrow(y), Narrow(x + size.cx), Narrow(y + size.cy)};
}

std::shared_ptr<ILayout> AutoStretchingLayout::Clone() const
{
    auto copy = std::make_shared<AutoStretchingLayout>();
    copy->CopyStretchingFrom(*this);
    copy->SetShrinkAllowed(m_shrink);
    copy->SetEnlargeAllowed(m_enlarge);
    copy->SetStickOut(m_stickOut);
    return copy;
}

CSize AutoStretchingLayout::ScaledSize() const
{
    const CRect& i = GetImageRect();
    const CRect& v = GetViewRect();
    const Wide iw = Width(i), ih = Height(i);
    if (i.IsEmpty() || v.IsEmpty())
        return {Narrow(std::max<Wide>(iw, 0)), Narrow(std::max<Wide>(ih, 0))};
    const double a = Ratio(Height(v), ih);
    const double b = Ratio(Width(v), iw);
    const double factor = m_stickOut ? std::max(a, b) : std::min(a, b);
    if ((factor < 1.0 && m_shrink) || (factor > 1.0 && m_enlarge))
        return {ScaleExtent(iw, factor), ScaleExtent(ih, factor)};
    return {Narrow(iw), Narrow(ih)};
}

FixedStretchingLayout::FixedStretchingLayout(double rate) : m_rate(UsableRate(rate)) {}

std::shared_ptr<ILayout> FixedStretchingLayout::Clone() const
{
    auto copy = std::make_shared<FixedStretchingLayout>(m_rate);
    copy->CopyStretchingFrom(*this);
    return copy;
}

void FixedStretchingLayout::SetRate(double rate)
{
    SetParameter(m_rate, UsableRate(rate));
}

CSize FixedStretchingLayout::ScaledSize() const
{
    const CRect& i = GetImageRect();
    return {ScaleExtent(Width(i), m_rate), ScaleExtent(Height(i), m_rate)};
}

} // namespace Brivox
