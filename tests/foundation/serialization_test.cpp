#include "foundation/serialization.h"

#include "file_test_support.h"
#include "foundation/exception.h"
#include "foundation/lzss.h"
#include "foundation/memory_stream.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace FileTestSupport;
using Brivox::CCompressRestorer;
using Brivox::IRestorer;
using Brivox::String;

namespace {

void Fill(IRestorer& restorer, const Bytes& bytes)
{
    restorer.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
}

void WriteInt(IRestorer& restorer, std::int32_t value)
{
    restorer.WriteBytes(&value, sizeof(value));
}

Bytes Compress(const Bytes& bytes)
{
    Brivox::CReadStream input(bytes.data(), static_cast<int>(bytes.size()));
    Brivox::CWriteStream output;
    Brivox::CLZSSCompress().Encode(output, input);
    return output.GetBuffer();
}

class CompressRestorerTest : public TempFolderTest
{
};

} // namespace

TEST(Restorer, WritesTheSerialisedForms)
{
    struct Case
    {
        const char* what;
        std::function<void(IRestorer&)> write;
        Bytes expected;
    };
    const Case cases[] = {
        {"string", [](IRestorer& r) { r.WriteString(L"ab"); }, {2, 0, 0, 0, 'a', 'b'}},
        {"empty string", [](IRestorer& r) { r.WriteString(String()); }, {0, 0, 0, 0}},
        {"byte vector",
         [](IRestorer& r) {
             r.WriteByteVector({7, 8, 9});
         },
         {3, 0, 0, 0, 7, 8, 9}},
        {"int32", [](IRestorer& r) { WriteInt(r, -2); }, {0xFE, 0xFF, 0xFF, 0xFF}},
        {"restorer as an object",
         [](IRestorer& r) {
             IRestorer inner;
             Fill(inner, {0xA1, 0xB2});
             unsigned char first = 0;
             inner.ReadBytes(&first, 1);
             inner.Save(r);
         },
         {2, 0, 0, 0, 0xA1, 0xB2, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IRestorer restorer;
        c.write(restorer);
        EXPECT_EQ(restorer.GetBuffer(), c.expected);
        EXPECT_EQ(restorer.GetPosition(), 0);
    }
}

TEST(Restorer, ReadsValuesBackInOrder)
{
    IRestorer restorer;
    Fill(restorer, {2, 0, 0, 0, 'a', 'b'});
    Fill(restorer, {3, 0, 0, 0, 'a', 0, 'b'}); // the NUL ends the text, not the read
    Fill(restorer, {2, 0, 0, 0, 1, 0, 0, 0, 'x', 2, 0, 0, 0, 'y', 'z'});
    Fill(restorer, {0, 0, 0, 0});
    restorer.WriteByteVector({5, 6});

    EXPECT_EQ(restorer.ReadString(), String(L"ab"));
    EXPECT_EQ(restorer.GetPosition(), 6);
    EXPECT_EQ(restorer.ReadString(), String(L"a"));
    EXPECT_EQ(restorer.GetPosition(), 13);
    std::vector<String> strings = {L"old"};
    restorer.ReadStringVector(strings);
    EXPECT_EQ(strings, (std::vector<String>{L"x", L"yz"}));
    EXPECT_EQ(restorer.ReadString(), String());
    Bytes bytes = {9};
    restorer.ReadByteVector(bytes);
    EXPECT_EQ(bytes, (Bytes{5, 6}));
    EXPECT_EQ(restorer.GetPosition(), static_cast<int>(restorer.GetBuffer().size()));
}

TEST(Restorer, ReadCutInsideAValueThrowsAndCopiesNothing)
{
    IRestorer restorer;
    Fill(restorer, {1, 2, 3});
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(ThrownText([&] { restorer.ReadBytes(&value, 4); }), Ansi(L"保存データが壊れています"));
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(restorer.GetPosition(), 0);
    restorer.ReadBytes(&value, 3);
    EXPECT_EQ(value, 0xDE030201u);
    EXPECT_EQ(restorer.GetPosition(), 3);
    restorer.ReadBytes(&value, 0);
    EXPECT_THROW(restorer.ReadBytes(&value, 1), Brivox::RuntimeException);
    EXPECT_EQ(restorer.GetPosition(), 3);
}

TEST(Restorer, JapaneseTextIsStoredInTheAnsiCodePage)
{
    ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    IRestorer restorer;
    restorer.WriteString(L"日本語");
    EXPECT_EQ(restorer.GetBuffer(), (Bytes{6, 0, 0, 0, 0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}));
    EXPECT_EQ(restorer.ReadString(), String(L"日本語"));
}

TEST(Restorer, LoadsWhatItSaved)
{
    IRestorer original;
    original.WriteString(L"kept");
    original.ReadString();
    original.WriteString(L"next");
    IRestorer carrier;
    original.Save(carrier);

    IRestorer copy;
    copy.Load(carrier);
    EXPECT_EQ(copy.GetBuffer(), original.GetBuffer());
    EXPECT_EQ(copy.GetPosition(), 8);
    EXPECT_EQ(copy.ReadString(), String(L"next"));
}

// Counts, lengths and values cut short in damaged data throw; no read leaves the buffer.
TEST(Restorer, DamagedCountsAndLengthsThrow)
{
    struct Case
    {
        const char* what;
        Bytes bytes;
        std::function<void(IRestorer&)> read;
    };
    const auto readString = [](IRestorer& r) { r.ReadString(); };
    const auto readStrings = [](IRestorer& r) {
        std::vector<String> strings;
        r.ReadStringVector(strings);
    };
    const auto readBytes = [](IRestorer& r) {
        Bytes bytes;
        r.ReadByteVector(bytes);
    };
    const auto load = [](IRestorer& r) {
        IRestorer target;
        target.Load(r);
    };
    const auto readCount = [](IRestorer& r) { r.ReadCount(); };
    const Case cases[] = {
        {"count cut", {2, 0, 0}, readCount},
        {"string without its length", {2, 0}, readString},
        {"string longer than the rest", {3, 0, 0, 0, 'a', 'b'}, readString},
        {"negative string length", {0xFF, 0xFF, 0xFF, 0xFF, 'a'}, readString},
        {"huge string length", {0xFF, 0xFF, 0xFF, 0x7F, 'a'}, readString},
        {"string count larger than the rest", {0x00, 0x00, 0x00, 0x40, 0, 0, 0, 0}, readStrings},
        {"negative string count", {0xF0, 0xFF, 0xFF, 0xFF}, readStrings},
        {"second string cut", {2, 0, 0, 0, 1, 0, 0, 0, 'x', 5, 0, 0, 0, 'y'}, readStrings},
        {"byte vector longer than the rest", {4, 0, 0, 0, 1, 2, 3}, readBytes},
        {"negative byte vector length", {0xFE, 0xFF, 0xFF, 0xFF}, readBytes},
        {"saved position past the buffer", {1, 0, 0, 0, 9, 2, 0, 0, 0}, load},
        {"negative saved position", {1, 0, 0, 0, 9, 0xFF, 0xFF, 0xFF, 0xFF}, load},
        {"saved position cut", {1, 0, 0, 0, 9, 0, 0}, load},
        {"saved position missing", {1, 0, 0, 0, 9}, load},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IRestorer restorer;
        Fill(restorer, c.bytes);
        EXPECT_EQ(ThrownText([&] { c.read(restorer); }), Ansi(L"保存データが壊れています"));
    }
}

TEST_F(CompressRestorerTest, ReadsAnOldBookmarkContainer)
{
    IRestorer written;
    WriteInt(written, 2);
    written.WriteString(L"C:\\pics\\a.jpg");
    written.WriteString(L"C:\\pics\\b.jpg");
    written.WriteString(L"C:\\pics\\b.jpg");
    WriteInt(written, 0);
    const String path = At(L"old.bmk");
    WriteBytes(path, Compress(written.GetBuffer()));

    CCompressRestorer restorer(path);
    EXPECT_EQ(restorer.GetPosition(), 0);
    std::vector<String> paths;
    restorer.ReadStringVector(paths);
    EXPECT_EQ(paths, (std::vector<String>{L"C:\\pics\\a.jpg", L"C:\\pics\\b.jpg"}));
    EXPECT_EQ(restorer.ReadString(), String(L"C:\\pics\\b.jpg"));
    EXPECT_EQ(restorer.ReadCount(), 0);
}

TEST_F(CompressRestorerTest, SmallOrMissingFilesFail)
{
    const std::string tooSmall = Ansi(L"解凍するデータが小さすぎます");
    WriteBytes(At(L"empty.bmk"), {});
    WriteBytes(At(L"sixteen.bmk"), Bytes(16, 1));
    EXPECT_EQ(ThrownText([&] { CCompressRestorer restorer(At(L"empty.bmk")); }), tooSmall);
    EXPECT_EQ(ThrownText([&] { CCompressRestorer restorer(At(L"sixteen.bmk")); }), tooSmall);
    EXPECT_THROW(CCompressRestorer restorer(At(L"missing.bmk")), Brivox::IOException);
}
