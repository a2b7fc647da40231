#pragma once
#include "foundation/string.h"

#include <cstdio>
#include <memory>

namespace Brivox {

// Random access to one file's contents. Every failure throws IOException whose message starts
// with the file's path. Positions and sizes are 32-bit: files of 4 GiB or more are not handled.
class IFile
{
public:
    IFile(const IFile&) = delete;
    IFile& operator=(const IFile&) = delete;
    virtual ~IFile() = default;

    virtual int Kind() const = 0;
    // origin 0 from the start, 1 from the current position, 2 from the end
    virtual int Seek(int position, int origin) = 0;
    virtual int Tell() = 0;
    virtual int GetSize() = 0;
    // Reads exactly count bytes; a file that ends before them is a failed read.
    virtual void Read(void* buffer, int count) = 0;
    virtual void Write(const void* buffer, int count) = 0;
    virtual void Reserve(unsigned size) = 0;
    virtual int Flush() = 0;
    virtual std::FILE* GetStdHandle() = 0;
    // Closes the file and throws when the system reports that written data did not reach it.
    // The destructor closes silently; writers call this to learn whether their data is safe.
    virtual void Close() = 0;

    const String& GetPath() const { return m_path; }

protected:
    explicit IFile(const String& path) : m_path(path) {}

    [[noreturn]] void Fail(const wchar_t* suffix) const;

private:
    String m_path;
};

// A file on a system handle; mode 2 shares the file with other readers, writers and deleters.
class CApiFile : public IFile
{
public:
    enum OpenMode
    {
        ReadMode = 0,
        WriteMode = 1,
        SharedReadMode = 2
    };
    enum AccessHint
    {
        NormalAccess = 0,
        SequentialAccess = 1,
        RandomAccess = 2
    };

    CApiFile(const String& path, int openMode, int accessHint);
    ~CApiFile() override;

    int Kind() const override { return 2; }
    int Seek(int position, int origin) override;
    int Tell() override;
    int GetSize() override;
    void Read(void* buffer, int count) override;
    void Write(const void* buffer, int count) override;
    // Sets the end of the file at exactly size (a longer file is cut); sizes up to 1024 are ignored.
    void Reserve(unsigned size) override;
    int Flush() override;
    std::FILE* GetStdHandle() override { return nullptr; }
    void Close() override;
    // The system's handle, for callers that hand the open file to other code (plug-ins).
    void* GetHandle() const { return m_handle; }

private:
    void* m_handle;
};

// A file on a C runtime stream.
class CStdFile : public IFile
{
public:
    CStdFile(const String& path, const String& mode);
    ~CStdFile() override;

    int Kind() const override { return 1; }
    int Seek(int position, int origin) override;
    int Tell() override;
    int GetSize() override;
    void Read(void* buffer, int count) override;
    void Write(const void* buffer, int count) override;
    // Extends a shorter file to size (sizes up to 1024 are ignored); existing bytes never change.
    void Reserve(unsigned size) override;
    int Flush() override;
    std::FILE* GetStdHandle() override { return m_stream; }
    void Close() override;

private:
    std::FILE* m_stream;
};

class IWriteStream
{
public:
    virtual ~IWriteStream() = default;
    virtual void Write(const void* data, int count) = 0;
};

// Writes a new file, making its missing folders first.
class CFileWriteStream : public IWriteStream
{
public:
    explicit CFileWriteStream(const String& path);
    CFileWriteStream(const CFileWriteStream&) = delete;
    CFileWriteStream& operator=(const CFileWriteStream&) = delete;

    void Write(const void* data, int count) override;
    // Closes the file, throwing when its data could not be written out.
    void Close();

private:
    std::unique_ptr<IFile> m_file;
};

} // namespace Brivox
