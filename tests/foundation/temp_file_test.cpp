#include "foundation/temp_file.h"

#include "file_test_support.h"
#include "foundation/command_line.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

using namespace FileTestSupport;
using Brivox::CTempFile;
using Brivox::CTempFolder;
using Brivox::String;

namespace {

std::wstring Text(const String& s)
{
    return std::wstring(s.CStr(), static_cast<std::size_t>(s.Length()));
}

// The name part that an object at this address gets: every hexadecimal digit of the address
// (a pointer's full width), '@' and the process id.
std::wstring UniquePart(const void* object)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%0*llx@%lx", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(object)),
                  static_cast<unsigned long>(::GetCurrentProcessId()));
    return text;
}

std::string TempFileFailure(const String& path)
{
    return Ansi(L"テンポラリファイル '" + path + L"' の作成に失敗しました");
}

class TempFileTest : public TempFolderTest
{
};

} // namespace

TEST_F(TempFileTest, NamesHoldTheAddressAtFullWidthAndTheProcessId)
{
    const CTempFile first(root, L"rel", L"cfg");
    const CTempFile second(root, L"rel", L"cfg");
    EXPECT_EQ(Text(root) + L"rel" + UniquePart(&first) + L".cfg", Text(first.GetPath()));
    EXPECT_EQ(Text(root) + L"rel" + UniquePart(&second) + L".cfg", Text(second.GetPath()));
    EXPECT_FALSE(first.GetPath() == second.GetPath());
    EXPECT_EQ(Text(root), Text(first.GetRoot()));

    const CTempFolder folder(root, L"");
    EXPECT_EQ(Text(root) + UniquePart(&folder) + L"\\", Text(folder.GetPath()));

    // Without a root: the system temporary folder.
    const CTempFile system(L"x", L"tmp");
    const CTempFolder systemFolder(L"y");
    EXPECT_EQ(Text(Brivox::GetTempPathString()), Text(system.GetRoot()));
    EXPECT_EQ(Text(Brivox::GetTempPathString()) + L"y" + UniquePart(&systemFolder) + L"\\",
              Text(systemFolder.GetPath()));
    // Nothing is made on disk by naming.
    EXPECT_TRUE(Tree(root).empty());
    EXPECT_FALSE(Exists(system.GetPath()));
}

TEST_F(TempFileTest, WritesOnceAndDeletesWithTheObject)
{
    String path;
    {
        CTempFile file(root, L"", L"bin");
        path = file.GetPath();
        file.Write({'a', '\0', 'b'});
        EXPECT_EQ((Bytes{'a', 0, 'b'}), ReadBytes(path));
        try {
            file.Write({'c'});
            ADD_FAILURE() << "second write accepted";
        } catch (const Brivox::IOException& e) {
            EXPECT_EQ(TempFileFailure(path), e.what());
        }
        EXPECT_THROW(file.WriteText(L"c"), Brivox::IOException);
        EXPECT_EQ((Bytes{'a', 0, 'b'}), ReadBytes(path));
    }
    EXPECT_FALSE(Exists(path));

    {
        CTempFile empty(root, L"", L"bin");
        empty.Write({});
        EXPECT_TRUE(Exists(empty.GetPath()));
        EXPECT_TRUE(ReadBytes(empty.GetPath()).empty());
        empty.Delete();
        EXPECT_FALSE(Exists(empty.GetPath()));
        // No longer the owner: a file now under that name is not touched.
        WriteText(empty.GetPath(), "someone else's");
        path = empty.GetPath();
    }
    EXPECT_EQ("someone else's", ReadText(path));
}

TEST_F(TempFileTest, TextIsWrittenInTheAnsiCodePageAsItStands)
{
    CTempFile file(root, L"rel", L"cfg");
    file.WriteText(L"a=b\r\n日本");
    EXPECT_EQ("a=b\r\n\x93\xFA\x96\x7B", ReadText(file.GetPath()));
}

TEST_F(TempFileTest, MovesAFileInOnce)
{
    WriteText(At(L"source.txt"), "moved");
    WriteText(At(L"other.txt"), "stays");
    CTempFile file(root, L"m", L"txt");
    file.MoveFrom(At(L"source.txt"));
    EXPECT_FALSE(Exists(At(L"source.txt")));
    EXPECT_EQ("moved", ReadText(file.GetPath()));
    EXPECT_THROW(file.MoveFrom(At(L"other.txt")), Brivox::IOException);
    EXPECT_EQ("stays", ReadText(At(L"other.txt")));
}

TEST_F(TempFileTest, NameOfALeftOverFileIsNotReused)
{
    // An object at the address of one whose file could not be deleted gets the same name, and its
    // first write refuses to touch that file.
    std::optional<CTempFile> slot;
    slot.emplace(root, L"", L"dat");
    const String path = slot->GetPath();
    slot->Write({'1'});
    HANDLE held = ::CreateFileW(path.CStr(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_THROW(slot->Delete(), std::exception); // an explicit delete lets the failure out ...
    slot.reset();                                 // ... the destructor does not
    ::CloseHandle(held);
    ASSERT_TRUE(Exists(path));

    slot.emplace(root, L"", L"dat");
    EXPECT_EQ(Text(path), Text(slot->GetPath()));
    try {
        slot->Write({'2'});
        ADD_FAILURE() << "wrote over a left-over file";
    } catch (const Brivox::IOException& e) {
        EXPECT_EQ(TempFileFailure(path), e.what());
    }
    EXPECT_EQ("1", ReadText(path));
}

TEST_F(TempFileTest, FolderIsDeletedWithEverythingInIt)
{
    String path;
    {
        CTempFolder folder(root, L"ext");
        path = folder.GetPath();
        folder.Create();
        WriteText(path + L"a.txt", "a");
        MakeFolder(path + L"sub");
        WriteText(path + L"sub\\b.txt", "b");
        MakeReadOnly(path + L"sub\\b.txt");
        EXPECT_EQ((std::vector<std::wstring>{L"a.txt", L"sub\\", L"sub\\b.txt"}), Tree(path));
    }
    EXPECT_FALSE(Exists(path));

    CTempFolder folder(root, L"ext");
    folder.Delete(); // never created: nothing happens
    EXPECT_EQ(L"", Text(folder.GetPath()));
    folder.Create(); // nothing more to do after a delete
    EXPECT_TRUE(Tree(root).empty());

    {
        CTempFolder neverCreated(root, L"n");
    }
    EXPECT_TRUE(Tree(root).empty());
}

TEST_F(TempFileTest, ReleasedFolderStays)
{
    String path;
    {
        CTempFolder folder(root, L"kept");
        path = folder.GetPath();
        folder.Create();
        WriteText(path + L"a.txt", "a");
        folder.Release();
        EXPECT_EQ(L"", Text(folder.GetPath()));
    }
    EXPECT_EQ("a", ReadText(path + L"a.txt"));
}

TEST_F(TempFileTest, NewFolderRefusesOneThatExistsAndLeavesItAlone)
{
    String path;
    {
        CTempFolder folder(root, L"new");
        path = folder.GetPath();
        folder.CreateNew();
        EXPECT_TRUE(Exists(path));
    }
    EXPECT_FALSE(Exists(path));

    // A folder of that name left by someone else is not the object's own.
    {
        CTempFolder second(root, L"same");
        path = second.GetPath();
        MakeFolder(Brivox::CFileName::TrimTrailingSeparator(path));
        WriteText(path + L"theirs.txt", "theirs");
        EXPECT_EQ(ThrownText([&] { second.CreateNew(); }), Ansi(path + L"の作成に失敗しました"));
        EXPECT_EQ(L"", Text(second.GetPath()));
    }
    EXPECT_EQ("theirs", ReadText(path + L"theirs.txt"));
}
