#pragma once
// The process-wide switch of the pixel kernels' SIMD forms. Every SIMD form gives the same bytes
// as its plain form; the switch exists so that tests and benchmarks can run both.

// Functions that use SSE2 intrinsics carry this attribute: the 32-bit build does not assume SSE2
// and calls them only after the processor has reported it.
#if defined(__i386__)
#define BRIVOX_SSE2_TARGET __attribute__((target("sse2")))
#else
#define BRIVOX_SSE2_TARGET
#endif

namespace Brivox {

// True when the SSE2 forms may run: the switch is on and the processor reports SSE2.
bool UseSse2Kernels();

namespace Detail {

// On for the whole life of the program; only tests and benchmarks turn it off.
void SetSimdKernelsAllowed(bool allowed);
bool SimdKernelsAllowed();

} // namespace Detail

} // namespace Brivox
