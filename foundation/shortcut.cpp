#include "foundation/shortcut.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/thread_state.h"
#include "foundation/win32.h"

#include <objbase.h>
#include <objidl.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <string>

namespace Brivox {

namespace {

// One interface pointer, released with the holder.
template <class Interface> class ComPointer
{
public:
    ComPointer() = default;
    ~ComPointer()
    {
        if (m_pointer)
            m_pointer->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return m_pointer; }
    void** Out() { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};

std::string Ansi(const String& text)
{
    return GetDefaultEncoding().ToMultiByte(text);
}

// A 1024-byte ANSI buffer that starts empty, filled by read, as a String.
template <class Read> String ReadText(Read read)
{
    char buffer[1024] = {};
    read(buffer, static_cast<int>(sizeof buffer));
    buffer[sizeof buffer - 1] = '\0';
    return GetDefaultEncoding().ToString(std::string(buffer));
}

void CreateShellLink(ComPointer<IShellLinkA>& link, const wchar_t* failure)
{
    if (FAILED(
            ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out())))
        throw RuntimeException(failure);
}

} // namespace

void CreateShortcut(const String& path, const ShortcutInfo& info)
{
    const ComScope com;
    ComPointer<IShellLinkA> link;
    CreateShellLink(link, L"ショートカットの作成に失敗しました");
    link->SetPath(Ansi(info.targetPath).c_str());
    if (info.arguments.Length() > 0)
        link->SetArguments(Ansi(info.arguments).c_str());
    if (info.description.Length() > 0)
        link->SetDescription(Ansi(info.description).c_str());
    if (info.workingDirectory.Length() > 0)
        link->SetWorkingDirectory(Ansi(info.workingDirectory).c_str());
    if (info.iconFile.Length() > 0)
        link->SetIconLocation(Ansi(info.iconFile).c_str(), info.iconIndex);
    if (info.showCommand != 1)
        link->SetShowCmd(info.showCommand);

    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out())))
        throw RuntimeException(L"ショートカットファイルの作成に失敗しました");
    if (FAILED(file->Save(path.CStr(), TRUE)))
        throw RuntimeException(L"ショートカットファイルの書き出しに失敗しました");
}

ShortcutInfo ReadShortcut(const String& path)
{
    ShortcutInfo info;
    const ComScope com;
    ComPointer<IShellLinkA> link;
    CreateShellLink(link, L"ショートカットの読み込み準備に失敗しました");
    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out())))
        throw RuntimeException(L"ショートカットファイルの読み込み準備に失敗しました");
    if (FAILED(file->Load(path.CStr(), STGM_READ)))
        throw RuntimeException(L"ショートカットファイル '" + path + L"' の読み込みに失敗しました");

    info.targetPath =
        ReadText([&](char* buffer, int size) { link->GetPath(buffer, size, nullptr, SLGP_UNCPRIORITY); });
    info.arguments = ReadText([&](char* buffer, int size) { link->GetArguments(buffer, size); });
    info.description = ReadText([&](char* buffer, int size) { link->GetDescription(buffer, size); });
    info.workingDirectory =
        ReadText([&](char* buffer, int size) { link->GetWorkingDirectory(buffer, size); });
    info.iconFile =
        ReadText([&](char* buffer, int size) { link->GetIconLocation(buffer, size, &info.iconIndex); });
    link->GetShowCmd(&info.showCommand);
    return info;
}

} // namespace Brivox
