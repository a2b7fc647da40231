// A fake Common Archiver DLL for the tests of the archiver wrapper and its readers, built once per
// prefix from this source; the export names (prefix followed by the function's name) come from
// the .def file that the build writes for each. It reads the fake archives of plugin_fakes.h, logs
// the calls it receives for the tests, lists the entries and extracts them by the names in its
// command lines: the first quoted argument is the archive, then the folder (or "-o" directly
// followed by it), then the entry; without an entry a command extracts every entry. For ExtractMem
// the entry is the last quoted argument.
// KANORU_ARC_UNZIP_PATTERNS: entry arguments are UnZip patterns, '\' escaping the next character.

#include "tests/formats/plugin_fakes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

using Brivox::ArchiverHandle;
using Brivox::ArchiverItemInfo;
using PluginFakes::SFakeEntry;

namespace {

constexpr int failure = 0x8012;

std::mutex logLock;
std::string callLog;
int busyPolls = 0;

void Log(const std::string& line)
{
    std::lock_guard<std::mutex> lock(logLock);
    callLog += line + "\n";
}

bool ReadArchive(const char* path, std::vector<SFakeEntry>& entries, bool& endless)
{
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string text(::GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    ::CloseHandle(file);
    try {
        return ok && read == text.size() && PluginFakes::ParseFakeArchive(text, entries, endless);
    } catch (const std::exception&) {
        return false;
    }
}

// The command line's quoted arguments in order, and the folder given with "-o".
struct SArguments
{
    std::vector<std::string> quoted;
    std::string outputFolder;
    bool hasOutputFolder = false;
};

SArguments SplitCommandLine(const std::string& line)
{
    SArguments arguments;
    std::size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ') {
            ++at;
            continue;
        }
        const bool output = line.compare(at, 3, "-o\"") == 0;
        if (output || line[at] == '"') {
            const std::size_t open = at + (output ? 2 : 0);
            const std::size_t close = line.find('"', open + 1);
            const std::string text =
                line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
            if (output) {
                arguments.outputFolder = text;
                arguments.hasOutputFolder = true;
            } else {
                arguments.quoted.push_back(text);
            }
            at = close == std::string::npos ? line.size() : close + 1;
            continue;
        }
        const std::size_t space = line.find(' ', at);
        at = space == std::string::npos ? line.size() : space;
    }
    return arguments;
}

std::string EntryName(const std::string& argument)
{
#ifdef KANORU_ARC_UNZIP_PATTERNS
    std::string name;
    for (std::size_t k = 0; k < argument.size(); ++k) {
        if (argument[k] == '\\' && k + 1 < argument.size())
            ++k;
        name += argument[k];
    }
    return name;
#else
    return argument;
#endif
}

bool WriteEntry(const std::string& folder, const SFakeEntry& entry)
{
    std::string path = folder;
    if (!path.empty() && path.back() != '\\')
        path += '\\';
    for (char c : entry.name) {
        if (c == '/' || c == '\\') {
            ::CreateDirectoryA(path.c_str(), nullptr);
            path += '\\';
        } else {
            path += c;
        }
    }
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    ::WriteFile(file, entry.contents.data(), static_cast<DWORD>(entry.contents.size()), &written, nullptr);
    ::CloseHandle(file);
    return written == entry.contents.size();
}

void Report(char* output, DWORD size, const std::string& text)
{
    if (!output || size == 0)
        return;
    const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(output, text.data(), length);
    output[length] = '\0';
}

// The record as a DLL fills it: a name too long for the record is cut without its zero byte.
void FillRecord(const SFakeEntry& entry, ArchiverItemInfo* info)
{
    std::memset(info, 0, sizeof(*info));
    info->originalSize = entry.Size();
    info->date = entry.date;
    info->time = entry.time;
    std::memcpy(info->fileName, entry.name.data(), std::min(entry.name.size(), sizeof(info->fileName)));
}

struct SListing
{
    std::vector<SFakeEntry> entries;
    bool endless = false;
    std::size_t current = 0;
};

SListing* Listing(ArchiverHandle archive)
{
    return static_cast<SListing*>(archive);
}

} // namespace

extern "C" {

int WINAPI ArcCommand(HWND, const char* commandLine, char* output, DWORD outputSize)
{
    Log(std::string("Command ") + commandLine);
    const SArguments arguments = SplitCommandLine(commandLine);
    std::vector<SFakeEntry> entries;
    bool endless = false;
    if (arguments.quoted.empty() || !ReadArchive(arguments.quoted[0].c_str(), entries, endless))
        return failure; // no text: the caller has only its own message
    const std::size_t folderAt = arguments.hasOutputFolder ? 0 : 1;
    if (!arguments.hasOutputFolder && arguments.quoted.size() < 2) {
        Report(output, outputSize, "no folder given");
        return failure;
    }
    const std::string folder = arguments.hasOutputFolder ? arguments.outputFolder : arguments.quoted[1];
    const bool all = arguments.quoted.size() <= folderAt + 1;
    const std::string wanted = all ? std::string() : EntryName(arguments.quoted[folderAt + 1]);
    bool found = false;
    for (const SFakeEntry& entry : entries) {
        if (!all && entry.name != wanted)
            continue;
        found = true;
        if (!WriteEntry(folder, entry)) {
            Report(output, outputSize, "cannot write " + entry.name);
            return failure;
        }
    }
    if (!found && !all) {
        Report(output, outputSize, "no entry " + wanted);
        return failure;
    }
    return 0;
}

int WINAPI ArcExtractMem(HWND, const char* commandLine, unsigned char* buffer, DWORD size, void*, WORD*,
                         DWORD* written)
{
    Log(std::string("ExtractMem ") + commandLine + " " + std::to_string(size));
    const SArguments arguments = SplitCommandLine(commandLine);
    std::vector<SFakeEntry> entries;
    bool endless = false;
    if (arguments.quoted.size() < 2 || !ReadArchive(arguments.quoted[0].c_str(), entries, endless))
        return failure;
    const std::string wanted = EntryName(arguments.quoted.back());
    for (const SFakeEntry& entry : entries) {
        if (entry.name != wanted)
            continue;
        const std::size_t count = std::min<std::size_t>(size, entry.contents.size());
        std::memcpy(buffer, entry.contents.data(), count);
        if (written)
            *written = static_cast<DWORD>(count);
        return 0;
    }
    return failure;
}

BOOL WINAPI ArcCheckArchive(const char* path, int mode)
{
    Log(std::string("CheckArchive ") + path + " " + std::to_string(mode));
    std::vector<SFakeEntry> entries;
    bool endless = false;
    return ReadArchive(path, entries, endless);
}

ArchiverHandle WINAPI ArcOpenArchive(HWND, const char* path, DWORD mode)
{
    char hex[16];
    std::snprintf(hex, sizeof(hex), "%08lX", static_cast<unsigned long>(mode));
    Log(std::string("OpenArchive ") + path + " " + hex);
    auto* listing = new SListing;
    if (!ReadArchive(path, listing->entries, listing->endless)) {
        delete listing;
        return nullptr;
    }
    return listing;
}

int WINAPI ArcCloseArchive(ArchiverHandle archive)
{
    Log("CloseArchive");
    delete Listing(archive);
    return 0;
}

int WINAPI ArcFindFirst(ArchiverHandle archive, const char*, ArchiverItemInfo* info)
{
    SListing* listing = Listing(archive);
    listing->current = 0;
    if (listing->entries.empty())
        return -1;
    FillRecord(listing->entries[0], info);
    return 0;
}

int WINAPI ArcFindNext(ArchiverHandle archive, ArchiverItemInfo* info)
{
    SListing* listing = Listing(archive);
    if (!listing->endless)
        ++listing->current;
    if (listing->current >= listing->entries.size())
        return -1;
    FillRecord(listing->entries[listing->current], info);
    return 0;
}

BOOL WINAPI ArcGetRunning()
{
    Log("GetRunning");
    std::lock_guard<std::mutex> lock(logLock);
    if (busyPolls == 0)
        return FALSE;
    if (busyPolls > 0)
        --busyPolls;
    return TRUE;
}

// The method text of the current record; the method "!" fails.
int WINAPI ArcGetMethod(ArchiverHandle archive, char* buffer, int size)
{
    const SFakeEntry& entry = Listing(archive)->entries[Listing(archive)->current];
    if (entry.method == "!")
        return failure;
    Report(buffer, static_cast<DWORD>(size), entry.method);
    return 0;
}

BOOL WINAPI ArcGetArcCompressedSizeEx(ArchiverHandle archive, std::int64_t* size)
{
    const SFakeEntry& entry = Listing(archive)->entries[Listing(archive)->current];
    if (entry.compressedSize == "-")
        return FALSE;
    *size = std::stoll(entry.compressedSize);
    return TRUE;
}

BOOL WINAPI ArcSetCursorMode(BOOL mode)
{
    Log("SetCursorMode " + std::to_string(mode));
    return TRUE;
}

BOOL WINAPI ArcSetBackGroundMode(BOOL mode)
{
    Log("SetBackGroundMode " + std::to_string(mode));
    return TRUE;
}

BOOL WINAPI ArcConfigDialog(HWND, char* options, int mode)
{
    Log("ConfigDialog " + std::to_string(mode) + (options && options[0] == '\0' ? " empty" : " filled"));
    return TRUE;
}

const char* __cdecl KanoruArcLog()
{
    std::lock_guard<std::mutex> lock(logLock);
    return callLog.c_str();
}

void __cdecl KanoruArcClearLog()
{
    std::lock_guard<std::mutex> lock(logLock);
    callLog.clear();
}

void __cdecl KanoruArcSetBusy(int polls)
{
    std::lock_guard<std::mutex> lock(logLock);
    busyPolls = polls;
}

} // extern "C"
