#pragma once
// Layouts place an image in a view: how large the image is drawn and where, which part of it is
// visible and where that part lands in the view, with conversions between view and image pixels.
// All arithmetic is integer (64-bit products) except the scale factors; every rounding goes to the
// nearest pixel with halves going up, and every division of integers truncates towards zero.
//
// A layout has no lock: one thread at a time uses it. Another thread gets a Clone.

#include "foundation/geometry.h"

#include <memory>

namespace Brivox {

class ILayout
{
public:
    ILayout(const ILayout&) = delete;
    ILayout& operator=(const ILayout&) = delete;
    virtual ~ILayout() = default;

    // A new layout of the same kind with the same image and view rectangles and parameters. Its
    // derived rectangles are computed afresh, so a scroll position set by SetOrigin is not taken.
    virtual std::shared_ptr<ILayout> Clone() const = 0;
    // Where the whole image lies, in view pixels; it may reach far beyond the view.
    virtual CRect DestinationRect() const = 0;

    const CRect& GetImageRect() const { return m_imageRect; }
    void SetImageRect(const CRect& rect) { SetParameter(m_imageRect, rect); }
    const CRect& GetViewRect() const { return m_viewRect; }
    void SetViewRect(const CRect& rect) { SetParameter(m_viewRect, rect); }

    // Computes the visible part again, from the aligned placement, when a rectangle or a parameter
    // changed since the last time. Every reader below calls it first.
    void Recalculate();

    // The visible part of the image, in image pixels.
    const CRect& GetSourceRect();
    // Where the visible part is drawn, in view pixels.
    const CRect& GetDestRect();

    // Destination pixels per visible source pixel; 0 when the visible part has no extent.
    double GetScaleX();
    double GetScaleY();
    // How far the visible part can move: the image's extent less the visible extent.
    CSize GetExcess();
    // Each coordinate limited to 0 … excess.
    CPoint ClampOffset(CPoint offset);
    // The present scroll position.
    CPoint GetClampedOffset();
    // Scrolls: the visible part keeps its size and starts at the clamped offset from the image's
    // corner; the destination stays. The next recomputation starts again from the aligned
    // placement, so whoever changes a rectangle reads the position first and sets it again.
    void SetOrigin(CPoint offset);

    // The following give zeros when nothing of the image is visible.
    CPoint ViewToImage(CPoint point);
    CSize DestToSource(CSize size);
    CSize SourceToDest(CSize size);
    // True when the visible part is drawn 1:1.
    bool IsUnscaled();
    // The whole image in view pixels, as a display copy of it must be sized.
    CSize GetScaledImageSize();
    // Where the visible part lies inside the scaled whole image.
    CRect GetImageDestRect();
    CRect ViewRectToSource(const CRect& rect);

protected:
    ILayout() = default;

    // Stores a rectangle or parameter that the placement depends on.
    template <class T> void SetParameter(T& field, const T& value)
    {
        field = value;
        m_dirty = true;
    }
    // Takes the other's image and view rectangles, as Clone must.
    void CopyRectsFrom(const ILayout& other);
    // The image rectangle with the parts of the placement (DestinationRect) that the view cut off
    // (`cut` is the placement within the view) taken off, each mapped back at the placement's
    // scale and rounded.
    virtual CRect VisibleSource(const CRect& placed, const CRect& cut) const;

private:
    void Compute();

    CRect m_imageRect;
    CRect m_viewRect;
    CRect m_sourceRect;
    CRect m_destRect;
    bool m_dirty = false;
};

// Maps a given part of the image (the source sub-rectangle) exactly onto the view; the rest of
// the image extends beyond the view in proportion.
class SimpleLayout : public ILayout
{
public:
    SimpleLayout() = default;

    std::shared_ptr<ILayout> Clone() const override;
    // Empty when the source sub-rectangle is empty.
    CRect DestinationRect() const override;

    const CRect& GetSourceSubRect() const { return m_subRect; }
    void SetSourceSubRect(const CRect& rect) { SetParameter(m_subRect, rect); }

protected:
    // Exactly the sub-rectangle where the view cuts the placement.
    CRect VisibleSource(const CRect& placed, const CRect& cut) const override;

private:
    CRect m_subRect;
};

// Places the image, scaled to a size of the derived layout's choosing, in the view by two
// alignments.
class StretchingLayoutBase : public ILayout
{
public:
    enum Alignment
    {
        AlignStart = 0,
        AlignCentre = 1,
        AlignEnd = 2
    };

    CRect DestinationRect() const override;
    // The size of the whole image in view pixels.
    virtual CSize ScaledSize() const = 0;

    Alignment GetVerticalAlignment() const { return m_vertical; }
    void SetVerticalAlignment(Alignment alignment) { SetParameter(m_vertical, alignment); }
    Alignment GetHorizontalAlignment() const { return m_horizontal; }
    void SetHorizontalAlignment(Alignment alignment) { SetParameter(m_horizontal, alignment); }

protected:
    StretchingLayoutBase() = default;

    void CopyStretchingFrom(const StretchingLayoutBase& other);

private:
    Alignment m_vertical = AlignCentre;
    Alignment m_horizontal = AlignCentre;
};

// Fits the image to the view: shrinks or enlarges it when allowed, by the smaller of the two
// ratios, or by the larger one with stick out (the image then fills the view in one direction
// and sticks out in the other). A ratio of exactly 1 never rescales.
class AutoStretchingLayout : public StretchingLayoutBase
{
public:
    AutoStretchingLayout() = default;

    std::shared_ptr<ILayout> Clone() const override;
    // The image's own size when the view or the image is empty.
    CSize ScaledSize() const override;

    bool IsShrinkAllowed() const { return m_shrink; }
    void SetShrinkAllowed(bool allowed) { SetParameter(m_shrink, allowed); }
    bool IsEnlargeAllowed() const { return m_enlarge; }
    void SetEnlargeAllowed(bool allowed) { SetParameter(m_enlarge, allowed); }
    bool IsStickOut() const { return m_stickOut; }
    void SetStickOut(bool stickOut) { SetParameter(m_stickOut, stickOut); }

private:
    bool m_shrink = false;
    bool m_enlarge = false;
    bool m_stickOut = false;
};

// Scales the image by a fixed rate.
class FixedStretchingLayout : public StretchingLayoutBase
{
public:
    // The zoom commands' limits. A rate outside them (a settings file may hold anything) is taken
    // at the nearer one, and a rate that is not a finite number as 1.
    static constexpr double minRate = 0.0625;
    static constexpr double maxRate = 8.0;

    explicit FixedStretchingLayout(double rate = 1.0);

    std::shared_ptr<ILayout> Clone() const override;
    CSize ScaledSize() const override;

    // The rate in use, within the limits.
    double GetRate() const { return m_rate; }
    void SetRate(double rate);

private:
    double m_rate = 1.0;
};

} // namespace Brivox
