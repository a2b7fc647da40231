#include "imaging/pixel_simd.h"

#include "foundation/processor_features.h"

#include <atomic>

namespace Brivox {

namespace {

std::atomic<bool> simdAllowed{true};

constexpr std::uint32_t kSse2Bit = 1u << 26;

} // namespace

bool UseSse2Kernels()
{
    return simdAllowed.load(std::memory_order_relaxed) && (GetCpuFeatures() & kSse2Bit) != 0;
}

namespace Detail {

void SetSimdKernelsAllowed(bool allowed)
{
    simdAllowed.store(allowed, std::memory_order_relaxed);
}

bool SimdKernelsAllowed()
{
    return simdAllowed.load(std::memory_order_relaxed);
}

} // namespace Detail

} // namespace Brivox
