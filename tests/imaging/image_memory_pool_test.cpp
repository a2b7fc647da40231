#include "imaging/image_memory_pool.h"

#include "imaging/plane.h"
#include "imaging/plane_factory.h"
#include "plane_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

using Brivox::MemoryBlockPool;

TEST(MemoryBlockPool, ReusesOnlyBlocksBelowTwiceTheRequest)
{
    MemoryBlockPool pool;
    void* small = pool.Alloc(100);  // capacity 100
    void* middle = pool.Alloc(144); // 148
    void* large = pool.Alloc(400);  // 404
    pool.Free(large);
    pool.Free(small);
    pool.Free(middle);
    ASSERT_EQ(pool.GetFreeCapacities(), (std::vector<std::uint32_t>{100, 148, 404}));

    struct Case
    {
        std::size_t request;
        void* reused; // null: a new block
        std::uint32_t capacity;
    };
    const Case cases[] = {
        {100, small, 100},   {80, small, 100},  {60, small, 100},
        {120, middle, 148},  {50, nullptr, 52}, // 100 is not below 100
        {200, nullptr, 204},                    // 404 is not below 400
        {0, nullptr, 4},
    };
    for (const Case& c : cases) {
        void* block = pool.Alloc(c.request);
        EXPECT_EQ(MemoryBlockPool::CapacityOf(block), c.capacity) << c.request;
        if (c.reused) {
            EXPECT_EQ(block, c.reused) << c.request;
            pool.Free(block);
        } else {
            EXPECT_TRUE(block != small && block != middle && block != large) << c.request;
            pool.Free(block);
        }
    }
    EXPECT_EQ(pool.GetFreeCapacities(), (std::vector<std::uint32_t>{4, 52, 100, 148, 204, 404}));
    pool.Clear();
    EXPECT_TRUE(pool.GetFreeCapacities().empty());
}

TEST(MemoryBlockPool, EqualCapacitiesQueueInTheOrderFreed)
{
    MemoryBlockPool pool;
    void* first = pool.Alloc(96);
    void* second = pool.Alloc(96);
    pool.Free(first);
    pool.Free(second);
    EXPECT_EQ(pool.Alloc(96), first);
    EXPECT_EQ(pool.Alloc(96), second);
    pool.Free(first);
    pool.Free(second);
}

TEST(PlanePools, TwoThreadsMakingAndDroppingPlanesLeaveThePoolsConsistent)
{
    Brivox::CDibPlaneFactory32 factory;
    // Each thread's planes hold its own colour; a block or plane handed to both threads at once
    // would show the other's.
    auto intactAfterFill = [](Brivox::CPlane& plane, COLORREF colour) {
        plane.Fill(colour);
        std::this_thread::yield();
        const auto pixels = PlaneFixtures::Pixels(plane);
        return std::all_of(pixels.begin(), pixels.end(),
                           [&](std::uint32_t p) { return p == pixels.front(); });
    };
    auto work = [&](COLORREF colour, unsigned seed, bool* intact) {
        std::mt19937 random(seed);
        auto side = [&] { return static_cast<int>(random() % 48) + 1; };
        for (int i = 0; i < 1000 && *intact; ++i) {
            Brivox::CMemoryPlane heap(static_cast<int>(random() % 4 + 1) * 8);
            heap.Resize({side(), side()});
            const auto pooled = factory.Create();
            pooled->Resize({side(), side()});
            *intact = intactAfterFill(heap, colour) && intactAfterFill(*pooled, colour);
        }
    };
    bool intact1 = true, intact2 = true;
    std::thread other(work, 0x000055u, 2u, &intact2);
    work(0x00AA00u, 1u, &intact1);
    other.join();
    EXPECT_TRUE(intact1);
    EXPECT_TRUE(intact2);

    const auto capacities = Brivox::GetMemoryBlockPool().GetFreeCapacities();
    EXPECT_TRUE(std::is_sorted(capacities.begin(), capacities.end()));
    for (std::uint32_t c : capacities)
        EXPECT_EQ(c % 8, 4u);
    // Never more than two planes were out at once, and each came back.
    EXPECT_GE(factory.GetFreeCount(), 1);
    EXPECT_LE(factory.GetFreeCount(), 2);
}
