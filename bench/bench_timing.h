#pragma once
// Timing shared by the benchmarks.

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

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

// The middle value of the runs (the mean of the two middle ones for an even count); 0 for none.
inline double MedianSeconds(std::vector<double> seconds)
{
    if (seconds.empty())
        return 0;
    std::sort(seconds.begin(), seconds.end());
    const std::size_t half = seconds.size() / 2;
    return seconds.size() % 2 ? seconds[half] : (seconds[half - 1] + seconds[half]) / 2;
}

// The value below which the given fraction of the runs lies (the nearest rank); 0 for none.
inline double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}
