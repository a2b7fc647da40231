#pragma once

#include "foundation/string.h"

#include <vector>

namespace Brivox {

// A file name that no other live object of this or another process of the system uses, and the
// file under it, deleted with the object. Nothing exists on disk until a write or move; each of
// those works once, on a name that does not exist yet.
class CTempFile
{
public:
    // In the system temporary folder.
    CTempFile(const String& prefix, const String& extension);
    CTempFile(const String& root, const String& prefix, const String& extension);
    ~CTempFile();
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;

    const String& GetRoot() const { return root_; }
    const String& GetPath() const { return path_; }

    // The bytes as the whole file. Throws IOException when the file exists already.
    void Write(const std::vector<char>& bytes);
    // The text in the ANSI code page: no byte-order mark, no NUL, line ends as they stand.
    void WriteText(const String& text);
    // Moves the source file to this object's name.
    void MoveFrom(const String& source);
    // Deletes the file; afterwards the object owns nothing. An explicit call lets a failure out
    // and stays the owner, so that the destructor tries again.
    void Delete();

private:
    void RefuseExisting() const;
    void WriteBytes(const char* bytes, std::size_t count);

    String root_;
    String path_;
    bool owned_;
};

// A folder name (ending in '\') of the same uniqueness, and the folder with everything in it,
// deleted with the object unless released.
class CTempFolder
{
public:
    // In the system temporary folder.
    explicit CTempFolder(const String& prefix);
    CTempFolder(const String& root, const String& prefix);
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const String& GetRoot() const { return root_; }
    // Empty once the folder was deleted or released.
    const String& GetPath() const { return path_; }

    // The folder and its missing parents.
    void Create();
    // The folder, which must not exist yet, below its missing parents. When it exists already or
    // cannot be made, the object lets go of the name (so it deletes nothing that is not its own)
    // and throws IOException, the path followed by "の作成に失敗しました".
    void CreateNew();
    // Deletes the folder tree, read-only contents included.
    void Delete();
    // Leaves the folder and its contents on disk for good.
    void Release();

private:
    String root_;
    String path_;
};

} // namespace Brivox
