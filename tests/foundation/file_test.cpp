#include "foundation/file.h"

#include "file_test_support.h"
#include "foundation/exception.h"

#include <functional>
#include <memory>

using namespace FileTestSupport;
using Brivox::CApiFile;
using Brivox::CStdFile;
using Brivox::IFile;
using Brivox::IOException;
using Brivox::String;

namespace {

// Runs body and expects an IOException whose text is path + suffix.
void ExpectIOException(const String& path, const wchar_t* suffix, const std::function<void()>& body)
{
    try {
        body();
        ADD_FAILURE() << "no exception, expected" << Ansi(path + suffix);
    } catch (const IOException& e) {
        EXPECT_EQ(std::string(e.what()), Ansi(path + suffix));
    }
}

// Both implementations opened for reading and writing an existing file.
struct FileKind
{
    const char* name;
    std::function<std::unique_ptr<IFile>(const String&)> open;
    const wchar_t* readFailure;
};

const FileKind kinds[] = {
    {"CApiFile", [](const String& path) { return std::make_unique<CApiFile>(path, CApiFile::WriteMode, 0); },
     L" からの読み込みに失敗"},
    {"CStdFile", [](const String& path) { return std::make_unique<CStdFile>(path, L"w+b"); },
     L" からの読み込みに失敗しました"},
};

class FileTest : public TempFolderTest
{
};

} // namespace

TEST_F(FileTest, WritesSeeksAndReadsBack)
{
    for (const FileKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const String path = At(L"data.bin");
        auto file = kind.open(path);
        file->Write("0123456789", 10);
        EXPECT_EQ(file->Tell(), 10);
        EXPECT_EQ(file->GetSize(), 10);
        file->Seek(-4, 2);
        char tail[4] = {};
        file->Read(tail, 4);
        EXPECT_EQ(std::string(tail, 4), "6789");
        file->Seek(2, 0);
        file->Seek(1, 1);
        EXPECT_EQ(file->Tell(), 3);
        EXPECT_EQ(file->GetSize(), 10); // the size leaves the position alone
        EXPECT_EQ(file->Tell(), 3);
        file->Close();
        EXPECT_EQ(ReadText(path), "0123456789");
    }
}

TEST_F(FileTest, ShortReadFailsAndZeroCountsDoNothing)
{
    for (const FileKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const String path = At(L"short.bin");
        auto file = kind.open(path);
        file->Write("abcdefghijklmnopqrst", 20);
        file->Seek(10, 0);
        char buffer[100];
        file->Read(buffer, 0);
        file->Write(buffer, 0);
        EXPECT_EQ(file->Tell(), 10);
        // 10 bytes before the end, 100 asked: the caller would get less than it counts on.
        ExpectIOException(path, kind.readFailure, [&] { file->Read(buffer, 100); });
    }
}

TEST_F(FileTest, ReserveExtendsANewFileAndKeepsThePosition)
{
    for (const FileKind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        auto file = kind.open(At(L"reserve.bin"));
        file->Write("ab", 2);
        file->Reserve(1024);
        EXPECT_EQ(file->GetSize(), 2);
        file->Reserve(1025);
        EXPECT_EQ(file->GetSize(), 1025);
        EXPECT_EQ(file->Tell(), 2);
    }
}

TEST_F(FileTest, StdFileReserveNeverChangesExistingBytes)
{
    const String path = At(L"long.bin");
    WriteBytes(path, Bytes(2000, 0x5A));
    {
        CStdFile file(path, L"r+b");
        file.Reserve(1500);
        EXPECT_EQ(file.GetSize(), 2000);
        EXPECT_EQ(file.Tell(), 0);
    }
    EXPECT_EQ(ReadBytes(path), Bytes(2000, 0x5A));
}

TEST_F(FileTest, ApiFileReserveSetsTheEndExactly)
{
    const String path = At(L"long.bin");
    WriteBytes(path, Bytes(2000, 0x5A));
    {
        CApiFile file(path, CApiFile::SharedReadMode + 10, 0); // any other mode reads shared
        EXPECT_EQ(file.GetSize(), 2000);
    }
    {
        CApiFile file(path, CApiFile::WriteMode, CApiFile::SequentialAccess);
        file.Write("xy", 2);
        file.Reserve(1500);
        EXPECT_EQ(file.GetSize(), 1500);
        EXPECT_EQ(file.Tell(), 2);
    }
}

TEST_F(FileTest, OpenFailuresNameThePath)
{
    const String missing = At(L"missing.bin");
    for (int mode : {CApiFile::ReadMode, CApiFile::SharedReadMode})
        ExpectIOException(missing, L" のオープン・作成に失敗", [&] { CApiFile file(missing, mode, 0); });
    ExpectIOException(missing, L" が開けませんでした", [&] { CStdFile file(missing, L"rb"); });
}

TEST_F(FileTest, WriteModeRefusesAReadOnlyFile)
{
    const String readOnly = At(L"readonly.bin");
    WriteText(readOnly, "keep");
    MakeReadOnly(readOnly);
    // Wine run by the superuser lets anything write; the system itself refuses.
    HANDLE probe =
        ::CreateFileW(At(L"readonly.bin").CStr(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        ::CloseHandle(probe);
        GTEST_SKIP() << "read-only files are writable here";
    }
    ExpectIOException(readOnly, L" のオープン・作成に失敗",
                      [&] { CApiFile file(readOnly, CApiFile::WriteMode, 0); });
    EXPECT_EQ(ReadText(readOnly), "keep");
}

TEST_F(FileTest, KindsAndStreams)
{
    const String path = At(L"kind.bin");
    CApiFile api(path, CApiFile::WriteMode, 0);
    EXPECT_EQ(api.Kind(), 2);
    EXPECT_EQ(api.GetStdHandle(), nullptr);
    CStdFile stream(At(L"kind2.bin"), L"wb");
    EXPECT_EQ(stream.Kind(), 1);
    EXPECT_NE(stream.GetStdHandle(), nullptr);
}

TEST_F(FileTest, SharedReadLetsOthersRenameAndDelete)
{
    const String path = At(L"shared.bin");
    WriteText(path, "shared");
    CApiFile reader(path, CApiFile::SharedReadMode, CApiFile::RandomAccess);
    HANDLE other = ::CreateFileW(path.CStr(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    ::CloseHandle(other);
    const String renamed = At(L"renamed.bin");
    EXPECT_TRUE(::MoveFileW(path.CStr(), renamed.CStr()));
    EXPECT_TRUE(::DeleteFileW(renamed.CStr()));
}

TEST_F(FileTest, ReadModeRefusesOtherWriters)
{
    const String path = At(L"exclusive.bin");
    WriteText(path, "x");
    CApiFile reader(path, CApiFile::ReadMode, 0);
    HANDLE other = ::CreateFileW(path.CStr(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE)
        ::CloseHandle(other);
}

TEST_F(FileTest, FileWriteStreamMakesFoldersAndWrites)
{
    const String path = At(L"a\\b\\stream.bin");
    {
        Brivox::CFileWriteStream stream(path);
        stream.Write("png", 3);
        stream.Write("", 0);
        stream.Close();
    }
    EXPECT_EQ(ReadText(path), "png");
}

// Data that the stream still buffers is written out when the file is closed; a device that is
// full makes that fail, and the writer must hear of it.
TEST_F(FileTest, CloseReportsDataThatCouldNotBeWritten)
{
    const String full = L"Z:\\dev\\full";
    std::unique_ptr<CStdFile> file;
    try {
        file = std::make_unique<CStdFile>(full, L"wb");
    } catch (const IOException&) {
        GTEST_SKIP() << "no full device here";
    }
    file->Write("abc", 3);
    ExpectIOException(full, L" への書き込みに失敗しました", [&] { file->Close(); });
}
