#pragma once
// Folders of the test plug-ins that the build places next to the test program, and a look inside a
// loaded fake.

#include "plugin_fakes.h"

#include "formats/susie_plugin.h"
#include "foundation/file_name.h"
#include "foundation/file_test_support.h"
#include "foundation/string.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace PluginTestSupport {

using Brivox::CFileName;
using Brivox::String;

inline const wchar_t* const imagePlugin = L"kanoru_spi_image.dll";
inline const wchar_t* const archivePlugin = L"kanoru_spi_archive.dll";

inline String ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return CFileName::GetDirectory(path);
}

inline void CopyBuilt(const wchar_t* built, const String& destination)
{
    ASSERT_TRUE(::CopyFileW((ProgramFolder() + built).CStr(), destination.CStr(), FALSE))
        << FileTestSupport::Ansi(destination);
}

// The names of a folder's "*.spi" files, without extension, in the order the directory search
// gives them: the order in which a plug-in set loads them.
inline std::vector<String> SpiFilesInDirectoryOrder(const String& folder)
{
    std::vector<String> names;
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((folder + L"*").CStr(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const String name = data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            CFileName::GetLowerExtension(name) == L"spi")
            names.push_back(CFileName::GetFileNameWithoutExtension(name));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return names;
}

// An export of a module already loaded, by the file name or path it was loaded by.
template <class F> F ModuleExport(const String& module, const char* name)
{
    HMODULE handle = ::GetModuleHandleW(module.CStr());
    EXPECT_NE(handle, nullptr) << FileTestSupport::Ansi(module);
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(handle, name)));
}

// What the fake Susie plug-in loaded from that path saw.
inline PluginFakes::SSpiProbe& SpiProbe(const String& path)
{
    return *ModuleExport<PluginFakes::SpiProbeProc>(path, "KanoruSpiProbe")();
}

class PluginFolderTest : public FileTestSupport::TempFolderTest
{
protected:
    // A new folder below the test's folder, with a trailing separator.
    String MakeFolderAt(const wchar_t* name)
    {
        const String folder = At(name) + L"\\";
        FileTestSupport::MakeFolder(folder);
        return folder;
    }

    // The set of the given built plug-ins, loaded in the given order from a new folder; `paths`
    // then names them in that order.
    std::shared_ptr<const Brivox::CSpi> LoadSet(const std::vector<const wchar_t*>& built,
                                                const wchar_t* name = L"spi")
    {
        return std::make_shared<const Brivox::CSpi>(MakeOrderedPluginFolder(name, built, paths));
    }

    // A folder below the test's folder holding the given built plug-ins under the given names.
    String MakePluginFolder(const wchar_t* name,
                            const std::vector<std::pair<const wchar_t*, const wchar_t*>>& files)
    {
        const String folder = At(name) + L"\\";
        FileTestSupport::MakeFolder(folder);
        for (const auto& [built, fileName] : files)
            CopyBuilt(built, folder + fileName);
        return folder;
    }

    // A folder whose plug-ins load in the given order: empty files take the names first, and the
    // plug-ins then go over them in the directory's order. The paths come in the given order.
    String MakeOrderedPluginFolder(const wchar_t* name, const std::vector<const wchar_t*>& built,
                                   std::vector<String>& paths)
    {
        const String folder = MakePluginFolder(name, {});
        for (std::size_t i = 0; i < built.size(); ++i)
            FileTestSupport::WriteText(folder + L"p" + String(std::to_wstring(i)) + L".spi", "");
        const std::vector<String> order = SpiFilesInDirectoryOrder(folder);
        paths.clear();
        for (std::size_t i = 0; i < built.size() && i < order.size(); ++i) {
            paths.push_back(folder + order[i] + L".spi");
            CopyBuilt(built[i], paths.back());
        }
        return folder;
    }

    std::vector<String> paths; // of the plug-ins of the last LoadSet, in load order
};

} // namespace PluginTestSupport
