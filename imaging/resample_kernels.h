#pragma once
// Weight tables and line kernels of the two-pass resampler. Pixels are 32-bit words 0xAARRGGBB;
// strides are in pixels. Weights are signed 16.16 fixed point (65536 = 1.0); a weighted sum is
// finished with (sum + 0x8000) >> 16 and clamped to 0 … 255 per channel.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace Brivox {

enum class EResampleFilter
{
    Averaging,
    Lanczos3,
};

namespace Detail {

// Lanczos3 table: every destination index has the same number of taps; the source indices are
// already clamped to the line, so the kernels never test bounds.
struct SLanczosData
{
    // Replaces any earlier table.
    void Allocate(int taps, int count);

    const int* Index(int i) const { return block.data() + 2 * static_cast<std::ptrdiff_t>(taps) * i; }
    const int* Weight(int i) const { return Index(i) + taps; }
    int* Index(int i) { return block.data() + 2 * static_cast<std::ptrdiff_t>(taps) * i; }
    int* Weight(int i) { return Index(i) + taps; }

    // Destination index i holds its `taps` source indices followed by their weights.
    std::vector<int> block;
    int taps = 0;
};

// Averaging table: destination index i reads count[i] consecutive source pixels from first[i].
struct SPixelAverationData
{
    // Replaces any earlier table.
    void Allocate(int capacity, int count);

    const int* Weight(int i) const { return block.data() + static_cast<std::ptrdiff_t>(capacity) * i; }
    int* Weight(int i) { return block.data() + static_cast<std::ptrdiff_t>(capacity) * i; }

    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> block; // `capacity` weights per destination index
    int capacity = 0;
};

// The Lanczos3 window at a distance of x pixels.
double Lanczos3(double x);

// Tables for `count` destination pixels from `n` source pixels.
void BuildLanczosEnlargeTable(int count, int n, SLanczosData& table);
void BuildLanczosReduceTable(int count, int n, SLanczosData& table);
void BuildAveragingEnlargeTable(int count, int n, SPixelAverationData& table);
void BuildAveragingReduceTable(int count, int n, SPixelAverationData& table);

// Horizontal kernels: rows [firstRow, endRow), `outCols` pixels each from `inCols`. The kernels
// without Alpha write alpha 0.
void LanczosKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                    std::ptrdiff_t srcStride, int outCols, int inCols, int firstRow, int endRow,
                    const SLanczosData& table);
void LanczosKernelHAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                         std::ptrdiff_t srcStride, int outCols, int inCols, int firstRow, int endRow,
                         const SLanczosData& table);
void AveragingKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                      std::ptrdiff_t srcStride, int outCols, int inCols, int firstRow, int endRow,
                      const SPixelAverationData& table);
void AveragingKernelHAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                           std::ptrdiff_t srcStride, int outCols, int inCols, int firstRow, int endRow,
                           const SPixelAverationData& table);

// Vertical kernels: output rows [firstOut, endOut) of `columns` pixels from `inRows` rows. Each
// output row is made by adding the weighted source rows into a row of sums.
void LanczosKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                    std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int inRows,
                    const SLanczosData& table);
void LanczosKernelVAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                         std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int inRows,
                         const SLanczosData& table);
void AveragingKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                      std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int inRows,
                      const SPixelAverationData& table);
void AveragingKernelVAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                           std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int inRows,
                           const SPixelAverationData& table);

// A table recast for the SSE2 kernels: equal neighbouring source indices (clamped edges) merged
// into one tap, runs padded to an even number of taps with zero weights, pairs of zero weights at
// the ends of a run (and anywhere in a vertical entry) left out, and the weights packed in pairs
// of 16-bit values. Weights that do not fit 16 bits are split into w >> 8 and w & 255 (two
// multiplications per pair); only the entries that need it are split. A horizontal table with few
// such weights instead keeps the first 16-bit piece of each weight in its word and adds the rest
// as corrections over the same two source pixels. The sums are the same integers as the plain
// kernels', only added in another order.
struct SSimdTaps
{
    // A further 16-bit piece of the weights of a horizontal pair of source pixels.
    struct SCorrection
    {
        int destination;
        int source; // the first of the two
        std::uint32_t word;
    };

    // Per destination index: its first tap, its source run start (horizontal), its tap count, its
    // first word and whether its words are split (a horizontal table splits all or none).
    std::vector<int> offset;
    std::vector<int> start;
    std::vector<int> taps;
    std::vector<int> wordOffset;
    std::vector<unsigned char> split;
    std::vector<int> sources; // per tap (vertical): the source row
    std::vector<int> weights; // per tap, 16.16
    // Per pair of taps: one word of two 16-bit weights, or (split) the high pair then the low pair.
    std::vector<std::uint32_t> words;
    // In the order of their destination indices.
    std::vector<SCorrection> corrections;
};

// Recasts a table; for a horizontal pass over lines of `n` pixels each run is moved inside the
// line (false when a line is too short for that: the plain kernel must serve).
bool PrepareSimdTaps(const SLanczosData& table, int count, int n, bool horizontal, SSimdTaps& taps);
bool PrepareSimdTaps(const SPixelAverationData& table, int count, int n, bool horizontal, SSimdTaps& taps);

// The SSE2 kernels; `keepMask` is 0xFFFFFFFF to keep the filtered alpha, 0x00FFFFFF to write 0.
void SimdKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                 std::ptrdiff_t srcStride, int outCols, int firstRow, int endRow, const SSimdTaps& taps,
                 std::uint32_t keepMask);
void SimdKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                 std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, const SSimdTaps& taps,
                 std::uint32_t keepMask);

} // namespace Detail

// Where a pass reads and writes: the origin pixels of both areas and their strides in pixels.
struct SResampleLines
{
    std::uint32_t* dst;
    std::ptrdiff_t dstStride;
    const std::uint32_t* src;
    std::ptrdiff_t srcStride;
};

// Runs job(first, end) over sub-ranges that together cover [0, lines), possibly at once on
// several threads, and returns when all are done.
using LineSplitter = std::function<void(int lines, const std::function<void(int, int)>& job)>;

// One pass along rows: `rows` rows of `outCols` pixels from `inCols`.
void ResampleRows(EResampleFilter filter, bool alpha, const SResampleLines& lines, int outCols, int inCols,
                  int rows, const LineSplitter& split);
// One pass along columns: `columns` columns of `outRows` pixels from `inRows`; the lines split are
// the output rows.
void ResampleColumns(EResampleFilter filter, bool alpha, const SResampleLines& lines, int columns,
                     int outRows, int inRows, const LineSplitter& split);

} // namespace Brivox
