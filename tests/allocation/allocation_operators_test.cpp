// Kanoru2's global allocation operators, linked into this program as into Kanoru2: every
// allocation of the program, the C++ library's own included, goes through the process's
// small-block allocator.
#include "foundation/small_block_allocator.h"
#include "foundation/string.h"
#include "foundation/thread_sync.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Brivox::SmallBlockAllocator;
using Source = Brivox::SmallBlockAllocator::Source;

namespace {

SmallBlockAllocator& Allocator()
{
    return Brivox::GetSmallBlockAllocator();
}

} // namespace

TEST(AllocationOperators, RequestsOfUpTo64BytesComeFromThePools)
{
    const struct
    {
        std::size_t size;
        Source source;
    } cases[] = {{1, Source::SmallPool},  {32, Source::SmallPool}, {33, Source::LargePool},
                 {64, Source::LargePool}, {65, Source::Heap},      {5000, Source::Heap}};
    for (const auto& c : cases) {
        const int smallFree = Allocator().FreeBlocks(Source::SmallPool);
        const int largeFree = Allocator().FreeBlocks(Source::LargePool);
        char* p = new char[c.size];
        EXPECT_EQ(c.source, Allocator().SourceOf(p)) << c.size;
        EXPECT_EQ(smallFree - (c.source == Source::SmallPool), Allocator().FreeBlocks(Source::SmallPool));
        EXPECT_EQ(largeFree - (c.source == Source::LargePool), Allocator().FreeBlocks(Source::LargePool));
        delete[] p;
        EXPECT_EQ(smallFree, Allocator().FreeBlocks(Source::SmallPool));
        EXPECT_EQ(largeFree, Allocator().FreeBlocks(Source::LargePool));
    }
    auto single = std::make_unique<std::uint64_t>(7);
    EXPECT_EQ(Source::SmallPool, Allocator().SourceOf(single.get()));
}

TEST(AllocationOperators, TheLibrarysOwnAllocationsAndStringsUseThePools)
{
    // 41 bytes of the standard library's string: its own allocation reaches these operators.
    const std::string text(40, 'x');
    EXPECT_EQ(Source::LargePool, Allocator().SourceOf(text.data()));
    const Brivox::String name(L"Kanoru");
    EXPECT_EQ(Source::SmallPool, Allocator().SourceOf(name.CStr()));
}

TEST(AllocationOperators, ThreadsAllocatingAndFreeingAtOnceNeverShareABlock)
{
    const int threadCount = 4;
    const int rounds = 3000;
    const int smallFree = Allocator().FreeBlocks(Source::SmallPool);
    const int largeFree = Allocator().FreeBlocks(Source::LargePool);
    {
        Gate start;
        std::vector<int> damaged(threadCount, 0);
        std::vector<std::thread> threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.emplace_back([&, t] {
                // Each block is filled with a mark of its own and checked before it goes back, so
                // that a block handed to two owners at once shows.
                struct Live
                {
                    unsigned char* p;
                    std::size_t size;
                    unsigned char mark;
                };
                std::vector<Live> live(48, Live{nullptr, 0, 0});
                std::uint32_t seed = 12345u + 977u * static_cast<std::uint32_t>(t);
                start.Wait();
                for (int round = 0; round < rounds; ++round) {
                    seed = seed * 1664525u + 1013904223u;
                    Live& slot = live[(seed >> 8) % live.size()];
                    if (slot.p) {
                        for (std::size_t i = 0; i < slot.size; ++i)
                            damaged[t] += slot.p[i] != slot.mark;
                        delete[] slot.p;
                    }
                    slot.size = 1 + (seed >> 16) % 96;
                    slot.mark = static_cast<unsigned char>(t * 64 + round % 64);
                    slot.p = new unsigned char[slot.size];
                    std::memset(slot.p, slot.mark, slot.size);
                }
                for (Live& slot : live)
                    delete[] slot.p;
            });
        }
        start.Open();
        for (std::thread& thread : threads)
            thread.join();
        for (int t = 0; t < threadCount; ++t)
            EXPECT_EQ(0, damaged[t]) << "thread " << t;
    }
    EXPECT_EQ(smallFree, Allocator().FreeBlocks(Source::SmallPool));
    EXPECT_EQ(largeFree, Allocator().FreeBlocks(Source::LargePool));
}
