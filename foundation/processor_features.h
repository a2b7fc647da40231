#pragma once
// The processor's feature bits, read once per process, so that pixel routines can choose their
// SIMD forms. Free of <windows.h>: pixel kernels include it.

#include <cstdint>

namespace Brivox {

// EDX of CPUID leaf 1 (bit 23: MMX, bit 26: SSE2); 0 without CPUID.
std::uint32_t GetCpuFeatures();
// EDX of CPUID leaf 0x80000001 (bit 31: 3DNow!, bit 30: extended 3DNow!); 0 when the processor
// has no such leaf.
std::uint32_t GetExtendedCpuFeatures();

} // namespace Brivox
