#pragma once
// The one interface behind every archive format: list the entries of an archive file, extract an
// entry into memory or a folder, ask for passwords through a callback.

#include "formats/factory_registry.h"
#include "foundation/file_bytes.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <memory>
#include <vector>

namespace Brivox {

// Answers a reader that needs a password. Attempts count from 0 for one series of questions;
// false gives up.
class IQueryArchivePassword
{
public:
    virtual ~IQueryArchivePassword() = default;
    virtual bool Query(const String& archivePath, String& password, int attempt) = 0;
};

class IArchiver
{
public:
    struct SEntry
    {
        // The path inside the archive as stored, with the archive's own separators.
        String name;
        unsigned size = 0;
        FILETIME time{};
    };

    // How an owner reads the entries of this archive.
    enum ExtractMode
    {
        ExtractModePerEntryFile = 0,
        ExtractModeWholeArchive = 1,
        ExtractModePerEntryMemory = 2
    };

    // Entries whose declared or extracted size passes this are refused: a hostile archive must
    // not make a reader allocate or write without bound.
    static constexpr unsigned maxEntrySize = 1u << 30;

    IArchiver(const IArchiver&) = delete;
    IArchiver& operator=(const IArchiver&) = delete;
    virtual ~IArchiver() = default;

    // Without the dot; empty when the reader's back end is missing.
    virtual void GetExtensions(std::vector<String>& extensions) = 0;
    // Opens the file named by the archive path and fills the list; false when the file cannot be
    // read as this format.
    [[nodiscard]] virtual bool Open(std::vector<SEntry>& entries) = 0;
    virtual void ExtractAll(const String& folder, bool showProgress);
    virtual void ExtractToFile(unsigned index, const String& folder) = 0;
    // Replaces the bytes with the entry's uncompressed contents; leaves them empty when it throws.
    virtual void ExtractToMemory(unsigned index, FileBytes& bytes) = 0;
    virtual int GetExtractMode() = 0;

    const String& GetArchivePath() const { return m_archivePath; }
    void SetArchivePath(const String& path) { m_archivePath = path; }
    // Not owned; null detaches.
    void SetPasswordQuery(IQueryArchivePassword* query) { m_passwordQuery = query; }

    std::vector<SEntry>& GetEntries() { return m_entries; }
    const std::vector<SEntry>& GetEntries() const { return m_entries; }
    unsigned GetEntryCount() const { return static_cast<unsigned>(m_entries.size()); }
    const SEntry& GetEntry(unsigned index) const { return m_entries[index]; }

    // False without a callback attached.
    bool QueryPassword(String& password, int attempt);
    // Stores the path and opens it into the own entry list; failure throws RuntimeException.
    void OpenOrThrow(const String& path);
    // Throws RuntimeException unless the entry, extracted below folder, stays inside it.
    void CheckArchiveEntryPath(unsigned index, const String& folder) const;
    // Checks every name first, so that a bad one throws before anything is written.
    void ExtractAllChecked(const String& folder, bool showProgress);

protected:
    IArchiver() = default;

    // For readers that can only extract to memory: writes the bytes below the folder, making
    // the missing folders. The name is checked first.
    void ExtractToFileViaMemory(unsigned index, const String& folder);
    // For readers that can only extract to a file: extracts into a new temporary folder that is
    // deleted again whatever happens.
    void ExtractToMemoryViaFile(unsigned index, FileBytes& bytes);

private:
    String m_archivePath;
    std::vector<SEntry> m_entries;
    IQueryArchivePassword* m_passwordQuery = nullptr;
};

using ArchiverRegistry = CFactoryRegistry<IArchiver>;

// The process-wide registry of archive readers, in the order in which they are tried.
ArchiverRegistry& GetArchiverFactories();
// The reader's extensions in lower case.
std::vector<String> GetNormalizedExtensions(IArchiver& reader);
// Every extension some registered reader handles, with "cbz" when "zip" is among them and "cbr"
// when "rar" is; sorted, without duplicates. A reader that fails to answer adds nothing.
std::vector<String> GetArchiveExtensions();
// The first registered reader that lists the path's extension ("zip" for "cbz", "rar" for "cbr")
// and opens the file, with its entry list filled. The reader keeps the registry list it came
// from, and so its factory, alive. Throws RuntimeException (path + " の書庫読み込みに失敗しました")
// when none opens it; an exception of a factory or reader passes through.
std::shared_ptr<IArchiver> OpenArchiveWithFactories(const String& path);

// Whether an entry name, extracted below folder, stays inside it. Refused: absolute, rooted,
// drive and UNC names, any ':', reserved device names, segments of only dots and spaces other
// than ".", names that %VAR% expansion would change, and anything that resolves outside.
bool IsArchiveEntryNameSafe(const String& name, const String& folder);

// The entry time from an entry's DOS date and time, without a time-zone shift; zero when the
// date is not valid.
FILETIME DosToFileTime(unsigned short date, unsigned short time);

} // namespace Brivox
