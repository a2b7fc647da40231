// Small Susie plug-ins for the tests of the plug-in host and its users, all built from this source.
// Its definitions choose the variant:
//   KANORU_SPI_IMAGE: an image plug-in ("00IN") for "*.ksp" pictures:
//       "KSPI", width and height (32-bit), then width * height pixels of B, G, R, A, top row first;
//       GetPicture hands out a 32-bit bottom-up DIB.
//   KANORU_SPI_ARCHIVE: an archive plug-in ("00AM") for "*.kar" archives:
//       "KARC", an entry count (32-bit), then per entry its path and its file name (each a 16-bit
//       length and ANSI text), a timestamp, a size (32-bit each) and its bytes.
//   neither of them: its version text is "00I" with the result 3, too short to name a kind.
// KANORU_SPI_NO_INFO leaves GetPluginInfo out (its .def file does not list it).
// KANORU_SPI_HELPER makes the plug-in import a helper DLL that lies beside it, and only there.
// Exports are listed in a .def file, undecorated, as hosts look them up.

#include "formats/susie_interface.h"

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
const char* const infoTexts[] = {"00IN", "Kanoru test image plug-in", "*.ksp", "Kanoru test picture"};
#elif defined(KANORU_SPI_ARCHIVE)
const char* const infoTexts[] = {"00AM", "Kanoru test archive plug-in", "*.kar", "Kanoru test archive"};
#else
const char* const infoTexts[] = {"00I", "Kanoru test plug-in of no kind"};
#endif

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
bool ReadPictureHeader(const unsigned char* data, LONG_PTR size, std::int32_t& width, std::int32_t& height)
{
    if (!isImagePlugin || size < 12 || std::memcmp(data, "KSPI", 4) != 0)
        return false;
    width = static_cast<std::int32_t>(ReadU32(data + 4));
    height = static_cast<std::int32_t>(ReadU32(data + 8));
    return width > 0 && height > 0 && width <= 4096 && height <= 4096;
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

} // namespace

extern "C" {

#ifndef KANORU_SPI_NO_INFO
int WINAPI GetPluginInfo(int number, char* buffer, int bufferLength)
{
    const int count = static_cast<int>(sizeof(infoTexts) / sizeof(infoTexts[0]));
    if (number < 0 || number >= count || bufferLength <= 0)
        return 0;
    const int length = std::min(static_cast<int>(std::strlen(infoTexts[number])), bufferLength - 1);
    std::memcpy(buffer, infoTexts[number], length);
    buffer[length] = '\0';
    return length;
}
#endif

int WINAPI IsSupported(const char*, void* data)
{
#if defined(KANORU_SPI_IMAGE)
    // The host hands the address of at least 2 KB of the file's start.
    std::int32_t width, height;
    return ReadPictureHeader(static_cast<const unsigned char*>(data), 2048, width, height) ? 1 : 0;
#elif defined(KANORU_SPI_ARCHIVE)
    // The host hands the open archive file.
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
    if ((flag & 7) != Brivox::SpiInputMemory)
        return NotImplemented;
    std::int32_t width, height;
    if (!ReadPictureHeader(reinterpret_cast<const unsigned char*>(source), length, width, height))
        return UnknownFormat;
    *info = SpiPictureInfo{0, 0, width, height, 0, 0, 32, nullptr};
    return Success;
}

int WINAPI GetPicture(const char* source, LONG_PTR length, unsigned flag, HLOCAL* header, HLOCAL* bits,
                      SpiProgressCallback progress, LONG_PTR data)
{
    if ((flag & 7) != Brivox::SpiInputMemory)
        return NotImplemented;
    const auto* bytes = reinterpret_cast<const unsigned char*>(source);
    std::int32_t width, height;
    if (!ReadPictureHeader(bytes, length, width, height))
        return UnknownFormat;
    const std::size_t rowSize = static_cast<std::size_t>(width) * 4;
    if (static_cast<std::size_t>(length) < 12 + rowSize * static_cast<std::size_t>(height))
        return BrokenData;
    if (progress && progress(0, height, data))
        return 1;

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height; // bottom-up, as most plug-ins give it
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    Bytes rows(rowSize * height);
    for (std::int32_t y = 0; y < height; ++y)
        std::memcpy(&rows[rowSize * (height - 1 - y)], bytes + 12 + rowSize * y, rowSize);

    *header = NewBlock(&info, sizeof(info));
    *bits = NewBlock(rows.data(), rows.size());
    if (!*header || !*bits) {
        ::LocalFree(*header);
        ::LocalFree(*bits);
        return NoMemory;
    }
    return Success;
}

int WINAPI GetArchiveInfo(const char* source, LONG_PTR, unsigned flag, HLOCAL* entriesBlock)
{
    if ((flag & 7) != Brivox::SpiInputFile)
        return NotImplemented;
    std::vector<Entry> entries;
    if (!ReadArchive(source, entries))
        return UnknownFormat;
    std::vector<SpiFileInfo> records(entries.size() + 1); // zeroed: the last one ends the list
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SpiFileInfo& record = records[i];
        std::memcpy(record.method, "KARC", 4);
        record.position = entries[i].position;
        record.compressedSize = entries[i].size;
        record.fileSize = entries[i].size;
        record.timestamp = static_cast<std::int32_t>(entries[i].timestamp);
        std::strncpy(record.path, entries[i].path.c_str(), sizeof(record.path) - 1);
        std::strncpy(record.fileName, entries[i].name.c_str(), sizeof(record.fileName) - 1);
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

int WINAPI ConfigurationDlg(HWND, int)
{
#ifdef KANORU_SPI_HELPER
    return KanoruSpiHelperValue();
#else
    return 0;
#endif
}

} // extern "C"
