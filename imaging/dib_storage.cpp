#include "imaging/dib_storage.h"

#include "foundation/exception.h"

#include <cstdlib>

namespace Brivox {

namespace {

constexpr const wchar_t* DibCreationFailed = L"画像保持メモリ(DIB)の作成に失敗しました";

} // namespace

CDibImpl::~CDibImpl()
{
    Destroy();
}

bool CDibImpl::IsValid() const
{
    return dc_ && bitmap_;
}

CSize CDibImpl::GetCapacity() const
{
    if (!IsValid())
        return {0, 0};
    return {capacityWidth_, std::abs(static_cast<int>(header_.biHeight))};
}

void CDibImpl::FillInfoHeader(BITMAPINFOHEADER& header, CSize size, int bitsPerPixel)
{
    header = {};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = size.cx;
    header.biHeight = -size.cy;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = BI_RGB;
}

void CDibImpl::Create(CSize size, int bitsPerPixel)
{
    if (IsValid() && GetCapacity() == size)
        return;
    Destroy();
    FillInfoHeader(header_, {(size.cx + 3) & ~3, size.cy}, bitsPerPixel);
    // A failure throws at once, so that the exception reads the failing call's error; the
    // half-made storage goes with the next Destroy.
    dc_ = ::CreateCompatibleDC(nullptr);
    if (!dc_)
        throw Win32Exception(DibCreationFailed);
    bitmap_ = ::CreateDIBSection(dc_, reinterpret_cast<const BITMAPINFO*>(&header_), DIB_RGB_COLORS, &bits_,
                                 nullptr, 0);
    if (!bitmap_)
        throw Win32Exception(DibCreationFailed);
    previous_ = ::SelectObject(dc_, bitmap_);
    capacityWidth_ = size.cx;
}

void CDibImpl::Destroy()
{
    if (dc_) {
        if (bitmap_) {
            ::SelectObject(dc_, previous_);
            ::DeleteObject(bitmap_);
        }
        ::DeleteDC(dc_);
    } else if (bitmap_) {
        ::DeleteObject(bitmap_);
    }
    dc_ = nullptr;
    bitmap_ = nullptr;
    previous_ = nullptr;
    header_ = {};
    bits_ = nullptr;
    capacityWidth_ = 0;
}

SPlaneBits CDibImpl::LockBits()
{
    ::GdiFlush();
    const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(header_.biBitCount / 8) * header_.biWidth;
    auto* bits = static_cast<std::uint8_t*>(bits_);
    if (header_.biHeight > 0)
        return {bits + stride * (header_.biHeight - 1), -stride};
    return {bits, stride};
}

CDib32::CDib32() : CPlane32(std::make_unique<CDibImpl>()) {}

} // namespace Brivox
