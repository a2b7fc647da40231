#include "foundation/file_system.h"

#include "foundation/dynamic_library.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"

#include <cstring>
#include <exception>
#include <string>

namespace Brivox {

namespace {

[[noreturn]] void ThrowSearchFailed(const String& pattern)
{
    const DWORD error = ::GetLastError();
    throw Win32Exception(error, pattern + L" の検索に失敗");
}

} // namespace

// ---- FindFile

FindFile::FindFile(const String& pattern)
    : m_pattern(pattern), m_directory(CFileName::GetDirectory(pattern)), m_wide(), m_narrow(),
      m_isNT(IsWindowsNT())
{
    m_handle = CallWithApiText(
        pattern, [this](const wchar_t* p) { return ::FindFirstFileW(p, &m_wide); },
        [this](const char* p) { return ::FindFirstFileA(p, &m_narrow); });
    if (m_handle == INVALID_HANDLE_VALUE)
        ThrowSearchFailed(m_pattern);
}

FindFile::~FindFile()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        ::FindClose(m_handle);
}

bool FindFile::Next()
{
    if (m_isNT ? ::FindNextFileW(m_handle, &m_wide) : ::FindNextFileA(m_handle, &m_narrow))
        return true;
    // Anything but the normal end would leave a listing silently incomplete, and a copy that
    // reports success would have left files behind.
    if (::GetLastError() != ERROR_NO_MORE_FILES)
        ThrowSearchFailed(m_pattern);
    return false;
}

String FindFile::GetName() const
{
    return m_isNT ? String(m_wide.cFileName) : GetDefaultEncoding().ToString(std::string(m_narrow.cFileName));
}

String FindFile::GetFullName() const
{
    return m_directory + GetName();
}

unsigned FindFile::GetAttributes() const
{
    return m_isNT ? m_wide.dwFileAttributes : m_narrow.dwFileAttributes;
}

bool FindFile::IsDotEntry() const
{
    if (m_isNT)
        return std::wcscmp(m_wide.cFileName, L".") == 0 || std::wcscmp(m_wide.cFileName, L"..") == 0;
    return std::strcmp(m_narrow.cFileName, ".") == 0 || std::strcmp(m_narrow.cFileName, "..") == 0;
}

unsigned FindFile::GetSize() const
{
    return m_isNT ? m_wide.nFileSizeLow : m_narrow.nFileSizeLow;
}

FILETIME FindFile::GetLastWriteTime() const
{
    return m_isNT ? m_wide.ftLastWriteTime : m_narrow.ftLastWriteTime;
}

// ---- Attributes and tests

unsigned GetFileAttributesString(const String& path)
{
    ErrorModeGuard quiet(SEM_FAILCRITICALERRORS);
    return CallWithApiText(
        path, [](const wchar_t* p) { return ::GetFileAttributesW(p); },
        [](const char* p) { return ::GetFileAttributesA(p); });
}

void SetFileAttributesString(const String& path, unsigned attributes)
{
    CallWithApiText(
        path, [=](const wchar_t* p) { return ::SetFileAttributesW(p, attributes); },
        [=](const char* p) { return ::SetFileAttributesA(p, attributes); });
}

bool FileExists(const String& path)
{
    return GetFileAttributesString(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsFile(const String& path)
{
    const unsigned attributes = GetFileAttributesString(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const String& path)
{
    const unsigned attributes = GetFileAttributesString(CFileName::TrimTrailingSeparator(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

String GetExistingAncestor(const String& path)
{
    for (String r = path; r.Length() > 0; r = CFileName::GetParent(r)) {
        if (IsDirectory(r))
            return r;
    }
    return String();
}

String AppendSeparatorIfDirectory(const String& path)
{
    if (CFileName::EndsWithSeparator(path))
        return path;
    const unsigned attributes = GetFileAttributesString(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return path + L"\\";
    return path;
}

FILETIME GetFileTimes(const String& path)
{
    FindFile find(CFileName::TrimTrailingSeparator(path));
    return find.GetLastWriteTime();
}

// ---- Folders

void CreateDirectories(const String& path)
{
    if (!CFileName::EndsWithSeparator(path)) {
        const String directory = CFileName::GetDirectory(path);
        if (directory.Length() > 0)
            CreateDirectories(directory);
        return;
    }
    if (IsDirectory(path))
        return;
    const String parent = CFileName::GetParent(path);
    if (parent.Length() > 0)
        CreateDirectories(parent);
    const BOOL created = CallWithApiText(
        path, [](const wchar_t* p) { return ::CreateDirectoryW(p, nullptr); },
        [](const char* p) { return ::CreateDirectoryA(p, nullptr); });
    // Another thread or program may have made it in the meantime; that is no failure.
    if (!created && !IsDirectory(path))
        throw IOException(path + L"の作成に失敗しました");
}

namespace {

enum ListKind
{
    ListFileEntries = 1,
    ListFolderEntries = 2
};

// The walk behind the three listings: files and/or folders of one folder, each folder followed
// at once by what its own walk gives while depth allows.
void ListInto(std::vector<String>& list, const String& path, int depth, int kinds)
{
    FindFile find(CFileName::GetDirectory(path) + L"*");
    do {
        if (!find.IsDirectory()) {
            if (kinds & ListFileEntries)
                list.push_back(find.GetFullName());
            continue;
        }
        if (find.IsDotEntry())
            continue;
        const String folder = find.GetFullName() + L"\\";
        if (kinds & ListFolderEntries)
            list.push_back(folder);
        if (depth != 0) {
            std::vector<String> inner;
            try {
                ListInto(inner, folder, depth - 1, kinds);
            } catch (const std::exception&) {
                continue; // a sub-folder that cannot be listed contributes nothing
            }
            list.insert(list.end(), inner.begin(), inner.end());
        }
    } while (find.Next());
}

std::vector<String> List(const String& path, int depth, int kinds)
{
    std::vector<String> list;
    ListInto(list, path, depth, kinds);
    return list;
}

} // namespace

std::vector<String> ListFiles(const String& path, int depth)
{
    return List(path, depth, ListFileEntries);
}

std::vector<String> ListFolders(const String& path, int depth)
{
    return List(path, depth, ListFolderEntries);
}

std::vector<String> ListForDelete(const String& path, int depth)
{
    return List(path, depth, ListFileEntries | ListFolderEntries);
}

unsigned GetTotalSize(const String& path)
{
    try {
        if (!IsDirectory(path))
            return FindFile(CFileName::TrimTrailingSeparator(path)).GetSize();
        unsigned total = 0;
        for (const String& file : ListFiles(path, -1))
            total += FindFile(file).GetSize();
        return total;
    } catch (const std::exception&) {
        return 0;
    }
}

// ---- Copy, move, delete

void CopyTree(const String& source, const String& destination, bool overwrite)
{
    if (CFileName::EndsWithSeparator(destination) && CFileName::EndsWithSeparator(source)) {
        for (const String& folder : ListFolders(source, 0))
            CopyTree(folder, destination + CFileName::GetParentFolderName(folder) + L"\\", overwrite);
        for (const String& file : ListFiles(source, 0))
            CopyTree(file, destination, overwrite);
        return;
    }
    if (CFileName::EndsWithSeparator(destination)) {
        CopyTree(source, destination + CFileName::GetFileName(source), overwrite);
        return;
    }
    CreateDirectories(CFileName::GetDirectory(destination));
    const BOOL copied = CallWithApiTexts(
        source, destination,
        [=](const wchar_t* s, const wchar_t* d) { return ::CopyFileW(s, d, !overwrite); },
        [=](const char* s, const char* d) { return ::CopyFileA(s, d, !overwrite); });
    if (!copied)
        throw IOException(L"ファイルのコピーに失敗しました (" + source + L" → " + destination + L")");
}

void MoveTree(const String& source, const String& destination)
{
    if (CFileName::EndsWithSeparator(destination) && CFileName::EndsWithSeparator(source)) {
        // The destination folder is made first, so that an empty folder is moved too rather
        // than removed from the source and never made again.
        CreateDirectories(destination);
        for (const String& folder : ListFolders(source, 0))
            MoveTree(folder, destination + CFileName::GetParentFolderName(folder) + L"\\");
        for (const String& file : ListFiles(source, 0))
            MoveTree(file, destination);
        const BOOL removed = CallWithApiText(
            CFileName::TrimTrailingSeparator(source), [](const wchar_t* p) { return ::RemoveDirectoryW(p); },
            [](const char* p) { return ::RemoveDirectoryA(p); });
        if (!removed)
            throw IOException(source + L" の削除に失敗しました");
        return;
    }
    if (CFileName::EndsWithSeparator(destination)) {
        MoveTree(source, destination + CFileName::GetFileName(source));
        return;
    }
    CreateDirectories(CFileName::GetDirectory(destination));
    const BOOL moved = CallWithApiTexts(
        CFileName::TrimTrailingSeparator(source), CFileName::TrimTrailingSeparator(destination),
        [](const wchar_t* s, const wchar_t* d) { return ::MoveFileExW(s, d, MOVEFILE_COPY_ALLOWED); },
        [](const char* s, const char* d) { return ::MoveFileExA(s, d, MOVEFILE_COPY_ALLOWED); });
    if (!moved)
        throw IOException(L"ファイルの移動に失敗しました (" + source + L" → " + destination + L")");
}

void DeleteTree(const String& path, bool force)
{
    BOOL removed;
    const unsigned attributes = GetFileAttributesString(CFileName::TrimTrailingSeparator(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A linked folder (junction, symbolic link) is removed as a link: walking into it would
        // delete the files of the folder it points to, which lie outside this tree.
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            for (const String& item : ListForDelete(CFileName::AppendSeparator(path), 0))
                DeleteTree(item, force);
        }
        const String folder = CFileName::TrimTrailingSeparator(path);
        if (force)
            SetFileAttributesString(folder, FILE_ATTRIBUTE_NORMAL);
        removed = CallWithApiText(
            folder, [](const wchar_t* p) { return ::RemoveDirectoryW(p); },
            [](const char* p) { return ::RemoveDirectoryA(p); });
    } else {
        if (force)
            SetFileAttributesString(path, FILE_ATTRIBUTE_NORMAL);
        removed = CallWithApiText(
            path, [](const wchar_t* p) { return ::DeleteFileW(p); },
            [](const char* p) { return ::DeleteFileA(p); });
    }
    if (!removed)
        throw IOException(path + L"の削除に失敗しました");
}

bool MoveFileReplacing(const String& source, const String& destination)
{
    // Checked here because Wine would rename over a read-only file.
    const unsigned attributes = GetFileAttributesString(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return false;
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    return CallWithApiTexts(
               source, destination,
               [=](const wchar_t* s, const wchar_t* d) { return ::MoveFileExW(s, d, flags); },
               [=](const char* s, const char* d) { return ::MoveFileExA(s, d, flags); }) != FALSE;
}

void WriteFileReplacing(const String& path, const std::function<void(const String& temporary)>& write)
{
    // In the destination's folder, so that the replacement is a rename on one volume. The writer
    // makes the file under the name; the object deletes whatever is left there.
    CTempFile temporary(CFileName::GetDirectory(path), L"~", L"tmp");
    try {
        write(temporary.GetPath());
    } catch (const IOException& e) {
        // The user knows the file by the name they asked for, not by the temporary one.
        const Encoding& encoding = GetDefaultEncoding();
        const std::string text = e.what();
        const std::string temporaryName = encoding.ToMultiByte(temporary.GetPath());
        if (text.compare(0, temporaryName.size(), temporaryName) != 0)
            throw;
        throw IOException(path + encoding.ToString(text.substr(temporaryName.size())));
    }
    if (!MoveFileReplacing(temporary.GetPath(), path))
        throw IOException(path + L" のオープン・作成に失敗");
}

} // namespace Brivox
