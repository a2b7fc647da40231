#pragma once
// Separable resampling of 32-bit planes: one pass along rows and one along columns through an
// intermediate plane, lines split over the processors.

#include "imaging/plane.h"
#include "imaging/resample_kernels.h"

namespace Brivox {

// The passes of the resampler. A horizontal pass makes `outLength` pixels from `inLength` in each
// of `lines` rows; a vertical pass makes `outLength` rows from `inLength` in each of `lines`
// columns. Both read the source from `sourceOrigin` and write from `destinationOrigin`.
class ResamplePass
{
public:
    static void Horizontal(EResampleFilter filter, bool alpha, CPlane32& destination, const CPlane32& source,
                           CPoint destinationOrigin, CPoint sourceOrigin, int outLength, int inLength,
                           int lines);
    static void Vertical(EResampleFilter filter, bool alpha, CPlane32& destination, const CPlane32& source,
                         CPoint destinationOrigin, CPoint sourceOrigin, int lines, int outLength,
                         int inLength);
};

namespace Detail {

// The number of shares the lines of a pass are split into; 0 (the program's setting) means one per
// processor. Tests and benchmarks set it to compare one thread with several.
void SetResampleShares(int shares);

} // namespace Detail

} // namespace Brivox
