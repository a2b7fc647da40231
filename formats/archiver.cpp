#include "formats/archiver.h"

#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"

#include <algorithm>

namespace Brivox {

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// "..", "...", ".. ": Windows drops trailing dots and spaces, so every such segment is a climb
// or the folder itself under another spelling. A single "." is harmless.
bool IsDotsAndSpaces(const String& name, int start, int end)
{
    if (end - start == 1 && name[start] == L'.')
        return false;
    for (int k = start; k < end; ++k) {
        if (name[k] != L'.' && name[k] != L' ')
            return false;
    }
    return end > start;
}

// The system opens a device for these base names whatever extension follows ("CON.txt",
// "nul .jpg"), in any letter case.
bool IsReservedDeviceName(const String& name, int start, int end)
{
    int stem = start;
    while (stem < end && name[stem] != L'.')
        ++stem;
    while (stem > start && name[stem - 1] == L' ')
        --stem;
    const String base = name.Substring(start, stem - start).ToUpper();
    static const wchar_t* const fixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : fixed) {
        if (base == String(device))
            return true;
    }
    if (base.Length() != 4)
        return false;
    const String prefix = base.Substring(0, 3);
    const wchar_t digit = base[3];
    const bool numbered =
        (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
    return numbered && (prefix == String(L"COM") || prefix == String(L"LPT"));
}

bool HasUnsafeSegment(const String& name)
{
    int start = 0;
    for (int k = 0; k <= name.Length(); ++k) {
        if (k < name.Length() && !IsSeparator(name[k]))
            continue;
        if (IsDotsAndSpaces(name, start, k) || IsReservedDeviceName(name, start, k))
            return true;
        start = k + 1;
    }
    return false;
}

bool ExpansionChanges(const String& name)
{
    try {
        return !(ExpandEnvironmentInPath(name) == name);
    } catch (const std::exception&) {
        return true;
    }
}

} // namespace

bool IsArchiveEntryNameSafe(const String& name, const String& folder)
{
    // Rooted, UNC and "\\?\" names start with a separator; drive, drive-relative and stream
    // names hold a ':'.
    if (name.Length() == 0 || IsSeparator(name[0]) || name.IndexOf(L':', 0, name.Length()) >= 0)
        return false;
    if (HasUnsafeSegment(name) || ExpansionChanges(name))
        return false;
    // What is left cannot climb; the resolved path is compared all the same, so that a rule
    // missed above still cannot lead outside.
    const String base = CFileName::AppendSeparator(CFileName::FromCurrentDirectory(folder));
    const String full = CFileName(name, base);
    return full.Length() > base.Length() && full.Compare(0, base, 0, base.Length(), 0) == 0;
}

FILETIME DosToFileTime(unsigned short date, unsigned short time)
{
    FILETIME result{};
    if (!::DosDateTimeToFileTime(date, time, &result))
        result = FILETIME{};
    return result;
}

ArchiverRegistry& GetArchiverFactories()
{
    static ArchiverRegistry registry;
    return registry;
}

std::vector<String> GetNormalizedExtensions(IArchiver& reader)
{
    std::vector<String> extensions;
    reader.GetExtensions(extensions);
    for (String& extension : extensions)
        extension = extension.ToLower();
    return extensions;
}

namespace {

bool Contains(const std::vector<String>& list, const String& text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

} // namespace

std::vector<String> GetArchiveExtensions()
{
    std::vector<String> all;
    const auto registry = GetArchiverFactories().Snapshot();
    for (std::size_t i = 0; i < registry->size(); ++i) {
        try {
            const std::vector<String> extensions = GetNormalizedExtensions(*CreateFromRegistry(*registry, i));
            all.insert(all.end(), extensions.begin(), extensions.end());
        } catch (const std::exception&) {
            // A reader that cannot be made or asked contributes nothing.
        }
    }
    // Comic books are ZIP and RAR archives under another name.
    if (Contains(all, String(L"zip")))
        all.push_back(L"cbz");
    if (Contains(all, String(L"rar")))
        all.push_back(L"cbr");
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    return all;
}

std::shared_ptr<IArchiver> OpenArchiveWithFactories(const String& path)
{
    const String extension = CFileName::GetLowerExtension(path);
    // Comic books are read by the readers of ZIP and RAR archives as well.
    const String alias = extension == String(L"cbz")   ? String(L"zip")
                         : extension == String(L"cbr") ? String(L"rar")
                                                       : String();
    auto registry = GetArchiverFactories().Snapshot();
    for (std::size_t i = 0; i < registry->size(); ++i) {
        std::shared_ptr<IArchiver> reader = CreateFromRegistry(*registry, i);
        const std::vector<String> extensions = GetNormalizedExtensions(*reader);
        if (!Contains(extensions, extension) && !(alias.Length() > 0 && Contains(extensions, alias)))
            continue;
        reader->SetArchivePath(path);
        if (!reader->Open(reader->GetEntries()))
            continue;
        // The reader is handed out together with the list its factory sits in (a plug-in
        // factory keeps its DLLs loaded); the reader goes first.
        struct Held
        {
            std::shared_ptr<const FactoryList<IArchiver>> registry;
            std::shared_ptr<IArchiver> reader;
        };
        auto held = std::make_shared<Held>(Held{std::move(registry), std::move(reader)});
        return std::shared_ptr<IArchiver>(held, held->reader.get());
    }
    throw RuntimeException(path + L" の書庫読み込みに失敗しました");
}

void IArchiver::ExtractAll(const String&, bool)
{
    throw RuntimeException(L"未実装");
}

bool IArchiver::QueryPassword(String& password, int attempt)
{
    return m_passwordQuery && m_passwordQuery->Query(m_archivePath, password, attempt);
}

void IArchiver::OpenOrThrow(const String& path)
{
    m_archivePath = path;
    if (!Open(m_entries))
        throw RuntimeException(path + L" が解凍出来ませんでした");
}

void IArchiver::CheckArchiveEntryPath(unsigned index, const String& folder) const
{
    const String& name = GetEntry(index).name;
    if (!IsArchiveEntryNameSafe(name, folder))
        throw RuntimeException(m_archivePath + L" 内に怪しいファイル名があります：" + name);
}

void IArchiver::ExtractAllChecked(const String& folder, bool showProgress)
{
    for (unsigned index = 0; index < GetEntryCount(); ++index)
        CheckArchiveEntryPath(index, folder);
    ExtractAll(folder, showProgress);
}

void IArchiver::ExtractToFileViaMemory(unsigned index, const String& folder)
{
    CheckArchiveEntryPath(index, folder);
    FileBytes bytes;
    ExtractToMemory(index, bytes);
    WriteFile(CFileName(GetEntry(index).name, folder), bytes.data(), static_cast<int>(bytes.size()));
}

void IArchiver::ExtractToMemoryViaFile(unsigned index, FileBytes& bytes)
{
    bytes.clear();
    CTempFolder folder(L"");
    folder.Create();
    CheckArchiveEntryPath(index, folder.GetPath());
    ExtractToFile(index, folder.GetPath());
    ReadFile(CFileName(GetEntry(index).name, folder.GetPath()), bytes);
}

} // namespace Brivox
