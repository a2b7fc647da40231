#pragma once
// Small planes from pixel lists, and the kernel switches set for the span of a test.
#include "imaging/pixel_simd.h"
#include "imaging/plane.h"
#include "imaging/resample.h"
#include "plane_fixtures.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace PlaneBuilders {

// A w × h heap plane holding `pixels` row after row.
inline void Fill(Brivox::CPlane32& plane, int w, int h, const std::vector<std::uint32_t>& pixels)
{
    plane.Resize({w, h});
    const Brivox::Detail::PlaneBitsLock bits(plane);
    for (int y = 0; y < h; ++y)
        std::memcpy(bits.Pixel(0, y), pixels.data() + static_cast<std::size_t>(y) * w,
                    4 * static_cast<std::size_t>(w));
}

// Grey pixels (B = G = R = v), alpha 0.
inline std::vector<std::uint32_t> Grey(const std::vector<int>& values)
{
    std::vector<std::uint32_t> pixels;
    for (const int v : values)
        pixels.push_back(static_cast<std::uint32_t>(v) * 0x010101u);
    return pixels;
}

// A plane filled with one value everywhere.
inline void Flood(Brivox::CPlane32& plane, int w, int h, std::uint32_t value)
{
    Fill(plane, w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, value));
}

// SIMD forms on or off and the number of shares a resampling pass is split into, for one scope.
class ScopedKernelForm
{
public:
    ScopedKernelForm(bool simd, int shares)
    {
        Brivox::Detail::SetSimdKernelsAllowed(simd);
        Brivox::Detail::SetResampleShares(shares);
    }
    ~ScopedKernelForm()
    {
        Brivox::Detail::SetSimdKernelsAllowed(true);
        Brivox::Detail::SetResampleShares(0);
    }
    ScopedKernelForm(const ScopedKernelForm&) = delete;
    ScopedKernelForm& operator=(const ScopedKernelForm&) = delete;
};

} // namespace PlaneBuilders
