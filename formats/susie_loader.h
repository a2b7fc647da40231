#pragma once
// Pictures decoded by the Susie image plug-ins: the first plug-in in the set's order that takes a
// file and decodes it wins, and its DIB is drawn into the target.

#include "formats/image_loader.h"
#include "formats/local_memory.h"
#include "formats/susie_interface.h"
#include "formats/susie_plugin.h"

#include <cstddef>
#include <memory>

namespace Brivox {

class CSpiLoader : public IImageLoader
{
public:
    // The set's DLLs stay loaded while the decoder lives.
    explicit CSpiLoader(std::shared_ptr<const CSpi> spi);
    ~CSpiLoader() override;

    // False when no image plug-in takes and decodes the data, or the picture a plug-in hands back
    // does not fit in its blocks or passes the decodable sizes.
    bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) override;
    // The size the plug-in reported, or the DIB's when it reported none.
    CSize GetSize() override { return m_size; }
    void Load(CPlane& target, CPoint point, bool oneShot) override;
    // Known only after Load: true for a 32-bit DIB.
    bool HasAlpha() override { return m_alphaState == AlphaPresent; }
    // The winning plug-in's format descriptions joined by " / ", or "SPI".
    String GetFormatName() override;
    // The pattern lists of every image plug-in joined by ';'.
    String GetFilter() override;

private:
    enum AlphaState
    {
        AlphaUnknown = 0,
        AlphaAbsent = 1,
        AlphaPresent = 2
    };

    bool TryPlugins(const String& name, const unsigned char* buffer, std::size_t size);
    bool TryPlugin(int i, const String& name, const unsigned char* buffer, std::size_t size);
    String MakeFormatName(int i) const;
    void Clear();

    std::shared_ptr<const CSpi> m_spi;
    CLocalMemory m_bits;
    CLocalMemory m_header;
    SpiPictureInfo m_info{};
    // The record's text block, freed with the decoder.
    CLocalMemory m_text;
    CSize m_size;
    String m_formatName;
    int m_alphaState = AlphaUnknown;
};

using CSpiLoaderFactory = CSpiFactory<IImageLoader, CSpiLoader>;

} // namespace Brivox
