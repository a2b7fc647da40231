#pragma once
// The decoder and encoder interfaces, the loader that picks a file's decoder by its content, and
// the process-wide registry of decoder factories.

#include "formats/factory_registry.h"
#include "formats/file_data.h"
#include "formats/image_errors.h"
#include "foundation/geometry.h"
#include "foundation/string.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Brivox {

class CPlane;

// One image format's decoder. Calling order: Open once; GetSize and GetFormatName any time after;
// Load (once in one-shot mode, any number of times in normal mode); HasAlpha after Load.
class IImageLoader
{
public:
    IImageLoader() = default;
    IImageLoader(const IImageLoader&) = delete;
    IImageLoader& operator=(const IImageLoader&) = delete;
    virtual ~IImageLoader() = default;

    // False when the data is not of this format. Normal mode decodes the whole image now;
    // one-shot mode reads only what GetSize needs.
    [[nodiscard]] virtual bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) = 0;
    virtual CSize GetSize() = 0;
    // The whole image into the target with its top-left corner at the point; oneShot as given to
    // Open.
    virtual void Load(CPlane& target, CPoint point, bool oneShot) = 0;
    // One-shot mode, before Load: the image is wanted no smaller than `atLeast` (it is to be
    // reduced after Load). A decoder that can decode a smaller image more cheaply may then draw
    // that instead; the result is the size Load will draw. GetSize stays the image's own size.
    // The default ignores the hint.
    virtual CSize SetScaleHint(CSize atLeast)
    {
        static_cast<void>(atLeast);
        return GetSize();
    }
    virtual bool HasAlpha() = 0;
    virtual String GetFormatName() = 0;
    // Patterns separated by ';' ("*.jpg;*.jpeg;*.jpe").
    virtual String GetFilter() = 0;
};

// One image format's encoder.
class IImageSaver
{
public:
    IImageSaver() = default;
    IImageSaver(const IImageSaver&) = delete;
    IImageSaver& operator=(const IImageSaver&) = delete;
    virtual ~IImageSaver() = default;

    // Writes the rectangle (inside the plane) to a new file at the path, replacing a file there.
    virtual void Save(const String& path, const CPlane& source, CRect rect) = 0;
};

using ImageLoaderRegistry = CFactoryRegistry<IImageLoader>;

// The process-wide registry of image decoders, in the order in which they are tried.
ImageLoaderRegistry& GetImageLoaderFactories();

// Opens file data with the first registered decoder that accepts it.
class CImageLoader
{
public:
    CImageLoader() = default;
    CImageLoader(const CImageLoader&) = delete;
    CImageLoader& operator=(const CImageLoader&) = delete;

    // Before Open: in one-shot mode Open reads only the header and the single Load decodes
    // straight into its target.
    void SetOneShot(bool oneShot);
    // Throws ImageLoadException (the file's name followed by " の画像読み込みに失敗しました")
    // when the data is empty or no decoder accepts it.
    void Open(const std::shared_ptr<CFileData>& data);
    // Each throws ImageLoadException "画像の読み込みに失敗しました" without a decoder, and
    // Load also for a second one-shot load.
    CSize GetSize() const;
    // The decoder's SetScaleHint in one-shot mode before the Load; otherwise the image is decoded
    // already (or was drawn) and the result is GetSize.
    CSize SetScaleHint(CSize atLeast);
    bool HasAlpha() const;
    String GetFormatName() const;
    void Load(CPlane& target, CPoint point);

private:
    enum Mode
    {
        Normal = 0,
        OneShot = 1,
        OneShotLoaded = 2
    };

    IImageLoader& Decoder() const;

    std::shared_ptr<CFileData> data_;
    std::shared_ptr<IImageLoader> decoder_;
    // The registry list the decoder came from: what its factory holds stays alive with it.
    std::shared_ptr<const FactoryList<IImageLoader>> registry_;
    int mode_ = Normal;
};

// Every extension named by a registered decoder's filter: lower case, without the dot, sorted by
// UTF-16 code units, without duplicates. A decoder that throws contributes nothing.
std::vector<String> GetImageExtensions();
// Appends the extensions of a pattern list: the text after the first '.' of each non-empty
// ';'-separated piece, lower-cased; pieces without '.' are skipped.
void ParseExtensionList(std::vector<String>& extensions, const String& filter);

namespace Detail {

// Decodes an image of `size` pixels into `target` at `point` with `decode`(first row, stride).
// When the target is a 32-bit plane holding the whole image there, the rows are written straight;
// otherwise through a temporary 32-bit plane, blitted (clipped and converted) into the target.
void DecodeIntoPlane(CPlane& target, CPoint point, CSize size,
                     const std::function<void(std::uint8_t*, std::ptrdiff_t)>& decode);

} // namespace Detail

} // namespace Brivox
