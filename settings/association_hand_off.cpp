#include "settings/association_hand_off.h"

#include "foundation/command_line.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/random.h"
#include "foundation/shell.h"
#include "foundation/win32.h"

#include <cstdint>
#include <string>

namespace Brivox {

namespace {

class SystemRegistrarHost : public IRegistrarHost
{
public:
    String GetRegistrarFolder() override { return CFileName::ExecutableDirectory(); }
    bool IsUserAdmin() override { return Brivox::IsUserAdmin(false); }
    std::shared_ptr<Process> Start(const ProcessStartInfo& startInfo) override
    {
        return Process::Start(startInfo);
    }
};

// A name nobody can foresee, so that no other user can put a file of their own in its place
// first.
String RandomFileName()
{
    std::uint32_t words[2] = {};
    if (!GetCryptRandomSource().Generate(words, sizeof(words)))
        throw IOException(L"関連付け用の一時ファイル名を作れませんでした");
    return FormatString(L"rel%08x%08x.cfg", static_cast<unsigned>(words[0]), static_cast<unsigned>(words[1]));
}

void DeleteQuietly(const String& path)
{
    CallWithApiText(
        path, [](const wchar_t* name) { return ::DeleteFileW(name); },
        [](const char* name) { return ::DeleteFileA(name); });
}

// Closes the handle; deletes the file too when the write did not finish.
class NewFile
{
public:
    explicit NewFile(const String& path) : m_path(path)
    {
        m_handle = CallWithApiText(
            path,
            [](const wchar_t* name) {
                return ::CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
            },
            [](const char* name) {
                return ::CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
            });
        if (m_handle == INVALID_HANDLE_VALUE)
            throw Win32Exception(L"テンポラリファイル '" + path + L"' の作成に失敗しました");
    }
    ~NewFile()
    {
        ::CloseHandle(m_handle);
        if (!m_complete)
            DeleteQuietly(m_path);
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    void Write(const std::string& bytes)
    {
        DWORD written = 0;
        if (!::WriteFile(m_handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size())
            throw Win32Exception(L"テンポラリファイル '" + m_path + L"' の書き込みに失敗しました");
        m_complete = true;
    }

private:
    String m_path;
    HANDLE m_handle;
    bool m_complete = false;
};

} // namespace

IRegistrarHost& GetSystemRegistrarHost()
{
    static SystemRegistrarHost host;
    return host;
}

CAssociationHandOffFile::CAssociationHandOffFile(const CKeyValueFile& store)
    : CAssociationHandOffFile(GetTempPathString(), store)
{
}

CAssociationHandOffFile::CAssociationHandOffFile(const String& folder, const CKeyValueFile& store)
    : m_path(CFileName(RandomFileName(), folder).ToString())
{
    NewFile file(m_path);
    file.Write(GetDefaultEncoding().ToMultiByte(store.Serialize()));
}

CAssociationHandOffFile::~CAssociationHandOffFile()
{
    DeleteQuietly(m_path);
}

void RunAssociationRegistrar(const CKeyValueFile& store, IRegistrarHost& host)
{
    const CAssociationHandOffFile file(store);
    ProcessStartInfo startInfo(CFileName(L"Kanolink.exe", host.GetRegistrarFolder()).ToString(),
                               file.GetPath());
    if (!host.IsUserAdmin())
        startInfo.Verb = L"runas";
    const std::shared_ptr<Process> process = host.Start(startInfo);
    if (!process)
        throw RuntimeException(L"関連付け処理に失敗しました");
    // The dialog's thread stops here until the registrar is done: the file must outlive its run.
    ::WaitForSingleObject(process->GetProcessHandle(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process->GetProcessHandle(), &exitCode))
        throw Win32Exception(L"関連付け処理に失敗しました");
    NotifyAssocChanged();
    if (exitCode != 0)
        throw RuntimeException(FormatString(L"関連付け処理に失敗しました (終了コード %lu)",
                                            static_cast<unsigned long>(exitCode)));
}

} // namespace Brivox
