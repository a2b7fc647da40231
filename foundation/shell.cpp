#include "foundation/shell.h"

#include "foundation/dynamic_library.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_system.h"
#include "foundation/reg_key.h"
#include "foundation/temp_file.h"

#include <shellapi.h>
#include <shlobj.h>

#include <exception>
#include <string>

namespace Brivox {

String GetPathFromIDList(LPCITEMIDLIST list)
{
    if (IsWindowsNT()) {
        wchar_t path[MAX_PATH] = {};
        return ::SHGetPathFromIDListW(list, path) ? String(path) : String();
    }
    char path[MAX_PATH] = {};
    return ::SHGetPathFromIDListA(list, path) ? FromApiTextA(path) : String();
}

String GetSpecialFolder(int folder, const String& folderName)
{
    LPITEMIDLIST list = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, folder, &list)))
        throw RuntimeException(folderName + L"フォルダの取得に失敗しました");
    String path = GetPathFromIDList(list);
    ::CoTaskMemFree(list);
    if (!path.EndsWith(L"\\"))
        path += L"\\";
    return path;
}

String GetSendToFolder()
{
    return GetSpecialFolder(CSIDL_SENDTO, L"SendTo");
}

String GetExtensionProgId(const String& extension)
{
    try {
        CRegKey key;
        key.Open(HKEY_CLASSES_ROOT, L"." + extension, false);
        return key.QueryString(L"");
    } catch (const std::exception&) {
        return String();
    }
}

bool IsExtensionProgId(const String& extension, const String& progId)
{
    try {
        return GetExtensionProgId(extension) == progId;
    } catch (const std::exception&) {
        return false;
    }
}

bool ShellVerbExists(const String& progId, const String& verb)
{
    try {
        CRegKey key;
        key.Open(HKEY_CLASSES_ROOT, progId + L"\\Shell\\" + verb, false);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void NotifyAssocChanged()
{
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

String FindAssociatedApplication(const String& extension)
{
    // The shell answers for an existing file only: an empty one of that extension stands in.
    CTempFile file(L"", extension);
    file.Write({});
    // The shell does not always set an error of its own; none is better than a stale one.
    ::SetLastError(0);
    INT_PTR result;
    String program;
    if (IsWindowsNT()) {
        wchar_t found[MAX_PATH] = {};
        result = reinterpret_cast<INT_PTR>(::FindExecutableW(file.GetPath().CStr(), nullptr, found));
        program = found;
    } else {
        char found[MAX_PATH] = {};
        const std::string path = GetDefaultEncoding().ToMultiByte(file.GetPath());
        result = reinterpret_cast<INT_PTR>(::FindExecutableA(path.c_str(), nullptr, found));
        program = FromApiTextA(found);
    }
    const String failure = L"." + extension + L" に関連付けされたアプリケーションの取得に失敗";
    if (result <= 32) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, failure);
    }
    if (!IsFile(program))
        throw RuntimeException(failure + L"しました");
    return program;
}

namespace {

// One SHFileOperation deleting the list (each name ended by a NUL, one more NUL after the last);
// false when the shell reports a failure or a cancel.
template <class Char, class Record>
bool DeleteThroughShell(const std::basic_string<Char>& list, UINT flags, HWND owner,
                        int(WINAPI* operate)(Record*))
{
    Record operation = {};
    operation.hwnd = owner;
    operation.wFunc = FO_DELETE;
    operation.pFrom = list.c_str();
    operation.fFlags = static_cast<FILEOP_FLAGS>(flags);
    return operate(&operation) == 0 && !operation.fAnyOperationsAborted;
}

} // namespace

void DeleteToRecycleBin(const std::vector<String>& paths, bool confirm, HWND owner)
{
    if (paths.empty())
        return;
    // A path that is missing from the start fails even when the shell does not say so.
    std::vector<bool> missing;
    for (const String& path : paths)
        missing.push_back(!FileExists(path));

    const UINT flags = FOF_ALLOWUNDO | (confirm ? 0 : FOF_NOCONFIRMATION);
    bool deleted;
    if (IsWindowsNT()) {
        std::wstring list;
        for (const String& path : paths)
            list.append(path.CStr(), static_cast<std::size_t>(path.Length())).push_back(L'\0');
        deleted = DeleteThroughShell(list, flags, owner, &::SHFileOperationW);
    } else {
        std::string list;
        for (const String& path : paths)
            list.append(GetDefaultEncoding().ToMultiByte(path)).push_back('\0');
        deleted = DeleteThroughShell(list, flags, owner, &::SHFileOperationA);
    }
    std::vector<String> failures;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (missing[i] || (!deleted && FileExists(paths[i])))
            failures.push_back(paths[i] + L"の削除に失敗しました");
    }
    if (!failures.empty())
        throw IOException(JoinStrings(L"\r\n", failures));
}

void DeleteToRecycleBin(const String& path, bool confirm, HWND owner)
{
    DeleteToRecycleBin(std::vector<String>{path}, confirm, owner);
}

bool IsUserAdmin(bool defaultValue)
{
    CDynamicLibrary shell(L"shell32.dll", false);
    auto isUserAnAdmin = shell.TryGetProc<BOOL(WINAPI*)()>(L"IsUserAnAdmin");
    if (!isUserAnAdmin)
        return defaultValue;
    return isUserAnAdmin() != FALSE;
}

} // namespace Brivox
