#include "foundation/file_system.h"

#include "file_test_support.h"
#include "foundation/exception.h"
#include "foundation/file.h"
#include "foundation/file_name.h"

#include <functional>
#include <stdexcept>

using namespace FileTestSupport;
using Brivox::String;
using Paths = std::vector<std::wstring>;

namespace {

class FileSystemTest : public TempFolderTest
{
protected:
    // src\ with a read-only file, a dot file, a ".git" folder two levels deep, a sub-folder and
    // an empty folder inside it.
    void MakeSourceTree()
    {
        MakeFolder(At(L"src"));
        WriteText(At(L"src\\a.txt"), "a");
        WriteText(At(L"src\\ro.txt"), "read-only");
        MakeReadOnly(At(L"src\\ro.txt"));
        WriteText(At(L"src\\.cfg"), "dot file");
        MakeFolder(At(L"src\\.git"));
        WriteText(At(L"src\\.git\\HEAD"), "ref");
        MakeFolder(At(L"src\\.git\\objects"));
        WriteText(At(L"src\\.git\\objects\\x"), "object");
        MakeFolder(At(L"src\\sub"));
        WriteText(At(L"src\\sub\\b.txt"), "bb");
        MakeFolder(At(L"src\\sub\\empty"));
    }

    static Paths SourceTree()
    {
        return {L".cfg",  L".git\\", L".git\\HEAD", L".git\\objects\\", L".git\\objects\\x",
                L"a.txt", L"ro.txt", L"sub\\",      L"sub\\b.txt",      L"sub\\empty\\"};
    }

    // f1 … f5 in a flat folder, remembered in the order the file system lists them: the tree
    // operations work in that order.
    void MakeFlatFolder(const wchar_t* folder)
    {
        MakeFolder(At(folder));
        for (const wchar_t* name : {L"f1", L"f2", L"f3", L"f4", L"f5"})
            WriteText(At(folder) + L"\\" + name, "new");
        for (const String& path : Brivox::ListFiles(At(folder) + L"\\", 0))
            listed.push_back(path.Substring(path.Length() - 2));
    }

    // After a failure at f3: done(name) holds for the files listed before it, and for no other.
    void ExpectDoneOnlyBeforeF3(const std::function<bool(const String&)>& done) const
    {
        bool before = true;
        for (const String& name : listed) {
            if (name == L"f3")
                before = false;
            else
                EXPECT_EQ(done(name), before) << Ansi(name);
        }
    }

    std::vector<String> listed;

    // The listed paths relative to root, sorted.
    Paths Relative(const std::vector<String>& list) const
    {
        Paths out;
        for (const String& path : list) {
            EXPECT_EQ(path.Substring(0, root.Length()), root);
            out.push_back(path.Substring(root.Length()).CStr());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    // Expects an IOException with exactly this text.
    static void ExpectFailure(const String& text, const std::function<void()>& body)
    {
        try {
            body();
            ADD_FAILURE() << "no exception, expected " << Ansi(text);
        } catch (const Brivox::IOException& e) {
            EXPECT_EQ(std::string(e.what()), Ansi(text));
        }
    }
};

String CopyFailure(const String& source, const String& destination)
{
    return L"ファイルのコピーに失敗しました (" + source + L" → " + destination + L")";
}

String MoveFailure(const String& source, const String& destination)
{
    return L"ファイルの移動に失敗しました (" + source + L" → " + destination + L")";
}

} // namespace

// ---- Tests and attributes

TEST_F(FileSystemTest, TellsFilesFromFolders)
{
    WriteText(At(L"file.txt"), "x");
    MakeFolder(At(L"dir"));
    EXPECT_TRUE(Brivox::FileExists(At(L"file.txt")));
    EXPECT_TRUE(Brivox::FileExists(At(L"dir")));
    EXPECT_FALSE(Brivox::FileExists(At(L"none")));
    EXPECT_TRUE(Brivox::IsFile(At(L"file.txt")));
    EXPECT_FALSE(Brivox::IsFile(At(L"dir")));
    EXPECT_TRUE(Brivox::IsDirectory(At(L"dir")));
    EXPECT_TRUE(Brivox::IsDirectory(At(L"dir\\")));
    EXPECT_TRUE(Brivox::IsDirectory(L"C:\\"));
    EXPECT_FALSE(Brivox::IsDirectory(At(L"file.txt")));
    EXPECT_FALSE(Brivox::IsDirectory(At(L"none\\")));
    EXPECT_EQ(Brivox::GetFileAttributesString(At(L"none")), INVALID_FILE_ATTRIBUTES);
    Brivox::SetFileAttributesString(At(L"file.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(IsReadOnly(At(L"file.txt")));
}

TEST_F(FileSystemTest, FindsTheExistingAncestorAndAppendsSeparators)
{
    MakeFolder(At(L"a"));
    WriteText(At(L"a\\f.txt"), "x");
    EXPECT_EQ(Brivox::GetExistingAncestor(At(L"a\\b\\c.txt")), At(L"a\\"));
    EXPECT_EQ(Brivox::GetExistingAncestor(L"Q:\\no\\such\\drive"), String());
    EXPECT_EQ(Brivox::AppendSeparatorIfDirectory(At(L"a")), At(L"a\\"));
    EXPECT_EQ(Brivox::AppendSeparatorIfDirectory(At(L"a\\")), At(L"a\\"));
    EXPECT_EQ(Brivox::AppendSeparatorIfDirectory(At(L"a\\f.txt")), At(L"a\\f.txt"));
    EXPECT_EQ(Brivox::AppendSeparatorIfDirectory(At(L"missing")), At(L"missing"));
}

TEST_F(FileSystemTest, FileTimesAreTheLastWriteTime)
{
    const String path = At(L"time.txt");
    WriteText(path, "x");
    HANDLE file = ::CreateFileW(path.CStr(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time = {0x12345600, 0x01D00000};
    ::SetFileTime(file, nullptr, nullptr, &time);
    ::CloseHandle(file);
    const FILETIME got = Brivox::GetFileTimes(path);
    EXPECT_EQ(got.dwLowDateTime, time.dwLowDateTime);
    EXPECT_EQ(got.dwHighDateTime, time.dwHighDateTime);
    EXPECT_THROW(Brivox::GetFileTimes(At(L"missing")), Brivox::Win32Exception);
}

// ---- Making folders

TEST_F(FileSystemTest, CreatesTheFoldersThatHoldAFile)
{
    Brivox::CreateDirectories(At(L"x\\y\\z.txt"));
    EXPECT_EQ(Tree(root), (Paths{L"x\\", L"x\\y\\"}));
    Brivox::CreateDirectories(At(L"x\\y\\")); // exists: nothing to do
    Brivox::CreateDirectories(At(L"x\\y\\w\\"));
    EXPECT_EQ(Tree(root), (Paths{L"x\\", L"x\\y\\", L"x\\y\\w\\"}));
    Brivox::CreateDirectories(L"no-separator.txt");
    Brivox::CreateDirectories(L"");
}

TEST_F(FileSystemTest, CreateFailsOnAFileInTheWay)
{
    WriteText(At(L"file.txt"), "x");
    ExpectFailure(At(L"file.txt\\") + L"の作成に失敗しました",
                  [&] { Brivox::CreateDirectories(At(L"file.txt\\sub\\")); });
    EXPECT_EQ(ReadText(At(L"file.txt")), "x");
}

// ---- Listings

TEST_F(FileSystemTest, ListFilesAtDepthZeroAndUnlimited)
{
    MakeSourceTree();
    const Paths top = {L"src\\.cfg", L"src\\a.txt", L"src\\ro.txt"};
    EXPECT_EQ(Relative(Brivox::ListFiles(At(L"src\\"), 0)), top);
    EXPECT_EQ(Relative(Brivox::ListFiles(At(L"src\\a.txt"), 0)), top); // the siblings of a file
    // Only "." and ".." are skipped: ".git" is an ordinary folder.
    EXPECT_EQ(Relative(Brivox::ListFiles(At(L"src\\"), -1)),
              (Paths{L"src\\.cfg", L"src\\.git\\HEAD", L"src\\.git\\objects\\x", L"src\\a.txt",
                     L"src\\ro.txt", L"src\\sub\\b.txt"}));
    EXPECT_EQ(Relative(Brivox::ListFiles(At(L"src\\"), 1)),
              (Paths{L"src\\.cfg", L"src\\.git\\HEAD", L"src\\a.txt", L"src\\ro.txt", L"src\\sub\\b.txt"}));
}

TEST_F(FileSystemTest, ListFoldersAndListForDelete)
{
    MakeSourceTree();
    EXPECT_EQ(Relative(Brivox::ListFolders(At(L"src\\"), 0)), (Paths{L"src\\.git\\", L"src\\sub\\"}));
    EXPECT_EQ(Relative(Brivox::ListFolders(At(L"src\\"), -1)),
              (Paths{L"src\\.git\\", L"src\\.git\\objects\\", L"src\\sub\\", L"src\\sub\\empty\\"}));
    EXPECT_EQ(Relative(Brivox::ListForDelete(At(L"src\\"), 0)),
              (Paths{L"src\\.cfg", L"src\\.git\\", L"src\\a.txt", L"src\\ro.txt", L"src\\sub\\"}));

    // Unlimited: everything, and a folder's contents follow the folder itself.
    const std::vector<String> all = Brivox::ListForDelete(At(L"src\\"), -1);
    Paths expected;
    for (const std::wstring& path : SourceTree())
        expected.push_back(L"src\\" + path);
    EXPECT_EQ(Relative(all), expected);
    for (size_t i = 0; i < all.size(); ++i) {
        const String parent = Brivox::CFileName::GetParent(all[i]);
        if (parent == At(L"src\\"))
            continue;
        const auto at = std::find(all.begin(), all.end(), parent);
        ASSERT_NE(at, all.end());
        EXPECT_LT(at - all.begin(), static_cast<long>(i)) << Ansi(all[i]);
    }
}

TEST_F(FileSystemTest, ListingAMissingFolderFailsWithTheSystemsText)
{
    const String pattern = At(L"none\\*");
    WIN32_FIND_DATAW data;
    ASSERT_EQ(::FindFirstFileW(pattern.CStr(), &data), INVALID_HANDLE_VALUE);
    const DWORD error = ::GetLastError();
    try {
        Brivox::ListFiles(At(L"none\\"), -1);
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::Win32Exception& e) {
        EXPECT_EQ(std::string(e.what()), Ansi(pattern + L" の検索に失敗") + " : " + SystemText(error));
    }
}

TEST_F(FileSystemTest, TotalSizeOfAFileAndATree)
{
    MakeSourceTree();
    EXPECT_EQ(Brivox::GetTotalSize(At(L"src\\ro.txt")), 9u);
    EXPECT_EQ(Brivox::GetTotalSize(At(L"src\\")), 1u + 9 + 8 + 3 + 6 + 2);
    EXPECT_EQ(Brivox::GetTotalSize(At(L"src")), 1u + 9 + 8 + 3 + 6 + 2);
    EXPECT_EQ(Brivox::GetTotalSize(At(L"missing")), 0u);
}

// ---- Copy

TEST_F(FileSystemTest, CopiesTheContentsOfAFolder)
{
    MakeSourceTree();
    Brivox::CopyTree(At(L"src\\"), At(L"dst\\"), false);
    // Folders come with the files copied into them, so the empty folder is not reproduced.
    Paths expected = SourceTree();
    expected.erase(std::find(expected.begin(), expected.end(), L"sub\\empty\\"));
    EXPECT_EQ(Tree(At(L"dst\\")), expected);
    EXPECT_EQ(ReadText(At(L"dst\\.git\\objects\\x")), "object");
    EXPECT_EQ(ReadText(At(L"dst\\ro.txt")), "read-only");
    EXPECT_TRUE(IsReadOnly(At(L"dst\\ro.txt")));
    EXPECT_EQ(Tree(At(L"src\\")), SourceTree());
}

TEST_F(FileSystemTest, CopyOverAnExistingFileNeedsOverwrite)
{
    MakeFolder(At(L"a"));
    MakeFolder(At(L"b"));
    WriteText(At(L"a\\f.txt"), "new");
    WriteText(At(L"b\\f.txt"), "old");
    ExpectFailure(CopyFailure(At(L"a\\f.txt"), At(L"b\\f.txt")),
                  [&] { Brivox::CopyTree(At(L"a\\f.txt"), At(L"b\\"), false); });
    EXPECT_EQ(ReadText(At(L"b\\f.txt")), "old");
    Brivox::CopyTree(At(L"a\\f.txt"), At(L"b\\"), true);
    EXPECT_EQ(ReadText(At(L"b\\f.txt")), "new");
    Brivox::CopyTree(At(L"a\\f.txt"), At(L"c\\d\\g.txt"), false);
    EXPECT_EQ(ReadText(At(L"c\\d\\g.txt")), "new");
}

TEST_F(FileSystemTest, CopyOfAFolderToAFilePathFails)
{
    MakeFolder(At(L"a"));
    WriteText(At(L"a\\f.txt"), "x");
    ExpectFailure(CopyFailure(At(L"a\\"), At(L"b")), [&] { Brivox::CopyTree(At(L"a\\"), At(L"b"), true); });
    EXPECT_FALSE(Exists(At(L"b")));
}

TEST_F(FileSystemTest, CopyStopsAtTheFirstFailureAndKeepsWhatWasCopied)
{
    MakeFlatFolder(L"src");
    MakeFolder(At(L"dst"));
    WriteText(At(L"dst\\f3"), "old");
    ExpectFailure(CopyFailure(At(L"src\\f3"), At(L"dst\\f3")),
                  [&] { Brivox::CopyTree(At(L"src\\"), At(L"dst\\"), false); });
    EXPECT_EQ(ReadText(At(L"dst\\f3")), "old");
    ExpectDoneOnlyBeforeF3([&](const String& name) { return Exists(At(L"dst\\") + name); });
}

// ---- Move

TEST_F(FileSystemTest, MovesTheContentsOfAFolder)
{
    MakeSourceTree();
    MakeFolder(At(L"dst"));
    Brivox::MoveTree(At(L"src\\"), At(L"dst\\"));
    EXPECT_FALSE(Exists(At(L"src")));
    // Nothing is lost on the way, not even the empty folder.
    EXPECT_EQ(Tree(At(L"dst\\")), SourceTree());
    EXPECT_EQ(ReadText(At(L"dst\\.git\\objects\\x")), "object");
    EXPECT_TRUE(IsReadOnly(At(L"dst\\ro.txt")));
}

TEST_F(FileSystemTest, MovesAFolderAsAWholeToAPathWithoutSeparator)
{
    MakeSourceTree();
    Brivox::MoveTree(At(L"src\\"), At(L"renamed"));
    EXPECT_FALSE(Exists(At(L"src")));
    EXPECT_EQ(Tree(At(L"renamed\\")), SourceTree());
}

TEST_F(FileSystemTest, MoveNeverReplacesAnExistingFile)
{
    MakeFolder(At(L"a"));
    MakeFolder(At(L"b"));
    WriteText(At(L"a\\f.txt"), "new");
    WriteText(At(L"b\\f.txt"), "old");
    ExpectFailure(MoveFailure(At(L"a\\f.txt"), At(L"b\\f.txt")),
                  [&] { Brivox::MoveTree(At(L"a\\f.txt"), At(L"b\\")); });
    EXPECT_EQ(ReadText(At(L"a\\f.txt")), "new");
    EXPECT_EQ(ReadText(At(L"b\\f.txt")), "old");
    Brivox::MoveTree(At(L"a\\f.txt"), At(L"c\\g.txt"));
    EXPECT_FALSE(Exists(At(L"a\\f.txt")));
    EXPECT_EQ(ReadText(At(L"c\\g.txt")), "new");
}

TEST_F(FileSystemTest, MoveStopsAtTheFirstFailureAndKeepsWhatWasMoved)
{
    MakeFlatFolder(L"src");
    MakeFolder(At(L"dst"));
    WriteText(At(L"dst\\f3"), "old");
    ExpectFailure(MoveFailure(At(L"src\\f3"), At(L"dst\\f3")),
                  [&] { Brivox::MoveTree(At(L"src\\"), At(L"dst\\")); });
    EXPECT_EQ(ReadText(At(L"dst\\f3")), "old");
    EXPECT_EQ(ReadText(At(L"src\\f3")), "new");
    ExpectDoneOnlyBeforeF3([&](const String& name) { return Exists(At(L"dst\\") + name); });
    ExpectDoneOnlyBeforeF3([&](const String& name) { return !Exists(At(L"src\\") + name); });
}

// ---- Delete

TEST_F(FileSystemTest, DeleteWithForceRemovesTheWholeTree)
{
    MakeSourceTree();
    Brivox::DeleteTree(At(L"src\\"), true);
    EXPECT_FALSE(Exists(At(L"src")));
    MakeSourceTree();
    Brivox::DeleteTree(At(L"src"), true);
    EXPECT_FALSE(Exists(At(L"src")));
}

TEST_F(FileSystemTest, DeleteWithoutForceStopsAtAReadOnlyFile)
{
    MakeFlatFolder(L"src");
    MakeReadOnly(At(L"src\\f3"));
    ExpectFailure(At(L"src\\f3") + L"の削除に失敗しました", [&] { Brivox::DeleteTree(At(L"src\\"), false); });
    EXPECT_EQ(ReadText(At(L"src\\f3")), "new");
    ExpectDoneOnlyBeforeF3([&](const String& name) { return !Exists(At(L"src\\") + name); });
}

TEST_F(FileSystemTest, DeleteOfAMissingFileFails)
{
    ExpectFailure(At(L"missing.txt") + L"の削除に失敗しました",
                  [&] { Brivox::DeleteTree(At(L"missing.txt"), true); });
}

TEST_F(FileSystemTest, DeleteRemovesALinkedFolderWithoutEnteringIt)
{
    MakeFolder(At(L"target"));
    WriteText(At(L"target\\keep.txt"), "keep");
    MakeFolder(At(L"tree"));
    const String link = At(L"tree\\link");
    const DWORD linked = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    const BOOL made = ::CreateSymbolicLinkW(link.CStr(), At(L"target").CStr(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    const DWORD attributes = ::GetFileAttributesW(link.CStr());
    if (!made || attributes == INVALID_FILE_ATTRIBUTES || (attributes & linked) != linked)
        GTEST_SKIP() << "folder links are not available here";
    Brivox::DeleteTree(At(L"tree\\"), true);
    EXPECT_FALSE(Exists(At(L"tree")));
    EXPECT_EQ(ReadText(At(L"target\\keep.txt")), "keep");
}

// ---- Replacing a file by writing a new one

TEST_F(FileSystemTest, WriteReplacingPutsTheNewFileInPlaceOnceTheWriterReturns)
{
    const String path = At(L"a.dat");
    WriteText(path, "the old contents, longer than the new");
    Brivox::WriteFileReplacing(path, [&](const String& temporary) {
        EXPECT_EQ(root, Brivox::CFileName::GetDirectory(temporary));
        WriteText(temporary, "new");
        EXPECT_EQ("the old contents, longer than the new", ReadText(path));
    });
    EXPECT_EQ("new", ReadText(path));
    EXPECT_EQ(Paths{L"a.dat"}, Tree(root));
}

TEST_F(FileSystemTest, WriteReplacingKeepsTheOldFileWhenTheWriterFails)
{
    const String path = At(L"a.dat");
    WriteText(path, "old");
    EXPECT_THROW(Brivox::WriteFileReplacing(path,
                                            [](const String& temporary) {
                                                WriteText(temporary, "half");
                                                throw std::runtime_error("stopped");
                                            }),
                 std::runtime_error);
    EXPECT_EQ("old", ReadText(path));
    EXPECT_EQ(Paths{L"a.dat"}, Tree(root));

    // A file failure names the file the caller asked for; other texts stay as they are.
    ExpectFailure(path + L" が開けませんでした", [&] {
        Brivox::WriteFileReplacing(path, [](const String& temporary) { Brivox::CStdFile(temporary, L"rb"); });
    });
    ExpectFailure(L"別の失敗", [&] {
        Brivox::WriteFileReplacing(path, [](const String&) { throw Brivox::IOException(L"別の失敗"); });
    });
    EXPECT_EQ("old", ReadText(path));
    EXPECT_EQ(Paths{L"a.dat"}, Tree(root));
}

TEST_F(FileSystemTest, WriteReplacingRefusesAReadOnlyFileOrAFolder)
{
    WriteText(At(L"ro.dat"), "old");
    MakeReadOnly(At(L"ro.dat"));
    MakeFolder(At(L"folder"));
    for (const wchar_t* name : {L"ro.dat", L"folder"}) {
        ExpectFailure(At(name) + L" のオープン・作成に失敗", [&] {
            Brivox::WriteFileReplacing(At(name),
                                       [](const String& temporary) { WriteText(temporary, "new"); });
        });
    }
    EXPECT_EQ("old", ReadText(At(L"ro.dat")));
    EXPECT_TRUE(IsReadOnly(At(L"ro.dat")));
    EXPECT_EQ((Paths{L"folder\\", L"ro.dat"}), Tree(root));
}
