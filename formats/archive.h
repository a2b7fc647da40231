#pragma once
// One opened archive as the document's file list sees it: its reader, a temporary folder for
// entries that must be extracted to disk, and the archives found inside it, each a child whose
// entries the list shows as if they lay in this archive.

#include "formats/archiver.h"
#include "formats/file_data.h"
#include "foundation/string.h"
#include "foundation/temp_file.h"
#include "foundation/win32.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

// What the owner of the archive set hands to every archive it opens.
struct SArchiverContext
{
    // Not owned; asked on the thread that extracts.
    IQueryArchivePassword* passwordQuery = nullptr;
    // The owner's own; the archives only pass it on.
    void* owner = nullptr;
};

// Always owned by a shared pointer. Entries are read from several threads (the loader's worker
// and the window thread): one lock per archive keeps its extraction record, its temporary folder
// and the files in it consistent, so that an entry is extracted once and never read half-written.
class CArchive : public std::enable_shared_from_this<CArchive>
{
public:
    // One item of the document's file list.
    struct SListEntry
    {
        String path;
        std::weak_ptr<CArchive> archive;
        int index = -1;
    };

    // A lookup's answer; an empty archive and -1 when nothing was found.
    struct SEntryRef
    {
        std::weak_ptr<CArchive> archive;
        int index = -1;
    };

    // Archives inside archives are opened to this depth, the outermost counting as 1; a deeper
    // one stays a plain entry, so that a hostile nesting cannot go on without end.
    static constexpr int maxDepth = 8;
    // A whole tree opens at most this many nested archives, so that a wide nesting (each level
    // holding several copies of the next) cannot open thousands; further ones stay plain entries.
    static constexpr int maxNestedArchives = 4096;

    // A top-level archive; its temporary folder will be a new folder below the root.
    CArchive(const String& tempRoot, const SArchiverContext& context);
    // An archive opened from entry `index` of the parent; root is the root of the parent's folder.
    CArchive(const String& tempRoot, const std::weak_ptr<CArchive>& parent, int index,
             const SArchiverContext& context);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    ~CArchive();

    // False when no registered reader opens the file.
    [[nodiscard]] bool Open(const String& path);

    // Appends the entries in the reader's order; an entry that is an archive itself is opened
    // and its entries come in its place, depth first. An extraction that fails throws; what was
    // appended before stays.
    void AppendFileList(std::vector<SListEntry>& list);

    // The entry's whole bytes, extracted on demand. The data are named by the display path when
    // the reader extracts to memory, else by the extracted file's path.
    std::shared_ptr<CFileData> GetFileData(int index);
    // Makes sure the entry lies as a file in the temporary folder.
    void EnsureExtracted(int index);
    // Forgets what was extracted (and that a whole-archive extraction failed), so that entries
    // are extracted again when next needed.
    void ResetExtractState();

    // The path prefix followed by the entry's stored name.
    String GetEntryPath(int index) const;
    // Where the entry lies once extracted.
    String GetEntryTempPath(int index) const;
    unsigned GetEntrySize(int index) const;
    FILETIME GetEntryTime(int index) const;
    int GetEntryCount() const;
    // The archive's path (for a nested archive its display path in the parent) and '\'.
    const String& GetPathPrefix() const { return m_pathPrefix; }

    // The entry whose display path is path (exactly, '/' and '\' alike), else -1.
    int FindEntryIndex(const String& path) const;
    // This archive first, then its direct children.
    SEntryRef FindEntry(const String& path) const;

    // 1 for a top-level archive.
    int GetDepth() const { return m_depth; }
    // The archive this one was opened from; null for a top-level archive (or a parent gone).
    std::shared_ptr<CArchive> GetParent() const { return m_parent.lock(); }
    const std::vector<std::shared_ptr<CArchive>>& GetChildren() const { return m_children; }
    const String& GetTempFolderPath() const { return m_tempFolder.GetPath(); }

private:
    enum ExtractState
    {
        NotExtracted = 0,
        Extracting = 1,
        Extracted = 2,
        Closing = -1,
        ExtractionFailed = -2
    };

    std::shared_ptr<CFileData> OpenEntry(int index);
    // Under the lock.
    void EnsureExtractedLocked(int index);
    const IArchiver::SEntry& Entry(int index) const;
    // The reader, or an exception when the archive is not open.
    IArchiver& Reader() const;

    SArchiverContext m_context;
    std::shared_ptr<IArchiver> m_reader;
    CTempFolder m_tempFolder;
    std::mutex m_lock;
    std::vector<int> m_entryStates;
    int m_wholeState = NotExtracted;
    std::weak_ptr<CArchive> m_parent;
    int m_index;
    int m_depth;
    // How many nested archives the tree this archive belongs to has opened; shared by the tree.
    std::shared_ptr<std::atomic<int>> m_nestedOpened;
    String m_pathPrefix;
    // Released first when the archive goes, so that their files are closed before this
    // archive's folder is deleted.
    std::vector<std::shared_ptr<CArchive>> m_children;
};

} // namespace Brivox
