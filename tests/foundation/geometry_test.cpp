#include "foundation/geometry.h"

#include <gtest/gtest.h>

using Brivox::CRect;
using Brivox::CSize;

TEST(CRect, IntersectKeepsAnEmptyResultUnnormalised)
{
    CRect r{0, 0, 10, 10};
    r.Intersect({5, -3, 20, 7});
    EXPECT_EQ(r, (CRect{5, 0, 10, 7}));

    CRect apart{0, 0, 10, 10};
    apart.Intersect({20, 30, 25, 35});
    EXPECT_EQ(apart, (CRect{20, 30, 10, 10}));
    EXPECT_TRUE(apart.IsEmpty());
}

TEST(CRect, SubtractGivesTheUncoveredBandsInOrder)
{
    const CRect outer{0, 0, 100, 100};
    const std::vector<CRect> expected{{0, 0, 100, 20}, {0, 20, 10, 80}, {90, 20, 100, 80}, {0, 80, 100, 100}};
    EXPECT_EQ(outer.Subtract({10, 20, 90, 80}), expected);
    EXPECT_TRUE(outer.Subtract(outer).empty());
    // An inner rectangle touching the left and bottom edges leaves only the top and right bands.
    const std::vector<CRect> two{{0, 0, 100, 50}, {60, 50, 100, 100}};
    EXPECT_EQ(outer.Subtract({0, 50, 60, 100}), two);
}

TEST(CSize, MinTakesEachSmallerSide)
{
    EXPECT_EQ((CSize{30, 5}.Min({10, 50})), (CSize{10, 5}));
}
