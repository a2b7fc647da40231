#pragma once
// The published Susie plug-in interface as the host and plug-ins share it: the records that cross
// the boundary and the types of the exports. The records are packed, as plug-ins lay them out;
// fields that hold a handle or a length of memory are pointer-wide, so the same header serves
// 32-bit and 64-bit plug-ins (the handle field makes the picture record 26 bytes on i686 and 30 on
// x86_64). Text is in the ANSI code page.

#include "foundation/win32.h"

#include <cstdint>

namespace Brivox {

#pragma pack(push, 1)

// Filled by GetPictureInfo.
struct SpiPictureInfo
{
    std::int32_t left;
    std::int32_t top;
    std::int32_t width;
    std::int32_t height;
    std::uint16_t xDensity;
    std::uint16_t yDensity;
    std::int16_t colorDepth;
    HLOCAL text; // may be null
};

// One entry of an archive as GetArchiveInfo lists it; the list ends with a record whose method
// begins with a zero byte.
struct SpiFileInfo
{
    unsigned char method[8];
    std::uint32_t position;
    std::uint32_t compressedSize;
    std::uint32_t fileSize;
    std::int32_t timestamp; // seconds since 1970-01-01 00:00 UTC
    char path[200];
    char fileName[200];
    std::uint32_t crc;
};

#pragma pack(pop)

static_assert(sizeof(SpiPictureInfo) == 22 + sizeof(HLOCAL), "packed picture record");
static_assert(sizeof(SpiFileInfo) == 428, "packed archive entry record");

// The API version text (GetPluginInfo number 0) names the kind by its third character.
constexpr char SpiImageKind = 'I';   // "00IN"
constexpr char SpiArchiveKind = 'A'; // "00AM"

// Where the data of IsSupported, GetPictureInfo, GetPicture, GetArchiveInfo and GetFile comes from
// (low bits of their flag): a file name, or a memory buffer and its size.
constexpr unsigned SpiInputFile = 0;
constexpr unsigned SpiInputMemory = 1;
// GetFile's output (flag bits 8 to 10): a file in a folder, or a new local memory block.
constexpr unsigned SpiOutputFile = 0x000;
constexpr unsigned SpiOutputMemory = 0x100;

// Progress while a plug-in works: (done, total, caller's value); a non-zero result stops it.
using SpiProgressCallback = int(WINAPI*)(int done, int total, LONG_PTR data);

using SpiGetPluginInfoProc = int(WINAPI*)(int number, char* buffer, int bufferLength);
// data: the address of the file's first 2 KB, or an open file handle, as the caller chose.
using SpiIsSupportedProc = int(WINAPI*)(const char* fileName, void* data);
using SpiGetPictureInfoProc = int(WINAPI*)(const char* source, LONG_PTR length, unsigned flag,
                                           SpiPictureInfo* info);
using SpiGetPictureProc = int(WINAPI*)(const char* source, LONG_PTR length, unsigned flag, HLOCAL* header,
                                       HLOCAL* bits, SpiProgressCallback progress, LONG_PTR data);
using SpiGetArchiveInfoProc = int(WINAPI*)(const char* source, LONG_PTR length, unsigned flag,
                                           HLOCAL* entries);
// length: the archive's offset, or the entry's position when extracting; destination: a folder, or
// the address of an HLOCAL with SpiOutputMemory.
using SpiGetFileProc = int(WINAPI*)(const char* source, LONG_PTR length, char* destination, unsigned flag,
                                    SpiProgressCallback progress, LONG_PTR data);
// function 0: the plug-in's information dialog, 1: its settings dialog.
using SpiConfigurationDlgProc = int(WINAPI*)(HWND parent, int function);

} // namespace Brivox
