#include "foundation/processor_features.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#ifdef __x86_64__
TEST(ProcessorFeatures, ReportWhatEveryX64ProcessorHas)
{
    EXPECT_TRUE(Brivox::GetCpuFeatures() & (1u << 23)) << "MMX";
    EXPECT_TRUE(Brivox::GetCpuFeatures() & (1u << 26)) << "SSE2";
    EXPECT_TRUE(Brivox::GetExtendedCpuFeatures() & (1u << 29)) << "long mode";
}
#endif

TEST(ProcessorFeatures, EveryThreadAskingFirstGetsTheSameWords)
{
    std::vector<std::uint32_t> seen(8 * 2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&seen, i] {
            seen[2 * i] = Brivox::GetCpuFeatures();
            seen[2 * i + 1] = Brivox::GetExtendedCpuFeatures();
        });
    for (auto& thread : threads)
        thread.join();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(seen[2 * i], Brivox::GetCpuFeatures());
        EXPECT_EQ(seen[2 * i + 1], Brivox::GetExtendedCpuFeatures());
    }
}
