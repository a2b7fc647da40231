#include "imaging/resample_kernels.h"

#include "imaging/pixel_simd.h"

#include <algorithm>
#include <cmath>

namespace Brivox {

namespace Detail {

namespace {

constexpr double kOne = 65536.0;

// Normalised weights truncated toward zero; they need not add up to exactly 65536.
void Normalise(const double* p, int taps, double sum, int* weights)
{
    for (int j = 0; j < taps; ++j)
        weights[j] = static_cast<int>(p[j] / sum * kOne);
}

int Channel(int sum)
{
    const int v = (sum + 0x8000) >> 16;
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

template <bool Alpha> std::uint32_t Pack(const int* sum)
{
    const std::uint32_t a = Alpha ? static_cast<std::uint32_t>(Channel(sum[3])) << 24 : 0;
    return static_cast<std::uint32_t>(Channel(sum[0])) | static_cast<std::uint32_t>(Channel(sum[1])) << 8 |
           static_cast<std::uint32_t>(Channel(sum[2])) << 16 | a;
}

template <bool Alpha> void AddWeighted(int* sum, std::uint32_t pixel, int weight)
{
    sum[0] += weight * static_cast<int>(pixel & 0xFF);
    sum[1] += weight * static_cast<int>(pixel >> 8 & 0xFF);
    sum[2] += weight * static_cast<int>(pixel >> 16 & 0xFF);
    if (Alpha)
        sum[3] += weight * static_cast<int>(pixel >> 24);
}

// The two table forms seen alike by the kernels.
struct LanczosTaps
{
    const SLanczosData& table;
    int Count(int) const { return table.taps; }
    int Source(int i, int k) const { return table.Index(i)[k]; }
    const int* Weights(int i) const { return table.Weight(i); }
};

struct AveragingTaps
{
    const SPixelAverationData& table;
    int Count(int i) const { return table.count[i]; }
    int Source(int i, int k) const { return table.first[i] + k; }
    const int* Weights(int i) const { return table.Weight(i); }
};

template <bool Alpha, class Taps>
void KernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src, std::ptrdiff_t srcStride,
             int outCols, int firstRow, int endRow, const Taps& taps)
{
    for (int y = firstRow; y < endRow; ++y) {
        const std::uint32_t* in = src + y * srcStride;
        std::uint32_t* out = dst + y * dstStride;
        for (int i = 0; i < outCols; ++i) {
            int sum[4] = {};
            const int* w = taps.Weights(i);
            for (int k = 0, n = taps.Count(i); k < n; ++k)
                AddWeighted<Alpha>(sum, in[taps.Source(i, k)], w[k]);
            out[i] = Pack<Alpha>(sum);
        }
    }
}

template <bool Alpha, class Taps>
void KernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src, std::ptrdiff_t srcStride,
             int columns, int firstOut, int endOut, const Taps& taps)
{
    std::vector<int> sums(static_cast<std::size_t>(columns) * 4);
    for (int y = firstOut; y < endOut; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        const int* w = taps.Weights(y);
        for (int k = 0, n = taps.Count(y); k < n; ++k) {
            const std::uint32_t* in = src + taps.Source(y, k) * srcStride;
            for (int x = 0; x < columns; ++x)
                AddWeighted<Alpha>(&sums[4 * static_cast<std::size_t>(x)], in[x], w[k]);
        }
        std::uint32_t* out = dst + y * dstStride;
        for (int x = 0; x < columns; ++x)
            out[x] = Pack<Alpha>(&sums[4 * static_cast<std::size_t>(x)]);
    }
}

} // namespace

void SLanczosData::Allocate(int tapCount, int count)
{
    taps = tapCount;
    block.assign(2 * static_cast<std::size_t>(tapCount) * static_cast<std::size_t>(count), 0);
}

void SPixelAverationData::Allocate(int tapCapacity, int count)
{
    capacity = tapCapacity;
    first.assign(static_cast<std::size_t>(count), 0);
    this->count.assign(static_cast<std::size_t>(count), 0);
    block.assign(static_cast<std::size_t>(tapCapacity) * static_cast<std::size_t>(count), 0);
}

double Lanczos3(double x)
{
    constexpr double pi = 3.141592653589793;
    constexpr double third = 0.3333333333333333;
    constexpr double piSquaredThird = 3.2898681336964524;
    if (std::fabs(x) < 2.220446049250313e-16)
        return 1.0;
    if (std::fabs(x) >= 3.0)
        return 0.0;
    return std::sin(pi * x) * std::sin(pi * x * third) / (x * x * piSquaredThird);
}

void BuildLanczosEnlargeTable(int count, int n, SLanczosData& table)
{
    constexpr int taps = 6;
    table.Allocate(taps, count);
    for (int i = 0; i < count; ++i) {
        const double c = n * (i + 0.5) / count;
        const int first = static_cast<int>(std::floor(c - 2.5));
        double p[taps];
        double sum = 0.0;
        int* index = table.Index(i);
        for (int j = 0; j < taps; ++j) {
            index[j] = std::clamp(first + j, 0, n - 1);
            p[j] = Lanczos3(first + j + 0.5 - c);
            sum += p[j];
        }
        Normalise(p, taps, sum, table.Weight(i));
    }
}

void BuildLanczosReduceTable(int count, int n, SLanczosData& table)
{
    // The window is six destination pixels wide: ceil(6n / count) source pixels.
    const int taps = static_cast<int>((count + 6LL * n - 1) / count);
    table.Allocate(taps, count);
    std::vector<double> p(static_cast<std::size_t>(taps));
    for (int i = 0; i < count; ++i) {
        const int first = static_cast<int>(std::floor((i - 2.5) * n / count + 0.5));
        double sum = 0.0;
        int* index = table.Index(i);
        for (int j = 0; j < taps; ++j) {
            const int e = first + j;
            index[j] = std::clamp(e, 0, n - 1);
            // Measured from the unclamped index, so that an edge pixel repeats with falling weights.
            p[static_cast<std::size_t>(j)] = Lanczos3((e + 0.5) * count / n - (i + 0.5));
            sum += p[static_cast<std::size_t>(j)];
        }
        Normalise(p.data(), taps, sum, table.Weight(i));
    }
}

void BuildAveragingEnlargeTable(int count, int n, SPixelAverationData& table)
{
    table.Allocate(2, count);
    const double r = static_cast<double>(n) / count;
    for (int i = 0; i < count; ++i) {
        // No half-pixel shift: destination pixel 0 samples source pixel 0 exactly.
        const double pos = r * i;
        const double f = std::floor(pos);
        const int frac = static_cast<int>(std::floor((pos - f) * kOne + 0.5));
        const int first = static_cast<int>(f);
        int* w = table.Weight(i);
        table.first[static_cast<std::size_t>(i)] = first;
        if (frac != 0 && first != n - 1) {
            table.count[static_cast<std::size_t>(i)] = 2;
            w[0] = 65536 - frac;
            w[1] = frac;
        } else {
            table.count[static_cast<std::size_t>(i)] = 1;
            w[0] = 65536;
        }
    }
}

void BuildAveragingReduceTable(int count, int n, SPixelAverationData& table)
{
    table.Allocate((n + count - 1) / count + 1, count);
    const double r = static_cast<double>(n) / count;
    std::vector<double> coverage(static_cast<std::size_t>(table.capacity));
    for (int i = 0; i < count; ++i) {
        const double a = r * i;
        const double b = a + r;
        const int first = static_cast<int>(std::floor(a));
        const int last = static_cast<int>(std::ceil(b)) - 1;
        int taps = last - first + 1;
        double sum = 0.0;
        for (int j = 0; j < taps; ++j) {
            double c = 1.0;
            if (j == 0)
                c = 1.0 - (a - std::floor(a));
            else if (j == taps - 1)
                c = b - last;
            coverage[static_cast<std::size_t>(j)] = c;
            sum += c;
        }
        int* w = table.Weight(i);
        Normalise(coverage.data(), taps, sum, w);
        // A box that ends a rounding error past a pixel border gets a last tap of weight 0.
        if (taps > 1 && w[taps - 1] == 0)
            --taps;
        table.first[static_cast<std::size_t>(i)] = first;
        table.count[static_cast<std::size_t>(i)] = std::min(taps, n - first);
    }
}

void LanczosKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                    std::ptrdiff_t srcStride, int outCols, int, int firstRow, int endRow,
                    const SLanczosData& table)
{
    KernelH<false>(dst, dstStride, src, srcStride, outCols, firstRow, endRow, LanczosTaps{table});
}

void LanczosKernelHAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                         std::ptrdiff_t srcStride, int outCols, int, int firstRow, int endRow,
                         const SLanczosData& table)
{
    KernelH<true>(dst, dstStride, src, srcStride, outCols, firstRow, endRow, LanczosTaps{table});
}

void AveragingKernelH(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                      std::ptrdiff_t srcStride, int outCols, int, int firstRow, int endRow,
                      const SPixelAverationData& table)
{
    KernelH<false>(dst, dstStride, src, srcStride, outCols, firstRow, endRow, AveragingTaps{table});
}

void AveragingKernelHAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                           std::ptrdiff_t srcStride, int outCols, int, int firstRow, int endRow,
                           const SPixelAverationData& table)
{
    KernelH<true>(dst, dstStride, src, srcStride, outCols, firstRow, endRow, AveragingTaps{table});
}

void LanczosKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                    std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int,
                    const SLanczosData& table)
{
    KernelV<false>(dst, dstStride, src, srcStride, columns, firstOut, endOut, LanczosTaps{table});
}

void LanczosKernelVAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                         std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int,
                         const SLanczosData& table)
{
    KernelV<true>(dst, dstStride, src, srcStride, columns, firstOut, endOut, LanczosTaps{table});
}

void AveragingKernelV(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                      std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int,
                      const SPixelAverationData& table)
{
    KernelV<false>(dst, dstStride, src, srcStride, columns, firstOut, endOut, AveragingTaps{table});
}

void AveragingKernelVAlpha(std::uint32_t* dst, std::ptrdiff_t dstStride, const std::uint32_t* src,
                           std::ptrdiff_t srcStride, int columns, int firstOut, int endOut, int,
                           const SPixelAverationData& table)
{
    KernelV<true>(dst, dstStride, src, srcStride, columns, firstOut, endOut, AveragingTaps{table});
}

namespace {

std::uint32_t PairWord(int w0, int w1)
{
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(w0)) |
           static_cast<std::uint32_t>(static_cast<std::uint16_t>(w1)) << 16;
}

bool Fits16(int w)
{
    return w >= -32768 && w <= 32767;
}

// The next 16-bit piece of what is left of a weight.
int TakePiece(int& rest)
{
    const int piece = std::clamp(rest, -32768, 32767);
    rest -= piece;
    return piece;
}

// Calls add(first piece of w0, of w1) for a pair of weights, then again for each further pair of
// pieces until both weights are used up.
template <class Add> void ForEachPiecePair(int w0, int w1, Add add)
{
    do
        add(TakePiece(w0), TakePiece(w1));
    while (w0 != 0 || w1 != 0);
}

// A horizontal table takes its corrections when they add at most a quarter to its pairs'
// multiplications; beyond that, splitting every weight is cheaper.
constexpr int kCorrectionsPerPair = 4;

template <class Taps> bool PrepareTaps(const Taps& table, int count, int n, bool horizontal, SSimdTaps& out)
{
    out = SSimdTaps{};
    out.offset.reserve(static_cast<std::size_t>(count));
    std::vector<int> sources;
    std::vector<int> weights;
    long long pairs = 0, pieces = 0;
    for (int i = 0; i < count; ++i) {
        // Source indices only grow along an entry; equal neighbours come from clamping.
        sources.clear();
        weights.clear();
        const int* w = table.Weights(i);
        for (int k = 0, taps = table.Count(i); k < taps; ++k) {
            const int s = table.Source(i, k);
            if (!sources.empty() && sources.back() == s) {
                weights.back() += w[k];
            } else {
                sources.push_back(s);
                weights.push_back(w[k]);
            }
        }
        if (weights.size() % 2 != 0) {
            sources.push_back(sources.back() + (horizontal ? 1 : 0));
            weights.push_back(0);
        }
        int start = sources.front();
        const int taps = static_cast<int>(weights.size());
        if (horizontal && start + taps > n) {
            // The run must lie inside the line: move it left, leading with zero weights.
            const int shift = start + taps - n;
            if (start - shift < 0)
                return false;
            start -= shift;
            weights.insert(weights.begin(), static_cast<std::size_t>(shift), 0);
            weights.resize(static_cast<std::size_t>(taps));
        }
        // Pairs of zero weights add nothing: a horizontal run drops those at its ends, a vertical
        // entry all of them, but one pair always stays.
        const auto zeroPair = [&](int k) {
            return weights[static_cast<std::size_t>(k)] == 0 && weights[static_cast<std::size_t>(k) + 1] == 0;
        };
        int first = 0, end = taps;
        if (horizontal) {
            while (end - first > 2 && zeroPair(first))
                first += 2;
            while (end - first > 2 && zeroPair(end - 2))
                end -= 2;
        }
        out.offset.push_back(static_cast<int>(out.weights.size()));
        out.start.push_back(start + first);
        for (int k = first; k < end; k += 2) {
            const bool last = k + 2 >= end && static_cast<int>(out.weights.size()) == out.offset.back();
            if (!horizontal && zeroPair(k) && !last)
                continue;
            const int w0 = weights[static_cast<std::size_t>(k)],
                      w1 = weights[static_cast<std::size_t>(k) + 1];
            out.weights.insert(out.weights.end(), {w0, w1});
            if (!horizontal)
                out.sources.insert(out.sources.end(), {sources[static_cast<std::size_t>(k)],
                                                       sources[static_cast<std::size_t>(k) + 1]});
            ++pairs;
            ForEachPiecePair(w0, w1, [&](int, int) { ++pieces; });
        }
        out.taps.push_back(static_cast<int>(out.weights.size()) - out.offset.back());
    }

    // The words. A vertical entry is split (each pair as its high then its low pair of bytes) when
    // one of its weights needs it; a horizontal table splits all its entries or none, and without
    // splitting it carries the further pieces of its weights as corrections.
    const bool splitAll = horizontal && (pieces - pairs) * kCorrectionsPerPair > pairs;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        const int* w = out.weights.data() + out.offset[at];
        const int taps = out.taps[at];
        const bool split = horizontal ? splitAll : !std::all_of(w, w + taps, Fits16);
        out.wordOffset.push_back(static_cast<int>(out.words.size()));
        out.split.push_back(split);
        for (int k = 0; k < taps; k += 2) {
            if (split) {
                out.words.push_back(PairWord(w[k] >> 8, w[k + 1] >> 8));
                out.words.push_back(PairWord(w[k] & 0xFF, w[k + 1] & 0xFF));
                continue;
            }
            bool primary = true;
            ForEachPiecePair(w[k], w[k + 1], [&](int p0, int p1) {
                if (primary)
                    out.words.push_back(PairWord(p0, p1));
                else
                    out.corrections.push_back({i, out.start[at] + k, PairWord(p0, p1)});
                primary = false;
            });
        }
    }
    return true;
}

} // namespace

bool PrepareSimdTaps(const SLanczosData& table, int count, int n, bool horizontal, SSimdTaps& taps)
{
    return PrepareTaps(LanczosTaps{table}, count, n, horizontal, taps);
}

bool PrepareSimdTaps(const SPixelAverationData& table, int count, int n, bool horizontal, SSimdTaps& taps)
{
    return PrepareTaps(AveragingTaps{table}, count, n, horizontal, taps);
}

} // namespace Detail

namespace {

constexpr std::uint32_t kKeepAlpha = 0xFFFFFFFFu;
constexpr std::uint32_t kClearAlpha = 0x00FFFFFFu;

// Builds the axis's table: Lanczos3 enlarges only when the line grows, averaging reduces only
// when it shrinks (equal lengths take the other builder).
void BuildTable(int outLen, int inLen, Detail::SLanczosData& table)
{
    if (inLen < outLen)
        Detail::BuildLanczosEnlargeTable(outLen, inLen, table);
    else
        Detail::BuildLanczosReduceTable(outLen, inLen, table);
}

void BuildTable(int outLen, int inLen, Detail::SPixelAverationData& table)
{
    if (inLen > outLen)
        Detail::BuildAveragingReduceTable(outLen, inLen, table);
    else
        Detail::BuildAveragingEnlargeTable(outLen, inLen, table);
}

template <class Table, class Plain>
void RunRows(bool alpha, const SResampleLines& l, int outCols, int inCols, int rows,
             const LineSplitter& split, Plain plain)
{
    Table table;
    BuildTable(outCols, inCols, table);
    Detail::SSimdTaps taps;
    if (UseSse2Kernels() && Detail::PrepareSimdTaps(table, outCols, inCols, true, taps)) {
        const std::uint32_t mask = alpha ? kKeepAlpha : kClearAlpha;
        split(rows, [&](int first, int end) {
            Detail::SimdKernelH(l.dst, l.dstStride, l.src, l.srcStride, outCols, first, end, taps, mask);
        });
        return;
    }
    split(rows, [&](int first, int end) {
        plain(l.dst, l.dstStride, l.src, l.srcStride, outCols, inCols, first, end, table);
    });
}

template <class Table, class Plain>
void RunColumns(bool alpha, const SResampleLines& l, int columns, int outRows, int inRows,
                const LineSplitter& split, Plain plain)
{
    Table table;
    BuildTable(outRows, inRows, table);
    Detail::SSimdTaps taps;
    if (UseSse2Kernels() && Detail::PrepareSimdTaps(table, outRows, inRows, false, taps)) {
        const std::uint32_t mask = alpha ? kKeepAlpha : kClearAlpha;
        split(outRows, [&](int first, int end) {
            Detail::SimdKernelV(l.dst, l.dstStride, l.src, l.srcStride, columns, first, end, taps, mask);
        });
        return;
    }
    split(outRows, [&](int first, int end) {
        plain(l.dst, l.dstStride, l.src, l.srcStride, columns, first, end, inRows, table);
    });
}

} // namespace

void ResampleRows(EResampleFilter filter, bool alpha, const SResampleLines& lines, int outCols, int inCols,
                  int rows, const LineSplitter& split)
{
    if (filter == EResampleFilter::Lanczos3)
        RunRows<Detail::SLanczosData>(alpha, lines, outCols, inCols, rows, split,
                                      alpha ? Detail::LanczosKernelHAlpha : Detail::LanczosKernelH);
    else
        RunRows<Detail::SPixelAverationData>(alpha, lines, outCols, inCols, rows, split,
                                             alpha ? Detail::AveragingKernelHAlpha
                                                   : Detail::AveragingKernelH);
}

void ResampleColumns(EResampleFilter filter, bool alpha, const SResampleLines& lines, int columns,
                     int outRows, int inRows, const LineSplitter& split)
{
    if (filter == EResampleFilter::Lanczos3)
        RunColumns<Detail::SLanczosData>(alpha, lines, columns, outRows, inRows, split,
                                         alpha ? Detail::LanczosKernelVAlpha : Detail::LanczosKernelV);
    else
        RunColumns<Detail::SPixelAverationData>(alpha, lines, columns, outRows, inRows, split,
                                                alpha ? Detail::AveragingKernelVAlpha
                                                      : Detail::AveragingKernelV);
}

} // namespace Brivox
