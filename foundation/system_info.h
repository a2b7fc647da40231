#pragma once
#include "foundation/geometry.h"

#include <cstddef>
#include <cstdint>

namespace Brivox {

struct SMemoryStatus
{
    std::uint64_t availablePhysical = 0;
    std::uint64_t totalPhysical = 0;
};

// The platform's process counters in its order; the byte counts are as wide as the platform's.
struct SProcessMemoryCounters
{
    unsigned long pageFaultCount = 0;
    std::size_t peakWorkingSetSize = 0;
    std::size_t workingSetSize = 0;
    std::size_t quotaPeakPagedPoolUsage = 0;
    std::size_t quotaPagedPoolUsage = 0;
    std::size_t quotaPeakNonPagedPoolUsage = 0;
    std::size_t quotaNonPagedPoolUsage = 0;
    std::size_t pagefileUsage = 0;
    std::size_t peakPagefileUsage = 0;
};

// Windows 2000 or later (major version above 4). Not cached.
bool IsWindows2000OrLater();
// Physical memory; the page cache sizes itself on it. Never fails.
SMemoryStatus GetMemoryStatus();
// The current process's counters; throws DllNotFoundException or EntryPointNotFoundException
// when the system lacks them.
SProcessMemoryCounters GetProcessMemoryUsage();
// The cursor position in screen coordinates; (0, 0) when it cannot be had.
CPoint GetCursorPosition();

} // namespace Brivox
