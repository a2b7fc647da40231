#include "formats/image_loader.h"

#include "imaging/plane.h"

#include <algorithm>
#include <exception>

namespace Brivox {

ImageLoaderRegistry& GetImageLoaderFactories()
{
    static ImageLoaderRegistry registry;
    return registry;
}

void CImageLoader::SetOneShot(bool oneShot)
{
    mode_ = oneShot ? OneShot : Normal;
}

void CImageLoader::Open(const std::shared_ptr<CFileData>& data)
{
    if (mode_ == OneShotLoaded)
        mode_ = OneShot;
    data_ = data;
    decoder_.reset();
    registry_.reset();
    if (data_ && !data_->GetBytes().empty()) {
        // The list as it stands now: a rebuild on another thread does not touch it.
        auto registry = GetImageLoaderFactories().Snapshot();
        for (std::size_t i = 0; i < registry->size(); ++i) {
            try {
                auto decoder = CreateFromRegistry(*registry, i);
                if (decoder && decoder->Open(data_, mode_ != Normal)) {
                    decoder_ = std::move(decoder);
                    registry_ = std::move(registry);
                    return;
                }
            } catch (const std::exception&) {
                // A decoder that fails counts as one that does not know the data.
            }
        }
    }
    ThrowImageLoadError(data_ ? data_->GetName() : String());
}

IImageLoader& CImageLoader::Decoder() const
{
    if (!decoder_)
        ThrowImageLoadError();
    return *decoder_;
}

CSize CImageLoader::GetSize() const
{
    return Decoder().GetSize();
}

CSize CImageLoader::SetScaleHint(CSize atLeast)
{
    if (mode_ != OneShot)
        return GetSize();
    return Decoder().SetScaleHint(atLeast);
}

bool CImageLoader::HasAlpha() const
{
    return Decoder().HasAlpha();
}

String CImageLoader::GetFormatName() const
{
    return Decoder().GetFormatName();
}

void CImageLoader::Load(CPlane& target, CPoint point)
{
    IImageLoader& decoder = Decoder();
    switch (mode_) {
    case Normal:
        decoder.Load(target, point, false);
        break;
    case OneShot:
        mode_ = OneShotLoaded;
        decoder.Load(target, point, true);
        break;
    default:
        // A one-shot image is decoded once only.
        ThrowImageLoadError();
    }
}

std::vector<String> GetImageExtensions()
{
    std::vector<String> extensions;
    const auto registry = GetImageLoaderFactories().Snapshot();
    for (std::size_t i = 0; i < registry->size(); ++i) {
        try {
            ParseExtensionList(extensions, CreateFromRegistry(*registry, i)->GetFilter());
        } catch (const std::exception&) {
        }
    }
    std::sort(extensions.begin(), extensions.end());
    extensions.erase(std::unique(extensions.begin(), extensions.end()), extensions.end());
    return extensions;
}

void ParseExtensionList(std::vector<String>& extensions, const String& filter)
{
    for (const String& piece : filter.Split(MakeCharList(L';'), true)) {
        const int dot = piece.IndexOf(L'.', 0, piece.Length());
        if (dot >= 0)
            extensions.push_back(piece.Substring(dot + 1).ToLower());
    }
}

namespace Detail {

void DecodeIntoPlane(CPlane& target, CPoint point, CSize size,
                     const std::function<void(std::uint8_t*, std::ptrdiff_t)>& decode)
{
    const bool fits = point.x >= 0 && point.y >= 0 && std::int64_t{point.x} + size.cx <= target.GetWidth() &&
                      std::int64_t{point.y} + size.cy <= target.GetHeight();
    if (target.GetBitsPerPixel() == 32 && fits) {
        const PlaneBitsLock bits(target);
        decode(bits.Pixel(point.x, point.y), bits.Stride());
        return;
    }
    CMemoryPlane32 image(size);
    {
        const PlaneBitsLock bits(image);
        decode(bits.Top(), bits.Stride());
    }
    target.Blit(image, point, {0, 0, size.cx, size.cy});
}

} // namespace Detail

} // namespace Brivox
