#pragma once
// What the fake plug-ins and archiver DLLs that the format tests build share with those tests:
// the records of the published interfaces laid out for both architectures, the fake archive
// format that the archiver DLLs read, and the names of the exports through which a test looks
// inside a fake. Plain C++ only: the fakes include it too.

#include "formats/archiver_dll_interface.h"
#include "formats/susie_interface.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The byte offsets of the published records. Only the handle in the picture record follows the
// pointer width (26 bytes on i686, 30 on x86_64); everything else is the same on both.
static_assert(offsetof(Brivox::SpiPictureInfo, width) == 8 && offsetof(Brivox::SpiPictureInfo, height) == 12);
static_assert(offsetof(Brivox::SpiPictureInfo, colorDepth) == 20 &&
              offsetof(Brivox::SpiPictureInfo, text) == 22);
#ifdef _WIN64
static_assert(sizeof(Brivox::SpiPictureInfo) == 30);
#else
static_assert(sizeof(Brivox::SpiPictureInfo) == 26);
#endif
static_assert(offsetof(Brivox::SpiFileInfo, position) == 8 && offsetof(Brivox::SpiFileInfo, fileSize) == 16);
static_assert(offsetof(Brivox::SpiFileInfo, timestamp) == 20 && offsetof(Brivox::SpiFileInfo, path) == 24);
static_assert(offsetof(Brivox::SpiFileInfo, fileName) == 224 && sizeof(Brivox::SpiFileInfo) == 428);
static_assert(offsetof(Brivox::ArchiverItemInfo, originalSize) == 0 &&
              offsetof(Brivox::ArchiverItemInfo, date) == 22);
static_assert(offsetof(Brivox::ArchiverItemInfo, time) == 24 &&
              offsetof(Brivox::ArchiverItemInfo, fileName) == 26);
static_assert(sizeof(Brivox::ArchiverItemInfo) == 560);

namespace PluginFakes {

// What a fake Susie plug-in saw of its last calls, read by a test through the plug-in's export
// "KanoruSpiProbe" (a function without arguments returning the address of this record).
struct SSpiProbe
{
    int isSupportedCalls = 0;
    const void* isSupportedData = nullptr;
    // The 2 KB that IsSupported may read.
    unsigned char head[2048] = {};
    int getPictureCalls = 0;
    const void* pictureSource = nullptr;
    LONG_PTR pictureInfoLength = -1;
    LONG_PTR pictureLength = -1;
    int getArchiveInfoCalls = 0;
    int configurationDlgCalls = 0;
    const void* configurationDlgParent = nullptr;
    int configurationDlgFunction = -1;
};
using SpiProbeProc = SSpiProbe*(__cdecl*)();

// The fake archiver DLLs' exports for the tests: the log of the calls they received so far, one
// line each ("Command <command line>", "ExtractMem <command line> <size>", "OpenArchive <path>
// <mode in 8 hexadecimal digits>", "CheckArchive <path> <mode>", "GetRunning", "CloseArchive",
// "SetCursorMode <0|1>", "SetBackGroundMode <0|1>", "ConfigDialog <mode> <empty|filled>"), named
// "KanoruArcLog"; "KanoruArcClearLog"; and "KanoruArcSetBusy", how many of the next GetRunning
// polls answer busy (-1: all).
using ArcLogProc = const char*(__cdecl*)();
using ArcClearLogProc = void(__cdecl*)();
using ArcSetBusyProc = void(__cdecl*)(int polls);

// One entry of a fake archive, which is a text file: the line "KANORU-ARC" (with " endless" after
// it, FindNext never ends), then one line per entry of tab-separated fields: name, declared size,
// DOS date, DOS time, method, compressed size ("-" when the DLL cannot tell it) and the contents.
// Contents and names hold neither tabs nor line ends.
struct SFakeEntry
{
    std::string name;
    std::string contents;
    // The size the listing declares; the contents' length when negative.
    long long declaredSize = -1;
    std::uint16_t date = 0x5A21; // 2025-01-01
    std::uint16_t time = 0x6000; // 12:00:00
    std::string method = "-lh5-";
    std::string compressedSize = "10";

    std::uint32_t Size() const
    {
        return static_cast<std::uint32_t>(declaredSize < 0 ? static_cast<long long>(contents.size())
                                                           : declaredSize);
    }
};

constexpr const char* fakeArchiveMagic = "KANORU-ARC";

inline std::string FormatFakeArchive(const std::vector<SFakeEntry>& entries, bool endless = false)
{
    std::string text = std::string(fakeArchiveMagic) + (endless ? " endless" : "") + "\n";
    for (const SFakeEntry& e : entries) {
        text += e.name + "\t" + std::to_string(e.Size()) + "\t" + std::to_string(e.date) + "\t" +
                std::to_string(e.time) + "\t" + e.method + "\t" + e.compressedSize + "\t" + e.contents + "\n";
    }
    return text;
}

// False for text that is not a fake archive.
inline bool ParseFakeArchive(const std::string& text, std::vector<SFakeEntry>& entries, bool& endless)
{
    const std::size_t firstEnd = text.find('\n');
    const std::string first = text.substr(0, firstEnd);
    if (first != fakeArchiveMagic && first != std::string(fakeArchiveMagic) + " endless")
        return false;
    endless = first != fakeArchiveMagic;
    std::size_t at = firstEnd == std::string::npos ? text.size() : firstEnd + 1;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::vector<std::string> fields;
        std::size_t from = at;
        for (int k = 0; k < 6; ++k) {
            const std::size_t tab = text.find('\t', from);
            if (tab == std::string::npos || tab > end)
                return false;
            fields.push_back(text.substr(from, tab - from));
            from = tab + 1;
        }
        SFakeEntry entry;
        entry.name = fields[0];
        entry.declaredSize = std::stoll(fields[1]);
        entry.date = static_cast<std::uint16_t>(std::stoul(fields[2]));
        entry.time = static_cast<std::uint16_t>(std::stoul(fields[3]));
        entry.method = fields[4];
        entry.compressedSize = fields[5];
        entry.contents = text.substr(from, end - from);
        entries.push_back(entry);
        at = end + 1;
    }
    return true;
}

} // namespace PluginFakes
