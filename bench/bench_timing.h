#pragma once
// Timing shared by the benchmarks.

#include <algorithm>
#include <chrono>
#include <functional>

// The shortest of `repeats` runs, in seconds: the least disturbed by the rest of the machine.
inline double BestSeconds(int repeats, const std::function<void()>& run)
{
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best =
            std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}
