#include "formats/jpeg_loader.h"

#include "foundation/file.h"
#include "foundation/file_system.h"
#include "imaging/plane.h"

#include <exception>

namespace Brivox {

CSize CJpgLoader::SetScaleHint(CSize atLeast)
{
    reader_.ScaleDownTo(atLeast.cx, atLeast.cy);
    return OutputSize();
}

CSize CJpgLoader::OutputSize()
{
    return {reader_.GetOutputWidth(), reader_.GetOutputHeight()};
}

CJpgSaver::CJpgSaver(int quality)
{
    SetQuality(quality);
}

void CJpgSaver::SetQuality(int quality)
{
    writer_.SetQuality(quality);
}

void CJpgSaver::Save(const String& path, const CPlane& source, CRect rect)
{
    try {
        if (source.GetBitsPerPixel() != 32) {
            CMemoryPlane32 pixels(CSize{rect.Width(), rect.Height()});
            pixels.Blit(source, {0, 0}, rect);
            Save(path, pixels, {0, 0, rect.Width(), rect.Height()});
            return;
        }
        WriteFileReplacing(path, [&](const String& temporary) {
            CreateDirectories(temporary);
            CStdFile file(temporary, L"wb");
            {
                const Detail::PlaneBitsLock bits(source);
                writer_.Write(file.GetStdHandle(), bits.Pixel(rect.left, rect.top), bits.Stride(),
                              rect.Width(), rect.Height());
            }
            file.Close();
        });
    } catch (const std::exception&) {
        ThrowImageSaveError(path);
    }
}

} // namespace Brivox
