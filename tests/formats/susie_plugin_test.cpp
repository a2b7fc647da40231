#include "formats/susie_plugin.h"

#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "foundation/registry_test_support.h"
#include "foundation/string.h"
#include "plugin_test_support.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace FileTestSupport;
using Brivox::CFileName;
using Brivox::CSpi;
using Brivox::CSpiHost;
using Brivox::String;

namespace {

using namespace PluginTestSupport;

const wchar_t* const neitherPlugin = L"kanoru_spi_neither.dll";
const wchar_t* const noInfoPlugin = L"kanoru_spi_no_info.dll";

bool IsLoaded(const String& path)
{
    return ::GetModuleHandleW(path.CStr()) != nullptr;
}

std::vector<String> PluginNames(const CSpi& spi)
{
    std::vector<String> names;
    for (int i = 0; i < spi.GetCount(); ++i)
        names.push_back(spi.GetPluginName(i));
    return names;
}

using SusiePluginTest = PluginFolderTest;

} // namespace

TEST_F(SusiePluginTest, LoadsTheSpiFilesOfTheFolderInDirectoryOrder)
{
    const String folder = MakePluginFolder(L"spi", {{imagePlugin, L"ifjpeg.spi"},
                                                    {archivePlugin, L"axzip.SPI"},
                                                    {imagePlugin, L"other.dll"},
                                                    {imagePlugin, L"spi"}});
    MakeFolder(folder + L"folder.spi"); // a folder, not a plug-in

    const CSpi spi(folder);
    EXPECT_EQ(spi.GetFolder(), folder);
    EXPECT_EQ(PluginNames(spi), SpiFilesInDirectoryOrder(folder));
    ASSERT_EQ(spi.GetCount(), 2);
    for (int i = 0; i < spi.GetCount(); ++i) {
        const bool image = spi.GetPluginName(i) == L"ifjpeg";
        EXPECT_EQ(spi.IsImagePlugin(i), image) << i;
        EXPECT_EQ(spi.IsArchivePlugin(i), !image) << i;
    }
    EXPECT_TRUE(IsLoaded(folder + L"ifjpeg.spi"));
    EXPECT_FALSE(IsLoaded(folder + L"other.dll"));

    // Without its trailing separator the folder still names itself, not its parent.
    const CSpi again(CFileName::TrimTrailingSeparator(folder));
    EXPECT_EQ(again.GetFolder(), folder);
    EXPECT_EQ(PluginNames(again), PluginNames(spi));
}

TEST_F(SusiePluginTest, TellsThePluginKindsByTheirVersionText)
{
    struct Case
    {
        const wchar_t* built;
        bool image, archive;
    };
    // The plug-in of no kind writes "00I" and returns 3: too short, whatever its third character.
    const Case cases[] = {
        {imagePlugin, true, false}, {archivePlugin, false, true}, {neitherPlugin, false, false}};
    for (const Case& c : cases) {
        const String folder = MakePluginFolder(c.built, {{c.built, L"plugin.spi"}});
        const CSpi spi(folder);
        ASSERT_EQ(spi.GetCount(), 1) << Ansi(c.built);
        EXPECT_EQ(spi.IsImagePlugin(0), c.image) << Ansi(c.built);
        EXPECT_EQ(spi.IsArchivePlugin(0), c.archive) << Ansi(c.built);
    }
}

TEST_F(SusiePluginTest, MissingExportThrowsWithThePluginPathAndTheExportName)
{
    const String folder = MakePluginFolder(L"spi", {{noInfoPlugin, L"noinfo.spi"}});
    const CSpi spi(folder);
    ASSERT_EQ(spi.GetCount(), 1);
    const std::string expected = Ansi(folder + L"noinfo.spi から 'GetPluginInfo' の取得に失敗") + " : " +
                                 SystemText(ERROR_PROC_NOT_FOUND);
    for (auto call : {+[](const CSpi& s) { s.GetPluginInfo(0); }, +[](const CSpi& s) { s.IsImagePlugin(0); },
                      +[](const CSpi& s) { s.IsArchivePlugin(0); }}) {
        try {
            call(spi);
            ADD_FAILURE() << "no exception";
        } catch (const Brivox::EntryPointNotFoundException& e) {
            EXPECT_EQ(std::string(e.what()), expected);
        }
    }
    // The plug-in's other exports are still there.
    EXPECT_NE(spi.GetIsSupported(0), nullptr);
    EXPECT_NE(spi.GetConfigurationDlg(0), nullptr);
}

TEST_F(SusiePluginTest, FindsTheDllsBesideAPluginWithoutChangingTheCurrentFolder)
{
    // The helper lies only beside the plug-in: neither the program's folder nor the current
    // folder holds it.
    const String folder =
        MakePluginFolder(L"spi", {{L"kanoru_spi_dependent.dll", L"dependent.spi"},
                                  {L"spi_helper\\kanoru_spi_helper.dll", L"kanoru_spi_helper.dll"}});
    const String current = CFileName::CurrentDirectory();
    const CSpi spi(folder);
    EXPECT_EQ(CFileName::CurrentDirectory(), current);
    ASSERT_EQ(spi.GetCount(), 1);
    EXPECT_EQ(spi.GetConfigurationDlg(0)(nullptr, 1), 42);
}

TEST_F(SusiePluginTest, FilesThatAreNoDllsAndMissingFoldersGiveNoPlugins)
{
    const String folder = MakePluginFolder(L"spi", {});
    WriteText(folder + L"broken.spi", "not a DLL");
    EXPECT_EQ(CSpi(folder).GetCount(), 0);
    EXPECT_EQ(CSpi(At(L"missing\\")).GetCount(), 0);
    EXPECT_EQ(CSpi().GetCount(), 0);
}

TEST_F(SusiePluginTest, HostLoadsAFolderOnceWhateverItsLetterCaseOrTrailingSeparator)
{
    const String folder = MakePluginFolder(L"Plugins", {{imagePlugin, L"a.spi"}});
    CSpiHost host;
    EXPECT_EQ(host.GetSpi()->GetCount(), 0);

    // Without its trailing separator the setting still names the folder itself.
    host.Load(CFileName(CFileName::TrimTrailingSeparator(folder)));
    const std::shared_ptr<const CSpi> loaded = host.GetSpi();
    EXPECT_EQ(loaded->GetFolder(), folder);
    EXPECT_EQ(loaded->GetCount(), 1);

    for (const String& same : {folder, folder.ToUpper(), folder.ToLower()}) {
        host.Load(CFileName(same));
        EXPECT_EQ(host.GetSpi(), loaded) << Ansi(same);
    }
}

TEST_F(SusiePluginTest, SetInUseStaysLoadedAfterTheFolderChanges)
{
    const String first = MakePluginFolder(L"first", {{imagePlugin, L"a.spi"}});
    const String second = MakePluginFolder(L"second", {{archivePlugin, L"b.spi"}});
    CSpiHost host;
    host.Load(CFileName(first));
    std::shared_ptr<const CSpi> inUse = host.GetSpi();

    host.Load(CFileName(second));
    EXPECT_EQ(PluginNames(*host.GetSpi()), std::vector<String>{L"b"});
    EXPECT_TRUE(host.GetSpi()->IsArchivePlugin(0));
    // The reader's set still calls into its DLL.
    ASSERT_TRUE(IsLoaded(first + L"a.spi"));
    EXPECT_TRUE(inUse->IsImagePlugin(0));

    inUse.reset();
    EXPECT_FALSE(IsLoaded(first + L"a.spi"));
    EXPECT_TRUE(IsLoaded(second + L"b.spi"));

    // Back to the first folder: a new set, loaded afresh.
    host.Load(CFileName(first));
    EXPECT_TRUE(IsLoaded(first + L"a.spi"));
    EXPECT_FALSE(IsLoaded(second + L"b.spi"));
}

TEST(GetSusieInstallRoot, IsTheRegisteredFolderWithASeparator)
{
    const char* const key = RegistryTestSupport::susieInstallRoot;
    RegistryTestSupport::PrivateCurrentUser user;
    EXPECT_EQ(Brivox::GetSusieInstallRoot(), L"");

    // The key without its value reads as no installation.
    user.CreateKey(key);
    EXPECT_EQ(Brivox::GetSusieInstallRoot(), L"");

    const std::pair<const char*, const wchar_t*> cases[] = {
        {"C:\\Susie", L"C:\\Susie\\"}, {"C:\\Susie\\", L"C:\\Susie\\"}, {"", L""}};
    for (const auto& [value, expected] : cases) {
        user.SetDefault(key, value);
        EXPECT_EQ(Brivox::GetSusieInstallRoot(), expected) << value;
    }
}
