// Drawing Windows DIBs into planes: bottom-up uncompressed 8-, 24- and 32-bit DIBs are converted
// directly into 32-bit planes, everything else goes through GDI.
#include "foundation/exception.h"
#include "foundation/win32.h"
#include "imaging/dc_target.h"
#include "imaging/pixel_kernels.h"
#include "imaging/plane.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace Brivox {

namespace {

int Side(LONG v)
{
    return static_cast<int>(std::min<std::int64_t>(std::llabs(v), INT_MAX));
}

bool HasDirectPath(const BITMAPINFOHEADER& h)
{
    return h.biWidth > 0 && h.biHeight > 0 && h.biCompression == BI_RGB &&
           (h.biBitCount == 8 || h.biBitCount == 24 || h.biBitCount == 32);
}

// `rect` of a bottom-up DIB at `point` of a 32-bit plane; both already clipped.
void DrawDirect(const Detail::PlaneBitsLock& to, const BITMAPINFO* header, const void* bits, CPoint point,
                const CRect& rect)
{
    const BITMAPINFOHEADER& h = header->bmiHeader;
    const std::ptrdiff_t dibStride = (static_cast<std::ptrdiff_t>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    // Image row r (from the top) is memory row biHeight - 1 - r.
    const auto* firstRow = static_cast<const std::uint8_t*>(bits) + (h.biHeight - 1 - rect.top) * dibStride;
    const auto* from = firstRow + rect.left * (h.biBitCount / 8);
    std::uint8_t* dst = to.Pixel(point.x, point.y);
    auto* dstPixels = reinterpret_cast<std::uint32_t*>(dst);
    const std::ptrdiff_t dstStep = to.Stride() / 4;
    switch (h.biBitCount) {
    case 24:
        Kernels::Rgb24ToRgb32Rows(rect.Height(), rect.Width(), dstStep, dstPixels, from, -dibStride);
        break;
    case 8: {
        // The colour table follows the header, whatever the header's size.
        const auto* table = reinterpret_cast<const std::uint8_t*>(header) + h.biSize;
        const int colours = h.biClrUsed == 0 || h.biClrUsed > 256 ? 256 : static_cast<int>(h.biClrUsed);
        Kernels::Palette8ToRgb32Rows(rect.Height(), rect.Width(), dstStep, dstPixels, from, -dibStride, table,
                                     colours);
        break;
    }
    default:
        Kernels::CopyRows(dst, to.Stride(), from, -dibStride, static_cast<std::size_t>(rect.Width()) * 4,
                          rect.Height());
        break;
    }
}

} // namespace

void CPlane::DrawDib(const BITMAPINFO* header, const void* bits, CPoint point, CRect rect,
                     const SPlaneClip* clip)
{
    const BITMAPINFOHEADER& h = header->bmiHeader;
    if (!ClipOrNone(clip).ClipBlit(GetSize(), {Side(h.biWidth), Side(h.biHeight)}, point, rect))
        return;
    if (GetBitsPerPixel() == 32 && bits && HasDirectPath(h)) {
        DrawDirect(Detail::PlaneBitsLock(*this), header, bits, point, rect);
        return;
    }
    // The system counts the source's rows from the bottom of the scan lines handed to it, in
    // either orientation: hand over all of them and name the rectangle from the bottom.
    const int height = Side(h.biHeight);
    const Detail::PlaneDcLock dc(*this);
    if (::SetDIBitsToDevice(dc.GetDC(), point.x, point.y, rect.Width(), rect.Height(), rect.left,
                            height - rect.bottom, 0, height, bits, header, DIB_RGB_COLORS) == 0)
        throw Win32Exception(L"ビットマップからの描画に失敗しました");
}

} // namespace Brivox
