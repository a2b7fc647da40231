#include "imaging/plane_clip.h"

#include <gtest/gtest.h>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::SPlaneClip;

namespace {

struct BlitCase
{
    const char* name;
    CSize destination, source;
    SPlaneClip clip;
    CPoint point;
    CRect rect;
    bool result;
    CPoint clippedPoint;
    CRect clippedRect;
};

const BlitCase blitCases[] = {
    {"whole source inside", {20, 20}, {10, 10}, {}, {3, 4}, {0, 0, 10, 10}, true, {3, 4}, {0, 0, 10, 10}},
    {"negative point", {20, 20}, {10, 10}, {}, {-5, -5}, {0, 0, 10, 10}, true, {0, 0}, {5, 5, 10, 10}},
    {"past the far corner", {20, 20}, {10, 10}, {}, {15, 15}, {0, 0, 10, 10}, true, {15, 15}, {0, 0, 5, 5}},
    {"past the corner and clipped",
     {20, 20},
     {10, 10},
     {{0, 0, 17, 17}, true},
     {15, 15},
     {0, 0, 10, 10},
     true,
     {15, 15},
     {0, 0, 2, 2}},
    {"disabled clip ignored",
     {20, 20},
     {10, 10},
     {{0, 0, 17, 17}, false},
     {15, 15},
     {0, 0, 10, 10},
     true,
     {15, 15},
     {0, 0, 5, 5}},
    {"huge rectangle means the whole source",
     {20, 20},
     {10, 8},
     {},
     {2, 3},
     {0, 0, 0x3FFFFFFF, 0x3FFFFFFF},
     true,
     {2, 3},
     {0, 0, 10, 8}},
    {"source rectangle starting left of the source",
     {20, 20},
     {10, 10},
     {},
     {4, 4},
     {-3, -2, 5, 5},
     true,
     {7, 6},
     {0, 0, 5, 5}},
    {"empty source rectangle", {20, 20}, {10, 10}, {}, {0, 0}, {5, 5, 5, 9}, false, {0, 0}, {5, 5, 5, 9}},
    {"entirely outside", {20, 20}, {10, 10}, {}, {30, 0}, {0, 0, 10, 10}, false, {}, {}},
    {"point far out with a huge rectangle",
     {20, 20},
     {10, 10},
     {},
     {0x7FFFFF00, 0},
     {0, 0, 0x3FFFFFFF, 0x3FFFFFFF},
     false,
     {},
     {}},
};

} // namespace

TEST(SPlaneClip, ClipBlitCases)
{
    for (const BlitCase& c : blitCases) {
        SCOPED_TRACE(c.name);
        CPoint point = c.point;
        CRect rect = c.rect;
        ASSERT_EQ(c.clip.ClipBlit(c.destination, c.source, point, rect), c.result);
        if (c.result || c.clippedRect.right != 0) {
            EXPECT_EQ(point.x, c.clippedPoint.x);
            EXPECT_EQ(point.y, c.clippedPoint.y);
            EXPECT_EQ(rect, c.clippedRect);
        }
    }
}

TEST(SPlaneClip, ClipDestinationCutsByTheClipOnly)
{
    CPoint point{-5, -5};
    CRect rect{0, 0, 10, 10};
    EXPECT_TRUE(SPlaneClip{}.ClipDestination(point, rect));
    EXPECT_EQ(rect, (CRect{0, 0, 10, 10}));
    EXPECT_EQ(point.x, -5);

    const SPlaneClip clip{{0, 0, 3, 100}, true};
    EXPECT_TRUE(clip.ClipDestination(point, rect));
    EXPECT_EQ(rect, (CRect{5, 5, 8, 10}));
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);
}

TEST(SPlaneClip, ClipToRectIgnoresTheEnabledFlag)
{
    const SPlaneClip bounds{{0, 0, 8, 6}, false};
    CRect r{-2, 3, 5, 20};
    EXPECT_TRUE(bounds.ClipToRect(r));
    EXPECT_EQ(r, (CRect{0, 3, 5, 6}));
    CRect outside{9, 0, 12, 3};
    EXPECT_FALSE(bounds.ClipToRect(outside));
}

TEST(SPlaneClip, ClipScaledDestinationMovesSourceEdgesByTheScale)
{
    struct Case
    {
        CRect destination, source;
        SPlaneClip clip;
        bool result;
        CRect clippedDestination, clippedSource;
    };
    const Case cases[] = {
        {{0, 0, 200, 200},
         {0, 0, 100, 100},
         {{50, 0, 200, 200}, true},
         true,
         {50, 0, 200, 200},
         {25, 0, 100, 100}},
        // 0 - floor(-100 / 3 + 0.5) = 33
        {{0, 0, 300, 100},
         {0, 0, 100, 100},
         {{100, 0, 300, 100}, true},
         true,
         {100, 0, 300, 100},
         {33, 0, 100, 100}},
        {{-10, -10, 50, 50}, {0, 0, 30, 30}, {}, true, {-10, -10, 50, 50}, {0, 0, 30, 30}},
        {{0, 0, 100, 100}, {0, 0, 10, 10}, {{200, 200, 300, 300}, true}, false, {200, 200, 100, 100}, {}},
        {{0, 0, 0, 10}, {0, 0, 10, 10}, {}, false, {0, 0, 0, 10}, {0, 0, 10, 10}},
    };
    for (const Case& c : cases) {
        CRect destination = c.destination, source = c.source;
        EXPECT_EQ(c.clip.ClipScaledDestination(destination, source), c.result);
        EXPECT_EQ(destination, c.clippedDestination);
        if (c.result || c.clippedSource.right != 0) {
            EXPECT_EQ(source, c.clippedSource);
        }
    }
}
