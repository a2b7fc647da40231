#pragma once
#include "foundation/geometry.h"
#include "imaging/gdi_fwd.h"
#include "imaging/plane_clip.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Brivox {

// 256 counts of a histogram, one per level; the caller owns them.
using HistogramCounts = std::array<std::uint32_t, 256>;
// Output level per input level, for each of red, green and blue.
using ToneTable = std::array<std::uint8_t, 256>;
// 256 COLORREF values an 8-bit plane's bytes index.
using Palette256 = std::array<COLORREF, 256>;

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
public:
    // 255 − value.
    virtual void Invert(CRect rect);
    // Zeroed first, also for an empty rectangle; then one count per pixel.
    virtual void Histogram(HistogramCounts& counts, CRect rect) const;

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
    // Point, statistics and alpha operations (point_operations.cpp). Single-plane operations clip
    // their rectangle to the plane. Colours are COLORREF values; operations that compute a colour
    // write alpha 0, those that keep or copy whole pixels keep it. Y is (77 R + 151 G + 28 B) >> 8.

    // Colour inverted, alpha kept.
    virtual void Invert(CRect rect);
    // Every byte moved toward the colour (alpha toward 0) by strength / 256; 256 or more fills.
    virtual void BlendColor(COLORREF colour, CRect rect, int strength);
    // Per-channel saturating add or subtract of the colour; alpha kept.
    virtual void AddColor(COLORREF colour, CRect rect);
    virtual void SubtractColor(COLORREF colour, CRect rect);
    // Block grids centred in the rectangle, each block filled with its centre pixel or its mean.
    virtual void MosaicCenter(CRect rect, int blockSize);
    virtual void MosaicAverage(CRect rect, int blockSize);
    // R, G and B each through the table; alpha 0.
    virtual void ApplyTable(CRect rect, const ToneTable& table);
    // Grey (R + G + B) / 3 or Y; alpha 0.
    virtual void GraySimple(CRect rect);
    virtual void GrayExact(CRect rect);
    // The values as bars over `rect`: each a column black from the bottom up to (value − base) /
    // scale of the height, the background above, smoothed by fourfold oversampling (tone_table.cpp).
    virtual void DrawGraph(CRect rect, const double* values, int count, double base, double scale,
                           COLORREF background);
    // Histograms: zeroed first, then one count per pixel.
    virtual void HistogramLuma(HistogramCounts& counts, CRect rect) const;
    virtual void HistogramAverage(HistogramCounts& counts, CRect rect) const;
    virtual void HistogramRgb(HistogramCounts& red, HistogramCounts& green, HistogramCounts& blue,
                              CRect rect) const;
    // Distinct R, G, B values, alpha ignored; 0 for an empty rectangle.
    virtual int CountColors(CRect rect) const;
    // Per-channel mean as a COLORREF; 0 for an empty rectangle.
    virtual COLORREF AverageColor(CRect rect) const;
    // Whole plane: alpha 0, alpha inverted, alpha = Y.
    virtual void ClearAlpha();
    virtual void InvertAlpha();
    virtual void AlphaFromLuma();
    // Alpha from the colour difference to the other plane over the sizes both share: the mean of
    // the three differences, or their weighted sum.
    virtual void AlphaFromDifference(const CPlane32& other);
    virtual void AlphaFromLumaDifference(const CPlane32& other);
    // True when at least 5 % of the rectangle's pixels (at least one) have a non-zero alpha.
    virtual bool UsesAlpha(CRect rect) const;
    // An 8-bit source through 256 colours; alpha 0.
    virtual void BlitPalette8(const CPlane& source, CPoint point, CRect rect, const Palette256& palette,
                              const SPlaneClip* clip = nullptr);
    // Copies every source pixel whose whole word differs from the key as 0x00RRGGBB.
    virtual void BlitColorKey(const CPlane32& source, CPoint point, CRect rect, COLORREF key,
                              const SPlaneClip* clip = nullptr);

    // Neighbourhood filters (neighbourhood_filters.cpp): `rect` of the source filtered into this
    // plane at `point`, the rectangle's edges taken as the image's edges. Source and destination
    // must be different planes, except for UnsharpMask.
    virtual void Blur(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    virtual void Sharpen(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    virtual void SharpenStrong(const CPlane32& source, CPoint point, CRect rect,
                               const SPlaneClip* clip = nullptr);
    virtual void GaussBlur(const CPlane32& source, CPoint point, CRect rect, double sigma,
                           const SPlaneClip* clip = nullptr);
    // Each pixel sharpened against the blurred plane's pixel at the same offset from
    // `blurredPoint`; source and destination may be one plane.
    virtual void UnsharpMask(const CPlane32& source, const CPlane32& blurred, CPoint point, CRect rect,
                             CPoint blurredPoint, const SPlaneClip* clip = nullptr);
    // The 3×3 median by R + G + B; the rectangle's border pixels are copied unchanged.
    virtual void Median(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);

    // Two-plane operations and blends (blend.cpp): `rect` of the source combined into this plane at
    // `point`. A second source and a mask (8 bits per pixel) are read at the source's coordinates.
    // The fades and blends treat alpha as a fourth channel.
    virtual void OrPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    virtual void AndPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    virtual void AddPlane(const CPlane32& source, CPoint point, CRect rect, const SPlaneClip* clip = nullptr);
    virtual void SubtractPlane(const CPlane32& source, CPoint point, CRect rect,
                               const SPlaneClip* clip = nullptr);
    virtual void BlitFadeBlack(const CPlane32& source, CPoint point, CRect rect, int amount,
                               const SPlaneClip* clip = nullptr);
    virtual void BlitFadeWhite(const CPlane32& source, CPoint point, CRect rect, int amount,
                               const SPlaneClip* clip = nullptr);
    virtual void BlendOpacity(const CPlane32& source, CPoint point, CRect rect, int opacity,
                              const SPlaneClip* clip = nullptr);
    // The second source moved toward the first by weight / 256.
    virtual void CrossFade(const CPlane32& first, const CPlane32& second, CPoint point, CRect rect,
                           int weight, const SPlaneClip* clip = nullptr);
    virtual void CopyPlane(const CPlane32& source, const CPlane& mask, CPoint point, CRect rect, int low,
                           int high, const SPlaneClip* clip = nullptr);
    virtual void RampBlend(const CPlane32& source, const CPlane& mask, CPoint point, CRect rect,
                           int threshold, int width, const SPlaneClip* clip = nullptr);
    virtual void RampBlendWhite(const CPlane32& source, const CPlane& mask, CPoint point, CRect rect,
                                int threshold, int width, const SPlaneClip* clip = nullptr);
    virtual void RampCrossFade(const CPlane32& first, const CPlane32& second, const CPlane& mask,
                               CPoint point, CRect rect, int threshold, int width,
                               const SPlaneClip* clip = nullptr);
    // The source over this plane by the source's alpha.
    virtual void AlphaComposite(const CPlane32& source, CPoint point, CRect rect,
                                const SPlaneClip* clip = nullptr);

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

    // Tone corrections of a rectangle in place, through a table of the builders of tone_table.h. A
    // reversed levels pair gives the negative of the stretch.
    void ApplyBrightnessContrast(CRect rect, int brightness, int contrast);
    void ApplyGamma(CRect rect, double gamma);
    void ApplyLevels(CRect rect, int low, int high);

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
