#include "formats/png_loader.h"

#include "foundation/encoding.h"
#include "foundation/file.h"
#include "foundation/file_system.h"
#include "imaging/plane.h"

#include <exception>
#include <string>

#include <png.h>

namespace Brivox {

void CPngSaver::Save(const String& path, const CPlane& source, CRect rect)
{
    const int width = rect.Width(), height = rect.Height();
    if (source.GetBitsPerPixel() == 16) {
        CMemoryPlane pixels(24);
        pixels.Resize({width, height});
        pixels.Blit(source, {0, 0}, rect);
        Save(path, pixels, {0, 0, width, height});
        return;
    }
    WriteFileReplacing(path, [&](const String& temporary) {
        CFileWriteStream stream(temporary);
        {
            const Detail::PlaneBitsLock bits(source);
            Detail::WritePng([&stream](const void* data,
                                       std::size_t count) { stream.Write(data, static_cast<int>(count)); },
                             bits.Pixel(rect.left, rect.top), bits.Stride(), width, height,
                             source.GetBitsPerPixel(), level_);
        }
        stream.Close();
    });
}

String GetPngVersionText()
{
    // The text starts with a line break.
    const std::string notice = png_get_copyright(nullptr);
    return GetDefaultEncoding().ToString(notice.substr(notice.empty() ? 0 : 1));
}

} // namespace Brivox
