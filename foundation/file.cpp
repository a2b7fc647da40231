#include "foundation/file.h"

#include "foundation/dynamic_library.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_system.h"
#include "foundation/win32.h"

#include <share.h>

namespace Brivox {

void IFile::Fail(const wchar_t* suffix) const
{
    throw IOException(m_path + suffix);
}

// ---- CApiFile

namespace {

DWORD OpenAccess(int openMode)
{
    return openMode == CApiFile::WriteMode ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
}

DWORD OpenSharing(int openMode)
{
    switch (openMode) {
    case CApiFile::ReadMode:
        return FILE_SHARE_READ;
    case CApiFile::WriteMode:
        return 0;
    default:
        return FILE_SHARE_READ | FILE_SHARE_WRITE | (IsWindowsNT() ? FILE_SHARE_DELETE : 0);
    }
}

DWORD OpenFlags(int accessHint)
{
    switch (accessHint) {
    case CApiFile::NormalAccess:
        return FILE_ATTRIBUTE_NORMAL;
    case CApiFile::SequentialAccess:
        return FILE_FLAG_SEQUENTIAL_SCAN;
    default:
        return FILE_FLAG_RANDOM_ACCESS;
    }
}

DWORD MoveMethod(int origin)
{
    return origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : FILE_END;
}

} // namespace

CApiFile::CApiFile(const String& path, int openMode, int accessHint) : IFile(path)
{
    const DWORD access = OpenAccess(openMode);
    const DWORD sharing = OpenSharing(openMode);
    const DWORD creation = openMode == WriteMode ? CREATE_ALWAYS : OPEN_EXISTING;
    const DWORD flags = OpenFlags(accessHint);
    m_handle = CallWithApiText(
        path,
        [=](const wchar_t* name) {
            return ::CreateFileW(name, access, sharing, nullptr, creation, flags, nullptr);
        },
        [=](const char* name) {
            return ::CreateFileA(name, access, sharing, nullptr, creation, flags, nullptr);
        });
    if (m_handle == INVALID_HANDLE_VALUE)
        Fail(L" のオープン・作成に失敗");
}

CApiFile::~CApiFile()
{
    if (m_handle != INVALID_HANDLE_VALUE) {
        ErrorModeGuard quiet(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
        ::CloseHandle(m_handle);
    }
}

void CApiFile::Close()
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    ErrorModeGuard quiet(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    const BOOL closed = ::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    if (!closed)
        Fail(L" への書き込みに失敗");
}

int CApiFile::Seek(int position, int origin)
{
    const DWORD result = ::SetFilePointer(m_handle, position, nullptr, MoveMethod(origin));
    if (result == INVALID_SET_FILE_POINTER)
        Fail(L" のファイルポインタの設定に失敗");
    return static_cast<int>(result);
}

int CApiFile::Tell()
{
    return static_cast<int>(::SetFilePointer(m_handle, 0, nullptr, FILE_CURRENT));
}

int CApiFile::GetSize()
{
    const DWORD size = ::GetFileSize(m_handle, nullptr);
    if (size == INVALID_FILE_SIZE)
        Fail(L" のファイルサイズの取得に失敗");
    return static_cast<int>(size);
}

void CApiFile::Read(void* buffer, int count)
{
    // One ReadFile may return fewer bytes than asked (pipes, network files); only the end of the
    // file stops the loop, and then the caller did not get what it asked for.
    auto* bytes = static_cast<char*>(buffer);
    while (count > 0) {
        DWORD read = 0;
        if (!::ReadFile(m_handle, bytes, static_cast<DWORD>(count), &read, nullptr) || read == 0)
            Fail(L" からの読み込みに失敗");
        bytes += read;
        count -= static_cast<int>(read);
    }
}

void CApiFile::Write(const void* buffer, int count)
{
    if (count <= 0)
        return;
    DWORD written = 0;
    if (!::WriteFile(m_handle, buffer, static_cast<DWORD>(count), &written, nullptr) ||
        written != static_cast<DWORD>(count))
        Fail(L" への書き込みに失敗");
}

void CApiFile::Reserve(unsigned size)
{
    if (size <= 1024)
        return;
    const int position = Tell();
    Seek(static_cast<int>(size), 0);
    ::SetEndOfFile(m_handle); // only a hint: a failure shows in the writes that follow
    Seek(position, 0);
}

int CApiFile::Flush()
{
    return ::FlushFileBuffers(m_handle);
}

// ---- CStdFile

CStdFile::CStdFile(const String& path, const String& mode)
    : IFile(path), m_stream(::_wfsopen(path.CStr(), mode.CStr(), _SH_DENYNO))
{
    if (!m_stream)
        Fail(L" が開けませんでした");
}

CStdFile::~CStdFile()
{
    if (m_stream)
        std::fclose(m_stream);
}

void CStdFile::Close()
{
    if (!m_stream)
        return;
    // What the stream still buffers is written out here: a failure means lost data. The flush
    // is asked separately because some runtimes' fclose does not report a failed flush.
    const bool flushed = std::fflush(m_stream) == 0;
    const bool closed = std::fclose(m_stream) == 0;
    m_stream = nullptr;
    if (!flushed || !closed)
        Fail(L" への書き込みに失敗しました");
}

int CStdFile::Seek(int position, int origin)
{
    if (std::fseek(m_stream, position, origin) != 0)
        Fail(L" のファイルポインタの設定に失敗しました");
    return 0;
}

int CStdFile::Tell()
{
    return static_cast<int>(std::ftell(m_stream));
}

int CStdFile::GetSize()
{
    const long position = std::ftell(m_stream);
    if (std::fseek(m_stream, 0, SEEK_END) != 0)
        Fail(L" のファイルポインタの設定に失敗しました");
    const long size = std::ftell(m_stream);
    // A size that a long cannot hold (2 GiB and more) must not pass for an empty file.
    if (size < 0 || std::fseek(m_stream, position, SEEK_SET) != 0)
        Fail(L" のファイルポインタの設定に失敗しました");
    return static_cast<int>(size);
}

void CStdFile::Read(void* buffer, int count)
{
    if (count <= 0)
        return;
    if (std::fread(buffer, static_cast<size_t>(count), 1, m_stream) != 1)
        Fail(L" からの読み込みに失敗しました");
}

void CStdFile::Write(const void* buffer, int count)
{
    if (count <= 0)
        return;
    if (std::fwrite(buffer, static_cast<size_t>(count), 1, m_stream) != 1)
        Fail(L" への書き込みに失敗しました");
}

void CStdFile::Reserve(unsigned size)
{
    if (size <= 1024 || static_cast<unsigned>(GetSize()) >= size)
        return;
    const long position = std::ftell(m_stream);
    if (std::fseek(m_stream, static_cast<long>(size - 1), SEEK_SET) == 0)
        std::fwrite("", 1, 1, m_stream); // only a hint: a failure shows in the writes that follow
    // A position left elsewhere would put the caller's next write in the wrong place.
    if (std::fseek(m_stream, position, SEEK_SET) != 0)
        Fail(L" のファイルポインタの設定に失敗しました");
}

int CStdFile::Flush()
{
    return std::fflush(m_stream);
}

// ---- CFileWriteStream

CFileWriteStream::CFileWriteStream(const String& path)
{
    CreateDirectories(path);
    m_file = std::make_unique<CStdFile>(path, L"wb");
}

void CFileWriteStream::Write(const void* data, int count)
{
    m_file->Write(data, count);
}

void CFileWriteStream::Close()
{
    m_file->Close();
}

} // namespace Brivox
