#pragma once
// The Susie plug-ins of one folder and the host that swaps in a new set when the folder changes.

#include "formats/susie_interface.h"
#include "foundation/dynamic_library.h"
#include "foundation/file_name.h"
#include "foundation/object_pool.h"

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace Brivox {

// The plug-ins ("*.spi") loaded from one folder, in the folder's directory order; index i in
// every operation is a position in that order. A set never changes once made: a new folder makes
// a new set (CSpiHost), and whoever holds a set keeps its DLLs loaded. The set has no lock; the
// callers serialise their calls into the plug-ins.
class CSpi
{
public:
    // No folder, no plug-ins.
    CSpi();
    // Loads every file of the folder whose extension is "spi", by its full path, so that a
    // plug-in finds the DLLs that lie beside it. A folder without a trailing separator names
    // that folder, not its parent. A folder that is missing or cannot be listed
    // gives an empty set; a file that does not load is skipped.
    explicit CSpi(const String& folder);
    ~CSpi();
    CSpi(const CSpi&) = delete;
    CSpi& operator=(const CSpi&) = delete;

    // The folder as loaded, ending with a separator (empty for the empty set).
    const String& GetFolder() const { return m_folder; }
    int GetCount() const;
    // The DLL's file name without folder and extension: "C:\spi\ifjpeg.spi" gives "ifjpeg".
    String GetPluginName(int i) const;

    // The plug-in's export of that name; a missing one throws EntryPointNotFoundException naming
    // the DLL's path and the export.
    SpiGetPluginInfoProc GetPluginInfo(int i) const;
    SpiIsSupportedProc GetIsSupported(int i) const;
    SpiGetPictureInfoProc GetGetPictureInfo(int i) const;
    SpiGetPictureProc GetGetPicture(int i) const;
    SpiGetArchiveInfoProc GetGetArchiveInfo(int i) const;
    SpiGetFileProc GetGetFile(int i) const;
    SpiConfigurationDlgProc GetConfigurationDlg(int i) const;

    // The kind named by the plug-in's API version text ("00IN", "00AM"): its third character,
    // when the plug-in gives at least four. A plug-in without GetPluginInfo throws as above.
    bool IsImagePlugin(int i) const;
    bool IsArchivePlugin(int i) const;

    // A plug-in is asked for at most this many formats: one that answers every number must not
    // hold its caller for ever.
    static constexpr int maxFormats = 256;
    // The file pattern lists of the plug-in's formats ("*.jpg;*.jpeg"), GetPluginInfo 2n + 2, each
    // ended where the plug-in says; the list stops at the first format it does not name.
    std::vector<String> GetFormatPatterns(int i) const;
    // The descriptions of the plug-in's formats, GetPluginInfo 2n + 3, in the same way.
    std::vector<String> GetFormatDescriptions(int i) const;

private:
    const CDynamicLibrary& At(int i) const;
    void* GetExportAddress(int i, const wchar_t* name) const;
    template <class F> F GetExport(int i, const wchar_t* name) const
    {
        return reinterpret_cast<F>(GetExportAddress(i, name));
    }
    bool IsKind(int i, char kind) const;

    String m_folder;
    std::vector<std::unique_ptr<CDynamicLibrary>> m_plugins;
};

// The plug-in set of the viewer, shared by the main window and the Susie loader and archiver
// factories. Readers take the current set and keep it for as long as they call into it: a new
// folder swaps in a new set, and the old DLLs stay loaded until the last reader lets go.
class CSpiHost
{
public:
    // Starts with the empty set.
    CSpiHost();
    CSpiHost(const CSpiHost&) = delete;
    CSpiHost& operator=(const CSpiHost&) = delete;

    // Loads the folder's plug-ins into a new set and swaps it in, unless the folder is the one
    // loaded now (letter case ignored, with or without a trailing separator).
    void Load(const CFileName& folder);
    // The set loaded now.
    std::shared_ptr<const CSpi> GetSpi() const;

private:
    std::mutex m_loading; // one Load at a time
    mutable std::mutex m_lock;
    std::shared_ptr<const CSpi> m_spi;
};

// Makes the products of the Susie formats (decoders, archive readers) on the plug-in set loaded at
// the time; each keeps its set, and so its DLLs, while it lives.
template <class Interface, class Product> class CSpiFactory : public IFactory<Interface>
{
public:
    explicit CSpiFactory(std::shared_ptr<CSpiHost> host) : m_host(std::move(host)) {}
    std::shared_ptr<Interface> Create() override { return std::make_shared<Product>(m_host->GetSpi()); }

private:
    std::shared_ptr<CSpiHost> m_host;
};

// The folder of an installed Susie, from HKEY_CURRENT_USER "Software\Zumotan\Susie\InstallRoot",
// ending with a separator; empty when there is none or it cannot be read.
String GetSusieInstallRoot();

} // namespace Brivox
