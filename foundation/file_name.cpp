#include "foundation/file_name.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/string_builder.h"
#include "foundation/win32.h"

#include <algorithm>
#include <string>
#include <vector>

namespace Brivox {

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsDriveRoot(const String& path)
{
    return path.Length() == 3 && path[1] == L':';
}

// Length of the root that ".." never climbs above: "C:\" or "\\server\share\"; 0 for a name
// without one. folder ends with a separator.
int RootLength(const String& folder)
{
    const int length = folder.Length();
    if (length >= 3 && folder[1] == L':' && IsSeparator(folder[2]))
        return 3;
    if (length >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
        int separators = 0;
        for (int k = 2; k < length; ++k) {
            if (IsSeparator(folder[k]) && ++separators == 2)
                return k + 1;
        }
        return length;
    }
    return 0;
}

// ExpandEnvironmentStrings in either form: the answer counts the NUL, and a buffer too small
// gets the size the system asks for.
template <typename Char, typename Expand>
std::basic_string<Char> ExpandWith(Expand expand, const std::basic_string<Char>& text, const String& name)
{
    std::vector<Char> buffer(std::max<std::size_t>(text.size() + 1, MAX_PATH));
    // The environment may grow between two calls: a few rounds, not one.
    for (int round = 0; round < 4; ++round) {
        const DWORD needed = expand(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (needed == 0)
            break;
        if (needed <= buffer.size())
            return std::basic_string<Char>(buffer.data());
        buffer.resize(needed);
    }
    throw Win32Exception(L"ファイル名 '" + name + L"' 中の環境変数の置換に失敗");
}

// GetCurrentDirectory in either form: the length on success, or the size needed with its NUL.
template <typename Char> std::basic_string<Char> CurrentDirectoryText(DWORD(WINAPI* query)(DWORD, Char*))
{
    std::vector<Char> buffer(MAX_PATH);
    for (int round = 0; round < 4; ++round) {
        const DWORD length = query(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length < buffer.size())
            return std::basic_string<Char>(buffer.data(), length);
        buffer.resize(length);
    }
    return {};
}

} // namespace

String GetExecutableDirectory()
{
    // A path that fills the buffer may have been cut: ask again with a larger one.
    std::vector<char> buffer(MAX_PATH);
    DWORD length = 0;
    while ((length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) ==
           buffer.size())
        buffer.resize(buffer.size() * 2);
    const String path = FromApiTextA(std::string(buffer.data(), length));
    const int separator = CFileName::FindLastSeparator(path);
    if (separator < 0)
        throw RuntimeException(L"実行ファイルのファイル名にディレクトリ区切り文字 L'\\' がありません");
    return path.Substring(0, separator + 1);
}

String GetCurrentDirectoryString()
{
    if (IsWindowsNT())
        return String(CurrentDirectoryText<wchar_t>(&::GetCurrentDirectoryW));
    return FromApiTextA(CurrentDirectoryText<char>(&::GetCurrentDirectoryA));
}

String GetCurrentDirectoryWithSeparator()
{
    const String folder = GetCurrentDirectoryString();
    if (folder.Length() > 0 && folder[folder.Length() - 1] == L'\\')
        return folder;
    return folder + L"\\";
}

bool SetCurrentDirectoryString(const String& path)
{
    return CallWithApiText(
               path, [](const wchar_t* p) { return ::SetCurrentDirectoryW(p); },
               [](const char* p) { return ::SetCurrentDirectoryA(p); }) != FALSE;
}

String ExpandEnvironmentInPath(const String& text)
{
    return IsWindowsNT() ? ExpandEnvironmentStringsW(text) : ExpandEnvironmentStringsA(text);
}

String ExpandEnvironmentStringsW(const String& text)
{
    return String(
        ExpandWith<wchar_t>(&::ExpandEnvironmentStringsW, std::wstring(text.CStr(), text.Length()), text));
}

String ExpandEnvironmentStringsA(const String& text)
{
    return FromApiTextA(
        ExpandWith<char>(&::ExpandEnvironmentStringsA, GetDefaultEncoding().ToMultiByte(text), text));
}

CFileName::CFileName(const String& name) : path_(Resolve(name, String())) {}

CFileName::CFileName(const String& name, const String& base) : path_(Resolve(name, base)) {}

CFileName CFileName::FromExecutableDirectory(const String& name)
{
    return CFileName(name, ExecutableDirectory());
}

CFileName CFileName::FromCurrentDirectory(const String& name)
{
    return CFileName(name, CurrentDirectory());
}

const String& CFileName::ExecutableDirectory()
{
    static const String folder = GetExecutableDirectory();
    return folder;
}

String CFileName::CurrentDirectory()
{
    return GetCurrentDirectoryWithSeparator();
}

String CFileName::Resolve(const String& name, const String& base)
{
    const String expanded = ExpandEnvironmentInPath(name);
    if (base.Length() == 0 || !IsRelative(expanded))
        return ToBackslashes(expanded);

    const String folder = AppendSeparator(base);
    const int root = RootLength(folder);
    const int length = expanded.Length();
    StringBuilder builder;
    int k = 0;
    if (length > 0 && IsSeparator(expanded[0])) {
        // A rooted name "\a" starts at the root of the base's drive or share.
        if (root == 0)
            return ToBackslashes(expanded);
        builder.Append(folder.Substring(0, root));
        k = 1;
    } else {
        builder.Append(folder);
    }

    // "." and ".." are steps only as whole segments ("a.\b" is a name); a last segment without
    // a separator after it stays as written.
    while (k < length) {
        const wchar_t c = expanded[k];
        const bool segmentStart = k == 0 || IsSeparator(expanded[k - 1]);
        if (IsSeparator(c)) {
            builder.Append(L'\\');
            k += 1;
        } else if (segmentStart && c == L'.' && k + 2 < length && expanded[k + 1] == L'.' &&
                   IsSeparator(expanded[k + 2])) {
            if (builder.Length() > root) {
                const int separator = FindLastSeparator(TrimTrailingSeparator(builder.ToString()));
                if (separator < 0)
                    return expanded;
                const int keep = std::max(separator + 1, root);
                builder.Remove(keep, builder.Length() - keep);
            }
            k += 3;
        } else if (segmentStart && c == L'.' && k + 1 < length && IsSeparator(expanded[k + 1])) {
            k += 2;
        } else {
            builder.Append(c);
            k += 1;
        }
    }
    return builder.ToString();
}

bool CFileName::IsRelative(const String& path)
{
    if (path.Length() < 3)
        return true;
    return !(path[1] == L':' || (IsSeparator(path[0]) && IsSeparator(path[1])));
}

bool CFileName::EndsWithSeparator(const String& path)
{
    return path.Length() > 0 && IsSeparator(path[path.Length() - 1]);
}

int CFileName::FindLastSeparator(const String& path)
{
    for (int k = path.Length() - 1; k >= 0; --k) {
        if (IsSeparator(path[k]))
            return k;
    }
    return -1;
}

int CFileName::FindExtensionDot(const String& path)
{
    for (int k = path.Length() - 1; k >= 0 && !IsSeparator(path[k]); --k) {
        if (path[k] == L'.')
            return k;
    }
    return -1;
}

String CFileName::GetDirectory(const String& path)
{
    return path.Substring(0, FindLastSeparator(path) + 1);
}

String CFileName::GetFileName(const String& path)
{
    return path.Substring(FindLastSeparator(path) + 1);
}

String CFileName::GetExtension(const String& path)
{
    const int dot = FindExtensionDot(path);
    return dot < 0 ? String() : path.Substring(dot + 1);
}

String CFileName::GetLowerExtension(const String& path)
{
    return GetExtension(path).ToLower();
}

String CFileName::GetFileNameWithoutExtension(const String& path)
{
    const String name = GetFileName(path);
    const int dot = FindExtensionDot(name);
    return dot < 0 ? name : name.Substring(0, dot);
}

String CFileName::ChangeExtension(const String& path, const String& extension)
{
    const int dot = FindExtensionDot(path);
    if (dot <= 0)
        return extension.Length() == 0 ? path : path + L"." + extension;
    if (extension.Length() == 0)
        return path.Substring(0, dot);
    return path.Substring(0, dot + 1) + extension;
}

String CFileName::TrimTrailingSeparator(const String& path)
{
    if (!EndsWithSeparator(path) || IsDriveRoot(path))
        return path;
    return path.Substring(0, path.Length() - 1);
}

String CFileName::RemoveTrailingSeparator(const String& path)
{
    return EndsWithSeparator(path) ? path.Substring(0, path.Length() - 1) : path;
}

String CFileName::AppendSeparator(const String& path)
{
    return path.Length() == 0 || EndsWithSeparator(path) ? path : path + L"\\";
}

String CFileName::ToBackslashes(const String& path)
{
    return path.Replace(L'/', L'\\');
}

String CFileName::GetParent(const String& path)
{
    if (path.Length() == 0 || IsDriveRoot(path))
        return String();
    return GetDirectory(TrimTrailingSeparator(path));
}

String CFileName::GetParentFolderName(const String& path)
{
    const String folder = GetDirectory(path);
    if (folder.Length() == 0 || IsDriveRoot(folder))
        return String();
    return GetFileName(TrimTrailingSeparator(folder));
}

} // namespace Brivox
