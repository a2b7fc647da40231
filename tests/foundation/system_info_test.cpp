#include "foundation/system_info.h"

#include <gtest/gtest.h>

TEST(GetMemoryStatus, AvailableWithinTotal)
{
    const Brivox::SMemoryStatus status = Brivox::GetMemoryStatus();
    EXPECT_GT(status.availablePhysical, 0u);
    EXPECT_LE(status.availablePhysical, status.totalPhysical);
}

TEST(GetProcessMemoryUsage, ReportsTheWorkingSet)
{
    const Brivox::SProcessMemoryCounters counters = Brivox::GetProcessMemoryUsage();
    EXPECT_GT(counters.workingSetSize, 0u);
    EXPECT_LE(counters.workingSetSize, counters.peakWorkingSetSize);
}

TEST(IsWindows2000OrLater, TrueOnEverySystemWeRunOn)
{
    EXPECT_TRUE(Brivox::IsWindows2000OrLater());
}
