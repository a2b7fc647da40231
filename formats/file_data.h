#pragma once
#include "foundation/file_bytes.h"
#include "foundation/string.h"

namespace Brivox {

// One whole file in memory with the name that stands for it (a path on disk, an archive entry's
// display path, or the path of an extracted temporary file). Filled by its maker before it is
// shared; only read afterwards.
class CFileData
{
public:
    explicit CFileData(const String& name) : name_(name) {}
    CFileData(const CFileData&) = delete;
    CFileData& operator=(const CFileData&) = delete;

    const String& GetName() const { return name_; }
    FileBytes& GetBytes() { return bytes_; }
    const FileBytes& GetBytes() const { return bytes_; }

private:
    String name_;
    FileBytes bytes_;
};

// The data of a file on disk, read whole at construction. A file that cannot be read throws its
// IOException and no object is made.
class CExistFileData : public CFileData
{
public:
    explicit CExistFileData(const String& path);
};

} // namespace Brivox
