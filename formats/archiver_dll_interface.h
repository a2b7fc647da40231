#pragma once
// The published interface of the Common Archiver DLLs as the readers and the DLLs share it: the
// per-entry record that FindFirst and FindNext fill and the types of the exports. Each export's
// name is the DLL's prefix followed by the function's name ("UnZipOpenArchive"); the command entry
// is the prefix alone. Text is in the ANSI code page.

#include "foundation/win32.h"

#include <cstdint>

namespace Brivox {

#pragma pack(push, 1)

// One entry of an archive listing. Only the fields the viewer reads are named; the record has the
// same layout for 32-bit and 64-bit DLLs.
struct ArchiverItemInfo
{
    std::uint32_t originalSize;
    unsigned char unused1[18];
    std::uint16_t date; // DOS date
    std::uint16_t time; // DOS time
    // The entry's path, ended by a zero byte that a damaged listing may leave out.
    char fileName[534];
};

#pragma pack(pop)

static_assert(sizeof(ArchiverItemInfo) == 560, "packed archiver entry record");

// OpenArchive modes: check names only, no error messages, no progress window, recovery on; the
// LHA DLL also runs outside background mode.
constexpr DWORD ArchiverModeCheckNamesOnly = 0x00000200;
constexpr DWORD ArchiverModeNoBackground = 0x00000004;
constexpr DWORD ArchiverModeNoMessages = 0x00800000;
constexpr DWORD ArchiverModeNoProgress = 0x02000000;
constexpr DWORD ArchiverModeRecovery = 0x08000000;
constexpr DWORD ArchiverListingMode =
    ArchiverModeCheckNamesOnly | ArchiverModeNoMessages | ArchiverModeNoProgress | ArchiverModeRecovery;

// An open listing.
using ArchiverHandle = HANDLE;

// The command entry: runs a command line; 0 = success, otherwise the DLL's text in the output.
using ArchiverCommandProc = int(WINAPI*)(HWND window, const char* commandLine, char* output,
                                         DWORD outputSize);
// Extracts the entry that the command line names into the buffer; the three out-pointers (time,
// attributes, bytes written) may be null.
using ArchiverExtractMemProc = int(WINAPI*)(HWND window, const char* commandLine, unsigned char* buffer,
                                            DWORD size, void* time, WORD* attributes, DWORD* written);
using ArchiverCheckArchiveProc = BOOL(WINAPI*)(const char* path, int mode);
using ArchiverOpenArchiveProc = ArchiverHandle(WINAPI*)(HWND window, const char* path, DWORD mode);
using ArchiverCloseArchiveProc = int(WINAPI*)(ArchiverHandle archive);
// 0 = a record was found and written.
using ArchiverFindFirstProc = int(WINAPI*)(ArchiverHandle archive, const char* pattern,
                                           ArchiverItemInfo* info);
using ArchiverFindNextProc = int(WINAPI*)(ArchiverHandle archive, ArchiverItemInfo* info);
using ArchiverGetRunningProc = BOOL(WINAPI*)();
// The current record's compression method as text; 0 = success.
using ArchiverGetMethodProc = int(WINAPI*)(ArchiverHandle archive, char* buffer, int size);
using ArchiverGetCompressedSizeProc = BOOL(WINAPI*)(ArchiverHandle archive, std::int64_t* size);
using ArchiverSetModeProc = BOOL(WINAPI*)(BOOL mode);
using ArchiverConfigDialogProc = BOOL(WINAPI*)(HWND window, char* options, int mode);

} // namespace Brivox
