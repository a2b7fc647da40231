#pragma once
#include "foundation/string.h"
#include "foundation/win32.h"

#include <functional>
#include <vector>

// Files and folders as a whole. A path that ends with a separator names a folder: the tree
// operations decide between file and folder by that separator, not by asking the file system.
// Folders given out end with '\'. Sizes are the low 32 bits of a file's size.
namespace Brivox {

// One running folder search. Only the entries "." and ".." are special; every other name,
// ".git" included, is an ordinary file or folder.
class FindFile
{
public:
    // Throws Win32Exception (pattern + " の検索に失敗") when nothing can be searched.
    explicit FindFile(const String& pattern);
    ~FindFile();
    FindFile(const FindFile&) = delete;
    FindFile& operator=(const FindFile&) = delete;

    // Advances to the next entry; false at the end. A failing search throws as the constructor.
    bool Next();

    String GetName() const;
    String GetFullName() const;
    unsigned GetAttributes() const;
    bool IsDirectory() const { return (GetAttributes() & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // "." or "..": the folder itself and its parent, never walked into.
    bool IsDotEntry() const;
    unsigned GetSize() const;
    FILETIME GetLastWriteTime() const;

private:
    String m_pattern;
    String m_directory;
    String m_name;
    HANDLE m_handle;
    WIN32_FIND_DATAW m_wide;
    WIN32_FIND_DATAA m_narrow;
    bool m_isNT;
};

// Attributes and tests; none of the tests throws, a path that cannot be examined counts as missing.
unsigned GetFileAttributesString(const String& path);
void SetFileAttributesString(const String& path, unsigned attributes);
bool FileExists(const String& path);
bool IsFile(const String& path);
bool IsDirectory(const String& path);
String GetExistingAncestor(const String& path);
String AppendSeparatorIfDirectory(const String& path);
FILETIME GetFileTimes(const String& path);

// Creates the missing folders of a path (a file path: the folders that hold the file).
void CreateDirectories(const String& path);

// Listings below the folder part of the path, in the order the file system gives them. depth
// counts the folder levels still to enter: 0 enters no sub-folder, a negative depth is
// unlimited. A sub-folder that cannot be listed contributes nothing.
std::vector<String> ListFiles(const String& path, int depth);
// Folders end with '\'.
std::vector<String> ListFolders(const String& path, int depth);
// Files and folders (ending with '\'), each folder followed by what lies in it.
std::vector<String> ListForDelete(const String& path, int depth);

// The size of a file or the sum over a folder tree, modulo 2^32; 0 when anything fails.
unsigned GetTotalSize(const String& path);

// The tree operations stop at the first failing item with its IOException; what was done before
// stays done.
// Copies a file, or the contents of a folder (source ending with a separator) into a folder.
void CopyTree(const String& source, const String& destination, bool overwrite);
// Moves a file, or the contents of a folder into a folder; an existing file is never replaced.
void MoveTree(const String& source, const String& destination);
// Deletes a file or a folder tree; force also deletes read-only files and folders.
void DeleteTree(const String& path, bool force);

// Puts the source file in the destination's place in one step, replacing a file there: a reader
// (or a crash) sees the whole old file or the whole new one, never a partly copied one. False when
// the move fails; a read-only destination stays, as a write over it would fail too.
[[nodiscard]] bool MoveFileReplacing(const String& source, const String& destination);

// Writes a file without putting the one at the path at risk: write(temporary) makes the new file
// under a unique name in the same folder, and that file replaces the path's file only once write
// has returned. On any failure the temporary file is deleted, the path's file stays as it was and
// the failure passes on; an IOException that names the temporary file names the path instead. A
// destination that cannot be replaced (read-only, a folder) throws IOException, the path followed
// by " のオープン・作成に失敗".
void WriteFileReplacing(const String& path, const std::function<void(const String& temporary)>& write);

} // namespace Brivox
