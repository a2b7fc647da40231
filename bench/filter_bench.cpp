// Times the neighbourhood filters of the filter chain on a 4000 × 3000 page and prints megapixels
// per second: the Gaussian blur at σ 2, the unsharp mask (its blur at the default σ 1.5 and the
// sharpening against it, and the sharpening alone) and the 3×3 median, with the SSE2 kernels and
// with the plain ones where a filter has both. All run on the calling thread, as the page loader
// runs them.
//
//   filter_bench [repeats]

#include "bench/bench_timing.h"
#include "imaging/pixel_simd.h"
#include "imaging/plane.h"
#include "imaging/plane_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Brivox;

namespace {

constexpr CSize kPage{4000, 3000};
constexpr CRect kWhole{0, 0, kPage.cx, kPage.cy};

void Report(const char* what, double seconds)
{
    const double megapixels = static_cast<double>(kPage.cx) * kPage.cy / 1e6;
    std::printf("%-46s %8.1f ms %8.1f MP/s\n", what, seconds * 1e3, megapixels / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    CMemoryPlane32 page(kPage), blurred(kPage), out(kPage);
    PlaneFixtures::FillRandom(page, 1);

    std::printf("4000x3000, one thread, best of %d\n", repeats);
    Report("Gaussian blur sigma 2", BestSeconds(repeats, [&] { out.GaussBlur(page, {0, 0}, kWhole, 2.0); }));
    Report("unsharp mask (blur sigma 1.5 and sharpening)", BestSeconds(repeats, [&] {
               blurred.GaussBlur(page, {0, 0}, kWhole, 1.5);
               out.UnsharpMask(page, blurred, {0, 0}, kWhole, {0, 0});
           }));
    Report("unsharp mask, sharpening alone", BestSeconds(repeats, [&] {
               out.UnsharpMask(page, blurred, {0, 0}, kWhole, {0, 0});
           }));
    Report("median 3x3", BestSeconds(repeats, [&] { out.Median(page, {0, 0}, kWhole); }));

    // The same without SSE2, for comparison.
    Detail::SetSimdKernelsAllowed(false);
    Report("Gaussian blur sigma 2, plain kernels", BestSeconds(repeats, [&] {
               out.GaussBlur(page, {0, 0}, kWhole, 2.0);
           }));
    Report("median 3x3, plain kernels", BestSeconds(repeats, [&] { out.Median(page, {0, 0}, kWhole); }));
    Detail::SetSimdKernelsAllowed(true);
    return 0;
}
