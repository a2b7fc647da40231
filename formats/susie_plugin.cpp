#include "formats/susie_plugin.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_system.h"
#include "foundation/reg_key.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace Brivox {

namespace {

// Every file of the folder, none below it, in the directory's order; empty when it cannot be
// listed.
std::vector<String> ListFolderFiles(const String& folder)
{
    try {
        if (IsDirectory(folder))
            return ListFiles(folder, 0);
    } catch (const std::exception&) {
    }
    return {};
}

} // namespace

CSpi::CSpi() = default;

CSpi::CSpi(const String& folder) : m_folder(CFileName::AppendSeparator(folder))
{
    for (const String& file : ListFolderFiles(m_folder)) {
        if (CFileName::GetLowerExtension(file) != L"spi")
            continue;
        try {
            // By full path with the altered search path: the DLLs a plug-in imports are looked
            // for in its own folder first, without changing the process's current folder, which
            // every other thread shares.
            m_plugins.push_back(std::make_unique<CDynamicLibrary>(file, true, LOAD_WITH_ALTERED_SEARCH_PATH));
        } catch (const std::exception&) {
            // Not a DLL, a missing dependency, another processor: the plug-in is left out.
        }
    }
}

CSpi::~CSpi() = default;

int CSpi::GetCount() const
{
    return static_cast<int>(m_plugins.size());
}

const CDynamicLibrary& CSpi::At(int i) const
{
    return *m_plugins.at(static_cast<std::size_t>(i));
}

String CSpi::GetPluginName(int i) const
{
    return CFileName::GetFileNameWithoutExtension(At(i).GetName());
}

void* CSpi::GetExportAddress(int i, const wchar_t* name) const
{
    const CDynamicLibrary& plugin = At(i);
    void* address = plugin.TryGetProc(name);
    if (!address)
        throw EntryPointNotFoundException(plugin.GetName() + L" から '" + name + L"' の取得に失敗");
    return address;
}

SpiGetPluginInfoProc CSpi::GetPluginInfo(int i) const
{
    return GetExport<SpiGetPluginInfoProc>(i, L"GetPluginInfo");
}

SpiIsSupportedProc CSpi::GetIsSupported(int i) const
{
    return GetExport<SpiIsSupportedProc>(i, L"IsSupported");
}

SpiGetPictureInfoProc CSpi::GetGetPictureInfo(int i) const
{
    return GetExport<SpiGetPictureInfoProc>(i, L"GetPictureInfo");
}

SpiGetPictureProc CSpi::GetGetPicture(int i) const
{
    return GetExport<SpiGetPictureProc>(i, L"GetPicture");
}

SpiGetArchiveInfoProc CSpi::GetGetArchiveInfo(int i) const
{
    return GetExport<SpiGetArchiveInfoProc>(i, L"GetArchiveInfo");
}

SpiGetFileProc CSpi::GetGetFile(int i) const
{
    return GetExport<SpiGetFileProc>(i, L"GetFile");
}

SpiConfigurationDlgProc CSpi::GetConfigurationDlg(int i) const
{
    return GetExport<SpiConfigurationDlgProc>(i, L"ConfigurationDlg");
}

bool CSpi::IsKind(int i, char kind) const
{
    char version[16] = {};
    return GetPluginInfo(i)(0, version, 5) >= 4 && version[2] == kind;
}

bool CSpi::IsImagePlugin(int i) const
{
    return IsKind(i, SpiImageKind);
}

bool CSpi::IsArchivePlugin(int i) const
{
    return IsKind(i, SpiArchiveKind);
}

std::vector<String> CSpi::GetFormatPatterns(int i) const
{
    const SpiGetPluginInfoProc getPluginInfo = GetPluginInfo(i);
    std::vector<String> patterns;
    for (int n = 0; n < maxFormats; ++n) {
        char text[128] = {};
        const int length = getPluginInfo(2 * n + 2, text, 127);
        if (length <= 0)
            break;
        // The returned length, but never past the buffer or its first zero byte.
        patterns.push_back(
            GetDefaultEncoding().ToString(std::string(text, ::strnlen(text, std::min(length, 127)))));
    }
    return patterns;
}

std::vector<String> CSpi::GetFormatDescriptions(int i) const
{
    const SpiGetPluginInfoProc getPluginInfo = GetPluginInfo(i);
    std::vector<String> descriptions;
    for (int n = 0; n < maxFormats; ++n) {
        char text[256] = {};
        if (getPluginInfo(2 * n + 3, text, 256) == 0)
            break;
        descriptions.push_back(
            GetDefaultEncoding().ToString(std::string(text, ::strnlen(text, sizeof(text)))));
    }
    return descriptions;
}

CSpiHost::CSpiHost() : m_spi(std::make_shared<const CSpi>()) {}

void CSpiHost::Load(const CFileName& folder)
{
    std::lock_guard<std::mutex> loading(m_loading);
    const String wanted = CFileName::AppendSeparator(folder);
    if (wanted.EqualsIgnoreCase(GetSpi()->GetFolder()))
        return;
    std::shared_ptr<const CSpi> spi = std::make_shared<const CSpi>(wanted);
    std::lock_guard<std::mutex> lock(m_lock);
    // The old set goes when its last reader lets go of it, perhaps right here.
    std::swap(m_spi, spi);
}

std::shared_ptr<const CSpi> CSpiHost::GetSpi() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_spi;
}

String GetSusieInstallRoot()
{
    const String key = L"Software\\Zumotan\\Susie\\InstallRoot";
    try {
        if (!RegKeyExists(HKEY_CURRENT_USER, key))
            return String();
        CRegKey installRoot;
        installRoot.Open(HKEY_CURRENT_USER, key, false);
        return CFileName::AppendSeparator(installRoot.QueryString(String()));
    } catch (const std::exception&) {
        return String();
    }
}

} // namespace Brivox
