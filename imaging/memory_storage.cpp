#include "imaging/memory_storage.h"

#include "foundation/exception.h"
#include "imaging/image_memory_pool.h"

#include <atomic>
#include <exception>

namespace Brivox {

namespace {

// Heap-storage creations, counted process-wide: every fourth one trims the pool's free blocks.
std::atomic<unsigned> creations{0};

} // namespace

CMemoryPlaneImpl::~CMemoryPlaneImpl()
{
    Destroy();
}

bool CMemoryPlaneImpl::IsValid() const
{
    return block_ && size_.cx > 0 && size_.cy > 0;
}

void CMemoryPlaneImpl::ReleaseBlock()
{
    if (block_)
        FreeImageBlock(block_);
    block_ = nullptr;
}

void CMemoryPlaneImpl::Create(CSize size, int bitsPerPixel)
{
    try {
        size_ = size;
        stride_ = (static_cast<std::ptrdiff_t>(bitsPerPixel / 8) * size.cx + 3) & ~std::ptrdiff_t{3};
        ReleaseBlock();
        block_ = static_cast<std::uint8_t*>(AllocImageBlock(static_cast<std::size_t>(size.cy) * stride_));
        if (++creations % 4 == 0)
            GetMemoryBlockPool().Clear();
    } catch (const std::exception&) {
        Destroy();
        throw RuntimeException(L"画像保持メモリの作成に失敗しました");
    }
}

void CMemoryPlaneImpl::Destroy()
{
    ReleaseBlock();
    size_ = {};
    stride_ = 0;
}

} // namespace Brivox
