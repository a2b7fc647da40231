#include "foundation/small_block_allocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

using Brivox::SmallBlockAllocator;
using Source = Brivox::SmallBlockAllocator::Source;

namespace {

// An allocator of its own (this program keeps the C++ library's operators), on the heap: it is
// too large for a thread's stack.
class SmallBlockAllocatorTest : public testing::Test
{
protected:
    std::unique_ptr<SmallBlockAllocator> allocator = std::make_unique<SmallBlockAllocator>();
};

} // namespace

TEST_F(SmallBlockAllocatorTest, LastBlocksComeFirstAndAReleasedBlockIsTheNextOne)
{
    // Block 8191 of the small pool holds the lock.
    EXPECT_EQ(SmallBlockAllocator::smallBlockCount - 1, allocator->FreeBlocks(Source::SmallPool));
    void* first = allocator->LockedAllocate(32);
    void* second = allocator->LockedAllocate(0);
    EXPECT_EQ(allocator->BlockAddress(Source::SmallPool, 8190), first);
    EXPECT_EQ(allocator->BlockAddress(Source::SmallPool, 8189), second);
    allocator->LockedFree(second);
    EXPECT_EQ(second, allocator->LockedAllocate(1));
    allocator->LockedFree(nullptr);
    EXPECT_EQ(SmallBlockAllocator::smallBlockCount - 3, allocator->FreeBlocks(Source::SmallPool));
}

TEST_F(SmallBlockAllocatorTest, RequestsGoToThePoolOfTheirSizeOrTheHeap)
{
    const struct
    {
        std::size_t size;
        Source source;
    } cases[] = {{1, Source::SmallPool},  {32, Source::SmallPool}, {33, Source::LargePool},
                 {64, Source::LargePool}, {65, Source::Heap},      {100000, Source::Heap}};
    for (const auto& c : cases) {
        void* p = allocator->LockedAllocate(c.size);
        EXPECT_EQ(c.source, allocator->SourceOf(p)) << c.size;
        // Blocks are aligned for any type the pools can hold (16 bytes on x86_64).
        EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(p) % SmallBlockAllocator::blockAlignment) << c.size;
        allocator->LockedFree(p);
    }
    EXPECT_EQ(sizeof(void*) == 8 ? 16u : 8u, SmallBlockAllocator::blockAlignment);
    EXPECT_EQ(SmallBlockAllocator::smallBlockCount - 1, allocator->FreeBlocks(Source::SmallPool));
    EXPECT_EQ(SmallBlockAllocator::largeBlockCount, allocator->FreeBlocks(Source::LargePool));
}

TEST_F(SmallBlockAllocatorTest, SmallRequestsSpillToTheLargePoolAndThenToTheHeap)
{
    std::vector<void*> blocks;
    std::set<void*> distinct;
    const auto take = [&](std::size_t size, Source expected, int count) {
        for (int i = 0; i < count; ++i) {
            void* p = allocator->LockedAllocate(size);
            ASSERT_EQ(expected, allocator->SourceOf(p)) << "request " << i << " of " << size << " bytes";
            blocks.push_back(p);
            distinct.insert(p);
        }
    };
    take(16, Source::SmallPool, SmallBlockAllocator::smallBlockCount - 1);
    take(16, Source::LargePool, SmallBlockAllocator::largeBlockCount);
    take(16, Source::Heap, 1);
    take(64, Source::Heap, 1);
    EXPECT_EQ(blocks.size(), distinct.size());
    EXPECT_EQ(0, allocator->FreeBlocks(Source::SmallPool));
    EXPECT_EQ(0, allocator->FreeBlocks(Source::LargePool));

    for (void* p : blocks)
        allocator->LockedFree(p);
    EXPECT_EQ(SmallBlockAllocator::smallBlockCount - 1, allocator->FreeBlocks(Source::SmallPool));
    EXPECT_EQ(SmallBlockAllocator::largeBlockCount, allocator->FreeBlocks(Source::LargePool));
}

TEST_F(SmallBlockAllocatorTest, AfterTheExitStepTheLockBlockIsFreeAndThePoolsStillServe)
{
    allocator->DropLock();
    EXPECT_EQ(SmallBlockAllocator::smallBlockCount, allocator->FreeBlocks(Source::SmallPool));
    void* p = allocator->LockedAllocate(8);
    EXPECT_EQ(allocator->BlockAddress(Source::SmallPool, 8191), p);
    allocator->LockedFree(p);
    EXPECT_EQ(SmallBlockAllocator::smallBlockCount, allocator->FreeBlocks(Source::SmallPool));
}

TEST_F(SmallBlockAllocatorTest, BlockReleasedTwiceDoesNotOverrunTheFreeStack)
{
    void* p = allocator->LockedAllocate(40);
    allocator->LockedFree(p);
    allocator->LockedFree(p);
    EXPECT_EQ(SmallBlockAllocator::largeBlockCount, allocator->FreeBlocks(Source::LargePool));
}
