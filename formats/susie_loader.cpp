#include "formats/susie_loader.h"

#include "formats/image_size.h"
#include "foundation/dynamic_library.h"
#include "foundation/encoding.h"
#include "imaging/plane.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

namespace Brivox {

namespace {

// Calls into image plug-ins never overlap; archive plug-ins have their own lock.
std::mutex& SusieImageLock()
{
    static std::mutex lock;
    return lock;
}

// No system error box while a plug-in works: critical errors, faults, alignment faults and files
// that cannot be opened fail quietly.
constexpr unsigned pluginErrorMode =
    SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOALIGNMENTFAULTEXCEPT | SEM_NOOPENFILEERRORBOX;

// IsSupported may read the first 2 KB of the file whatever its size; shorter data go into a
// buffer of zeros this large.
constexpr std::size_t supportedHeadSize = 2048;
constexpr std::size_t shortDataBufferSize = 4096;

int WINAPI GoOnProgress(int, int, LONG_PTR)
{
    return 0;
}

// Whether the two blocks hold the whole DIB that its header describes, within the sizes the
// decoders take: drawing reads as far as the header says, the colour table and masks included.
bool HoldsWholeDib(const CLocalMemory& header, const CLocalMemory& bits)
{
    const CLocalMemoryLock head(header);
    BITMAPINFOHEADER h;
    if (head.Size() < sizeof(h))
        return false;
    std::memcpy(&h, head.Data(), sizeof(h));
    const std::int64_t height = h.biHeight < 0 ? -std::int64_t{h.biHeight} : std::int64_t{h.biHeight};
    if (h.biSize < sizeof(h) || h.biSize > head.Size() || !IsDecodableImageSize(h.biWidth, height))
        return false;
    const unsigned depth = h.biBitCount;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return false;
    std::uint64_t tableSize = 0;
    bool runLength = false;
    switch (h.biCompression) {
    case BI_RGB:
        break;
    case BI_BITFIELDS:
        if (depth != 16 && depth != 32)
            return false;
        if (h.biSize == sizeof(h))
            tableSize += 3 * sizeof(DWORD); // the masks follow the header
        break;
    case BI_RLE8:
    case BI_RLE4:
        runLength = true;
        if (depth != (h.biCompression == BI_RLE8 ? 8u : 4u) || h.biHeight < 0 || h.biSizeImage == 0)
            return false;
        break;
    default:
        return false;
    }
    // Every colour the header declares: readers of the table differ in how many of them they take.
    const std::uint64_t colours = h.biClrUsed != 0 ? h.biClrUsed : depth <= 8 ? std::uint64_t{1} << depth : 0;
    tableSize += colours * sizeof(RGBQUAD);
    if (h.biSize + tableSize > head.Size())
        return false;
    const std::uint64_t stride = (static_cast<std::uint64_t>(h.biWidth) * depth + 31) / 32 * 4;
    const std::uint64_t imageSize = runLength ? h.biSizeImage : stride * static_cast<std::uint64_t>(height);
    return imageSize <= bits.GetSize();
}

} // namespace

CSpiLoader::CSpiLoader(std::shared_ptr<const CSpi> spi) : m_spi(std::move(spi)) {}

CSpiLoader::~CSpiLoader()
{
    // The plug-in's blocks go before the set that may hold the plug-in's DLL.
    Clear();
}

void CSpiLoader::Clear()
{
    m_text.Reset();
    m_header.Reset();
    m_bits.Reset();
    m_info = SpiPictureInfo{};
    m_size = CSize{};
}

bool CSpiLoader::Open(const std::shared_ptr<CFileData>& data, bool)
{
    std::lock_guard<std::mutex> lock(SusieImageLock());
    const ErrorModeGuard quiet(pluginErrorMode);
    try {
        Clear();
        m_alphaState = AlphaUnknown;
        const FileBytes& bytes = data->GetBytes();
        if (bytes.size() >= supportedHeadSize)
            return TryPlugins(data->GetName(), bytes.data(), bytes.size());
        std::vector<unsigned char> head(shortDataBufferSize, 0);
        std::copy(bytes.begin(), bytes.end(), head.begin());
        return TryPlugins(data->GetName(), head.data(), bytes.size());
    } catch (...) {
        Clear();
        return false;
    }
}

bool CSpiLoader::TryPlugins(const String& name, const unsigned char* buffer, std::size_t size)
{
    for (int i = 0; i < m_spi->GetCount(); ++i) {
        // Not guarded: a plug-in that cannot say its kind ends the search.
        if (!m_spi->IsImagePlugin(i))
            continue;
        try {
            if (TryPlugin(i, name, buffer, size)) {
                m_formatName = MakeFormatName(i);
                m_alphaState = AlphaUnknown;
                return true;
            }
        } catch (const std::exception&) {
            // A plug-in that lacks an export or fails is passed over.
        }
        Clear();
    }
    return false;
}

bool CSpiLoader::TryPlugin(int i, const String& name, const unsigned char* buffer, std::size_t size)
{
    const SpiIsSupportedProc isSupported = m_spi->GetIsSupported(i);
    const SpiGetPictureInfoProc getPictureInfo = m_spi->GetGetPictureInfo(i);
    const SpiGetPictureProc getPicture = m_spi->GetGetPicture(i);
    const std::string ansiName = GetDefaultEncoding().ToMultiByte(name);
    if (!isSupported(ansiName.c_str(), const_cast<unsigned char*>(buffer)))
        return false;

    const auto* source = reinterpret_cast<const char*>(buffer);
    const auto length = static_cast<LONG_PTR>(size);
    m_info = SpiPictureInfo{};
    getPictureInfo(source, length, SpiInputMemory, &m_info);
    HLOCAL header = nullptr, bits = nullptr;
    if (getPicture(source, length, SpiInputMemory, &header, &bits, GoOnProgress, 0) != 0) {
        // What a failing plug-in left in the handles is not trusted, so not freed either.
        m_info = SpiPictureInfo{};
        return false;
    }
    m_text.Reset(m_info.text);
    m_header.Reset(header);
    m_bits.Reset(bits);
    if (!HoldsWholeDib(m_header, m_bits))
        return false;

    // The reported size, when there is one, must be one the decoders take; without one (a failed
    // GetPictureInfo) the DIB's own size stands.
    if (m_info.width > 0 || m_info.height > 0) {
        if (!IsDecodableImageSize(m_info.width, m_info.height))
            return false;
        m_size = CSize{m_info.width, m_info.height};
    } else {
        const CLocalMemoryLock head(m_header);
        const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(head.Data());
        m_size = CSize{h->biWidth, h->biHeight < 0 ? -h->biHeight : h->biHeight};
    }
    return true;
}

String CSpiLoader::MakeFormatName(int i) const
{
    try {
        String name;
        for (const String& description : m_spi->GetFormatDescriptions(i))
            name = name.Length() == 0 ? description : name + L" / " + description;
        return name;
    } catch (...) {
        return L"Unknown SPI";
    }
}

void CSpiLoader::Load(CPlane& target, CPoint point, bool)
{
    const CLocalMemoryLock header(m_header), bits(m_bits);
    if (!header.Data() || !bits.Data())
        ThrowImageLoadError();
    const auto* info = reinterpret_cast<const BITMAPINFO*>(header.Data());
    m_alphaState = info->bmiHeader.biBitCount == 32 ? AlphaPresent : AlphaAbsent;
    target.DrawDib(info, bits.Data(), point, {0, 0, 0x3FFFFFFF, 0x3FFFFFFF});
}

String CSpiLoader::GetFormatName()
{
    return m_formatName.Length() == 0 ? String(L"SPI") : m_formatName;
}

String CSpiLoader::GetFilter()
{
    std::lock_guard<std::mutex> lock(SusieImageLock());
    String filter;
    try {
        for (int i = 0; i < m_spi->GetCount(); ++i) {
            if (!m_spi->IsImagePlugin(i))
                continue;
            try {
                for (const String& patterns : m_spi->GetFormatPatterns(i))
                    filter = filter.Length() == 0 ? patterns : filter + L";" + patterns;
            } catch (const std::exception&) {
                // This plug-in's patterns are left out.
            }
        }
    } catch (...) {
        // What was gathered before stands.
    }
    return filter;
}

} // namespace Brivox
