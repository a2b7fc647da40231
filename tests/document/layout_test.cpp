#include "document/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <utility>

namespace Brivox {
// Readable failures; internal linkage, so that other test files may print these records too.
static void PrintTo(const CRect& r, std::ostream* out)
{
    *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}
static void PrintTo(const CSize& s, std::ostream* out)
{
    *out << s.cx << " x " << s.cy;
}
} // namespace Brivox

using Brivox::AutoStretchingLayout;
using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::FixedStretchingLayout;
using Brivox::ILayout;
using Brivox::SimpleLayout;
using Brivox::StretchingLayoutBase;

namespace {

using Point = std::pair<int, int>;

Point P(CPoint p)
{
    return {p.x, p.y};
}

std::shared_ptr<AutoStretchingLayout> MakeAuto(CSize image, const CRect& view, bool shrink, bool enlarge,
                                               bool stickOut)
{
    auto layout = std::make_shared<AutoStretchingLayout>();
    layout->SetShrinkAllowed(shrink);
    layout->SetEnlargeAllowed(enlarge);
    layout->SetStickOut(stickOut);
    layout->SetImageRect({0, 0, image.cx, image.cy});
    layout->SetViewRect(view);
    return layout;
}

std::shared_ptr<FixedStretchingLayout> MakeFixed(CSize image, const CRect& view, double rate)
{
    auto layout = std::make_shared<FixedStretchingLayout>(rate);
    layout->SetImageRect({0, 0, image.cx, image.cy});
    layout->SetViewRect(view);
    return layout;
}

std::shared_ptr<SimpleLayout> MakeSimple(CSize image, const CRect& view, const CRect& sub)
{
    auto layout = std::make_shared<SimpleLayout>();
    layout->SetImageRect({0, 0, image.cx, image.cy});
    layout->SetViewRect(view);
    layout->SetSourceSubRect(sub);
    return layout;
}

bool Inside(const CRect& inner, const CRect& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

} // namespace

TEST(AutoStretchingLayout, PlacesByTheAllowedFactor)
{
    enum Flags
    {
        None = 0,
        Shrink = 1,
        Enlarge = 2,
        StickOut = 4
    };
    struct Case
    {
        const char* name;
        CSize image;
        int flags;
        CRect source, dest;
        bool unscaled;
    };
    // All in a 400 × 400 view. With stick out 800 × 600 takes the height ratio: 533 wide
    // (near 533.33), placed at (400 - 533) ÷ 2 = -66, truncated towards zero.
    const Case cases[] = {
        {"shrink", {800, 600}, Shrink, {0, 0, 800, 600}, {0, 50, 400, 350}, false},
        {"stick out", {800, 600}, Shrink | StickOut, {99, 0, 699, 600}, {0, 0, 400, 400}, false},
        {"actual, smaller", {200, 100}, None, {0, 0, 200, 100}, {100, 150, 300, 250}, true},
        {"actual, larger", {1000, 500}, None, {300, 50, 700, 450}, {0, 0, 400, 400}, true},
        {"stick out alone", {1000, 500}, StickOut, {300, 50, 700, 450}, {0, 0, 400, 400}, true},
        {"factor 1", {400, 300}, Shrink | Enlarge, {0, 0, 400, 300}, {0, 50, 400, 350}, true},
        {"enlarge", {100, 50}, Enlarge, {0, 0, 100, 50}, {0, 100, 400, 300}, false},
        {"shrink only", {100, 50}, Shrink, {0, 0, 100, 50}, {150, 175, 250, 225}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto layout =
            MakeAuto(c.image, {0, 0, 400, 400}, c.flags & Shrink, c.flags & Enlarge, c.flags & StickOut);
        EXPECT_EQ(layout->GetSourceRect(), c.source);
        EXPECT_EQ(layout->GetDestRect(), c.dest);
        EXPECT_EQ(layout->GetExcess(),
                  (CSize{c.image.cx - c.source.Width(), c.image.cy - c.source.Height()}));
        EXPECT_EQ(layout->IsUnscaled(), c.unscaled);
    }
    EXPECT_EQ(MakeAuto({800, 600}, {0, 0, 400, 400}, true, false, true)->DestinationRect(),
              (CRect{-66, 0, 467, 400}));
}

TEST(StretchingLayoutBase, AlignsAtStartCentreAndEnd)
{
    using A = StretchingLayoutBase::Alignment;
    constexpr A start = A::AlignStart, centre = A::AlignCentre, end = A::AlignEnd;
    struct Case
    {
        CSize image;
        A horizontal, vertical;
        CRect placed, source, dest;
    };
    // In the view (10, 20, 410, 420) at rate 1.
    const Case cases[] = {
        {{100, 50}, start, end, {10, 370, 110, 420}, {0, 0, 100, 50}, {10, 370, 110, 420}},
        {{100, 50}, centre, centre, {160, 195, 260, 245}, {0, 0, 100, 50}, {160, 195, 260, 245}},
        {{100, 50}, end, start, {310, 20, 410, 70}, {0, 0, 100, 50}, {310, 20, 410, 70}},
        {{600, 50}, end, start, {-190, 20, 410, 70}, {200, 0, 600, 50}, {10, 20, 410, 70}},
        {{600, 50}, start, start, {10, 20, 610, 70}, {0, 0, 400, 50}, {10, 20, 410, 70}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.image.cx << " " << c.horizontal << " " << c.vertical);
        const auto layout = MakeFixed(c.image, {10, 20, 410, 420}, 1.0);
        layout->SetHorizontalAlignment(c.horizontal);
        layout->SetVerticalAlignment(c.vertical);
        EXPECT_EQ(layout->DestinationRect(), c.placed);
        EXPECT_EQ(layout->GetSourceRect(), c.source);
        EXPECT_EQ(layout->GetDestRect(), c.dest);
    }
}

TEST(ILayout, ClampOffsetKeepsWithinTheExcess)
{
    struct Case
    {
        const char* name;
        CSize image;
        CRect imageRect;
        CPoint point, clamped;
    };
    const Case cases[] = {
        {"negative point", {1000, 500}, {0, 0, 1000, 500}, {-5, -7}, {0, 0}},
        {"beyond the excess", {1000, 500}, {0, 0, 1000, 500}, {700, 250}, {600, 100}},
        {"within the excess", {1000, 500}, {0, 0, 1000, 500}, {250, 40}, {250, 40}},
        {"image smaller than the view", {200, 100}, {0, 0, 200, 100}, {30, 30}, {0, 0}},
        // A turned-over image rectangle is empty and has a negative extent.
        {"negative excess", {0, 0}, {10, 10, 0, 0}, {5, 5}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto layout = MakeAuto(c.image, {0, 0, 400, 400}, false, false, false);
        layout->SetImageRect(c.imageRect);
        EXPECT_EQ(P(layout->ClampOffset(c.point)), P(c.clamped));
    }
    const auto negative = MakeAuto({}, {0, 0, 400, 400}, false, false, false);
    negative->SetImageRect({10, 10, 0, 0});
    EXPECT_EQ(negative->GetExcess(), (CSize{-10, -10}));
}

TEST(ILayout, SetOriginScrollsUntilTheNextRecalculation)
{
    // Actual size: 1000 × 500 in 400 × 400 can move by (600, 100).
    const auto layout = MakeAuto({1000, 500}, {0, 0, 400, 400}, false, false, false);
    layout->SetOrigin({600, 100});
    EXPECT_EQ(layout->GetSourceRect(), (CRect{600, 100, 1000, 500}));
    EXPECT_EQ(layout->GetDestRect(), (CRect{0, 0, 400, 400}));
    layout->SetOrigin({500, 80});
    EXPECT_EQ(P(layout->GetClampedOffset()), Point(500, 80));

    // A clone and a new view start again from the centred placement ...
    EXPECT_EQ(layout->Clone()->GetSourceRect(), (CRect{300, 50, 700, 450}));
    // ... so the view change reads the position first and sets it again, within the new excess.
    const CPoint offset = layout->GetClampedOffset();
    layout->SetViewRect({0, 0, 600, 450});
    EXPECT_EQ(layout->GetSourceRect(), (CRect{200, 25, 800, 475}));
    layout->SetOrigin(offset);
    EXPECT_EQ(layout->GetSourceRect(), (CRect{400, 50, 1000, 500}));
    EXPECT_EQ(layout->GetDestRect(), (CRect{0, 0, 600, 450}));
}

TEST(ILayout, ParametersTakeEffectAtTheNextRead)
{
    const auto layout = MakeAuto({800, 600}, {0, 0, 400, 400}, true, false, false);
    EXPECT_EQ(layout->GetSourceRect(), (CRect{0, 0, 800, 600}));
    layout->SetStickOut(true);
    EXPECT_EQ(layout->GetSourceRect(), (CRect{99, 0, 699, 600}));

    const auto fixed = MakeFixed({100, 60}, {0, 0, 400, 400}, 1.0);
    EXPECT_TRUE(fixed->IsUnscaled());
    EXPECT_EQ(fixed->GetScaleX(), 1.0);
    fixed->SetRate(2.0);
    EXPECT_EQ(fixed->GetDestRect(), (CRect{100, 140, 300, 260}));
    EXPECT_EQ(fixed->GetScaleY(), 2.0);
}

TEST(ILayout, EmptyViewOrImageGivesZeros)
{
    const std::pair<const char*, std::shared_ptr<ILayout>> layouts[] = {
        {"never set", std::make_shared<AutoStretchingLayout>()},
        {"empty view", MakeAuto({800, 600}, {0, 0, 0, 0}, true, true, true)},
        {"turned-over view", MakeFixed({800, 600}, {100, 100, 50, 200}, 2.0)},
        {"empty image", MakeAuto({0, 600}, {0, 0, 400, 400}, true, true, false)},
        {"empty image at a fixed rate", MakeFixed({800, 0}, {0, 0, 400, 400}, 1.0)},
        {"simple, empty view", MakeSimple({800, 600}, {5, 5, 5, 9}, {0, 0, 10, 10})},
    };
    for (const auto& [name, layout] : layouts) {
        SCOPED_TRACE(name);
        EXPECT_EQ(layout->GetDestRect(), CRect{});
        EXPECT_EQ(layout->GetSourceRect(), CRect{});
        EXPECT_EQ(P(layout->ViewToImage({5, 5})), Point(0, 0));
        EXPECT_EQ(layout->DestToSource({10, 10}), CSize{});
        EXPECT_EQ(layout->SourceToDest({10, 10}), CSize{});
        EXPECT_EQ(layout->GetScaledImageSize(), CSize{});
        EXPECT_EQ(layout->GetImageDestRect(), CRect{});
        EXPECT_EQ(layout->ViewRectToSource({1, 1, 9, 9}), CRect{});
        EXPECT_EQ(layout->GetScaleX(), 0.0);
        EXPECT_EQ(layout->GetScaleY(), 0.0);
    }
}

// 800 × 600 with stick out in a 400 × 400 view at (10, 20): placed at (10 + (-133 ÷ 2), 20) =
// (-56, 20) with 533 × 400, so the visible source is (99, 0, 699, 600) on the whole view; then
// scrolled to (150, 30), clamped to the excess (200, 0): source (150, 0, 750, 600), sw = 600,
// sh = 600, dw = 400, dh = 400.
TEST(ILayout, ScrolledStickOutConvertsByHand)
{
    const auto layout = MakeAuto({800, 600}, {10, 20, 410, 420}, true, false, true);
    EXPECT_EQ(layout->DestinationRect(), (CRect{-56, 20, 477, 420}));
    EXPECT_EQ(layout->GetSourceRect(), (CRect{99, 0, 699, 600}));
    layout->SetOrigin({150, 30});
    EXPECT_EQ(layout->GetSourceRect(), (CRect{150, 0, 750, 600}));
    EXPECT_EQ(layout->GetDestRect(), (CRect{10, 20, 410, 420}));

    // 150 + (100·600 + 200) ÷ 400 = 150 + 150; (50·600 + 200) ÷ 400 = 75.
    EXPECT_EQ(P(layout->ViewToImage({110, 70})), Point(300, 75));
    // Left of and above the destination: (-6·600 + 200) ÷ 400 = -8.5 → -8 and
    // (-2·600 + 200) ÷ 400 = -2.5 → -2, truncated towards zero.
    EXPECT_EQ(P(layout->ViewToImage({4, 18})), Point(142, -2));
    // (101·600 + 200) ÷ 400 = 152; (35·600 + 200) ÷ 400 = 53.
    EXPECT_EQ(layout->DestToSource({101, 35}), (CSize{152, 53}));
    // (99·400 + 300) ÷ 600 = 66.5 → 66; (45·400 + 300) ÷ 600 = 30.5 → 30.
    EXPECT_EQ(layout->SourceToDest({99, 45}), (CSize{66, 30}));
    // x = (400·150 + 300) ÷ 600 = 100, y = 0.
    EXPECT_EQ(layout->GetImageDestRect(), (CRect{100, 0, 500, 400}));
    EXPECT_EQ(layout->ViewRectToSource({4, 18, 105, 53}), (CRect{142, -2, 294, 51}));
    // (800·400 + 300) ÷ 600 = 533; (600·400 + 300) ÷ 600 = 400.
    EXPECT_EQ(layout->GetScaledImageSize(), (CSize{533, 400}));
    EXPECT_FALSE(layout->IsUnscaled());
}

// 300 × 200 at rate 1.5 (450 × 300) in a 300 × 200 view at (50, 40): placed at
// (50 + (-150 ÷ 2), 40 + (-100 ÷ 2)) = (-25, -10). Source left 0 - near(-75 / 1.5) = 50, top
// 0 - near(-50 / 1.5) = 33, right 300 - near(75 / 1.5) = 250, bottom 200 - near(50 / 1.5) = 167:
// sw = 200, sh = 134 on dw = 300, dh = 200.
TEST(ILayout, FixedRateConvertsByHand)
{
    const auto layout = MakeFixed({300, 200}, {50, 40, 350, 240}, 1.5);
    EXPECT_EQ(layout->DestinationRect(), (CRect{-25, -10, 425, 290}));
    EXPECT_EQ(layout->GetSourceRect(), (CRect{50, 33, 250, 167}));
    EXPECT_EQ(layout->GetDestRect(), (CRect{50, 40, 350, 240}));

    // 50 + (150·200 + 150) ÷ 300 = 50 + 100; 33 + (100·134 + 100) ÷ 200 = 33 + 67.
    EXPECT_EQ(P(layout->ViewToImage({200, 140})), Point(150, 100));
    // (30·200 + 150) ÷ 300 = 20; (30·134 + 100) ÷ 200 = 20.
    EXPECT_EQ(layout->DestToSource({30, 30}), (CSize{20, 20}));
    // (20·300 + 100) ÷ 200 = 30; (20·200 + 67) ÷ 134 = 30.
    EXPECT_EQ(layout->SourceToDest({20, 20}), (CSize{30, 30}));
    // x = (300·50 + 100) ÷ 200 = 75; y = (200·33 + 67) ÷ 134 = 49.
    EXPECT_EQ(layout->GetImageDestRect(), (CRect{75, 49, 375, 249}));
    EXPECT_EQ(layout->ViewRectToSource({200, 140, 230, 170}), (CRect{150, 100, 170, 120}));
    // (300·300 + 100) ÷ 200 = 450; (200·200 + 67) ÷ 134 = 299.
    EXPECT_EQ(layout->GetScaledImageSize(), (CSize{450, 299}));
}

TEST(SimpleLayout, SubRectangleFillsTheViewExactly)
{
    const CRect view{5, 7, 205, 157};
    const CRect subs[] = {
        {13, 29, 613, 458},   // shrunk to a third
        {100, 100, 117, 111}, // magnified about twelve times
        {433, 317, 640, 480}, // at the right and bottom edges
        {0, 0, 37, 23},       // at the left and top edges
        {0, 0, 640, 480},     // the whole image
        {1, 476, 639, 479},   // one pixel in from the edges, heavily distorted
    };
    for (const CRect& sub : subs) {
        SCOPED_TRACE(testing::PrintToString(sub));
        const auto layout = MakeSimple({640, 480}, view, sub);
        EXPECT_EQ(layout->GetSourceRect(), sub);
        EXPECT_EQ(layout->GetDestRect(), view);
        EXPECT_EQ(P(layout->ViewToImage({view.left, view.top})), Point(sub.left, sub.top));
        EXPECT_EQ(P(layout->ViewToImage({view.right, view.bottom})), Point(sub.right, sub.bottom));
    }
}

TEST(SimpleLayout, SubRectangleOffTheImageShowsOnlyTheImage)
{
    // Ten times: the part of the sub-rectangle beyond the image is left out of the destination.
    const auto pastEnd = MakeSimple({100, 100}, {0, 0, 100, 100}, {95, 95, 105, 105});
    EXPECT_EQ(pastEnd->GetSourceRect(), (CRect{95, 95, 100, 100}));
    EXPECT_EQ(pastEnd->GetDestRect(), (CRect{0, 0, 50, 50}));
    const auto beforeStart = MakeSimple({100, 100}, {0, 0, 100, 100}, {-3, -3, 7, 7});
    EXPECT_EQ(beforeStart->GetSourceRect(), (CRect{0, 0, 7, 7}));
    EXPECT_EQ(beforeStart->GetDestRect(), (CRect{30, 30, 100, 100}));

    // Wholly beside the image nothing is visible: no turned-over rectangle that a blit would
    // draw mirrored.
    const auto beside = MakeSimple({100, 100}, {0, 0, 100, 100}, {200, 200, 210, 210});
    EXPECT_EQ(beside->GetSourceRect(), CRect{});
    EXPECT_EQ(beside->GetDestRect(), CRect{});
    EXPECT_EQ(P(beside->ViewToImage({50, 50})), Point(0, 0));

    const auto empty = MakeSimple({100, 100}, {0, 0, 100, 100}, {10, 10, 10, 20});
    EXPECT_TRUE(empty->GetDestRect().IsEmpty());
}

TEST(FixedStretchingLayout, RateIsUsedWithinTheZoomLimits)
{
    struct Case
    {
        double rate, used;
        CSize scaled;
    };
    const Case cases[] = {
        {0.0, 0.0625, {6, 4}}, // near(6.25), near(3.75)
        {-1.0, 0.0625, {6, 4}},
        {1e6, 8.0, {800, 480}},
        {std::numeric_limits<double>::quiet_NaN(), 1.0, {100, 60}},
        {std::numeric_limits<double>::infinity(), 1.0, {100, 60}},
        {0.5, 0.5, {50, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        FixedStretchingLayout constructed(c.rate);
        EXPECT_EQ(constructed.GetRate(), c.used);
        const auto layout = MakeFixed({100, 60}, {0, 0, 1920, 1080}, 2.0);
        layout->SetRate(c.rate);
        EXPECT_EQ(layout->GetRate(), c.used);
        EXPECT_EQ(layout->ScaledSize(), c.scaled);
        EXPECT_EQ(layout->GetScaledImageSize(), c.scaled);
        EXPECT_TRUE(std::isfinite(layout->GetScaleX()));
    }
}

TEST(AutoStretchingLayout, LongStripWithStickOutStaysFinite)
{
    // Stick out takes the height ratio 1080: 65535·1080 = 70777800 wide, centred.
    const auto layout = MakeAuto({65535, 1}, {0, 0, 1920, 1080}, true, true, true);
    EXPECT_EQ(layout->ScaledSize(), (CSize{70777800, 1080}));
    EXPECT_EQ(layout->DestinationRect(), (CRect{-35387940, 0, 35389860, 1080}));
    EXPECT_EQ(layout->GetSourceRect(), (CRect{32767, 0, 32768, 1}));
    EXPECT_EQ(layout->GetDestRect(), (CRect{0, 0, 1920, 1080}));
    EXPECT_EQ(layout->GetExcess(), (CSize{65534, 0}));
    // 65535·1920 passes 32 bits only in its product's intermediate form, never in the result.
    EXPECT_EQ(layout->GetScaledImageSize(), (CSize{125827200, 1080}));
    EXPECT_EQ(P(layout->ViewToImage({1919, 1079})), Point(32768, 1));
    layout->SetOrigin({70000, 5});
    EXPECT_EQ(layout->GetSourceRect(), (CRect{65534, 0, 65535, 1}));
    EXPECT_EQ(layout->GetImageDestRect(), (CRect{125825280, 0, 125827200, 1080}));

    // A placement wider than int can hold is cut at its limit, never wrapped.
    const auto huge = MakeAuto({65535, 1}, {0, 0, 40000, 40000}, true, true, true);
    EXPECT_EQ(huge->ScaledSize().cx, std::numeric_limits<int>::max());
    EXPECT_TRUE(Inside(huge->GetSourceRect(), huge->GetImageRect()));
    EXPECT_EQ(huge->GetDestRect(), (CRect{0, 0, 40000, 40000}));
    EXPECT_GT(huge->GetScaledImageSize().cx, 0);
}

TEST(ILayout, RandomLayoutsKeepTheirInvariants)
{
    std::mt19937 random(20240522);
    const auto between = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    for (int round = 0; round < 3000; ++round) {
        const CSize image{between(1, 5000), between(1, 5000)};
        const int vl = between(-100, 100), vt = between(-100, 100);
        const CRect view{vl, vt, vl + between(1, 2500), vt + between(1, 2500)};
        std::shared_ptr<ILayout> layout;
        switch (round % 3) {
        case 0:
            layout = MakeAuto(image, view, between(0, 1), between(0, 1), between(0, 1));
            break;
        case 1:
            layout = MakeFixed(image, view, std::uniform_real_distribution<double>(0.0625, 8.0)(random));
            break;
        default: {
            const int w = between(1, image.cx), h = between(1, image.cy);
            const int l = between(-w / 2, image.cx - w / 2), t = between(-h / 2, image.cy - h / 2);
            layout = MakeSimple(image, view, {l, t, l + w, t + h});
        }
        }
        SCOPED_TRACE(testing::Message() << "round " << round);
        const CRect source = layout->GetSourceRect();
        const CRect dest = layout->GetDestRect();
        if (dest.IsEmpty())
            continue; // drawn smaller than half a pixel across
        ASSERT_TRUE(Inside(source, layout->GetImageRect()));
        ASSERT_TRUE(Inside(dest, view));

        const auto clone = layout->Clone();
        const CPoint p{between(view.left - 50, view.right + 50), between(view.top - 50, view.bottom + 50)};
        const CSize s{between(0, 3000), between(0, 3000)};
        ASSERT_EQ(clone->GetSourceRect(), source);
        ASSERT_EQ(clone->GetDestRect(), dest);
        ASSERT_EQ(P(clone->ViewToImage(p)), P(layout->ViewToImage(p)));
        ASSERT_EQ(clone->DestToSource(s), layout->DestToSource(s));
        ASSERT_EQ(clone->SourceToDest(s), layout->SourceToDest(s));
        ASSERT_EQ(clone->GetScaledImageSize(), layout->GetScaledImageSize());
        ASSERT_EQ(clone->GetImageDestRect(), layout->GetImageDestRect());

        const CSize excess = layout->GetExcess();
        const CPoint origin{between(-20, excess.cx + 20), between(-20, excess.cy + 20)};
        layout->SetOrigin(origin);
        const CRect moved = layout->GetSourceRect();
        ASSERT_EQ(moved.Width(), source.Width());
        ASSERT_EQ(moved.Height(), source.Height());
        ASSERT_TRUE(Inside(moved, layout->GetImageRect()));
        ASSERT_EQ(layout->GetDestRect(), dest);
        const CPoint offset = layout->GetClampedOffset();
        ASSERT_EQ(P(offset), P(layout->ClampOffset(origin)));
        ASSERT_TRUE(offset.x >= 0 && offset.x <= std::max(excess.cx, 0));
        ASSERT_TRUE(offset.y >= 0 && offset.y <= std::max(excess.cy, 0));

        // The destination's corners map onto the visible source's.
        ASSERT_EQ(P(layout->ViewToImage({dest.left, dest.top})), Point(moved.left, moved.top));
        ASSERT_EQ(P(layout->ViewToImage({dest.right, dest.bottom})), Point(moved.right, moved.bottom));
        ASSERT_EQ(layout->ViewRectToSource(dest), moved);
    }
}
