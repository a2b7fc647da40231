#include "imaging/plane.h"

#include "foundation/exception.h"
#include "imaging/memory_storage.h"
#include "imaging/pixel_kernels.h"

#include <algorithm>
#include <cstdint>

namespace Brivox {

namespace {

// No side above 65535 and no more than 2^28 pixels: larger requests are refused before any
// memory is asked for.
void CheckPlaneSize(CSize size)
{
    constexpr std::int64_t MaxSide = 65535, MaxPixels = std::int64_t{1} << 28;
    if (size.cx > MaxSide || size.cy > MaxSide ||
        static_cast<std::int64_t>(size.cx) * static_cast<std::int64_t>(size.cy) > MaxPixels)
        throw RuntimeException(L"画像保持メモリの作成に失敗しました");
}

SPlaneClip BoundsOf(const CPlane& plane)
{
    return {{0, 0, plane.GetWidth(), plane.GetHeight()}, true};
}

} // namespace

CPlane::CPlane(std::unique_ptr<IPlaneImpl> storage, int bitsPerPixel)
    : storage_(std::move(storage)), bitsPerPixel_(bitsPerPixel)
{
}

CPlane::~CPlane() = default;

void CPlane::Resize(CSize size)
{
    IPlaneImpl& storage = *storage_;
    const bool hadStorage = storage.IsValid();
    try {
        if (storage.IsValid() && !storage.IsMemoryBacked()) {
            // A DIB grows per axis and never shrinks.
            const CSize capacity = storage.GetCapacity();
            if (capacity.cx < size.cx) {
                const CSize grown{size.cx, std::max(capacity.cy, size.cy)};
                CheckPlaneSize(grown);
                storage.Create(grown, bitsPerPixel_);
            } else if (capacity.cy < size.cy) {
                const CSize grown{capacity.cx, size.cy};
                CheckPlaneSize(grown);
                storage.Create(grown, bitsPerPixel_);
            }
        } else if (size.cx > 0 && size.cy > 0) {
            CheckPlaneSize(size);
            storage.Create(size, bitsPerPixel_);
        }
    } catch (...) {
        // A refused size leaves the plane as it was; storage lost to a failed allocation leaves
        // nothing that an operation could reach through the old size.
        if (hadStorage && !storage.IsValid())
            size_ = {0, 0};
        throw;
    }
    size_ = size;
}

void CPlane::Clear()
{
    storage_->Destroy();
    size_ = {0, 0};
}

void CPlane::FillRect(COLORREF colour, CRect rect)
{
    if (!BoundsOf(*this).ClipToRect(rect))
        return;
    const Detail::PlaneBitsLock bits(*this);
    Kernels::FillRows(bits.Pixel(rect.left, rect.top), bits.Stride(), bitsPerPixel_, rect.Width(),
                      rect.Height(), Kernels::ColorToPixel(colour, bitsPerPixel_));
}

void CPlane::Fill(COLORREF colour)
{
    FillRect(colour, {0, 0, GetWidth(), GetHeight()});
}

void CPlane::Blit(const CPlane& source, CPoint point, CRect rect, const SPlaneClip* clip)
{
    if (!ClipOrNone(clip).ClipBlit(size_, source.GetSize(), point, rect))
        return;
    const Detail::PlaneBitsLock to(*this);
    const Detail::PlaneBitsLock from(source);
    Kernels::ConvertRows(to.Pixel(point.x, point.y), to.Stride(), bitsPerPixel_,
                         from.Pixel(rect.left, rect.top), from.Stride(), source.GetBitsPerPixel(),
                         rect.Width(), rect.Height());
}

void CPlane::CopyFrom(const CPlane& source, const SPlaneClip* clip)
{
    if (&source == this)
        return;
    Blit(source, {0, 0}, {0, 0, source.GetWidth(), source.GetHeight()}, clip);
}

CMemoryPlane8::CMemoryPlane8() : CPlane8(std::make_unique<CMemoryPlaneImpl>()) {}

CMemoryPlane::CMemoryPlane(int bitsPerPixel) : CPlane(std::make_unique<CMemoryPlaneImpl>(), bitsPerPixel) {}

CMemoryPlane32::CMemoryPlane32() : CPlane32(std::make_unique<CMemoryPlaneImpl>()) {}

CMemoryPlane32::CMemoryPlane32(CSize size) : CMemoryPlane32()
{
    Resize(size);
}

namespace Detail {

PlaneBitsLock::PlaneBitsLock(const CPlane& plane)
    : storage_(plane.GetStorage()), bytesPerPixel_(plane.GetBitsPerPixel() / 8), bits_(storage_.LockBits())
{
}

PlaneBitsLock::~PlaneBitsLock()
{
    storage_.UnlockBits(bits_);
}

} // namespace Detail

} // namespace Brivox
