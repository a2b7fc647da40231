#include "foundation/temp_file.h"

#include "foundation/command_line.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/win32.h"

#include <charconv>
#include <cstdint>
#include <exception>
#include <string>

namespace Brivox {

namespace {

// The object's address at the full width of a pointer (a shorter form would let two objects
// 4 GiB apart share a name), '@' and the process id, both in lower-case hexadecimal.
String UniqueName(const void* object)
{
    char digits[2 * sizeof(void*) + 1];
    const auto end =
        std::to_chars(digits, digits + sizeof(digits), reinterpret_cast<std::uintptr_t>(object), 16).ptr;
    std::wstring name(sizeof(digits) - 1 - static_cast<std::size_t>(end - digits), L'0');
    name.append(digits, end);
    return String(name) + FormatString(L"@%x", static_cast<unsigned>(::GetCurrentProcessId()));
}

} // namespace

CTempFile::CTempFile(const String& prefix, const String& extension)
    : CTempFile(GetTempPathString(), prefix, extension)
{
}

CTempFile::CTempFile(const String& root, const String& prefix, const String& extension)
    : root_(root), path_(CFileName(prefix + UniqueName(this) + L"." + extension, root).ToString()),
      owned_(true)
{
}

CTempFile::~CTempFile()
{
    try {
        Delete();
    } catch (const std::exception&) {
        // A file that another program holds open stays behind.
    }
}

void CTempFile::RefuseExisting() const
{
    if (FileExists(path_))
        throw IOException(L"テンポラリファイル '" + path_ + L"' の作成に失敗しました");
}

void CTempFile::WriteBytes(const char* bytes, std::size_t count)
{
    RefuseExisting();
    CStdFile file(path_, L"wb");
    if (count > 0) {
        file.Write(bytes, static_cast<int>(count));
        file.Flush();
    }
    file.Close();
}

void CTempFile::Write(const std::vector<char>& bytes)
{
    WriteBytes(bytes.data(), bytes.size());
}

void CTempFile::WriteText(const String& text)
{
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    WriteBytes(ansi.data(), ansi.size());
}

void CTempFile::MoveFrom(const String& source)
{
    RefuseExisting();
    MoveTree(source, path_);
}

void CTempFile::Delete()
{
    if (!owned_)
        return;
    if (FileExists(path_))
        DeleteTree(path_, false);
    owned_ = false;
}

CTempFolder::CTempFolder(const String& prefix) : CTempFolder(GetTempPathString(), prefix) {}

CTempFolder::CTempFolder(const String& root, const String& prefix)
    : root_(root), path_(CFileName(prefix + UniqueName(this) + L"\\", root).ToString())
{
}

CTempFolder::~CTempFolder()
{
    try {
        Delete();
    } catch (const std::exception&) {
        // What could not be deleted stays behind.
    }
}

void CTempFolder::Create()
{
    if (path_.Length() > 0)
        CreateDirectories(path_);
}

void CTempFolder::CreateNew()
{
    const String path = path_;
    if (path.Length() == 0)
        return;
    try {
        const String parent = CFileName::GetParent(path);
        if (parent.Length() > 0)
            CreateDirectories(parent);
    } catch (const std::exception&) {
        path_ = String();
        throw;
    }
    const BOOL created = CallWithApiText(
        CFileName::TrimTrailingSeparator(path),
        [](const wchar_t* p) { return ::CreateDirectoryW(p, nullptr); },
        [](const char* p) { return ::CreateDirectoryA(p, nullptr); });
    if (!created) {
        path_ = String();
        throw IOException(path + L"の作成に失敗しました");
    }
}

void CTempFolder::Delete()
{
    if (path_.Length() == 0)
        return;
    if (FileExists(path_))
        DeleteTree(path_, true);
    path_ = String();
}

void CTempFolder::Release()
{
    path_ = String();
}

} // namespace Brivox
