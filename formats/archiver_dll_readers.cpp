#include "formats/archiver_dll_readers.h"

#include "foundation/exception.h"
#include "foundation/file_name.h"

#include <exception>
#include <utility>

namespace Brivox {

namespace {

bool IsControlCharacter(wchar_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

bool HoldsAny(const String& text, bool (*test)(wchar_t))
{
    for (int k = 0; k < text.Length(); ++k) {
        if (test(text[k]))
            return true;
    }
    return false;
}

bool EndsCommandArgument(wchar_t c)
{
    return c == L'"' || IsControlCharacter(c);
}

bool IsWildcard(wchar_t c)
{
    return c == L'*' || c == L'?';
}

bool IsFolderRecord(const String& name)
{
    return name.Length() > 0 && (name[name.Length() - 1] == L'\\' || name[name.Length() - 1] == L'/');
}

} // namespace

CArchiverDllReader::CArchiverDllReader(CArchiverDll& dll, std::vector<String> extensions, DWORD listingMode)
    : m_dll(dll), m_extensions(std::move(extensions)), m_listingMode(listingMode)
{
}

void CArchiverDllReader::GetExtensions(std::vector<String>& extensions)
{
    if (m_dll.IsLoaded())
        extensions.insert(extensions.end(), m_extensions.begin(), m_extensions.end());
}

bool CArchiverDllReader::Open(std::vector<SEntry>& entries)
{
    if (!m_dll.IsLoaded())
        return false;
    try {
        if (!CanOpen())
            return false;
        std::vector<SEntry> listed;
        {
            const std::shared_ptr<CArchiverDll::CFindFile> listing =
                m_dll.OpenArchive(nullptr, GetArchivePath(), m_listingMode);
            if (!listing)
                return false;
            InspectFirstRecord(*listing);
            std::size_t records = 0;
            do {
                if (++records > maxListedRecords)
                    return false;
                SEntry entry = MakeArchiverEntry(listing->GetRecord());
                if (!IsFolderRecord(entry.name))
                    listed.push_back(std::move(entry));
            } while (listing->FindNext());
        }
        entries.insert(entries.end(), listed.begin(), listed.end());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void CArchiverDllReader::ExtractToFile(unsigned index, const String& folder)
{
    if (!m_dll.IsLoaded())
        return;
    CheckArchiveEntryPath(index, folder);
    m_dll.Command(nullptr, FileCommand(index, folder));
}

void CArchiverDllReader::ShowConfigDialog(HWND window)
{
    if (!m_dll.IsLoaded())
        return;
    char options[514] = {};
    m_dll.ShowConfigDialog(window, options);
}

String CArchiverDllReader::Quoted(const String& text) const
{
    if (HoldsAny(text, EndsCommandArgument))
        throw RuntimeException(GetArchivePath() + L" 内に怪しいファイル名があります：" + text);
    return L"\"" + text + L"\"";
}

const String& CArchiverDllReader::EntryNameForCommand(unsigned index, bool writesFiles) const
{
    const String& name = GetEntry(index).name;
    if (HoldsAny(name, EndsCommandArgument) || (writesFiles && HoldsAny(name, IsWildcard)))
        throw RuntimeException(GetArchivePath() + L" 内に怪しいファイル名があります：" + name);
    return name;
}

String CArchiverDllReader::QuotedEntry(unsigned index, bool writesFiles) const
{
    return Quoted(EntryNameForCommand(index, writesFiles));
}

void CArchiverDllReader::RequireReadableSize(unsigned index) const
{
    if (GetEntry(index).size > maxEntrySize)
        FailMemoryRead(index);
}

void CArchiverDllReader::FailMemoryRead(unsigned index) const
{
    throw RuntimeException(L"'" + GetArchivePath() + L"' から '" + GetEntry(index).name +
                           L"' の読み込みに失敗しました");
}

void CArchiverDllReader::ExtractMemory(unsigned index, const String& commandLine, FileBytes& bytes)
{
    RequireReadableSize(index);
    const unsigned size = GetEntry(index).size;
    bytes.assign(size, 0);
    if (size == 0)
        return;
    if (!m_dll.ExtractMem(nullptr, commandLine, bytes.data(), size, nullptr, nullptr, nullptr))
        FailMemoryRead(index);
}

String EscapeUnZipPattern(const String& name)
{
    std::wstring pattern;
    for (int k = 0; k < name.Length(); ++k) {
        const wchar_t c = name[k];
        if (c == L'[' || c == L']' || c == L'!' || c == L'^' || c == L'-' || c == L'\\')
            pattern += L'\\';
        pattern += c;
    }
    return String(pattern);
}

CUnZipArchiver::CUnZipArchiver(CArchiverDll& dll) : CArchiverDllReader(dll, {L"zip"}, ArchiverListingMode) {}

String CUnZipArchiver::QuotedPattern(unsigned index, bool writesFiles) const
{
    return Quoted(EscapeUnZipPattern(EntryNameForCommand(index, writesFiles)));
}

String CUnZipArchiver::FileCommand(unsigned index, const String& folder) const
{
    return L"-x --i -n -qq " + Quoted(GetArchivePath()) + L" " + Quoted(folder) + L" " +
           QuotedPattern(index, true);
}

void CUnZipArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    if (!Dll().IsLoaded())
        return;
    ExtractMemory(index, L"-x --i " + Quoted(GetArchivePath()) + L" " + QuotedPattern(index, false), bytes);
}

C7ZipArchiver::C7ZipArchiver(CArchiverDll& dll)
    : CArchiverDllReader(dll, {L"zip", L"7z"}, ArchiverListingMode)
{
}

void C7ZipArchiver::InspectFirstRecord(CArchiverDll::CFindFile& listing)
{
    // A solid archive reports no size of its own for an entry: it is extracted in one go.
    std::int64_t size = 0;
    m_extractMode = Dll().GetCompressedSize(listing, size) && size < 0 ? ExtractModeWholeArchive
                                                                       : ExtractModePerEntryFile;
}

String C7ZipArchiver::FileCommand(unsigned index, const String& folder) const
{
    return L"x -aos -hide " + Quoted(GetArchivePath()) + L" -o" + Quoted(folder) + L" " +
           QuotedEntry(index, true);
}

void C7ZipArchiver::ExtractAll(const String& folder, bool showProgress)
{
    if (!Dll().IsLoaded())
        return;
    const String switches = showProgress ? L"x -aos" : L"x -aos -hide";
    Dll().Command(nullptr, switches + L" " + Quoted(GetArchivePath()) + L" -o" + Quoted(folder));
}

void C7ZipArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    RequireReadableSize(index);
    ExtractToMemoryViaFile(index, bytes);
}

CUnRarArchiver::CUnRarArchiver(CArchiverDll& dll) : CArchiverDllReader(dll, {L"rar"}, ArchiverListingMode) {}

String CUnRarArchiver::FileCommand(unsigned index, const String& folder) const
{
    return L"-x -o- -s -q " + Quoted(GetArchivePath()) + L" " + Quoted(folder) + L" " +
           QuotedEntry(index, true);
}

void CUnRarArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    RequireReadableSize(index);
    ExtractToMemoryViaFile(index, bytes);
}

CUnLhaArchiver::CUnLhaArchiver(CArchiverDll& dll)
    : CArchiverDllReader(dll, {L"lzh"}, ArchiverListingMode | ArchiverModeNoBackground)
{
}

bool CUnLhaArchiver::CanOpen()
{
    // The DLL may still be finishing a background job; the listing waits for it a while at most.
    Dll().WaitNotRunning(10);
    return Dll().CheckArchive(GetArchivePath(), 5);
}

String CUnLhaArchiver::FileCommand(unsigned index, const String& folder) const
{
    return L"x -n1 -jf0 -jn1 -jsb -p1 -gm " + Quoted(GetArchivePath()) + L" " + Quoted(folder) + L" " +
           QuotedEntry(index, true);
}

void CUnLhaArchiver::ExtractToFile(unsigned index, const String& folder)
{
    Dll().WaitNotRunning(10);
    CArchiverDllReader::ExtractToFile(index, folder);
}

void CUnLhaArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    if (!Dll().IsLoaded())
        return;
    Dll().WaitNotRunning(10);
    ExtractMemory(index,
                  L"-n1 -jf0 -jsb -p1 -gm " + Quoted(GetArchivePath()) + L" " + QuotedEntry(index, false),
                  bytes);
}

void CUnLhaArchiver::ShowConfigDialog(HWND window)
{
    Dll().WaitNotRunning(10);
    CArchiverDllReader::ShowConfigDialog(window);
}

CUnGcaArchiver::CUnGcaArchiver(CArchiverDll& dll) : CArchiverDllReader(dll, {L"gca"}, ArchiverListingMode) {}

void CUnGcaArchiver::InspectFirstRecord(CArchiverDll::CFindFile& listing)
{
    // GCA1 archives are solid: they are extracted in one go.
    try {
        m_wholeArchive = Dll().GetMethod(listing) == String(L"GCA1");
    } catch (const std::exception&) {
        m_wholeArchive = false;
    }
}

String CUnGcaArchiver::FileCommand(unsigned index, const String& folder) const
{
    return L"ex -xx1 " + Quoted(GetArchivePath()) + L" " + Quoted(folder) + L" " + QuotedEntry(index, true);
}

void CUnGcaArchiver::ExtractAll(const String& folder, bool showProgress)
{
    if (!Dll().IsLoaded())
        return;
    const String switches = showProgress ? L"e -xx1 -sx1" : L"e -xx1";
    Dll().Command(nullptr, switches + L" " + Quoted(GetArchivePath()) + L" " + Quoted(folder));
}

void CUnGcaArchiver::ExtractToMemory(unsigned index, FileBytes& bytes)
{
    if (!Dll().IsLoaded())
        return;
    ExtractMemory(index,
                  L"ex -xx1 " + Quoted(GetArchivePath()) + L" " + Quoted(CFileName::ExecutableDirectory()) +
                      L" " + QuotedEntry(index, false),
                  bytes);
}

} // namespace Brivox
