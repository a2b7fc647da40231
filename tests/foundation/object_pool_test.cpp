#include "foundation/object_pool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

namespace {

// Allocations made by the calling thread while counting is on. A pool's deleter must not
// allocate: it runs where an allocation failure can only end the program.
thread_local bool countAllocations = false;
thread_local int allocations = 0;

} // namespace

// Only the allocation is replaced: the library's own operator delete frees with free().
void* operator new(std::size_t size)
{
    if (countAllocations)
        ++allocations;
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

namespace {

struct Tracked
{
    static inline int made = 0;
    static inline std::vector<int> destroyed;
    int id = ++made;
    ~Tracked() { destroyed.push_back(id); }
};

class ObjectPoolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Tracked::made = 0;
        Tracked::destroyed.clear();
    }
};

// Takes n objects and gives them back in the order they were taken.
void TakeAndReturn(Brivox::ObjectPool<Tracked>& pool, int n)
{
    std::vector<std::shared_ptr<Tracked>> taken;
    for (int i = 0; i < n; ++i)
        taken.push_back(pool.Create());
    for (auto& object : taken)
        object.reset();
}

} // namespace

TEST_F(ObjectPoolTest, HandsOutTheMostRecentlyReturnedFirst)
{
    Brivox::ObjectPool<Tracked> pool;
    auto a = pool.Create();
    auto b = pool.Create();
    Tracked* first = a.get();
    Tracked* second = b.get();
    a.reset();
    b.reset();
    EXPECT_TRUE(Tracked::destroyed.empty());

    auto again1 = pool.Create();
    auto again2 = pool.Create();
    auto fresh = pool.Create();
    EXPECT_EQ(again1.get(), second);
    EXPECT_EQ(again2.get(), first);
    EXPECT_EQ(fresh->id, 3);
}

TEST_F(ObjectPoolTest, SetMaxFreeDestroysTheMostRecentSurplusOnlyThen)
{
    Brivox::ObjectPool<Tracked> pool;
    TakeAndReturn(pool, 6); // returned 1..6, 6 most recent
    pool.SetMaxFree(4);
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{5, 6}));

    // The four oldest stay; a return beyond the maximum is kept (no trim on return).
    TakeAndReturn(pool, 5);
    EXPECT_EQ(Tracked::made, 7);
    EXPECT_EQ(Tracked::destroyed.size(), 2u);
}

TEST_F(ObjectPoolTest, SetMaxFreeWithoutAPositiveMaximumDestroysNothing)
{
    for (int n : {0, -1, -5}) {
        SetUp();
        Brivox::ObjectPool<Tracked> pool;
        TakeAndReturn(pool, 3);
        pool.SetMaxFree(n);
        EXPECT_TRUE(Tracked::destroyed.empty()) << n;
        TakeAndReturn(pool, 3);
        EXPECT_EQ(Tracked::made, 3) << n;
    }
}

TEST_F(ObjectPoolTest, ClearDestroysTheFreeObjectsOnly)
{
    Brivox::ObjectPool<Tracked> pool;
    pool.Clear(); // empty: nothing happens
    auto kept = pool.Create();
    TakeAndReturn(pool, 2); // ids 2 and 3
    pool.Clear();
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{2, 3}));

    // An object handed out during Clear comes back to the pool and is reused.
    Tracked* keptAddress = kept.get();
    kept.reset();
    EXPECT_EQ(pool.Create().get(), keptAddress);
}

TEST_F(ObjectPoolTest, GivingBackAllocatesNothingAlsoAfterATrimOrAClear)
{
    Brivox::ObjectPool<Tracked> pool;
    std::vector<std::shared_ptr<Tracked>> kept;
    for (int i = 0; i < 4; ++i)
        kept.push_back(pool.Create());
    TakeAndReturn(pool, 3);
    pool.SetMaxFree(1);
    pool.Clear();

    countAllocations = true;
    allocations = 0;
    kept.clear();
    countAllocations = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(pool.GetFreeCount(), 4u);
}

TEST_F(ObjectPoolTest, DestructorDestroysTheFreeObjectsInListOrder)
{
    {
        Brivox::ObjectPool<Tracked> pool;
        TakeAndReturn(pool, 3);
    }
    EXPECT_EQ(Tracked::destroyed, (std::vector<int>{1, 2, 3}));
}

namespace {

struct IShape
{
    virtual ~IShape() = default;
    virtual int Corners() const = 0;
};

struct Square : IShape
{
    static inline int alive = 0;
    Square() { ++alive; }
    ~Square() override { --alive; }
    int Corners() const override { return 4; }
};

} // namespace

TEST(DefaultFactory, MakesANewObjectPerRequestDestroyedByItsLastOwner)
{
    Brivox::DefaultFactory<Square, IShape> squares;
    Brivox::IFactory<IShape>& factory = squares;
    auto a = factory.Create();
    auto b = factory.Create();
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(a->Corners(), 4);
    EXPECT_EQ(Square::alive, 2);
    a.reset();
    b.reset();
    EXPECT_EQ(Square::alive, 0);
}
