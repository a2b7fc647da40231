#pragma once
// One Common Archiver DLL bound at run time, with one lock for every call into it, and the
// process-wide instances of the five DLLs the readers use.

#include "formats/archiver.h"
#include "formats/archiver_dll_interface.h"
#include "foundation/dynamic_library.h"
#include "foundation/string.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace Brivox {

class CArchiverDll
{
public:
    // An open archive listing at one record. It holds the DLL's lock from OpenArchive until it is
    // destroyed, so it must stay on the thread that opened it.
    class CFindFile
    {
    public:
        CFindFile(std::recursive_mutex& lock, const ArchiverItemInfo& record, ArchiverHandle archive,
                  ArchiverFindNextProc findNext, ArchiverCloseArchiveProc closeArchive);
        ~CFindFile();
        CFindFile(const CFindFile&) = delete;
        CFindFile& operator=(const CFindFile&) = delete;

        const ArchiverItemInfo& GetRecord() const { return m_record; }
        ArchiverHandle GetHandle() const { return m_archive; }
        // Moves to the next record; false at the end of the listing.
        bool FindNext();

    private:
        std::unique_lock<std::recursive_mutex> m_hold;
        ArchiverItemInfo m_record;
        ArchiverHandle m_archive;
        ArchiverFindNextProc m_findNext;
        ArchiverCloseArchiveProc m_closeArchive;
    };

    // Loads the DLL by file name (the system's search) and switches its cursor and background
    // modes off. A DLL that does not load leaves the instance not loaded for good.
    CArchiverDll(const String& fileName, const String& prefix);
    ~CArchiverDll();
    CArchiverDll(const CArchiverDll&) = delete;
    CArchiverDll& operator=(const CArchiverDll&) = delete;

    bool IsLoaded() const { return m_library != nullptr; }
    const String& GetFileName() const { return m_fileName; }
    const String& GetPrefix() const { return m_prefix; }

    // Runs a command line. Throws RuntimeException when the DLL is not loaded (file name + " が読み
    // 込み出来ませんでした") or the command fails ("書庫解凍失敗：" and the DLL's output, or "書庫展開中に
    // エラーが発生しました" without one); a missing export throws EntryPointNotFoundException.
    void Command(HWND window, const String& commandLine);
    // Extracts what the command line names into the buffer; true on success. Not loaded throws as
    // Command does.
    [[nodiscard]] bool ExtractMem(HWND window, const String& commandLine, unsigned char* buffer, DWORD size,
                                  void* time, WORD* attributes, DWORD* written);
    // The listing at the archive's first record; null when the DLL or an export is missing, the
    // archive does not open or holds no entry.
    std::shared_ptr<CFindFile> OpenArchive(HWND window, const String& path, DWORD mode);
    // False when the DLL or the export is missing.
    bool CheckArchive(const String& path, int mode);
    // Polls GetRunning up to count times, 100 ms apart, holding the lock; true once the DLL is
    // idle, false when it stayed busy or cannot be asked.
    bool WaitNotRunning(int count);
    // The current record's compression method; empty when the DLL or the export is missing.
    // Throws RuntimeException "圧縮方法の取得に失敗しました" when the DLL fails. Called only while
    // the listing holds the lock.
    String GetMethod(const CFindFile& listing);
    // The archive's compressed size as the DLL reports it at the listing's record.
    [[nodiscard]] bool GetCompressedSize(const CFindFile& listing, std::int64_t& size);
    void SetCursorMode(bool mode);
    void SetBackGroundMode(bool mode);
    // The DLL's settings dialog; a missing export throws EntryPointNotFoundException.
    void ShowConfigDialog(HWND window, char* options);

private:
    template <class F> F GetExport(const wchar_t* name) const
    {
        return m_library->GetProc<F>(m_prefix + name);
    }
    template <class F> F TryGetExport(const wchar_t* name) const
    {
        return m_library->TryGetProc<F>(m_prefix + name);
    }
    void RequireLoaded() const;
    void SetMode(const wchar_t* name, bool mode);

    String m_fileName;
    String m_prefix;
    std::unique_ptr<CDynamicLibrary> m_library;
    std::unique_ptr<std::recursive_mutex> m_lock;
};

// The listing's entry: its path decoded from the ANSI code page, its size and its DOS time.
IArchiver::SEntry MakeArchiverEntry(const ArchiverItemInfo& record);

// The five DLLs, each loaded on its accessor's first call and kept until the process ends.
CArchiverDll& GetUnZipDll();
CArchiverDll& GetUnLhaDll();
CArchiverDll& GetUnRarDll();
CArchiverDll& Get7ZipDll();
CArchiverDll& GetUnGcaDll();

} // namespace Brivox
