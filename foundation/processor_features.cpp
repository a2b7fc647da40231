#include "foundation/processor_features.h"

#include <cpuid.h>

namespace Brivox {

namespace {

// __get_cpuid checks that the processor has CPUID at all (the EFLAGS ID bit on 32-bit
// processors) and that the leaf is within the highest one of its range before it reads it.
std::uint32_t ReadCpuidEdx(unsigned leaf)
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(leaf, &eax, &ebx, &ecx, &edx))
        return 0;
    return edx;
}

} // namespace

std::uint32_t GetCpuFeatures()
{
    static const std::uint32_t features = ReadCpuidEdx(1);
    return features;
}

std::uint32_t GetExtendedCpuFeatures()
{
    static const std::uint32_t features = ReadCpuidEdx(0x80000001u);
    return features;
}

} // namespace Brivox
