#pragma once
#include "formats/image_loader.h"

#include <memory>

struct IPicture;

namespace Brivox {

// Whatever the system's OLE picture support reads (bitmaps, icons, metafiles, JPEG, GIF, ...),
// rendered at Load into the target's device context at the screen's resolution. The caller's
// thread initialises COM where the system's loader needs it.
class COleLoader : public IImageLoader
{
public:
    COleLoader();
    ~COleLoader() override;

    bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) override;
    // The picture's size at the screen's pixels per inch.
    CSize GetSize() override;
    // Throws ImageLoadException "画像の読み込みに失敗しました" when the picture cannot be rendered,
    // as into a plane without a device context.
    void Load(CPlane& target, CPoint point, bool oneShot) override;
    bool HasAlpha() override { return false; }
    // By the picture's type; "OLE Image" when it has none of the four known.
    String GetFormatName() override;
    String GetFilter() override { return L"*.bmp;*.ico;*.jpg;*.jpeg;*.jpe;*.png;*.gif"; }

private:
    struct SRelease
    {
        void operator()(IPicture* picture) const;
    };

    std::unique_ptr<IPicture, SRelease> picture_;
};

} // namespace Brivox
