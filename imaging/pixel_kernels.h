#pragma once
// Row kernels of fills, copies and depth conversions. They see plain pointers and signed strides
// (row 0 first, stride bytes to the next row) and know nothing of planes or the system.
#include <cstddef>
#include <cstdint>

namespace Brivox::Kernels {

// The value a COLORREF (0x00BBGGRR) is stored as at a depth: a grey level at 8 bits, 5-5-5 at 16,
// 0x00RRGGBB (alpha 0) at 24 and 32.
std::uint32_t ColorToPixel(std::uint32_t colorref, int bitsPerPixel);

// Stores `value` (as ColorToPixel gives it) in `width` pixels of each of `height` rows.
void FillRows(std::uint8_t* rows, std::ptrdiff_t stride, int bitsPerPixel, int width, int height,
              std::uint32_t value);

// Copies `rowBytes` bytes of each row. The two areas may overlap when both lie in one buffer with
// the same stride (a blit of a plane onto itself): the rows are taken in the order that reads
// every source row before it is overwritten.
void CopyRows(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride,
              std::size_t rowBytes, int height);

// Converts `width` pixels of each row between depths 8, 16, 24 and 32 (a destination depth of
// another value is taken as 32). Equal depths are copied.
void ConvertRows(std::uint8_t* dst, std::ptrdiff_t dstStride, int dstBits, const std::uint8_t* src,
                 std::ptrdiff_t srcStride, int srcBits, int width, int height);

// 24-bit B, G, R rows to 32-bit pixels 0x00RRGGBB, four pixels from three words at a time. The
// destination step is in pixels; both steps may be negative.
void Rgb24ToRgb32Rows(int rows, int pixelsPerRow, std::ptrdiff_t dstStep, std::uint32_t* dst,
                      const std::uint8_t* src, std::ptrdiff_t srcStep);

// 8-bit indexes through a table of `tableSize` colours stored B, G, R, reserved to 0x00RRGGBB.
// Only the given entries are read; an index past them gives black.
void Palette8ToRgb32Rows(int rows, int pixelsPerRow, std::ptrdiff_t dstStep, std::uint32_t* dst,
                         const std::uint8_t* src, std::ptrdiff_t srcStep, const std::uint8_t* table,
                         int tableSize);

} // namespace Brivox::Kernels
