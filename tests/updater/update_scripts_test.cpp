#include "updater/update_scripts.h"

#include "foundation/file_test_support.h"
#include "updater/batch_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using Brivox::CBatchFile;
using Brivox::CUpdateScripts;
using Brivox::String;
using Brivox::UpdateScriptEntry;
using namespace FileTestSupport;

namespace {

// Folders of an installation that the texts name but nothing touches.
const String programFolder = L"C:\\Program Files\\Kanoru2\\";
const String temporaryFolder = L"C:\\Program Files\\Kanoru2\\00000000001f2e3d@4a0\\";
const String executable = L"C:\\Program Files\\Kanoru2\\Kanoru2.exe";

const std::vector<UpdateScriptEntry> entries = {
    {L"kanoru2.zip/Kanoru2.exe", L""},
    {L"kanoru2.zip/plugins/ifjpeg.spi", L"plugins/"},
};

std::string TestData(const char* relative)
{
    const char* folder = std::getenv("KANORU_TEST_DATA");
    EXPECT_NE(folder, nullptr) << "KANORU_TEST_DATA is not set";
    const std::string path = std::string(folder ? folder : ".") + "/" + relative;
    const std::string text = ReadText(String(std::wstring(path.begin(), path.end())));
    EXPECT_FALSE(text.empty()) << path;
    return text;
}

using UpdateScriptsTest = TempFolderTest;

} // namespace

TEST_F(UpdateScriptsTest, ScriptsMatchTheReviewedFiles)
{
    for (std::size_t count = 0; count <= entries.size(); ++count) {
        SCOPED_TRACE(count);
        const CUpdateScripts scripts(
            temporaryFolder, programFolder, executable,
            std::vector<UpdateScriptEntry>(entries.begin(), entries.begin() + count));
        EXPECT_EQ(temporaryFolder + L"$movefile$.bat", scripts.GetMoveFilePath());
        EXPECT_EQ(temporaryFolder + L"$update$.bat", scripts.GetUpdatePath());
        // Written here: the folders the texts name do not exist.
        scripts.GetMoveFile().Save(At(L"movefile.bat"));
        scripts.GetUpdate().Save(At(L"update.bat"));
        EXPECT_EQ(TestData("updater/movefile.bat"), ReadText(At(L"movefile.bat")));
        const std::string name = "updater/update-" + std::to_string(count) + "-entries.bat";
        EXPECT_EQ(TestData(name.c_str()), ReadText(At(L"update.bat")));
    }
}

TEST_F(UpdateScriptsTest, SaveWritesBothScriptsIntoTheTemporaryFolder)
{
    const String temporary = At(L"update\\");
    const CUpdateScripts scripts(temporary, root, root + L"Kanoru2.exe", entries);
    scripts.Save();
    EXPECT_EQ(std::vector<std::wstring>({L"update\\", L"update\\$movefile$.bat", L"update\\$update$.bat"}),
              Tree(root));
    EXPECT_EQ(TestData("updater/movefile.bat"), ReadText(temporary + L"$movefile$.bat"));
}

TEST_F(UpdateScriptsTest, JapaneseNamesAreWrittenInTheAnsiCodePage)
{
    if (::GetACP() != 932 || ::GetOEMCP() != 932)
        GTEST_SKIP() << "needs code page 932 for both";
    const String program = L"C:\\ビューア\\";
    const CUpdateScripts scripts(program + L"tmp\\", program, program + L"Kanoru2.exe", {});
    scripts.GetUpdate().Save(At(L"update.bat"));
    const std::string text = ReadText(At(L"update.bat"));
    EXPECT_NE(std::string::npos, text.find("start \"\" \"C:\\" + Ansi(L"ビューア") + "\\Kanoru2.exe\"\r\n"));
}

TEST(BatchFile, CommandsTakeTheirArgumentsAsGiven)
{
    CBatchFile file;
    file.AddLine(L"cd ..");
    file.AddCommand(L"call", Brivox::QuoteArgument(L"a b"), L"x", Brivox::QuoteArgument(L"q\"q"));
    file.AddCommand(L"start", L"\"\"", L"p");
    EXPECT_EQ(String(L"cd ..\r\ncall \"a b\" x \"q\"q\"\r\nstart \"\" p\r\n"), file.GetText());
}

TEST_F(UpdateScriptsTest, SaveWritesNothingForATextWithoutAnExactAnsiForm)
{
    CBatchFile file;
    // Not in any ANSI code page this runs under, and best fit would write a plain '"' for the
    // second.
    file.AddLine(L"echo \U0001F600 \uFF02");
    try {
        file.Save(At(L"x.bat"));
        ADD_FAILURE() << "nothing thrown";
    } catch (const Brivox::IOException& e) {
        EXPECT_EQ(Ansi(At(L"x.bat") + L" への書き込みに失敗しました"), e.what());
    }
    EXPECT_FALSE(Exists(At(L"x.bat")));
}

TEST_F(UpdateScriptsTest, UnsafeArgumentsAreRefusedBeforeAnythingIsWritten)
{
    const String temporary = At(L"update\\");
    const String program = root;
    const String injection = L"x\" & echo pwned > C:\\pwned.txt & rem \"";
    struct Case
    {
        String name;
        std::vector<UpdateScriptEntry> entries;
        String temporary;
        String executable;
        // The argument named by the message.
        String refused;
    };
    std::vector<Case> cases;
    const wchar_t* const characters[] = {L"\"", L"%", L"&", L"^", L"!", L"|", L"<", L">", L"\t", L"\x7F"};
    for (const wchar_t* ch : characters) {
        const String name = String(L"a") + ch + L"b";
        cases.push_back({name, {{name, L""}}, temporary, program + L"Kanoru2.exe", temporary + name});
    }
    cases.push_back({L"injection in Dst",
                     {{L"a.dll", injection}},
                     temporary,
                     program + L"Kanoru2.exe",
                     program + injection});
    cases.push_back({L"second entry",
                     {{L"a.dll", L""}, {L"b.dll", L"100%"}},
                     temporary,
                     program + L"Kanoru2.exe",
                     program + L"100%"});
    cases.push_back({L"program", {}, temporary, program + L"K&.exe", program + L"K&.exe"});
    cases.push_back(
        {L"temporary folder", {}, At(L"up^date\\"), program + L"Kanoru2.exe", At(L"up^date\\$update$.bat")});
    for (const Case& c : cases) {
        SCOPED_TRACE(Ansi(c.name));
        const std::string thrown =
            ThrownText([&] { CUpdateScripts(c.temporary, program, c.executable, c.entries).Save(); });
        EXPECT_EQ(Ansi(L"'" + c.refused + L"' は更新に使用できないファイル名です"), thrown);
        EXPECT_TRUE(Tree(root).empty());
    }
    EXPECT_FALSE(Exists(L"C:\\pwned.txt"));
}

// Characters that the ANSI conversion would change, or that the command processor would read in
// another code page; run once under the Japanese code page and once under the German one.
TEST(UpdateScriptArguments, RefusedWhereTheCodePagesWouldChangeThem)
{
    const char* locale = std::getenv("LC_ALL");
    const std::string language = locale ? std::string(locale).substr(0, 5) : "";
    struct Case
    {
        const wchar_t* text;
        bool safe;
    };
    std::vector<Case> cases = {{L"C:\\Program Files (x86)\\Kanoru2\\a$b~c.exe", true}};
    if (language == "ja_JP") {
        ASSERT_EQ(932u, ::GetACP());
        // Best fit makes the yen sign a backslash.
        cases.push_back({L"a\u00A5b", false});
        cases.push_back({L"C:\\画像ビューア\\Kanoru2.exe", ::GetOEMCP() == 932});
        cases.push_back({L"\u00E9", false});
    } else if (language == "de_DE") {
        ASSERT_EQ(1252u, ::GetACP());
        ASSERT_EQ(850u, ::GetOEMCP());
        // Best fit makes the full-width quote a plain one.
        cases.push_back({L"a\uFF02b", false});
        // In code page 1252, but the command processor reads code page 850.
        cases.push_back({L"\u00E9", false});
    } else {
        FAIL() << "runs under LC_ALL ja_JP or de_DE, not " << (locale ? locale : "nothing");
    }
    for (const Case& c : cases)
        EXPECT_EQ(c.safe, Brivox::IsSafeScriptArgument(c.text)) << Ansi(c.text);
}
