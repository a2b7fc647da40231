// Times the ways a page is scaled and turned on a 4000 × 3000 page and prints megapixels of source
// per second: Lanczos3 and averaging reduction to 1000 × 750 and enlargement × 2, Lanczos3 along
// rows to 2000 and 2010 columns and a fit to a 3840 × 2160 screen, on one thread and split over
// all processors; the smooth stretch blit to a 1920 × 1080 window and a quarter turn, which run on
// the calling thread.
//
//   resample_bench [repeats]

#include "bench/bench_timing.h"
#include "foundation/thread_pool.h"
#include "imaging/pixel_simd.h"
#include "imaging/plane.h"
#include "imaging/plane_fixtures.h"
#include "imaging/resample.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace Brivox;

namespace {

constexpr CSize kPage{4000, 3000};

void Report(const char* what, int threads, double seconds)
{
    const double megapixels = static_cast<double>(kPage.cx) * kPage.cy / 1e6;
    std::printf("%-44s %2d thread%s %8.1f ms %8.1f MP/s\n", what, threads, threads == 1 ? " " : "s",
                seconds * 1e3, megapixels / seconds);
}

} // namespace

int main(int argc, char** argv)
{
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    CMemoryPlane32 page(kPage);
    PlaneFixtures::FillRandom(page, 1);

    using Resize = void (CPlane32::*)(const CPlane32&);
    struct Case
    {
        const char* name;
        Resize resize;
        CSize size;
    };
    const Case cases[] = {
        {"Lanczos3 4000x3000 -> 1000x750", &CPlane32::ResizeLanczos3, {1000, 750}},
        {"averaging 4000x3000 -> 1000x750", &CPlane32::ResizeAveraging, {1000, 750}},
        {"Lanczos3 4000x3000 -> 8000x6000", &CPlane32::ResizeLanczos3, {8000, 6000}},
        {"averaging 4000x3000 -> 8000x6000", &CPlane32::ResizeAveraging, {8000, 6000}},
        // Along rows only. Below a ratio of 2 some Lanczos3 weights pass 16 bits.
        {"Lanczos3 4000x3000 -> 2000x3000", &CPlane32::ResizeLanczos3, {2000, 3000}},
        {"Lanczos3 4000x3000 -> 2010x3000", &CPlane32::ResizeLanczos3, {2010, 3000}},
        // A 4:3 page fitted to a 3840 × 2160 screen.
        {"Lanczos3 4000x3000 -> 2880x2160", &CPlane32::ResizeLanczos3, {2880, 2160}},
    };
    for (const Case& c : cases) {
        CMemoryPlane32 destination(c.size);
        for (const int threads : {1, GetProcessorCount()}) {
            Detail::SetResampleShares(threads);
            Report(c.name, threads, BestSeconds(repeats, [&] { (destination.*c.resize)(page); }));
        }
    }
    {
        // The integer kernels without SSE2, for comparison.
        CMemoryPlane32 destination({1000, 750});
        Detail::SetSimdKernelsAllowed(false);
        Detail::SetResampleShares(1);
        Report("Lanczos3 -> 1000x750, plain kernels", 1,
               BestSeconds(repeats, [&] { destination.ResizeLanczos3(page); }));
        Detail::SetSimdKernelsAllowed(true);
        Detail::SetResampleShares(0);
    }
    {
        // A page fitted into a 1920 × 1080 window keeps its 4:3 shape.
        CMemoryPlane32 window({1440, 1080});
        Report("smooth stretch blit -> 1440x1080", 1,
               BestSeconds(repeats, [&] { window.StretchBlitSmooth(page); }));
        CMemoryPlane32 turned({kPage.cy, kPage.cx});
        Report("quarter turn 4000x3000", 1, BestSeconds(repeats, [&] { turned.Rotate90Clockwise(page); }));
    }
    ThreadPool::Instance().Shutdown();
    return 0;
}
