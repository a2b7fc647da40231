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
public:
    // Scaled copies of `sourceRect` of the source into `destination` of this plane, stepping in
    // 16.16 fixed point: the nearest source pixel, or the mean of four (colour only, or alpha too).
    virtual void StretchBlit(const CPlane32& source, CRect destination, CRect sourceRect,
                             const SPlaneClip* clip = nullptr);
    virtual void StretchBlitSmooth(const CPlane32& source, CRect destination, CRect sourceRect,
                                   const SPlaneClip* clip = nullptr);
    virtual void StretchBlitSmoothAlpha(const CPlane32& source, CRect destination, CRect sourceRect,
                                        const SPlaneClip* clip = nullptr);
    // Resampling of `sourceRect` of the source into `destination` of this plane by pixel averaging
    // or Lanczos3, in two passes; the forms without Alpha write alpha 0.
    virtual void ResizeAveraging(const CPlane32& source, CRect destination, CRect sourceRect,
                                 const SPlaneClip* clip = nullptr);
    virtual void ResizeAveragingAlpha(const CPlane32& source, CRect destination, CRect sourceRect,
                                      const SPlaneClip* clip = nullptr);
    virtual void ResizeLanczos3(const CPlane32& source, CRect destination, CRect sourceRect,
                                const SPlaneClip* clip = nullptr);
    virtual void ResizeLanczos3Alpha(const CPlane32& source, CRect destination, CRect sourceRect,
                                     const SPlaneClip* clip = nullptr);
    // Folds every three pixels (or bytes) across of `sourceRect` into one pixel at `point`: red from
    // the first, green from the second, blue from the third.
    virtual void ImportRgb24(const CPlane& source, CPoint point, CRect sourceRect,
                             const SPlaneClip* clip = nullptr);
    // `rect` of the source mirrored, flipped or turned into this plane at `point`.
    virtual void MirrorHorizontal(const CPlane32& source, CPoint point, CRect rect,
                                  const SPlaneClip* clip = nullptr);
    virtual void FlipVertical(const CPlane32& source, CPoint point, CRect rect,
                              const SPlaneClip* clip = nullptr);
    virtual void Rotate180(const CPlane32& source, CPoint point, CRect rect,
                           const SPlaneClip* clip = nullptr);
    virtual void Rotate90Clockwise(const CPlane32& source, CPoint point, CRect rect,
                                   const SPlaneClip* clip = nullptr);
    virtual void Rotate90CounterClockwise(const CPlane32& source, CPoint point, CRect rect,
                                          const SPlaneClip* clip = nullptr);
    // `rect` of the source turned clockwise by `angle` degrees onto the canvas of GetRotatedSize at
    // `point`; uncovered pixels take the background colour. Interpolated or nearest.
    virtual void RotateByAngle(const CPlane32& source, CPoint point, CRect rect, double angle,
                               COLORREF background, const SPlaneClip* clip = nullptr);
    virtual void RotateByAngleNearest(const CPlane32& source, CPoint point, CRect rect, double angle,
                                      COLORREF background, const SPlaneClip* clip = nullptr);

    // The whole source into the whole of this plane, as the document scales, turns and resizes pages.
    void StretchBlit(const CPlane32& source) { StretchBlit(source, Whole(*this), Whole(source)); }
    void StretchBlitSmooth(const CPlane32& source) { StretchBlitSmooth(source, Whole(*this), Whole(source)); }
    void ResizeAveraging(const CPlane32& source) { ResizeAveraging(source, Whole(*this), Whole(source)); }
    void ResizeLanczos3(const CPlane32& source) { ResizeLanczos3(source, Whole(*this), Whole(source)); }
    void ResizeLanczos3Alpha(const CPlane32& source)
    {
        ResizeLanczos3Alpha(source, Whole(*this), Whole(source));
    }
    void ImportRgb24(const CPlane& source) { ImportRgb24(source, {0, 0}, Whole(source)); }
    void MirrorHorizontal(const CPlane32& source) { MirrorHorizontal(source, {0, 0}, Whole(source)); }
    void FlipVertical(const CPlane32& source) { FlipVertical(source, {0, 0}, Whole(source)); }
    void Rotate180(const CPlane32& source) { Rotate180(source, {0, 0}, Whole(source)); }
    void Rotate90Clockwise(const CPlane32& source) { Rotate90Clockwise(source, {0, 0}, Whole(source)); }
    void Rotate90CounterClockwise(const CPlane32& source)
    {
        Rotate90CounterClockwise(source, {0, 0}, Whole(source));
    }
    void RotateByAngle(const CPlane32& source, double angle, COLORREF background)
    {
        RotateByAngle(source, {0, 0}, Whole(source), angle, background);
    }
    void RotateByAngleNearest(const CPlane32& source, double angle, COLORREF background)
    {
        RotateByAngleNearest(source, {0, 0}, Whole(source), angle, background);
    }

protected:
    explicit CPlane32(std::unique_ptr<IPlaneImpl> storage) : CPlaneEx(std::move(storage), 32) {}

private:
    static CRect Whole(const CPlane& plane) { return {0, 0, plane.GetWidth(), plane.GetHeight()}; }
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
