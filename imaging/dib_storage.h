#pragma once
#include "foundation/win32.h"
#include "imaging/plane.h"

namespace Brivox {

// DIB storage: a DIB section selected into a memory device context of its own. Rows are made
// top-down and a multiple of 4 pixels wide, so every row is whole 32-bit words.
class CDibImpl : public IPlaneImpl
{
public:
    CDibImpl() = default;
    ~CDibImpl() override;

    bool IsValid() const override;
    // Nothing changes when the capacity already equals `size`. Throws
    // "画像保持メモリ(DIB)の作成に失敗しました" (with the system's text) when GDI refuses.
    void Create(CSize size, int bitsPerPixel) override;
    void Destroy() override;
    // The width asked for (before rounding) and the height.
    CSize GetCapacity() const override;
    bool IsMemoryBacked() const override { return false; }
    bool HasDC() const override { return true; }
    // Flushes pending GDI drawing first. A bottom-up DIB gives its last memory row as row 0 and a
    // negative stride.
    SPlaneBits LockBits() override;
    HDC GetDC() override { return dc_; }

protected:
    virtual void FillInfoHeader(BITMAPINFOHEADER& header, CSize size, int bitsPerPixel);

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    BITMAPINFOHEADER header_{};
    void* bits_ = nullptr;
    int capacityWidth_ = 0;
};

} // namespace Brivox
