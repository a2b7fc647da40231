#include "formats/susie_archiver.h"

#include "formats/image_loader.h"
#include "formats/local_memory.h"
#include "formats/susie_interface.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file.h"
#include "foundation/file_name.h"
#include "foundation/string_builder.h"

#include <cstring>
#include <ctime>
#include <exception>
#include <mutex>
#include <string>

namespace Brivox {

namespace {

// Calls into archive plug-ins never overlap; recursive, so that extraction to a file can read
// into memory first. Image plug-ins have their own lock.
std::recursive_mutex& SusieArchiveLock()
{
    static std::recursive_mutex lock;
    return lock;
}

std::string ToAnsi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

// A text field of a record, ended by its first zero byte or by the field's end.
template <std::size_t N> String FieldText(const char (&field)[N])
{
    return GetDefaultEncoding().ToString(std::string(field, ::strnlen(field, N)));
}

// Seconds since 1970 (UTC) as local wall-clock time, as the other readers' DOS times hold it.
FILETIME LocalTimeFromUnixSeconds(std::uint32_t seconds)
{
    const __time64_t time = seconds;
    std::tm local{};
    if (::_localtime64_s(&local, &time) != 0)
        return FILETIME{};
    SYSTEMTIME system{};
    system.wYear = static_cast<WORD>(local.tm_year + 1900);
    system.wMonth = static_cast<WORD>(local.tm_mon + 1);
    system.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    system.wDay = static_cast<WORD>(local.tm_mday);
    system.wHour = static_cast<WORD>(local.tm_hour);
    system.wMinute = static_cast<WORD>(local.tm_min);
    system.wSecond = static_cast<WORD>(local.tm_sec);
    FILETIME result{};
    if (!::SystemTimeToFileTime(&system, &result))
        return FILETIME{};
    return result;
}

// The archive file, handed to each plug-in's IsSupported from its start.
class CArchiveFileForPlugins
{
public:
    explicit CArchiveFileForPlugins(const String& path) : m_path(path) {}

    HANDLE Rewound()
    {
        if (m_file) {
            try {
                m_file->Seek(0, 0);
                return static_cast<HANDLE>(m_file->GetHandle());
            } catch (const std::exception&) {
                m_file.reset();
            }
        }
        m_file = std::make_unique<CApiFile>(m_path, CApiFile::SharedReadMode, CApiFile::NormalAccess);
        return static_cast<HANDLE>(m_file->GetHandle());
    }

private:
    String m_path;
    std::unique_ptr<CApiFile> m_file;
};

// An extraction refused for the entry's size; not a failure that another way of extracting
// should try to get round.
class EntrySizeRefusedException : public RuntimeException
{
public:
    using RuntimeException::RuntimeException;
};

} // namespace

CSpiArchiver::CSpiArchiver(std::shared_ptr<const CSpi> spi) : m_spi(std::move(spi)) {}

void CSpiArchiver::GetExtensions(std::vector<String>& extensions)
{
    std::lock_guard<std::recursive_mutex> lock(SusieArchiveLock());
    try {
        for (int i = 0; i < m_spi->GetCount(); ++i) {
            try {
                if (!m_spi->IsArchivePlugin(i))
                    continue;
                for (const String& patterns : m_spi->GetFormatPatterns(i))
                    ParseExtensionList(extensions, patterns);
            } catch (const std::exception&) {
                // A plug-in that cannot be asked adds nothing.
            }
        }
    } catch (...) {
        // What was gathered before stands.
    }
}

bool CSpiArchiver::Open(std::vector<SEntry>& entries)
{
    std::lock_guard<std::recursive_mutex> lock(SusieArchiveLock());
    try {
        CArchiveFileForPlugins file(GetArchivePath());
        for (int i = 0; i < m_spi->GetCount(); ++i) {
            try {
                if (!m_spi->IsArchivePlugin(i))
                    continue;
                const SpiIsSupportedProc isSupported = m_spi->GetIsSupported(i);
                const SpiGetArchiveInfoProc getArchiveInfo = m_spi->GetGetArchiveInfo(i);
                // GetFile serves the later extractions: a plug-in without it is passed over.
                m_spi->GetGetFile(i);
                const std::string path = ToAnsi(GetArchivePath());
                if (!isSupported(path.c_str(), file.Rewound()))
                    continue;
                HLOCAL received = nullptr;
                if (getArchiveInfo(path.c_str(), 0, SpiInputFile, &received) != 0 ||
                    !CLocalMemory::IsValid(received))
                    continue;
                const CLocalMemory list(received);

                // The records up to the one that ends the list, or up to the block's end when the
                // plug-in left that one out.
                std::vector<SEntry> listed;
                std::vector<std::uint32_t> positions;
                const CLocalMemoryLock records(list);
                const std::size_t count = records.Size() / sizeof(SpiFileInfo);
                for (std::size_t k = 0; k < count; ++k) {
                    SpiFileInfo record;
                    std::memcpy(&record, records.Data() + k * sizeof(SpiFileInfo), sizeof(record));
                    if (record.method[0] == 0)
                        break;
                    if (record.fileName[0] == 0)
                        continue;
                    SEntry entry;
                    entry.name =
                        CFileName::AppendSeparator(FieldText(record.path)) + FieldText(record.fileName);
                    entry.size = record.fileSize;
                    entry.time = LocalTimeFromUnixSeconds(static_cast<std::uint32_t>(record.timestamp));
                    listed.push_back(entry);
                    positions.push_back(record.position);
                }
                entries.insert(entries.end(), listed.begin(), listed.end());
                m_positions.insert(m_positions.end(), positions.begin(), positions.end());
                m_plugin = i;
                return true;
            } catch (const std::exception&) {
                // This plug-in does not serve the archive; the next one may.
            }
        }
    } catch (const std::exception&) {
    }
    return false;
}

String CSpiArchiver::ExtractionFailure(unsigned index, const wchar_t* failure, int code) const
{
    return GetArchivePath() + L" 内の " + GetEntry(index).name + failure + L"\r\nエラーコード：" +
           IntToString(code);
}

void CSpiArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    const wchar_t* const failure = L" の読み込みに失敗しました";
    std::lock_guard<std::recursive_mutex> lock(SusieArchiveLock());
    // Refused before the plug-in is asked, and again when its block turns out larger.
    if (GetEntry(index).size > maxEntrySize)
        throw EntrySizeRefusedException(ExtractionFailure(index, failure, 0));
    const std::string path = ToAnsi(GetArchivePath());
    HLOCAL received = nullptr;
    const int result = m_spi->GetGetFile(m_plugin)(
        path.c_str(), m_positions.at(index), reinterpret_cast<char*>(&received), SpiOutputMemory, nullptr, 0);
    if (result != 0 || !CLocalMemory::IsValid(received))
        throw RuntimeException(ExtractionFailure(index, failure, result));
    const CLocalMemory block(received);
    if (block.GetSize() > maxEntrySize)
        throw EntrySizeRefusedException(ExtractionFailure(index, failure, 0));
    const CLocalMemoryLock data(block);
    bytes.assign(data.Data(), data.Data() + data.Size());
}

void CSpiArchiver::ExtractToFile(unsigned index, const String& folder)
{
    std::lock_guard<std::recursive_mutex> lock(SusieArchiveLock());
    // Checked before either way of extracting: the plug-in's own file output must not get a
    // name that the memory way refuses.
    CheckArchiveEntryPath(index, folder);
    try {
        ExtractToFileViaMemory(index, folder);
        return;
    } catch (const EntrySizeRefusedException&) {
        throw;
    } catch (const std::exception&) {
        // A plug-in that cannot give memory blocks may still write files.
    }
    const std::string path = ToAnsi(GetArchivePath());
    std::string destination = ToAnsi(CFileName::RemoveTrailingSeparator(folder));
    const int result = m_spi->GetGetFile(m_plugin)(path.c_str(), m_positions.at(index), destination.data(),
                                                   SpiOutputFile, nullptr, 0);
    if (result != 0)
        throw RuntimeException(ExtractionFailure(index, L" の解凍に失敗しました", result));
}

} // namespace Brivox
