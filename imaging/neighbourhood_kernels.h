#pragma once
// Kernels of the neighbourhood filters over rows of 32-bit pixels 0xAARRGGBB (strides in pixels).
// The area's edges are the image's edges: nothing beyond them is read.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Brivox::Kernels {

struct SFilterRows
{
    std::uint32_t* out;
    std::ptrdiff_t outStride;
    const std::uint32_t* in;
    std::ptrdiff_t inStride;
};

// Per-byte mean of two pixels, alpha included.
inline std::uint32_t MeanOfTwo(std::uint32_t a, std::uint32_t b)
{
    return (a & b) + (((a ^ b) >> 1) & 0x7F7F7F7Fu);
}

// For each of R, G, B: clamp(c + (c − n) / 2, 0, 255), the division truncating toward zero;
// alpha 0.
std::uint32_t SharpenPixel(std::uint32_t c, std::uint32_t n);
// For each of R, G, B: clamp(2c − n, 0, 255); alpha 0.
std::uint32_t SharpenPixelStrong(std::uint32_t c, std::uint32_t n);

enum class ENeighbourFilter
{
    // Per-byte mean of the pixel and its neighbourhood.
    Blur,
    Sharpen,
    SharpenStrong,
};

// Every pixel of a w × h area (both at least 2) from itself and the mean of its direct neighbours
// inside the area: four inside, three (per channel (sum × 85) >> 8, alpha 0) on an edge, two
// (per-byte mean, alpha included) in a corner. The areas must not overlap.
void NeighbourRows(ENeighbourFilter filter, const SFilterRows& rows, int w, int h);

// out = SharpenPixel(source, blurred) for a w × h area; out may be the source itself.
void UnsharpRows(std::uint32_t* out, std::ptrdiff_t outStride, const std::uint32_t* source,
                 std::ptrdiff_t sourceStride, const std::uint32_t* blurred, std::ptrdiff_t blurredStride,
                 int w, int h);

// The 3×3 median by R + G + B of every pixel off the border of a w × h area (both at least 3): the
// fifth of the nine pixels in the window, taken in row order from the top left and ordered by key,
// pixels of equal key in the order they were taken; the pixel is copied whole. The border pixels
// are copied unchanged. The areas must not overlap.
void MedianRows(const SFilterRows& rows, int w, int h);

// Gaussian weights 64 × exp(−i² / (2σ²)) truncated, for i = 0 … radius.
std::vector<int> GaussWeights(double sigma, int radius);

// One pass of the separable Gaussian along rows (`lines` rows of `length` pixels) or along columns
// (`lines` columns of `length` pixels): each channel the weighted mean of the taps that lie within
// the line (the weights of the taps used, truncated); alpha 0.
void GaussRows(const SFilterRows& rows, int length, int lines, const std::vector<int>& weights);
void GaussColumns(const SFilterRows& rows, int length, int lines, const std::vector<int>& weights);

namespace Detail {

// Both forms of the median, for tests and the benchmark; MedianRows picks one.
void MedianRowsPlain(const SFilterRows& rows, int w, int h);
void MedianRowsSse2(const SFilterRows& rows, int w, int h);

// The three rows of a median window and the keys R + G + B of their pixels.
struct SMedianWindow
{
    const std::uint32_t* pixels[3];
    const std::uint16_t* keys[3];
};

// Exact n / d for 0 ≤ n < 2^31 and 1 ≤ d < 2^24, as (n × m) >> shift with m = ⌈2^shift / d⌉ and
// shift = 31 + ⌈log2 d⌉: then m < 2^32 and the product fits 64 bits.
struct SDivisor
{
    explicit SDivisor(std::uint32_t d);
    std::uint32_t operator()(std::uint32_t n) const
    {
        return static_cast<std::uint32_t>((std::uint64_t{n} * m) >> shift);
    }

    std::uint32_t m;
    int shift;
};

// The taps of one position of a Gaussian line: offsets first … last around it, and the divisor of
// the sum of their weights.
struct SGaussTaps
{
    int first, last;
    SDivisor divisor;
};

std::vector<SGaussTaps> GaussLineTaps(int length, const std::vector<int>& weights);

// Positions [from, to) of a line whose taps are alike for each: tap k of position x is taps[k][x];
// each channel the weighted sum through the divisor; alpha 0.
void GaussSpanPlain(std::uint32_t* out, const std::uint32_t* const* taps, const int* weights, int count,
                    SDivisor divisor, int from, int to);
// The same four positions at a time, as far as whole groups of four reach; returns where it
// stopped.
int GaussSpanSse2(std::uint32_t* out, const std::uint32_t* const* taps, const int* weights, int count,
                  SDivisor divisor, int from, int to);

// Medians of the pixels [first, end) of the middle row (1 ≤ first, end ≤ w − 1) into out.
void MedianSpanPlain(std::uint32_t* out, const SMedianWindow& window, int first, int end);
// The same eight pixels at a time, as far as whole groups of eight reach; returns where it stopped.
int MedianSpanSse2(std::uint32_t* out, const SMedianWindow& window, int first, int end);

} // namespace Detail

} // namespace Brivox::Kernels
