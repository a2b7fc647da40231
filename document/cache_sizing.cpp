#include "document/cache_sizing.h"

#include <algorithm>
#include <climits>

namespace {

int LoaderRing(bool loaderCaching, std::int64_t slots, bool spread)
{
    // A spread page needs its partner decoded too, so more files per slot.
    return loaderCaching ? static_cast<int>(std::max<std::int64_t>(slots, 0) * (spread ? 5 : 3)) : 0;
}

} // namespace

SCacheSizing ComputeCacheSizing(const SCacheSizingInput& input, std::uint64_t availableBytes)
{
    SCacheSizing sizing;
    if (!input.imageCache) {
        sizing.loaderRing = LoaderRing(input.loaderCaching, 1, input.spread);
        return sizing;
    }
    // 64-bit throughout: a large base size must not wrap into a small page.
    const std::int64_t width = std::max(input.baseWidth, 1);
    const std::int64_t height = std::max(input.baseHeight, 1);
    const std::int64_t gap = std::max(input.paddingCenter, 0);
    std::int64_t bytes = input.spread ? 2 * width * height * 4 + gap * height * 4 : width * height * 4;
    bytes += bytes / 8;
    // Capped rather than cut to 32 bits, which could turn plenty of memory into a negative count.
    std::int64_t n = static_cast<std::int64_t>(
        std::min<std::uint64_t>(availableBytes / static_cast<std::uint64_t>(bytes), INT_MAX));
    n -= 2;
    const std::int64_t share = input.autoMax;
    // An extra stays only while twice its share is left, and then takes that share.
    auto keep = [&](bool wanted) {
        if (!wanted || n < 2 * share)
            return false;
        n -= share;
        return true;
    };
    sizing.displayCopies = keep(input.displayCopies);
    const bool loader = keep(input.loaderCaching);
    n = std::min(n, share);
    sizing.loaderRing = LoaderRing(loader, n, input.spread);
    sizing.ringSize = static_cast<int>(std::max<std::int64_t>(n, 1));
    sizing.lookAhead = sizing.ringSize / 2;
    return sizing;
}
