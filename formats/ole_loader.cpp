#include "formats/ole_loader.h"

#include "formats/image_size.h"
#include "foundation/win32.h"
#include "imaging/dc_target.h"
#include "imaging/plane.h"

#include <olectl.h>

#include <cstring>

namespace Brivox {

namespace {

// A movable global memory block, freed with its owner.
class CGlobalBlock
{
public:
    explicit CGlobalBlock(std::size_t size) : handle_(::GlobalAlloc(GMEM_MOVEABLE, size)) {}
    CGlobalBlock(const CGlobalBlock&) = delete;
    CGlobalBlock& operator=(const CGlobalBlock&) = delete;
    ~CGlobalBlock()
    {
        if (handle_)
            ::GlobalFree(handle_);
    }

    HGLOBAL Get() const { return handle_; }

    [[nodiscard]] bool Fill(const void* bytes, std::size_t size)
    {
        void* at = handle_ ? ::GlobalLock(handle_) : nullptr;
        if (!at)
            return false;
        std::memcpy(at, bytes, size);
        ::GlobalUnlock(handle_);
        return true;
    }

private:
    HGLOBAL handle_;
};

struct SStreamRelease
{
    void operator()(IStream* stream) const { stream->Release(); }
};

// HIMETRIC units (hundredths of a millimetre) in pixels of the screen.
struct SPictureSize
{
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    CSize pixels;
};

SPictureSize MeasurePicture(IPicture& picture)
{
    SPictureSize size;
    if (FAILED(picture.get_Width(&size.width)) || FAILED(picture.get_Height(&size.height)))
        return size;
    const HDC screen = ::GetDC(nullptr);
    const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX), dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    size.pixels = {::MulDiv(size.width, dpiX, 2540), ::MulDiv(size.height, dpiY, 2540)};
    return size;
}

} // namespace

void COleLoader::SRelease::operator()(IPicture* picture) const
{
    picture->Release();
}

COleLoader::COleLoader() = default;
COleLoader::~COleLoader() = default;

bool COleLoader::Open(const std::shared_ptr<CFileData>& data, bool)
{
    picture_.reset();
    const auto& bytes = data->GetBytes();
    if (bytes.empty())
        return false;
    IPicture* picture = nullptr;
    {
        CGlobalBlock block(bytes.size());
        if (!block.Fill(bytes.data(), bytes.size()))
            return false;
        IStream* rawStream = nullptr;
        if (FAILED(::CreateStreamOnHGlobal(block.Get(), FALSE, &rawStream)))
            return false;
        const std::unique_ptr<IStream, SStreamRelease> stream(rawStream);
        // The picture keeps what it needs; the stream and the block go now.
        if (::OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), TRUE, IID_IPicture,
                             reinterpret_cast<void**>(&picture)) != S_OK) {
            if (picture)
                picture->Release();
            return false;
        }
    }
    picture_.reset(picture);
    // A picture larger than the decoders take, or without pixels, is refused like a damaged file.
    const CSize size = GetSize();
    if (!IsDecodableImageSize(size.cx, size.cy)) {
        picture_.reset();
        return false;
    }
    return true;
}

CSize COleLoader::GetSize()
{
    return picture_ ? MeasurePicture(*picture_).pixels : CSize{0, 0};
}

void COleLoader::Load(CPlane& target, CPoint point, bool)
{
    if (!picture_)
        ThrowImageLoadError();
    const SPictureSize size = MeasurePicture(*picture_);
    const Detail::PlaneDcLock dc(target);
    // HIMETRIC runs bottom-up: the source starts at the picture's height and goes up.
    if (!dc.GetDC() || picture_->Render(dc.GetDC(), point.x, point.y, size.pixels.cx, size.pixels.cy, 0,
                                        size.height, size.width, -size.height, nullptr) != S_OK)
        ThrowImageLoadError();
}

String COleLoader::GetFormatName()
{
    SHORT type = PICTYPE_UNINITIALIZED;
    if (picture_ && SUCCEEDED(picture_->get_Type(&type))) {
        switch (type) {
        case PICTYPE_BITMAP:
            return L"OLE ビットマップ";
        case PICTYPE_METAFILE:
            return L"OLE メタファイル";
        case PICTYPE_ICON:
            return L"OLE アイコン";
        case PICTYPE_ENHMETAFILE:
            return L"OLE 拡張メタファイル";
        default:
            break;
        }
    }
    return L"OLE Image";
}

} // namespace Brivox
