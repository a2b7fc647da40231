#include "document/file_list.h"

#include "formats/archiver.h"
#include "formats/image_loader.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/md5.h"
#include "foundation/numeric.h"
#include "foundation/random.h"
#include "foundation/shell.h"
#include "foundation/shortcut.h"
#include "foundation/string_builder.h"
#include "foundation/temp_file.h"
#include "foundation/text_file.h"
#include "foundation/thread_pool.h"
#include "foundation/win32.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cwctype>
#include <iterator>
#include <mutex>
#include <numeric>
#include <string_view>
#include <unordered_set>
#include <utility>

using Brivox::CArchive;
using Brivox::CFileName;
using Brivox::String;

namespace {

// Digit runs up to this many significant digits are padded to it; longer ones are marked as such.
constexpr int shortRunDigits = 8;
// Sorts after '9', so a long run follows every short run at the same place; Windows file names
// never hold it.
constexpr wchar_t longRunMark = L':';
constexpr int fractionLength = 3;

// Fullwidth digits and the fullwidth full stop read as their ASCII forms.
const std::vector<std::pair<wchar_t, wchar_t>>& FullwidthTable()
{
    static const std::vector<std::pair<wchar_t, wchar_t>> table = [] {
        std::vector<std::pair<wchar_t, wchar_t>> pairs;
        for (wchar_t digit = 0; digit < 10; ++digit)
            pairs.emplace_back(static_cast<wchar_t>(0xFF10 + digit), static_cast<wchar_t>(L'0' + digit));
        pairs.emplace_back(static_cast<wchar_t>(0xFF0E), L'.');
        return pairs;
    }();
    return table;
}

bool IsDigit(wchar_t c)
{
    return std::iswdigit(c) != 0;
}

// The length of the folder part of a path, up to and including its last separator.
int FolderLength(const String& path)
{
    return CFileName::FindLastSeparator(path) + 1;
}

// The folder part of a path; archive entries lie in folders of their own inside the archive.
String FolderOf(const String& path)
{
    return path.Substring(0, FolderLength(path));
}

bool InFolder(const String& path, const String& folder)
{
    return FolderLength(path) == folder.Length() && path.Compare(0, folder, 0, folder.Length(), 0) == 0;
}

std::wstring_view View(const String& text)
{
    return std::wstring_view(text.CStr(), static_cast<std::size_t>(text.Length()));
}

bool Contains(const std::vector<String>& sorted, const String& text)
{
    return std::binary_search(sorted.begin(), sorted.end(), text);
}

void LowerAll(std::vector<String>& texts)
{
    for (String& text : texts)
        text = text.ToLower();
}

void SortUnique(std::vector<String>& texts)
{
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
}

// Folders that cannot be listed (missing, no access) add nothing.
std::vector<String> ListFilesOrNone(const String& folder, int depth)
{
    try {
        return Brivox::ListFiles(folder, depth);
    } catch (const std::exception&) {
        return {};
    }
}

bool ByKeyThenPath(const CFileInfo& a, const CFileInfo& b)
{
    if (a.GetKey() < b.GetKey())
        return true;
    if (b.GetKey() < a.GetKey())
        return false;
    return a.GetPath() < b.GetPath();
}

} // namespace

// ---- CFileInfo

CFileInfo::CFileInfo(const String& path, int keyMode) : m_path(path)
{
    BuildSortKey(keyMode);
}

CFileInfo::CFileInfo(const String& path, const std::weak_ptr<CArchive>& archive, int index, int keyMode)
    : m_path(path), m_archive(archive), m_index(index)
{
    BuildSortKey(keyMode);
}

void CFileInfo::SetArchiveEntry(const std::weak_ptr<CArchive>& archive, int index)
{
    m_archive = archive;
    m_index = index;
}

void CFileInfo::BuildSortKey(int keyMode)
{
    try {
        m_key = MakeSortKey(keyMode);
    } catch (const std::exception&) {
        // Keys are built on pool workers in the middle of a sort: a failure must not stop it.
        m_key = String();
    }
}

String CFileInfo::MakeSortKey(int keyMode) const
{
    switch (keyMode) {
    case KeyByPath:
        return m_path;
    case KeyByLowerPath:
        return m_path.ToLower();
    case KeyByFileName:
        return CFileName::GetFileName(m_path);
    case KeyByLowerFileName:
        return CFileName::GetFileName(m_path).ToLower();
    case KeyBySize:
        // Unsigned, so that files of 2 GiB and more sort after the smaller ones.
        return Brivox::FormatString(L"%010u", GetSize());
    case KeyByTime:
        return FormatTime();
    case KeyByNumbers:
        return MakeNumericKey(m_path);
    default:
        return String();
    }
}

String CFileInfo::MakeNumericKey(const String& path)
{
    const String text = Brivox::ReplaceChars(path, FullwidthTable());
    const int length = text.Length();
    std::wstring key;
    key.reserve(static_cast<std::size_t>(length) + 16);
    int at = 0;
    while (at < length) {
        if (!IsDigit(text[at])) {
            key += text[at++];
            continue;
        }
        int runEnd = at;
        while (runEnd < length && IsDigit(text[runEnd]))
            ++runEnd;
        // Leading zeros do not count: the run compares by its value.
        int significant = at;
        while (significant < runEnd && text[significant] == L'0')
            ++significant;
        const int digits = runEnd - significant;
        if (digits <= shortRunDigits) {
            key.append(static_cast<std::size_t>(shortRunDigits - digits), L'0');
        } else {
            key += longRunMark;
            key += static_cast<wchar_t>(std::min(digits, 0xFFFF));
        }
        key.append(text.CStr() + significant, static_cast<std::size_t>(digits));
        at = runEnd;
        if (at < length && text[at] == L'.') {
            ++at;
            // The character after the point, whatever it is, and the digits right after it; a
            // point at the very end has no fraction.
            int fractionEnd = std::min(at + 1, length);
            while (fractionEnd < length && IsDigit(text[fractionEnd]))
                ++fractionEnd;
            key += L'.';
            key.append(text.CStr() + at,
                       static_cast<std::size_t>(std::min(fractionEnd - at, fractionLength)));
            at = fractionEnd;
        } else {
            key += L".000";
        }
    }
    return String(key);
}

unsigned CFileInfo::GetSize() const
{
    try {
        if (const std::shared_ptr<CArchive> archive = LiveArchive())
            return archive->GetEntrySize(m_index);
        return Brivox::GetTotalSize(m_path);
    } catch (const std::exception&) {
        return 0;
    }
}

String CFileInfo::FormatTime() const
{
    try {
        const std::shared_ptr<CArchive> archive = LiveArchive();
        const FILETIME time = archive ? archive->GetEntryTime(m_index) : Brivox::GetFileTimes(m_path);
        SYSTEMTIME parts;
        if (!::FileTimeToSystemTime(&time, &parts))
            return String();
        return Brivox::FormatString(L"%04d/%02d/%02d %02d:%02d:%02d:%03d", parts.wYear, parts.wMonth,
                                    parts.wDay, parts.wHour, parts.wMinute, parts.wSecond,
                                    parts.wMilliseconds);
    } catch (const std::exception&) {
        return String();
    }
}

String CFileInfo::GetOutermostPath() const
{
    std::shared_ptr<CArchive> archive = LiveArchive();
    if (!archive)
        return m_path;
    while (std::shared_ptr<CArchive> parent = archive->GetParent())
        archive = std::move(parent);
    return CFileName::RemoveTrailingSeparator(archive->GetPathPrefix());
}

String CFileInfo::GetContainerName() const
{
    if (const std::shared_ptr<CArchive> archive = LiveArchive())
        return CFileName::GetFileNameWithoutExtension(
            CFileName::RemoveTrailingSeparator(archive->GetPathPrefix()));
    return CFileName::GetParentFolderName(m_path);
}

std::shared_ptr<Brivox::CFileData> CFileInfo::GetFileData() const
{
    if (const std::shared_ptr<CArchive> archive = LiveArchive())
        return archive->GetFileData(m_index);
    return std::make_shared<Brivox::CExistFileData>(m_path);
}

String CFileInfo::GetMd5() const
{
    const std::shared_ptr<Brivox::CFileData> data = GetFileData();
    Brivox::Md5 md5;
    md5.Update(data->GetBytes().data(), static_cast<unsigned>(data->GetBytes().size()));
    md5.Final();
    return md5.ToHexString();
}

std::shared_ptr<CFileInfo> CFileInfo::Clone() const
{
    return std::make_shared<CFileInfo>(*this);
}

// The background copies of one list that have not ended.
class CPendingCopies
{
public:
    void Enter()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_count;
    }
    void Leave()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (--m_count == 0)
            m_idle.notify_all();
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_idle.wait(lock, [this] { return m_count == 0; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_idle;
    int m_count = 0;
};

// ---- CFileList: building

CFileList::CFileList(const Brivox::SArchiverContext& archiveContext)
    : m_archives(archiveContext), m_copies(std::make_shared<CPendingCopies>())
{
}

CFileList::~CFileList()
{
    // A copy may still read an archive of the list.
    WaitForCopies();
}

void CFileList::PushTempFolder(const String& folder)
{
    m_archives.PushTempFolder(folder);
}

void CFileList::Clear()
{
    m_entries.clear();
    m_archives.Clear();
    m_current = -1;
    NotifyRefresh();
}

FileAddRules CFileList::PrepareRules(const FileAddRules& rules)
{
    FileAddRules prepared = rules;
    if (prepared.followShortcuts)
        m_visited = std::make_unique<std::set<String>>();
    m_archiveExtensions = Brivox::GetArchiveExtensions();
    if (prepared.ignoreBySuffix) {
        LowerAll(prepared.acceptedSuffixes);
        const std::vector<String> images = Brivox::GetImageExtensions();
        prepared.acceptedSuffixes.insert(prepared.acceptedSuffixes.end(), images.begin(), images.end());
        prepared.acceptedSuffixes.insert(prepared.acceptedSuffixes.end(), m_archiveExtensions.begin(),
                                         m_archiveExtensions.end());
    }
    LowerAll(prepared.ignoredSuffixes);
    SortUnique(prepared.acceptedSuffixes);
    SortUnique(prepared.ignoredSuffixes);
    return prepared;
}

bool CFileList::CheckSuffixFilter(const FileAddRules& rules, const String& path)
{
    const String extension = CFileName::GetLowerExtension(path);
    if (rules.ignoreBySuffix)
        return !Contains(rules.acceptedSuffixes, extension) || Contains(rules.ignoredSuffixes, extension);
    return !rules.ignoredSuffixes.empty() && Contains(rules.ignoredSuffixes, extension);
}

bool CFileList::IsArchiveExtension(const String& extension) const
{
    return std::binary_search(m_archiveExtensions.begin(), m_archiveExtensions.end(), extension);
}

void CFileList::Add(const String& path, const FileAddRules& rules, bool folderOfFile)
{
    if (CFileName::EndsWithSeparator(path)) {
        AddFolder(path, rules);
        return;
    }
    if (CheckSuffixFilter(rules, path))
        return;
    const String extension = CFileName::GetLowerExtension(path);
    // Only names with an archive extension can open as archives: the test spares every other
    // file of a large folder the readers' work.
    if (IsArchiveExtension(extension)) {
        if (folderOfFile) {
            if (m_archives.CanOpen(path))
                return;
        } else {
            std::vector<CArchive::SListEntry> list;
            if (m_archives.OpenArchive(path, list)) {
                AddArchiveEntries(rules, list);
                return;
            }
        }
    }
    if (rules.followShortcuts && extension == L"lnk") {
        AddShortcut(path, rules, folderOfFile);
        return;
    }
    // Keyed by the open once its duplicates are gone.
    m_entries.emplace_back(path, -1);
}

void CFileList::AddFolder(const String& folder, const FileAddRules& rules)
{
    for (const String& file : ListFilesOrNone(folder, rules.topFolderOnly ? 0 : -1))
        Add(file, rules, false);
}

void CFileList::AddShortcut(const String& path, const FileAddRules& rules, bool folderOfFile)
{
    String target;
    try {
        target = Brivox::ReadShortcut(path).targetPath;
    } catch (const std::exception&) {
        m_entries.emplace_back(path, -1);
        return;
    }
    // Each target is followed once per open, so shortcuts that lead to each other end.
    if (m_visited && !m_visited->insert(target).second)
        return;
    target = Brivox::AppendSeparatorIfDirectory(target);
    if (folderOfFile && CFileName::EndsWithSeparator(target))
        return;
    Add(target, rules, folderOfFile);
}

void CFileList::AddPaths(const std::vector<String>& paths, int from, int to, const FileAddRules& rules,
                         bool folderOfFile)
{
    for (int i = std::max(from, 0); i < to && i < static_cast<int>(paths.size()); ++i)
        Add(paths[i], rules, folderOfFile);
}

void CFileList::AddArchiveEntries(const FileAddRules& rules, const std::vector<CArchive::SListEntry>& list)
{
    InsertArchiveEntries(rules, list, 0, static_cast<int>(list.size()));
}

void CFileList::InsertArchiveEntries(const FileAddRules& rules, const std::vector<CArchive::SListEntry>& list,
                                     int from, int to)
{
    for (int i = std::max(from, 0); i < to && i < static_cast<int>(list.size()); ++i) {
        if (!CheckSuffixFilter(rules, list[i].path))
            m_entries.emplace_back(list[i].path, list[i].archive, list[i].index, -1);
    }
}

void CFileList::ResolveArchiveEntries(int from, int to)
{
    for (int i = std::max(from, 0); i < to && i < GetCount(); ++i) {
        const CArchive::SEntryRef found = m_archives.FindEntry(m_entries[i].GetPath());
        m_entries[i].SetArchiveEntry(found.archive, found.archive.expired() ? -1 : found.index);
    }
}

void CFileList::OpenPath(const String& path, const FileAddRules& rules)
{
    const FileAddRules prepared = PrepareRules(rules);
    RunOpen(path, [&] {
        if (CFileName::EndsWithSeparator(path)) {
            Add(path, prepared, false);
            return;
        }
        std::vector<CArchive::SListEntry> list;
        if (m_archives.OpenArchive(path, list)) {
            AddArchiveEntries(prepared, list);
            return;
        }
        // A file: the files beside it, without expanding other archives there.
        for (const String& file : ListFilesOrNone(CFileName::GetDirectory(path), 0))
            Add(file, prepared, true);
    });
}

void CFileList::OpenPaths(const std::vector<String>& paths, const FileAddRules& rules)
{
    if (paths.empty())
        return;
    if (paths.size() == 1) {
        OpenPath(paths.front(), rules);
        return;
    }
    const FileAddRules prepared = PrepareRules(rules);
    RunOpen(paths.front(), [&] { AddPaths(paths, 0, static_cast<int>(paths.size()), prepared, false); });
}

void CFileList::RunOpen(const String& currentPath, const std::function<void()>& addAll)
{
    const int start = GetCount();
    try {
        addAll();
    } catch (...) {
        // What was added stays, keyed and sorted, with a valid current entry.
        m_visited.reset();
        FinishOpen(start, currentPath);
        throw;
    }
    m_visited.reset();
    FinishOpen(start, currentPath);
}

void CFileList::FinishOpen(int start, const String& currentPath)
{
    const int newFrom = RemoveDuplicatesBefore(start);
    UpdateKeys(m_keyMode, newFrom, GetCount());
    SortRange(newFrom, GetCount());
    m_current = m_entries.empty() ? -1 : IndexOf(currentPath);
    NotifyRefresh();
}

void CFileList::Insert(const String& path, bool afterCurrent)
{
    if (m_current >= 0 && m_entries[m_current].GetPath().EqualsIgnoreCase(path))
        return;
    if (afterCurrent && m_current >= 0)
        m_entries.emplace(m_entries.begin() + m_current + 1, path, m_keyMode);
    else
        m_entries.emplace_back(path, m_keyMode);
    // The first entry of an empty list becomes current, as after any other change.
    if (m_current < 0)
        m_current = 0;
    NotifyRefresh();
}

void CFileList::RemoveDuplicates()
{
    RemoveDuplicatesBefore(0);
}

int CFileList::RemoveDuplicatesBefore(int boundary)
{
    // A hash set of the paths kept: one pass instead of comparing every entry with all before it.
    std::unordered_set<std::wstring_view> seen;
    seen.reserve(m_entries.size());
    std::deque<CFileInfo> kept;
    int keptBefore = 0;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        // The view points into the path's shared text, which moves with the entry.
        if (!seen.insert(View(m_entries[i].GetPath())).second)
            continue;
        kept.push_back(std::move(m_entries[i]));
        if (i < boundary)
            ++keptBefore;
    }
    m_entries.swap(kept);
    return keptBefore;
}

// ---- Keys and sorting

void CFileList::Sort()
{
    SortRange(0, GetCount());
}

void CFileList::SortRange(int from, int to)
{
    if (to - from > 1)
        std::stable_sort(m_entries.begin() + from, m_entries.begin() + to, ByKeyThenPath);
}

void CFileList::SetKeyMode(int keyMode)
{
    if (keyMode == m_keyMode)
        return;
    m_keyMode = keyMode;
    UpdateKeysParallel(keyMode);
    if (m_current < 0)
        return;
    const String currentPath = m_entries[m_current].GetPath();
    Sort();
    m_current = IndexOf(currentPath);
}

void CFileList::UpdateKeysParallel(int keyMode)
{
    UpdateKeys(keyMode, 0, GetCount());
}

void CFileList::UpdateKeys(int keyMode, int from, int to)
{
    const int count = to - from;
    if (count <= 0)
        return;
    // Each share touches only its own entries.
    const int shares = std::min(Brivox::GetProcessorCount(), count);
    Brivox::ParallelFor(
        shares, [this, keyMode](int first, int last) { UpdateKeysRange(keyMode, first, last); }, from, to);
}

void CFileList::UpdateKeysRange(int keyMode, int from, int to)
{
    for (int i = std::max(from, 0); i < to && i < GetCount(); ++i)
        m_entries[i].BuildSortKey(keyMode);
}

void CFileList::SortBy(int keyMode)
{
    if (m_entries.empty())
        return;
    const String currentPath = m_current >= 0 ? m_entries[m_current].GetPath() : String();
    if (keyMode == m_keyMode) {
        Sort();
    } else {
        UpdateKeysParallel(keyMode);
        Sort();
        UpdateKeysParallel(m_keyMode);
    }
    m_entries.erase(
        std::unique(m_entries.begin(), m_entries.end(),
                    [](const CFileInfo& a, const CFileInfo& b) { return a.GetPath() == b.GetPath(); }),
        m_entries.end());
    m_current = IndexOf(currentPath);
    NotifyRefresh();
}

// ---- Current entry, states, folders

int CFileList::IndexOf(const String& path) const
{
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        if (m_entries[i].GetPath() == path)
            return i;
    }
    for (int i = 0; i < count; ++i) {
        if (m_entries[i].GetPath().EqualsIgnoreCase(path))
            return i;
    }
    return 0;
}

void CFileList::SetCurrent(int index)
{
    m_current = m_entries.empty() ? -1 : Brivox::PositiveModulo(index, GetCount());
    NotifyRefresh();
}

std::shared_ptr<CFileInfo> CFileList::GetEntryCopy(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_entries[index].Clone();
}

void CFileList::SetState(int index, int state)
{
    if (index < 0 || index >= GetCount())
        return;
    m_entries[index].SetState(state);
    if (m_window)
        m_window->UpdateRow(index);
}

int CFileList::GetState(int index) const
{
    if (index < 0 || index >= GetCount())
        return 0;
    return m_entries[index].GetState();
}

void CFileList::ResetNegativeStates()
{
    for (CFileInfo& entry : m_entries) {
        if (entry.GetState() < 0)
            entry.SetState(0);
    }
    m_archives.ResetExtractStates();
}

void CFileList::NextFolder()
{
    const int count = GetCount();
    if (m_current < 0 || count == 0)
        return;
    const String folder = FolderOf(m_entries[m_current].GetPath());
    int at = m_current;
    for (int step = 1; step < count; ++step) {
        at = (at + 1) % count;
        if (!InFolder(m_entries[at].GetPath(), folder)) {
            m_current = at;
            return;
        }
    }
}

void CFileList::PrevFolder()
{
    const int count = GetCount();
    if (m_current < 0 || count == 0)
        return;
    const String folder = FolderOf(m_entries[m_current].GetPath());
    String found; // the folder before the current one, once met
    bool inFound = false;
    int at = m_current;
    for (int step = 1; step < count; ++step) {
        at = (at + count - 1) % count;
        const String& other = m_entries[at].GetPath();
        if (!inFound) {
            if (InFolder(other, folder))
                continue;
            found = FolderOf(other);
            inFound = true;
        } else if (!InFolder(other, found)) {
            return;
        }
        m_current = at;
    }
}

const CFileInfo& CFileList::CurrentEntry() const
{
    if (m_current < 0 || m_current >= GetCount())
        throw Brivox::InvalidOprationException(L"現在のファイルがありません");
    return m_entries[m_current];
}

String CFileList::GetCurrentTimeText() const
{
    return CurrentEntry().FormatTime();
}

String CFileList::GetCurrentOutermostPath() const
{
    return CurrentEntry().GetOutermostPath();
}

String CFileList::GetCurrentContainerName() const
{
    return CurrentEntry().GetContainerName();
}

String CFileList::GetCurrentMd5() const
{
    return CurrentEntry().GetMd5();
}

void CFileList::NotifyRefresh()
{
    if (m_window)
        m_window->Refresh();
}

// ---- Marks, list order and file operations

namespace {

String ExceptionText(const std::exception& error)
{
    return Brivox::GetDefaultEncoding().ToString(error.what());
}

// One pending copy, counted from posting until its job has run or the pool has dropped it.
class CopyTicket
{
public:
    explicit CopyTicket(std::shared_ptr<CPendingCopies> pending) : m_pending(std::move(pending))
    {
        m_pending->Enter();
    }
    ~CopyTicket() { Finish(); }
    CopyTicket(const CopyTicket&) = delete;
    CopyTicket& operator=(const CopyTicket&) = delete;

    void Finish()
    {
        if (!m_finished.exchange(true))
            m_pending->Leave();
    }

private:
    std::shared_ptr<CPendingCopies> m_pending;
    std::atomic<bool> m_finished{false};
};

// Puts the bytes at the destination through a temporary file beside it, so that the destination
// holds the whole file or none; an existing destination is never replaced. Failures throw the
// given text.
void WriteNewFile(const Brivox::FileBytes& bytes, const String& destination, const String& failure)
{
    try {
        Brivox::CTempFile temporary(CFileName::GetDirectory(destination), L"~", L"tmp");
        Brivox::WriteFile(temporary.GetPath(), bytes.data(), static_cast<int>(bytes.size()));
        Brivox::MoveTree(temporary.GetPath(), destination);
    } catch (const std::exception&) {
        throw Brivox::IOException(failure);
    }
}

String DeletionFailure(const String& path)
{
    return path + L"の削除に失敗しました\r\n";
}

// Deletes the files among the paths, never a folder, every one tried; answers a failure line for
// each path still there afterwards (a folder always).
String DeleteFiles(const std::vector<String>& paths, bool toRecycleBin, bool force, HWND owner)
{
    std::vector<String> files;
    for (const String& path : paths) {
        if (Brivox::FileExists(path) && !Brivox::IsDirectory(path))
            files.push_back(path);
    }
    if (toRecycleBin) {
        try {
            Brivox::DeleteToRecycleBin(files, false, owner);
        } catch (const std::exception&) {
            // The shell stops a batch at its first failure: what is still there is tried once
            // more on its own.
            for (const String& file : files) {
                try {
                    if (Brivox::FileExists(file))
                        Brivox::DeleteToRecycleBin(file, false, owner);
                } catch (const std::exception&) {
                    // Reported below, as every path still there.
                }
            }
        }
    } else {
        for (const String& file : files) {
            try {
                Brivox::DeleteTree(file, force);
            } catch (const std::exception&) {
                // Reported below, as every path still there.
            }
        }
    }
    String failures;
    for (const String& path : paths) {
        if (Brivox::FileExists(path))
            failures += DeletionFailure(path);
    }
    return failures;
}

struct SFolderGroup
{
    String folder;
    std::vector<CFileInfo> entries;
};

// The group of the folder, inserted at its place in folder order when missing.
SFolderGroup& FindFolderGroup(std::vector<SFolderGroup>& groups, const String& folder)
{
    auto at =
        std::lower_bound(groups.begin(), groups.end(), folder,
                         [](const SFolderGroup& group, const String& text) { return group.folder < text; });
    if (at == groups.end() || at->folder != folder)
        at = groups.insert(at, SFolderGroup{folder, {}});
    return *at;
}

// Exchanges element k with one of the elements first to first + k, for k from 1 on: every order
// of the range is equally likely.
template <class Container> void ShuffleRange(Container& items, int first, Brivox::MersenneTwister& generator)
{
    const int count = static_cast<int>(items.size());
    for (int k = 1; first + k < count; ++k) {
        const int other = first + static_cast<int>(generator() % static_cast<unsigned>(k + 1));
        if (other != first + k)
            std::swap(items[first + k], items[other]);
    }
}

} // namespace

// ---- CFileInfo: copy and move

void CFileInfo::CopyTo(const String& destination) const
{
    Transfer(destination, false);
}

void CFileInfo::MoveTo(const String& destination) const
{
    Transfer(destination, true);
}

void CFileInfo::Transfer(const String& destination, bool move) const
{
    const std::shared_ptr<CArchive> archive = LiveArchive();
    if (!archive) {
        if (move)
            Brivox::MoveTree(m_path, destination);
        else
            Brivox::CopyTree(m_path, destination, false);
        return;
    }
    if (CFileName::EndsWithSeparator(destination)) {
        Transfer(destination + CFileName::GetFileName(m_path), move);
        return;
    }
    const String failure =
        String(move ? L"ファイルの移動に失敗しました (" : L"ファイルのコピーに失敗しました (") + m_path +
        L" → " + destination + L")";
    if (Brivox::FileExists(destination))
        throw Brivox::IOException(failure);
    WriteNewFile(archive->GetFileData(m_index)->GetBytes(), destination, failure);
}

// ---- Background copy

CopyEntryJob::CopyEntryJob(std::shared_ptr<const CFileInfo> entry, const String& destination,
                           CopyFailureReport report)
    : m_entry(std::move(entry)), m_destination(destination), m_report(std::move(report))
{
}

void CopyEntryJob::operator()() const
{
    try {
        m_entry->CopyTo(m_destination);
    } catch (const std::exception& error) {
        if (!m_report)
            return;
        try {
            m_report(ExceptionText(error));
        } catch (const std::exception&) {
            // Nobody is left to tell.
        }
    }
}

void CFileList::PostCopyCurrentTo(const String& destination, const CopyFailureReport& report)
{
    const std::shared_ptr<CFileInfo> entry = GetEntryCopy(m_current);
    if (!entry)
        return;
    const CopyEntryJob job(entry, destination, report);
    const auto ticket = std::make_shared<CopyTicket>(m_copies);
    Brivox::ThreadPool::Instance().Post([job, ticket] {
        job();
        ticket->Finish();
    });
}

void CFileList::WaitForCopies()
{
    m_copies->Wait();
}

// ---- Marks

void CFileList::SetMark(bool mark)
{
    if (m_current < 0 || m_current >= GetCount())
        return;
    m_entries[m_current].SetMark(mark);
    if (m_window)
        m_window->UpdateRow(m_current);
}

void CFileList::InvertAllMarks()
{
    for (CFileInfo& entry : m_entries)
        entry.SetMark(!entry.IsMarked());
}

void CFileList::InvertMarksToCurrent()
{
    for (int i = 0; i <= m_current && i < GetCount(); ++i)
        m_entries[i].SetMark(!m_entries[i].IsMarked());
}

void CFileList::ClearMarks()
{
    for (CFileInfo& entry : m_entries)
        entry.SetMark(false);
}

int CFileList::CountMarked() const
{
    return static_cast<int>(std::count_if(m_entries.begin(), m_entries.end(),
                                          [](const CFileInfo& entry) { return entry.IsMarked(); }));
}

void CFileList::NextMarked()
{
    const int count = GetCount();
    for (int step = 1; step < count; ++step) {
        const int at = Brivox::PositiveModulo(m_current + step, count);
        if (m_entries[at].IsMarked()) {
            m_current = at;
            return;
        }
    }
}

void CFileList::PrevMarked()
{
    const int count = GetCount();
    for (int step = 1; step < count; ++step) {
        const int at = Brivox::PositiveModulo(m_current - step, count);
        if (m_entries[at].IsMarked()) {
            m_current = at;
            return;
        }
    }
}

std::vector<String> CFileList::GetMarkedPaths() const
{
    std::vector<String> paths;
    for (const CFileInfo& entry : m_entries) {
        if (entry.IsMarked())
            paths.push_back(entry.GetPath());
    }
    return paths;
}

// ---- Random and sorted orders

void CFileList::Shuffle()
{
    Shuffle(Brivox::GetRandomGenerator());
}

void CFileList::Shuffle(Brivox::MersenneTwister& generator)
{
    if (m_entries.empty())
        return;
    // Dropping duplicates moves the entries behind them: the current one is found again by path.
    const String currentPath = m_current >= 0 ? m_entries[m_current].GetPath() : String();
    RemoveDuplicates();
    std::swap(m_entries[m_current >= 0 ? IndexOf(currentPath) : 0], m_entries[0]);
    ShuffleRange(m_entries, 1, generator);
    m_current = 0;
    NotifyRefresh();
}

void CFileList::ShuffleFolders()
{
    ShuffleFolders(Brivox::GetRandomGenerator());
}

void CFileList::ShuffleFolders(Brivox::MersenneTwister& generator)
{
    if (m_entries.empty())
        return;
    const String currentPath = m_current >= 0 ? m_entries[m_current].GetPath() : String();
    RemoveDuplicates();
    std::vector<SFolderGroup> groups;
    for (CFileInfo& entry : m_entries)
        FindFolderGroup(groups, CFileName::GetDirectory(entry.GetPath())).entries.push_back(std::move(entry));
    ShuffleRange(groups, 0, generator);
    m_entries.clear();
    for (SFolderGroup& group : groups)
        std::move(group.entries.begin(), group.entries.end(), std::back_inserter(m_entries));
    m_current = IndexOf(currentPath);
    NotifyRefresh();
}

void CFileList::NextInSortedOrder()
{
    StepInSortedOrder(1);
}

void CFileList::PrevInSortedOrder()
{
    StepInSortedOrder(-1);
}

void CFileList::StepInSortedOrder(int step)
{
    const int count = GetCount();
    if (count == 0)
        return;
    // The order a sort would give, without moving an entry.
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return ByKeyThenPath(m_entries[a], m_entries[b]); });
    int found = -1;
    if (m_current >= 0 && m_current < count) {
        const String& currentPath = m_entries[m_current].GetPath();
        for (int i = 0; i < count && found < 0; ++i) {
            if (m_entries[order[i]].GetPath() == currentPath)
                found = i;
        }
    }
    m_current =
        found < 0 ? 0 : IndexOf(m_entries[order[Brivox::PositiveModulo(found + step, count)]].GetPath());
    NotifyRefresh();
}

// ---- Removing, deleting, copying and moving

void CFileList::RemoveCurrent()
{
    if (m_current < 0 || m_current >= GetCount())
        return;
    m_entries.erase(m_entries.begin() + m_current);
    if (m_entries.empty())
        m_current = -1;
    else if (m_current >= GetCount())
        m_current = 0;
    NotifyRefresh();
}

void CFileList::DeleteCurrent(bool toRecycleBin, HWND owner)
{
    if (m_current < 0 || m_current >= GetCount())
        return;
    // A copy of the file may still be reading it.
    WaitForCopies();
    const CFileInfo& entry = m_entries[m_current];
    // An archive entry has no file of its own: it only leaves the list.
    const String failures =
        entry.IsInArchive() ? String() : DeleteFiles({entry.GetPath()}, toRecycleBin, false, owner);
    if (failures.Length() > 0)
        throw Brivox::RuntimeException(failures);
    RemoveCurrent();
}

void CFileList::MoveCurrentTo(const String& destination, bool removeFromList)
{
    if (m_current < 0 || m_current >= GetCount())
        return;
    WaitForCopies();
    m_entries[m_current].MoveTo(destination);
    if (removeFromList) {
        RemoveCurrent();
        return;
    }
    m_entries[m_current].SetPath(destination);
    NotifyRefresh();
}

void CFileList::RemoveMarked(bool deleteFiles, bool toRecycleBin, HWND owner)
{
    String failures;
    if (deleteFiles) {
        WaitForCopies();
        std::vector<String> paths;
        std::unordered_set<std::wstring_view> seen;
        for (const CFileInfo& entry : m_entries) {
            if (entry.IsMarked() && !entry.IsInArchive() && seen.insert(View(entry.GetPath())).second)
                paths.push_back(entry.GetPath());
        }
        failures = DeleteFiles(paths, toRecycleBin, true, owner);
    }
    std::deque<CFileInfo> kept;
    int current = std::max(m_current, 0);
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        CFileInfo& entry = m_entries[i];
        const bool leaves =
            entry.IsMarked() && (!deleteFiles || entry.IsInArchive() || !Brivox::FileExists(entry.GetPath()));
        if (!leaves) {
            kept.push_back(std::move(entry));
        } else if (i < m_current) {
            --current;
        }
    }
    m_entries.swap(kept);
    m_current = m_entries.empty() ? -1 : Brivox::PositiveModulo(current, GetCount());
    NotifyRefresh();
    if (failures.Length() > 0)
        throw Brivox::RuntimeException(failures);
}

void CFileList::CopyMarkedTo(const String& folder)
{
    const String target = CFileName::AppendSeparator(folder);
    String failures;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        if (!m_entries[i].IsMarked())
            continue;
        try {
            m_entries[i].CopyTo(target);
        } catch (const std::exception& error) {
            failures += ExceptionText(error) + L"\r\n";
        }
    }
    if (failures.Length() > 0)
        throw Brivox::RuntimeException(failures);
}

void CFileList::MoveMarkedTo(const String& folder, bool removeFromList)
{
    WaitForCopies();
    const String target = CFileName::AppendSeparator(folder);
    String failures;
    int current = m_current;
    // i walks the list as it changes, position the list as it was.
    for (int i = 0, position = 0; i < GetCount(); ++position) {
        CFileInfo& entry = m_entries[i];
        if (!entry.IsMarked()) {
            ++i;
            continue;
        }
        try {
            entry.MoveTo(target);
        } catch (const std::exception& error) {
            failures += ExceptionText(error) + L"\r\n";
            ++i;
            continue;
        }
        if (removeFromList) {
            m_entries.erase(m_entries.begin() + i);
            if (position < m_current)
                --current;
        } else {
            entry.SetPath(target + CFileName::GetFileName(entry.GetPath()));
            ++i;
        }
    }
    m_current = m_entries.empty() ? -1 : Brivox::PositiveModulo(current, GetCount());
    // The window shows what was moved also when other files failed.
    NotifyRefresh();
    if (failures.Length() > 0)
        throw Brivox::RuntimeException(failures);
}
