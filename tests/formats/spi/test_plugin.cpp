// Small Susie plug-ins for the tests of the plug-in host and its users, all built from this source.
// Its definitions choose the variant:
//   KANORU_SPI_IMAGE: an image plug-in ("00IN") with two formats, "*.ksp" and "*.kpp;*.kpq". Its
//       pictures are "KSPI", width and height (32-bit), then width * height pixels of B, G, R, A,
//       top row first; GetPicture hands out a 32-bit bottom-up DIB. Other magics ask for other
//       answers to the same pixels:
//         "KSP8": an 8-bit DIB with a grey colour table, each pixel's index its blue byte;
//         "KSPT": the same, but the header block ends before the colour table;
//         "KSPS": the 32-bit DIB in a bits block of half the size its header says;
//         "KSPN": GetPictureInfo fails, GetPicture succeeds.
//   KANORU_SPI_ARCHIVE: an archive plug-in ("00AM") for "*.kar" archives:
//       "KARC", an entry count (32-bit), then per entry its path and its file name (each a 16-bit
//       length and ANSI text), a timestamp, a size (32-bit each) and its bytes.
//   neither of them: its version text is "00I" with the result 3, too short to name a kind.
// Misbehaviours, each added to one of the kinds:
//   KANORU_SPI_NO_INFO leaves GetPluginInfo out (its .def file does not list it);
//   test_plugin_no_config.def leaves ConfigurationDlg out;
//   KANORU_SPI_ENDLESS_INFO answers every format number, without end;
//   KANORU_SPI_PICTURE_FAILS takes every picture in IsSupported, then fails in GetPicture;
//   KANORU_SPI_LIST_FAILS takes every archive in IsSupported, then fails in GetArchiveInfo;
//   KANORU_SPI_NO_MEMORY_OUTPUT answers GetFile into memory with error 2 and only writes files;
//   KANORU_SPI_UNTERMINATED lists no record that ends the list, and fills a text field whole,
//       without a zero byte, when the text is that long.
// KANORU_SPI_HELPER makes the plug-in import a helper DLL that lies beside it, and only there.
// Exports are listed in a .def file, undecorated, as hosts look them up; "KanoruSpiProbe" tells a
// test what the plug-in saw.

#include "tests/formats/plugin_fakes.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#ifdef KANORU_SPI_HELPER
extern "C" __declspec(dllimport) int KanoruSpiHelperValue();
#endif

using Brivox::SpiFileInfo;
using Brivox::SpiPictureInfo;
using Brivox::SpiProgressCallback;

namespace {

#if defined(KANORU_SPI_IMAGE)
constexpr bool isImagePlugin = true, isArchivePlugin = false;
#elif defined(KANORU_SPI_ARCHIVE)
constexpr bool isImagePlugin = false, isArchivePlugin = true;
#else
constexpr bool isImagePlugin = false, isArchivePlugin = false;
#endif

enum SpiResult
{
    Success = 0,
    NotImplemented = -1,
    UnknownFormat = 2,
    BrokenData = 3,
    NoMemory = 4,
    ReadError = 6,
};

using Bytes = std::vector<unsigned char>;

#if defined(KANORU_SPI_IMAGE)
const char* const infoTexts[] = {"00IN",        "Kanoru test image plug-in", "*.ksp", "Kanoru test picture",
                                 "*.kpp;*.kpq", "Kanoru packed picture"};
#elif defined(KANORU_SPI_ARCHIVE)
const char* const infoTexts[] = {"00AM", "Kanoru test archive plug-in", "*.kar", "Kanoru test archive"};
#else
const char* const infoTexts[] = {"00I", "Kanoru test plug-in of no kind"};
#endif

PluginFakes::SSpiProbe probe;

std::uint32_t ReadU32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool ReadFileBytes(const char* name, Bytes& bytes)
{
    HANDLE file = ::CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes.resize(::GetFileSize(file, nullptr));
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    return ok && read == bytes.size();
}

HLOCAL NewBlock(const void* data, std::size_t size)
{
    HLOCAL block = ::LocalAlloc(LMEM_MOVEABLE, size);
    if (block) {
        std::memcpy(::LocalLock(block), data, size);
        ::LocalUnlock(block);
    }
    return block;
}

// The picture's header: magic, width, height; false for data that is not a picture.
bool ReadPictureHeader(const unsigned char* data, LONG_PTR size, char& kind, std::int32_t& width,
                       std::int32_t& height)
{
    if (!isImagePlugin || size < 12 || std::memcmp(data, "KSP", 3) != 0 ||
        std::strchr("I8TSN", data[3]) == nullptr || data[3] == '\0')
        return false;
    kind = static_cast<char>(data[3]);
    width = static_cast<std::int32_t>(ReadU32(data + 4));
    height = static_cast<std::int32_t>(ReadU32(data + 8));
    return width > 0 && height > 0 && width <= 100000 && height <= 100000 &&
           static_cast<long long>(width) * height <= (1 << 22);
}

// One archive entry as the archive format holds it.
struct Entry
{
    std::string path;
    std::string name;
    std::uint32_t timestamp = 0;
    std::uint32_t position = 0;
    std::uint32_t size = 0;
};

bool ReadText(const Bytes& bytes, std::size_t& at, std::string& text)
{
    if (at + 2 > bytes.size())
        return false;
    const std::size_t length = bytes[at] | (bytes[at + 1] << 8);
    at += 2;
    if (at + length > bytes.size())
        return false;
    text.assign(reinterpret_cast<const char*>(bytes.data() + at), length);
    at += length;
    return true;
}

bool ReadArchive(const char* name, std::vector<Entry>& entries)
{
    Bytes bytes;
    if (!isArchivePlugin || !ReadFileBytes(name, bytes) || bytes.size() < 8 ||
        std::memcmp(bytes.data(), "KARC", 4) != 0)
        return false;
    const std::uint32_t count = ReadU32(bytes.data() + 4);
    std::size_t at = 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        Entry entry;
        if (!ReadText(bytes, at, entry.path) || !ReadText(bytes, at, entry.name) || at + 8 > bytes.size())
            return false;
        entry.timestamp = ReadU32(bytes.data() + at);
        entry.size = ReadU32(bytes.data() + at + 4);
        entry.position = static_cast<std::uint32_t>(at + 8);
        at += 8 + entry.size;
        if (at > bytes.size())
            return false;
        entries.push_back(entry);
    }
    return true;
}

template <std::size_t N> void CopyText(char (&field)[N], const std::string& text)
{
#ifdef KANORU_SPI_UNTERMINATED
    std::memcpy(field, text.data(), std::min(text.size(), N));
#else
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
#endif
}

// The DIB's two blocks for the picture's pixels, as the picture's magic asks.
int MakeDib(char kind, const unsigned char* pixels, std::int32_t width, std::int32_t height, HLOCAL* header,
            HLOCAL* bits)
{
    const bool indexed = kind == '8' || kind == 'T';
    const int depth = indexed ? 8 : 32;
    const std::size_t rowSize = (static_cast<std::size_t>(width) * depth / 8 + 3) / 4 * 4;
    Bytes info(sizeof(BITMAPINFOHEADER) + (indexed ? 256 * sizeof(RGBQUAD) : 0), 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height; // bottom-up, as most plug-ins give it
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(depth);
    h->biCompression = BI_RGB;
    for (int i = 0; indexed && i < 256; ++i) {
        auto* colour = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER)) + i;
        colour->rgbBlue = colour->rgbGreen = colour->rgbRed = static_cast<BYTE>(i);
    }
    Bytes rows(rowSize * height, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        unsigned char* row = &rows[rowSize * (height - 1 - y)];
        const unsigned char* from = pixels + static_cast<std::size_t>(width) * 4 * y;
        if (!indexed) {
            std::memcpy(row, from, static_cast<std::size_t>(width) * 4);
            continue;
        }
        for (std::int32_t x = 0; x < width; ++x)
            row[x] = from[4 * x];
    }
    *header = NewBlock(info.data(), kind == 'T' ? sizeof(BITMAPINFOHEADER) : info.size());
    *bits = NewBlock(rows.data(), kind == 'S' ? rows.size() / 2 : rows.size());
    if (!*header || !*bits) {
        ::LocalFree(*header);
        ::LocalFree(*bits);
        return NoMemory;
    }
    return Success;
}

} // namespace

extern "C" {

PluginFakes::SSpiProbe* __cdecl KanoruSpiProbe()
{
    return &probe;
}

#ifndef KANORU_SPI_NO_INFO
int WINAPI GetPluginInfo(int number, char* buffer, int bufferLength)
{
    const int count = static_cast<int>(sizeof(infoTexts) / sizeof(infoTexts[0]));
    if (number < 0 || bufferLength <= 0)
        return 0;
#ifdef KANORU_SPI_ENDLESS_INFO
    const char* const text = number < 2 ? infoTexts[number] : number % 2 == 0 ? "*.end" : "Endless";
#else
    if (number >= count)
        return 0;
    const char* const text = infoTexts[number];
#endif
    (void)count;
    const int length = std::min(static_cast<int>(std::strlen(text)), bufferLength - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return length;
}
#endif

int WINAPI IsSupported(const char*, void* data)
{
#if defined(KANORU_SPI_IMAGE)
    // The host hands the address of at least 2 KB of the file's start.
    ++probe.isSupportedCalls;
    probe.isSupportedData = data;
    std::memcpy(probe.head, data, sizeof(probe.head));
#ifdef KANORU_SPI_PICTURE_FAILS
    return 1;
#else
    char kind;
    std::int32_t width, height;
    return ReadPictureHeader(static_cast<const unsigned char*>(data), 2048, kind, width, height) ? 1 : 0;
#endif
#elif defined(KANORU_SPI_ARCHIVE)
    // The host hands the open archive file, read from its start.
    char magic[4] = {};
    DWORD read = 0;
    return ::ReadFile(static_cast<HANDLE>(data), magic, 4, &read, nullptr) && read == 4 &&
           std::memcmp(magic, "KARC", 4) == 0;
#else
    (void)data;
    return 0;
#endif
}

int WINAPI GetPictureInfo(const char* source, LONG_PTR length, unsigned flag, SpiPictureInfo* info)
{
    probe.pictureInfoLength = length;
    if ((flag & 7) != Brivox::SpiInputMemory)
        return NotImplemented;
    char kind;
    std::int32_t width, height;
    if (!ReadPictureHeader(reinterpret_cast<const unsigned char*>(source), length, kind, width, height) ||
        kind == 'N')
        return UnknownFormat;
    *info =
        SpiPictureInfo{0, 0, width, height, 0, 0, static_cast<std::int16_t>(kind == '8' ? 8 : 32), nullptr};
    return Success;
}

int WINAPI GetPicture(const char* source, LONG_PTR length, unsigned flag, HLOCAL* header, HLOCAL* bits,
                      SpiProgressCallback progress, LONG_PTR data)
{
    ++probe.getPictureCalls;
    probe.pictureSource = source;
    probe.pictureLength = length;
#ifdef KANORU_SPI_PICTURE_FAILS
    return BrokenData;
#endif
    if ((flag & 7) != Brivox::SpiInputMemory)
        return NotImplemented;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    char kind;
    std::int32_t width, height;
    if (!ReadPictureHeader(bytes, length, kind, width, height))
        return UnknownFormat;
    if (static_cast<std::size_t>(length) < 12 + static_cast<std::size_t>(width) * 4 * height)
        return BrokenData;
    if (progress && progress(0, height, data))
        return 1;
    return MakeDib(kind, bytes + 12, width, height, header, bits);
}

int WINAPI GetArchiveInfo(const char* source, LONG_PTR, unsigned flag, HLOCAL* entriesBlock)
{
    ++probe.getArchiveInfoCalls;
    if ((flag & 7) != Brivox::SpiInputFile)
        return NotImplemented;
    std::vector<Entry> entries;
#ifdef KANORU_SPI_LIST_FAILS
    return BrokenData;
#endif
    if (!ReadArchive(source, entries))
        return UnknownFormat;
#ifdef KANORU_SPI_UNTERMINATED
    std::vector<SpiFileInfo> records(entries.size());
#else
    std::vector<SpiFileInfo> records(entries.size() + 1); // zeroed: the last one ends the list
#endif
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SpiFileInfo& record = records[i];
        std::memcpy(record.method, "KARC", 4);
        record.position = entries[i].position;
        record.compressedSize = entries[i].size;
        record.fileSize = entries[i].size;
        record.timestamp = static_cast<std::int32_t>(entries[i].timestamp);
        CopyText(record.path, entries[i].path);
        CopyText(record.fileName, entries[i].name);
    }
    *entriesBlock = NewBlock(records.data(), records.size() * sizeof(SpiFileInfo));
    return *entriesBlock ? Success : NoMemory;
}

int WINAPI GetFile(const char* source, LONG_PTR position, char* destination, unsigned flag,
                   SpiProgressCallback, LONG_PTR)
{
    if ((flag & 7) != Brivox::SpiInputFile)
        return NotImplemented;
    std::vector<Entry> entries;
    Bytes bytes;
    if (!ReadArchive(source, entries) || !ReadFileBytes(source, bytes))
        return UnknownFormat;
    for (const Entry& entry : entries) {
        if (entry.position != static_cast<std::uint32_t>(position))
            continue;
        const unsigned char* data = bytes.data() + entry.position;
        if ((flag & 0x700) == Brivox::SpiOutputMemory) {
#ifdef KANORU_SPI_NO_MEMORY_OUTPUT
            return UnknownFormat;
#endif
            HLOCAL block = NewBlock(data, entry.size);
            *reinterpret_cast<HLOCAL*>(destination) = block;
            return block ? Success : NoMemory;
        }
        const std::string path = std::string(destination) + "\\" + entry.name;
        HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return ReadError;
        DWORD written = 0;
        ::WriteFile(file, data, entry.size, &written, nullptr);
        ::CloseHandle(file);
        return written == entry.size ? Success : ReadError;
    }
    return BrokenData;
}

int WINAPI ConfigurationDlg(HWND parent, int function)
{
    ++probe.configurationDlgCalls;
    probe.configurationDlgParent = parent;
    probe.configurationDlgFunction = function;
#ifdef KANORU_SPI_HELPER
    return KanoruSpiHelperValue();
#else
    return 0;
#endif
}

} // extern "C"
