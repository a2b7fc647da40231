#pragma once
// The document's ordered list of files: every image file, archive entry and followed shortcut
// target that an open produced, with its sort key, its link to the archive holding it, its load
// state and its mark. Opens walk folders, expand archives, follow shortcuts and filter by suffix;
// the list removes duplicates, keeps keys in one of seven modes and sorts by them.
//
// The list has no lock of its own: the document changes it under the document lock, on the main
// window's thread.

#include "formats/archive.h"
#include "formats/archive_loader.h"
#include "formats/file_data.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <vector>

// How the list tells its window of changes. Implementations only post to the window and never
// wait: the list calls them with the document lock held.
class IFileListObserver
{
public:
    virtual ~IFileListObserver() = default;
    // The entries, their count or the current entry changed.
    virtual void Refresh() = 0;
    // The load state or mark of one entry changed.
    virtual void UpdateRow(int index) = 0;
};

// The rules of one open, filled by the document from the settings.
struct FileAddRules
{
    bool followShortcuts = false;
    bool ignoreBySuffix = false;
    // Lower-case extensions without the dot; an empty text stands for "no extension".
    std::vector<Brivox::String> acceptedSuffixes;
    std::vector<Brivox::String> ignoredSuffixes;
    bool topFolderOnly = false;
};

// The modes a list keeps its sort keys in.
enum FileKeyMode : int
{
    KeyByPath = 0,
    KeyByLowerPath = 1,
    KeyByFileName = 2,
    KeyByLowerFileName = 3,
    KeyBySize = 4,
    KeyByTime = 5,
    KeyByNumbers = 6,
};

// One entry of the list. Copies share nothing that keeps an archive open: the archive link is weak.
class CFileInfo
{
public:
    // A plain file; the key is built at once in the mode (-1: no key).
    CFileInfo(const Brivox::String& path, int keyMode);
    // An archive entry.
    CFileInfo(const Brivox::String& path, const std::weak_ptr<Brivox::CArchive>& archive, int index,
              int keyMode);

    // Never throws: a size or time that cannot be read gives the key of size 0 or an empty key.
    void BuildSortKey(int keyMode);

    // The entry's 32-bit size; 0 when it cannot be read.
    unsigned GetSize() const;
    // The last-write time as "yyyy/mm/dd hh:mm:ss:mmm", unconverted; empty when it cannot be read.
    Brivox::String FormatTime() const;
    // The path of the outermost archive holding the entry, else the entry's own path.
    Brivox::String GetOutermostPath() const;
    // The archive's name without folder and extension, else the name of the file's folder.
    Brivox::String GetContainerName() const;
    // The entry's whole bytes (extracting an archive entry on demand).
    std::shared_ptr<Brivox::CFileData> GetFileData() const;
    // The MD5 of those bytes as 32 lower-case hexadecimal digits.
    Brivox::String GetMd5() const;
    std::shared_ptr<CFileInfo> Clone() const;
    // The archive that holds the entry is still open.
    bool IsInArchive() const { return !m_archive.expired(); }

    const Brivox::String& GetPath() const { return m_path; }
    const Brivox::String& GetKey() const { return m_key; }
    const std::weak_ptr<Brivox::CArchive>& GetArchive() const { return m_archive; }
    int GetIndex() const { return m_index; }
    void SetArchiveEntry(const std::weak_ptr<Brivox::CArchive>& archive, int index);
    // -1 failed, 0 none, 1 loading, 2 loaded.
    int GetState() const { return m_state; }
    void SetState(int state) { m_state = state; }
    bool IsMarked() const { return m_mark; }
    void SetMark(bool mark) { m_mark = mark; }
    // The key is left as it is.
    void SetPath(const Brivox::String& path) { m_path = path; }

    // Copy or move the entry's file to the destination, a file path or a folder ending with a
    // separator; an existing file is never replaced. An archive entry's bytes are written to a
    // temporary file beside the destination and put in place only once complete; its move copies
    // and leaves the archive as it is.
    void CopyTo(const Brivox::String& destination) const;
    void MoveTo(const Brivox::String& destination) const;

    // The key of mode 6: digit runs compare by value (fullwidth digits as ASCII ones), each run
    // followed by a fraction of up to three characters or ".000".
    static Brivox::String MakeNumericKey(const Brivox::String& path);

private:
    std::shared_ptr<Brivox::CArchive> LiveArchive() const { return m_archive.lock(); }
    Brivox::String MakeSortKey(int keyMode) const;
    void Transfer(const Brivox::String& destination, bool move) const;

    Brivox::String m_path;
    Brivox::String m_key;
    std::weak_ptr<Brivox::CArchive> m_archive;
    int m_index = -1;
    int m_state = 0;
    bool m_mark = false;
};

namespace Brivox {
class MersenneTwister;
}

// Where a background copy tells of its failure, with the message. Called on a pool worker: it
// must only post.
using CopyFailureReport = std::function<void(const Brivox::String& message)>;

// The background copy of one entry to a destination path. It works on its own copy of the entry
// and touches neither the list nor the document; a failure goes to the report.
class CopyEntryJob
{
public:
    CopyEntryJob(std::shared_ptr<const CFileInfo> entry, const Brivox::String& destination,
                 CopyFailureReport report);
    void operator()() const;

private:
    std::shared_ptr<const CFileInfo> m_entry;
    Brivox::String m_destination;
    CopyFailureReport m_report;
};

class CPendingCopies;

class CFileList
{
public:
    explicit CFileList(const Brivox::SArchiverContext& archiveContext);
    ~CFileList();
    CFileList(const CFileList&) = delete;
    CFileList& operator=(const CFileList&) = delete;

    // Not owned; null for none.
    void SetWindow(IFileListObserver* window) { m_window = window; }
    // Archives opened from now on extract below a new folder under it.
    void PushTempFolder(const Brivox::String& folder);
    // Removes every entry and drops every opened archive; no entry is current afterwards.
    void Clear();

    // Adds what the path names: a folder (ending with a separator) with its files, an archive
    // with its entries, or a file with the files beside it, which becomes current. A folder that
    // cannot be listed adds nothing.
    void OpenPath(const Brivox::String& path, const FileAddRules& rules);
    // Adds what each path names; the first path becomes current. Nothing happens for no paths.
    void OpenPaths(const std::vector<Brivox::String>& paths, const FileAddRules& rules);

    // The rules as an open uses them: lower-cased, sorted, the readable extensions accepted.
    // Starts a new set of visited shortcut targets when shortcuts are followed.
    FileAddRules PrepareRules(const FileAddRules& rules);
    // Whether the suffix filter skips the path (under prepared rules).
    static bool CheckSuffixFilter(const FileAddRules& rules, const Brivox::String& path);
    // Links the entries [from, to) to the opened archives that hold their paths.
    void ResolveArchiveEntries(int from, int to);

    // Adds a file at the end or right after the current entry, unless it is the current entry
    // (ignoring case). The current index stays.
    void Insert(const Brivox::String& path, bool afterCurrent);
    // Keeps the first entry of every path (exact comparison), in order.
    void RemoveDuplicates();

    // Stable; equal keys are ordered by path, so the order before does not matter.
    void Sort();
    // Keeps the keys in the mode from now on and sorts by them; the current entry stays current.
    void SetKeyMode(int keyMode);
    int GetKeyMode() const { return m_keyMode; }
    void UpdateKeysParallel(int keyMode);
    void UpdateKeysRange(int keyMode, int from, int to);
    // Sorts once by the mode, keeping the keys of the list's own mode; neighbours with equal
    // paths are dropped.
    void SortBy(int keyMode);

    // The first entry with exactly the path, else the first equal to it ignoring case, else 0.
    int IndexOf(const Brivox::String& path) const;
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    // -1 when the list is empty.
    int GetCurrent() const { return m_current; }
    // The index wrapped into the list.
    void SetCurrent(int index);
    const CFileInfo& GetEntry(int index) const { return m_entries.at(index); }
    // Null for an index outside the list.
    std::shared_ptr<CFileInfo> GetEntryCopy(int index) const;

    // Indexes outside the list are ignored (SetState) or read as state 0 (GetState).
    void SetState(int index, int state);
    int GetState(int index) const;
    // Failed entries may be tried again: their states become 0 and the archives extract anew.
    void ResetNegativeStates();

    // The first entry of the next folder (the first of the run before the current folder),
    // wrapping around; nothing when every entry lies in one folder.
    void NextFolder();
    void PrevFolder();

    // Marks. SetMark acts on the current entry and tells the window of its row; the others leave
    // telling the window to the caller.
    void SetMark(bool mark);
    void InvertAllMarks();
    // The entries from the first to the current one, both included.
    void InvertMarksToCurrent();
    void ClearMarks();
    int CountMarked() const;
    // The next (previous) marked entry after the current one becomes current, wrapping around;
    // nothing when no other entry is marked.
    void NextMarked();
    void PrevMarked();
    // In list order.
    std::vector<Brivox::String> GetMarkedPaths() const;

    // Random orders: the shown entry becomes the first and stays current. ShuffleFolders keeps
    // the entries of each folder together and in their order, and shuffles the folders.
    void Shuffle();
    void Shuffle(Brivox::MersenneTwister& generator);
    void ShuffleFolders();
    void ShuffleFolders(Brivox::MersenneTwister& generator);
    // Steps to the neighbour of the current entry in key order, wrapping around, without
    // changing the list's order.
    void NextInSortedOrder();
    void PrevInSortedOrder();

    // The current entry leaves the list; its file stays. The entry after it becomes current (the
    // first after the last).
    void RemoveCurrent();
    // Deletes the current entry's file (never a folder) directly or to the recycle bin; the entry
    // leaves the list only when its file is gone. Throws RuntimeException, the path followed by
    // "の削除に失敗しました" and CR LF, when it is not.
    void DeleteCurrent(bool toRecycleBin, HWND owner);
    // The current entry's file moves to the destination path; the entry leaves the list or
    // follows its file.
    void MoveCurrentTo(const Brivox::String& destination, bool removeFromList);
    // The marked entries leave the list; with deleteFiles their files are deleted first, every
    // deletion tried, and an entry whose file is still there afterwards (a folder always) stays.
    // The failures, each ending in CR LF, are thrown as one RuntimeException after the list has
    // been updated.
    void RemoveMarked(bool deleteFiles, bool toRecycleBin, HWND owner);
    // Copies (moves) every marked entry's file into the folder. Every file is tried; the
    // failures, each ending in CR LF, are thrown as one RuntimeException at the end. A moved
    // entry leaves the list or follows its file; one that failed stays as it was.
    void CopyMarkedTo(const Brivox::String& folder);
    void MoveMarkedTo(const Brivox::String& folder, bool removeFromList);
    // Copies the current entry's file to the destination on a pool worker and returns at once.
    void PostCopyCurrentTo(const Brivox::String& destination, const CopyFailureReport& report);
    // Returns once every copy posted so far has ended. The operations that delete or move files
    // wait by themselves, and so does the destructor.
    void WaitForCopies();

    // Facts of the current entry; an entry must be current.
    Brivox::String GetCurrentTimeText() const;
    Brivox::String GetCurrentOutermostPath() const;
    Brivox::String GetCurrentContainerName() const;
    Brivox::String GetCurrentMd5() const;

    // Bookmark files: the text form is written, the older compressed form is read as well.
    // Writes the list as a text bookmark through a temporary file that replaces the path's file
    // only once complete; missing folders are made.
    void SaveBookmark(const Brivox::String& path) const;
    // The list's text bookmark as SaveBookmark writes it.
    Brivox::String GetBookmarkText() const;
    // Replaces the entries with those of a text bookmark and reopens its archives; current is
    // the saved current path. False, the list untouched, when the file is not one. An archive
    // that no longer opens throws.
    [[nodiscard]] bool ReadBookmark(const Brivox::String& path, Brivox::String& current);
    // The same for the old compressed form; archives that no longer open are left out, damaged
    // data throw.
    bool ReadOldBookmark(const Brivox::String& path, Brivox::String& current);
    // Empties the list and opens a bookmark of either form; the user may have an old one
    // rewritten in the text form. Any failure leaves the list empty and passes on.
    void OpenBookmark(const Brivox::String& path);
    // OpenBookmark without the question, for a caller that must not keep the list locked while
    // the user answers: true when the file was in the old form.
    [[nodiscard]] bool LoadBookmark(const Brivox::String& path);

private:
    // The steps of an open. Entries come without keys: the open keys them once their duplicates
    // are gone.
    // Adds one path under prepared rules; in folder-of-file mode archives are skipped and folder
    // shortcuts are not followed.
    void Add(const Brivox::String& path, const FileAddRules& rules, bool folderOfFile);
    void AddPaths(const std::vector<Brivox::String>& paths, int from, int to, const FileAddRules& rules,
                  bool folderOfFile);
    void AddFolder(const Brivox::String& folder, const FileAddRules& rules);
    void AddShortcut(const Brivox::String& path, const FileAddRules& rules, bool folderOfFile);
    void AddArchiveEntries(const FileAddRules& rules, const std::vector<Brivox::CArchive::SListEntry>& list);
    // Appends the entries [from, to) of an opened archive that the suffix filter keeps.
    void InsertArchiveEntries(const FileAddRules& rules,
                              const std::vector<Brivox::CArchive::SListEntry>& list, int from, int to);
    bool IsArchiveExtension(const Brivox::String& extension) const;
    // Runs addAll, then finishes the open, also when addAll throws.
    void RunOpen(const Brivox::String& currentPath, const std::function<void()>& addAll);
    // Drops later entries with a path met before; answers how many of the first `boundary`
    // entries were kept.
    int RemoveDuplicatesBefore(int boundary);
    // The end of every open: duplicates removed, the new entries from start keyed and sorted,
    // the entry of the path current, the window told.
    void FinishOpen(int start, const Brivox::String& currentPath);
    void SortRange(int from, int to);
    // The keys of the entries [from, to), built on the thread pool.
    void UpdateKeys(int keyMode, int from, int to);
    const CFileInfo& CurrentEntry() const;
    void NotifyRefresh();
    void StepInSortedOrder(int step);
    // The entries become plain entries of the paths, linked to the opened archives and keyed;
    // the entry of the current path becomes current.
    void ReplaceEntries(const std::vector<Brivox::String>& paths, const Brivox::String& currentPath);

    IFileListObserver* m_window = nullptr;
    std::deque<CFileInfo> m_entries;
    Brivox::CArchiveLoader m_archives;
    int m_keyMode = -1;
    int m_current = -1;
    // The shortcut targets met during one open that follows shortcuts.
    std::unique_ptr<std::set<Brivox::String>> m_visited;
    // The archive extensions of the readers, read once per open.
    std::vector<Brivox::String> m_archiveExtensions;
    // The background copies not yet ended; shared with their jobs.
    std::shared_ptr<CPendingCopies> m_copies;
};
