#include "imaging/plane_factory.h"

#include <gtest/gtest.h>

using namespace Brivox;

TEST(CDibPlaneFactory32, GivesBackTheLastReturnedPlaneWithItsSizeAndStorage)
{
    CDibPlaneFactory32 factory;
    EXPECT_TRUE(factory.IsEmpty());
    auto plane = factory.Create();
    EXPECT_EQ(plane->GetSize(), (CSize{-1, -1}));
    plane->Resize({30, 20});
    CPlane32* const first = plane.get();
    auto second = factory.Create();
    EXPECT_NE(second.get(), first);
    plane.reset();
    EXPECT_EQ(factory.GetFreeCount(), 1);
    EXPECT_FALSE(factory.IsEmpty());

    auto again = factory.Create();
    EXPECT_EQ(again.get(), first);
    EXPECT_EQ(again->GetSize(), (CSize{30, 20}));
    EXPECT_TRUE(again->GetStorage().IsValid());
    EXPECT_TRUE(factory.IsEmpty());

    again.reset();
    second.reset();
    EXPECT_EQ(factory.GetFreeCount(), 2);
    factory.SetMaxFree(1);
    EXPECT_EQ(factory.GetFreeCount(), 1);
    EXPECT_EQ(factory.Create().get(), first); // the older one was kept
    factory.Clear();
    EXPECT_TRUE(factory.IsEmpty());
}
