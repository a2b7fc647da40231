#pragma once
// The archive readers over the five Common Archiver DLLs: listings through the DLL's OpenArchive,
// FindFirst and FindNext, extraction through its command entry or ExtractMem.

#include "formats/archiver.h"
#include "formats/archiver_dll.h"

#include <cstddef>
#include <vector>

namespace Brivox {

// What the five readers share. Each reader works through one DLL instance, by default the
// process-wide one of its accessor; every call into it takes that DLL's lock.
class CArchiverDllReader : public IArchiver
{
public:
    // A listing that goes on past this many records is taken for a damaged one: a DLL whose
    // FindNext never fails must not hold the reader for ever.
    static constexpr std::size_t maxListedRecords = std::size_t{1} << 20;

    // The reader's extensions, none when its DLL is not loaded.
    void GetExtensions(std::vector<String>& extensions) override;
    // False when the DLL is missing, refuses the archive, lists no entry, or anything fails
    // while listing. Folder records (names ending with a separator) are left out.
    [[nodiscard]] bool Open(std::vector<SEntry>& entries) override;
    // Runs the reader's extraction command for the entry; nothing without the DLL.
    void ExtractToFile(unsigned index, const String& folder) override;
    // The DLL's settings dialog, owned by the window; nothing without the DLL.
    virtual void ShowConfigDialog(HWND window);

protected:
    CArchiverDllReader(CArchiverDll& dll, std::vector<String> extensions, DWORD listingMode);

    CArchiverDll& Dll() const { return m_dll; }
    // Checks run before the listing; false makes Open false.
    virtual bool CanOpen() { return true; }
    // Called with the listing at the archive's first record.
    virtual void InspectFirstRecord(CArchiverDll::CFindFile&) {}
    // The command line that writes the entry into the folder.
    virtual String FileCommand(unsigned index, const String& folder) const = 0;

    // Q(x): the text in double quotes. Text holding a double quote or a control character would
    // change the command line's meaning and is refused.
    String Quoted(const String& text) const;
    // The entry's stored name as a command line may carry it. In a command that writes files it
    // also must not hold a wildcard, which could bring other, unchecked entries along.
    const String& EntryNameForCommand(unsigned index, bool writesFiles) const;
    // Q(E).
    String QuotedEntry(unsigned index, bool writesFiles) const;
    // Reads the entry into memory through ExtractMem with the command line; an entry of size 0
    // gives no bytes without calling the DLL.
    void ExtractMemory(unsigned index, const String& commandLine, FileBytes& bytes);
    // Refuses an entry too large to read into memory, before any call.
    void RequireReadableSize(unsigned index) const;
    [[noreturn]] void FailMemoryRead(unsigned index) const;

private:
    CArchiverDll& m_dll;
    std::vector<String> m_extensions;
    DWORD m_listingMode;
};

// UNZIP32.DLL: "zip", read into memory entry by entry.
class CUnZipArchiver : public CArchiverDllReader
{
public:
    explicit CUnZipArchiver(CArchiverDll& dll = GetUnZipDll());
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override { return ExtractModePerEntryMemory; }

protected:
    String FileCommand(unsigned index, const String& folder) const override;

private:
    // Q(E'): the name as an UnZip pattern.
    String QuotedPattern(unsigned index, bool writesFiles) const;
};

// 7-zip32.dll: "zip" and "7z". An archive whose first entry reports a negative compressed size
// (a solid archive) is extracted whole; others entry by entry through files.
class C7ZipArchiver : public CArchiverDllReader
{
public:
    explicit C7ZipArchiver(CArchiverDll& dll = Get7ZipDll());
    void ExtractAll(const String& folder, bool showProgress) override;
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override { return m_extractMode; }

protected:
    void InspectFirstRecord(CArchiverDll::CFindFile& listing) override;
    String FileCommand(unsigned index, const String& folder) const override;

private:
    int m_extractMode = ExtractModePerEntryFile;
};

// unrar32.dll: "rar", extracted entry by entry through files.
class CUnRarArchiver : public CArchiverDllReader
{
public:
    explicit CUnRarArchiver(CArchiverDll& dll = GetUnRarDll());
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override { return ExtractModePerEntryFile; }

protected:
    String FileCommand(unsigned index, const String& folder) const override;
};

// UNLHA32.DLL: "lzh", read into memory entry by entry. The DLL is let finish what it runs before
// every use.
class CUnLhaArchiver : public CArchiverDllReader
{
public:
    explicit CUnLhaArchiver(CArchiverDll& dll = GetUnLhaDll());
    void ExtractToFile(unsigned index, const String& folder) override;
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override { return ExtractModePerEntryMemory; }
    void ShowConfigDialog(HWND window) override;

protected:
    bool CanOpen() override;
    String FileCommand(unsigned index, const String& folder) const override;
};

// UnGCA32.dll: "gca". An archive whose first entry's method is "GCA1" is extracted whole; others
// are read into memory entry by entry.
class CUnGcaArchiver : public CArchiverDllReader
{
public:
    explicit CUnGcaArchiver(CArchiverDll& dll = GetUnGcaDll());
    void ExtractAll(const String& folder, bool showProgress) override;
    void ExtractToMemory(unsigned index, FileBytes& bytes) override;
    int GetExtractMode() override
    {
        return m_wholeArchive ? ExtractModeWholeArchive : ExtractModePerEntryMemory;
    }

protected:
    void InspectFirstRecord(CArchiverDll::CFindFile& listing) override;
    String FileCommand(unsigned index, const String& folder) const override;

private:
    bool m_wholeArchive = false;
};

// The UnZip pattern of an entry name: '[', ']', '!', '^', '-' and '\' each preceded by '\'.
String EscapeUnZipPattern(const String& name);

} // namespace Brivox
