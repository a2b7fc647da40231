#include "foundation/file_bytes.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

using Brivox::FileBytes;

namespace {

constexpr std::size_t MiB = std::size_t{1} << 20;

// Gives back blocks of 1 MiB until they are all the cache keeps: no request of the tests below
// fits them.
void FillCacheWithSmallBlocks()
{
    std::vector<FileBytes> blocks(8);
    for (FileBytes& block : blocks)
        block.resize(MiB);
}

} // namespace

// A large block given back serves the next file of about its size (no fresh memory to fault in),
// never one it cannot hold, nor one that would leave more than half of it unused.
TEST(FileBytes, AGivenBackBlockServesTheNextFileOfAboutItsSize)
{
    const struct
    {
        std::size_t givenBack, requested;
        bool reused;
    } cases[] = {
        {20 * MiB, 20 * MiB, true},     {21 * MiB, 21 * MiB - 1000, true},
        {22 * MiB, 11 * MiB + 1, true}, {23 * MiB, 23 * MiB + 1, false},
        {24 * MiB, 12 * MiB, false},    {45 * MiB / 2, 45 * MiB / 4, false},
    };
    for (const auto& c : cases) {
        FillCacheWithSmallBlocks();
        FileBytes first(c.givenBack);
        const unsigned char* block = first.data();
        FileBytes().swap(first);
        FileBytes next(c.requested);
        EXPECT_EQ(c.reused, next.data() == block) << c.givenBack << " then " << c.requested;
        // Every byte asked for is there to be written.
        next.front() = 1;
        next.back() = 2;
    }
}

// Growing one byte at a time crosses from small blocks to kept large ones and back to the heap:
// every reallocation keeps the bytes.
TEST(FileBytes, GrowingAcrossTheLargeBlockSizeKeepsTheBytes)
{
    FileBytes bytes;
    const std::size_t size = 3 * MiB + 17;
    for (std::size_t i = 0; i < size; ++i)
        bytes.push_back(static_cast<unsigned char>(i * 7 + i / 4096));
    for (std::size_t i = 0; i < size; ++i)
        ASSERT_EQ(static_cast<unsigned char>(i * 7 + i / 4096), bytes[i]) << i;
    bytes.resize(10);
    bytes.shrink_to_fit();
    EXPECT_EQ(static_cast<unsigned char>(9 * 7), bytes[9]);
}
