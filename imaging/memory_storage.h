#pragma once
#include "imaging/plane.h"

namespace Brivox {

// Heap storage: one block of the image memory pool, rows top-down, each a multiple of 4 bytes.
class CMemoryPlaneImpl : public IPlaneImpl
{
public:
    CMemoryPlaneImpl() = default;
    ~CMemoryPlaneImpl() override;

    bool IsValid() const override;
    // Always allocates anew, even for the same size. Throws RuntimeException
    // "画像保持メモリの作成に失敗しました" when no memory can be had.
    void Create(CSize size, int bitsPerPixel) override;
    void Destroy() override;
    CSize GetCapacity() const override { return size_; }
    bool IsMemoryBacked() const override { return true; }
    bool HasDC() const override { return false; }
    SPlaneBits LockBits() override { return {block_, stride_}; }
    HDC GetDC() override { return nullptr; }

private:
    void ReleaseBlock();

    std::uint8_t* block_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    CSize size_{};
};

} // namespace Brivox
