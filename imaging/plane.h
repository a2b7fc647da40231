#pragma once
#include "foundation/geometry.h"
#include "imaging/gdi_fwd.h"
#include "imaging/plane_clip.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Brivox {

// Where a storage's rows are: row 0 is the top row, rows are `stride` bytes apart (negative for a
// bottom-up DIB).
struct SPlaneBits
{
    std::uint8_t* top = nullptr;
    std::ptrdiff_t stride = 0;
};

// Pixel storage of a plane: a DIB section or a block of the image memory pool.
class IPlaneImpl
{
public:
    IPlaneImpl() = default;
    IPlaneImpl(const IPlaneImpl&) = delete;
    IPlaneImpl& operator=(const IPlaneImpl&) = delete;
    virtual ~IPlaneImpl() = default;

    virtual bool IsValid() const = 0;
    // (Re)allocates for a size and depth; the pixels are not kept.
    virtual void Create(CSize size, int bitsPerPixel) = 0;
    virtual void Destroy() = 0;
    virtual CSize GetCapacity() const = 0;
    virtual bool IsMemoryBacked() const = 0;
    virtual bool HasDC() const = 0;
    virtual SPlaneBits LockBits() = 0;
    virtual void UnlockBits(const SPlaneBits&) {}
    // A device context with the pixels selected, or null when the storage cannot be drawn on.
    virtual HDC GetDC() = 0;
    virtual void ReleaseDC(HDC) {}
};

// A rectangle of pixels of one depth (8, 16, 24 or 32 bits) with a logical size that may be
// smaller than its storage's capacity. Pixel layouts: 32 bits 0xAARRGGBB (bytes B, G, R, A), 24
// bits B, G, R, 16 bits 5-5-5 with blue lowest, 8 bits a grey level.
class CPlane
{
public:
    CPlane(const CPlane&) = delete;
    CPlane& operator=(const CPlane&) = delete;
    virtual ~CPlane();

    IPlaneImpl& GetStorage() const { return *storage_; }
    int GetBitsPerPixel() const { return bitsPerPixel_; }
    int GetWidth() const { return size_.cx; }
    int GetHeight() const { return size_.cy; }
    CSize GetSize() const { return size_; }

    // Sets the logical size. A DIB grows per axis and never shrinks; heap storage is made anew at
    // exactly the size. Pixels are neither kept nor cleared.
    void Resize(CSize size);
    // Logical size 0 × 0 and the storage freed.
    void Clear();

    // The colour converted to this plane's depth, in every pixel of the rectangle.
    virtual void FillRect(COLORREF colour, CRect rect);
    virtual void Fill(COLORREF colour);
    // Copies `rect` of the source to `point`, converting between depths. Source and destination
    // may be the same plane, the areas overlapping.
    virtual void Blit(const CPlane& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    virtual void CopyFrom(const CPlane& source, const SPlaneClip* clip = nullptr);
    // Draws `rect` of a Windows DIB (rows counted from the image's top) at `point`.
    virtual void DrawDib(const BITMAPINFO* header, const void* bits, CPoint point, CRect rect,
                         const SPlaneClip* clip = nullptr);

protected:
    CPlane(std::unique_ptr<IPlaneImpl> storage, int bitsPerPixel);

private:
    std::unique_ptr<IPlaneImpl> storage_;
    int bitsPerPixel_;
    CSize size_{-1, -1};
};

class CPlane8 : public CPlane
{
protected:
    explicit CPlane8(std::unique_ptr<IPlaneImpl> storage) : CPlane(std::move(storage), 8) {}
};

class CMemoryPlane8 : public CPlane8
{
public:
    CMemoryPlane8();
};

class CMemoryPlane : public CPlane
{
public:
    explicit CMemoryPlane(int bitsPerPixel);
};

// The step between CPlane and CPlane32; it adds nothing.
class CPlaneEx : public CPlane
{
protected:
    using CPlane::CPlane;
};

class CPlane32 : public CPlaneEx
{
protected:
    explicit CPlane32(std::unique_ptr<IPlaneImpl> storage) : CPlaneEx(std::move(storage), 32) {}
};

// A 32-bit plane in a DIB section: GDI can draw on it and it can be blitted to windows.
class CDib32 : public CPlane32
{
public:
    CDib32();
};

// A 32-bit plane in pooled heap memory, for intermediate and decoder planes.
class CMemoryPlane32 : public CPlane32
{
public:
    CMemoryPlane32();
    explicit CMemoryPlane32(CSize size);
};

namespace Detail {

// Row access for the span of one operation: pixel (x, y) lies at Top() + y × Stride() + x ×
// BytesPerPixel().
class PlaneBitsLock
{
public:
    explicit PlaneBitsLock(const CPlane& plane);
    PlaneBitsLock(const PlaneBitsLock&) = delete;
    PlaneBitsLock& operator=(const PlaneBitsLock&) = delete;
    ~PlaneBitsLock();

    std::uint8_t* Top() const { return bits_.top; }
    std::ptrdiff_t Stride() const { return bits_.stride; }
    int BytesPerPixel() const { return bytesPerPixel_; }
    std::uint8_t* Pixel(int x, int y) const { return bits_.top + y * bits_.stride + x * bytesPerPixel_; }

private:
    IPlaneImpl& storage_;
    int bytesPerPixel_;
    SPlaneBits bits_;
};

} // namespace Detail

} // namespace Brivox
