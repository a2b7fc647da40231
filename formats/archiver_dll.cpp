#include "formats/archiver_dll.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <cstring>
#include <exception>

namespace Brivox {

namespace {

std::string ToAnsi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

// Text that a DLL wrote into a buffer of `size` bytes, up to its first zero byte or the buffer's
// end, whichever comes first.
String FromAnsi(const char* text, std::size_t size)
{
    return GetDefaultEncoding().ToString(std::string(text, ::strnlen(text, size)));
}

// A record buffer for FindFirst and FindNext, larger than the record: a DLL of a later version
// may write a longer one. What follows the record is not kept.
struct SRecordBuffer
{
    ArchiverItemInfo record{};
    unsigned char spare[1488]{};
};

} // namespace

CArchiverDll::CFindFile::CFindFile(std::recursive_mutex& lock, const ArchiverItemInfo& record,
                                   ArchiverHandle archive, ArchiverFindNextProc findNext,
                                   ArchiverCloseArchiveProc closeArchive)
    : m_hold(lock), m_record(record), m_archive(archive), m_findNext(findNext), m_closeArchive(closeArchive)
{
}

CArchiverDll::CFindFile::~CFindFile()
{
    m_closeArchive(m_archive);
}

bool CArchiverDll::CFindFile::FindNext()
{
    SRecordBuffer buffer;
    if (m_findNext(m_archive, &buffer.record) != 0)
        return false;
    m_record = buffer.record;
    return true;
}

CArchiverDll::CArchiverDll(const String& fileName, const String& prefix)
    : m_fileName(fileName), m_prefix(prefix)
{
    try {
        m_library = std::make_unique<CDynamicLibrary>(fileName, true);
        m_lock = std::make_unique<std::recursive_mutex>();
        SetCursorMode(false);
        SetBackGroundMode(false);
    } catch (const std::exception&) {
        // Not there, or not loadable: the reader of this DLL stays unused for the process's life.
        m_library.reset();
        m_lock.reset();
    }
}

CArchiverDll::~CArchiverDll() = default;

void CArchiverDll::RequireLoaded() const
{
    if (!IsLoaded())
        throw RuntimeException(m_fileName + L" が読み込み出来ませんでした");
}

void CArchiverDll::Command(HWND window, const String& commandLine)
{
    RequireLoaded();
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    const auto command = GetExport<ArchiverCommandProc>(L"");
    char output[1024] = {};
    if (command(window, ToAnsi(commandLine).c_str(), output, sizeof(output) - 1) == 0)
        return;
    if (output[0] == '\0')
        throw RuntimeException(L"書庫展開中にエラーが発生しました");
    throw RuntimeException(L"書庫解凍失敗：" + FromAnsi(output, sizeof(output)));
}

bool CArchiverDll::ExtractMem(HWND window, const String& commandLine, unsigned char* buffer, DWORD size,
                              void* time, WORD* attributes, DWORD* written)
{
    RequireLoaded();
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    const auto extractMem = GetExport<ArchiverExtractMemProc>(L"ExtractMem");
    return extractMem(window, ToAnsi(commandLine).c_str(), buffer, size, time, attributes, written) == 0;
}

std::shared_ptr<CArchiverDll::CFindFile> CArchiverDll::OpenArchive(HWND window, const String& path,
                                                                   DWORD mode)
{
    if (!IsLoaded())
        return nullptr;
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    const auto openArchive = TryGetExport<ArchiverOpenArchiveProc>(L"OpenArchive");
    const auto findFirst = TryGetExport<ArchiverFindFirstProc>(L"FindFirst");
    const auto findNext = TryGetExport<ArchiverFindNextProc>(L"FindNext");
    const auto closeArchive = TryGetExport<ArchiverCloseArchiveProc>(L"CloseArchive");
    if (!openArchive || !findFirst || !findNext || !closeArchive)
        return nullptr;
    const ArchiverHandle archive = openArchive(window, ToAnsi(path).c_str(), mode);
    if (!archive)
        return nullptr;
    SRecordBuffer buffer;
    if (findFirst(archive, "*", &buffer.record) != 0) {
        closeArchive(archive);
        return nullptr;
    }
    try {
        return std::make_shared<CFindFile>(*m_lock, buffer.record, archive, findNext, closeArchive);
    } catch (...) {
        closeArchive(archive);
        throw;
    }
}

bool CArchiverDll::CheckArchive(const String& path, int mode)
{
    if (!IsLoaded())
        return false;
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    const auto checkArchive = TryGetExport<ArchiverCheckArchiveProc>(L"CheckArchive");
    return checkArchive && checkArchive(ToAnsi(path).c_str(), mode) != 0;
}

bool CArchiverDll::WaitNotRunning(int count)
{
    if (!IsLoaded())
        return false;
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    const auto getRunning = TryGetExport<ArchiverGetRunningProc>(L"GetRunning");
    if (!getRunning)
        return false;
    for (int poll = 0; poll < count; ++poll) {
        if (!getRunning())
            return true;
        if (poll + 1 < count)
            ::Sleep(100);
    }
    return false;
}

String CArchiverDll::GetMethod(const CFindFile& listing)
{
    char method[1024] = {};
    if (!IsLoaded())
        return String();
    const auto getMethod = TryGetExport<ArchiverGetMethodProc>(L"GetMethod");
    if (!getMethod)
        return String();
    if (getMethod(listing.GetHandle(), method, sizeof(method) - 1) != 0)
        throw RuntimeException(L"圧縮方法の取得に失敗しました");
    return FromAnsi(method, sizeof(method));
}

bool CArchiverDll::GetCompressedSize(const CFindFile& listing, std::int64_t& size)
{
    if (!IsLoaded())
        return false;
    const auto getSize = TryGetExport<ArchiverGetCompressedSizeProc>(L"GetArcCompressedSizeEx");
    return getSize && getSize(listing.GetHandle(), &size) != 0;
}

void CArchiverDll::SetMode(const wchar_t* name, bool mode)
{
    if (!IsLoaded())
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    if (const auto setMode = TryGetExport<ArchiverSetModeProc>(name))
        setMode(mode ? TRUE : FALSE);
}

void CArchiverDll::SetCursorMode(bool mode)
{
    SetMode(L"SetCursorMode", mode);
}

void CArchiverDll::SetBackGroundMode(bool mode)
{
    SetMode(L"SetBackGroundMode", mode);
}

void CArchiverDll::ShowConfigDialog(HWND window, char* options)
{
    if (!IsLoaded())
        return;
    std::lock_guard<std::recursive_mutex> lock(*m_lock);
    GetExport<ArchiverConfigDialogProc>(L"ConfigDialog")(window, options, 1);
}

IArchiver::SEntry MakeArchiverEntry(const ArchiverItemInfo& record)
{
    IArchiver::SEntry entry;
    entry.name = FromAnsi(record.fileName, sizeof(record.fileName));
    entry.size = record.originalSize;
    entry.time = DosToFileTime(record.date, record.time);
    return entry;
}

CArchiverDll& GetUnZipDll()
{
    static CArchiverDll dll(L"UNZIP32.DLL", L"UnZip");
    return dll;
}

CArchiverDll& GetUnLhaDll()
{
    static CArchiverDll dll(L"UNLHA32.DLL", L"Unlha");
    return dll;
}

CArchiverDll& GetUnRarDll()
{
    static CArchiverDll dll(L"unrar32.dll", L"Unrar");
    return dll;
}

CArchiverDll& Get7ZipDll()
{
    static CArchiverDll dll(L"7-zip32.dll", L"SevenZip");
    return dll;
}

CArchiverDll& GetUnGcaDll()
{
    static CArchiverDll dll(L"UnGCA32.dll", L"UnGCA");
    return dll;
}

} // namespace Brivox
