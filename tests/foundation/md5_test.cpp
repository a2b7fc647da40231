#include "foundation/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Brivox::Md5;
using Brivox::Md5HexOfBytes;

namespace {

std::vector<unsigned char> Bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

std::string Hex(const Brivox::String& text)
{
    return std::string(text.CStr(), text.CStr() + text.Length());
}

struct DigestCase
{
    std::string message;
    const char* digest;
};

// The test suite of RFC 1321, and runs of 'a' whose lengths end the message just before, at and
// after the length field's room in the last block.
const DigestCase digestCases[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
    {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
    {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
    {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
    {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
    {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    {std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
};

} // namespace

TEST(Md5Test, WholeMessagesGiveTheReferenceDigests)
{
    for (const DigestCase& c : digestCases)
        EXPECT_EQ(c.digest, Hex(Md5HexOfBytes(Bytes(c.message)))) << c.message.size() << " bytes";
}

TEST(Md5Test, PiecesOfAnySizeGiveTheSameDigest)
{
    for (const DigestCase& c : digestCases) {
        for (unsigned piece : {1u, 63u, 64u, 65u}) {
            Md5 md5;
            const auto bytes = Bytes(c.message);
            for (std::size_t at = 0; at < bytes.size(); at += piece)
                md5.Update(bytes.data() + at,
                           static_cast<unsigned>(std::min<std::size_t>(piece, bytes.size() - at)));
            md5.Final();
            EXPECT_EQ(c.digest, Hex(md5.ToHexString()))
                << c.message.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST(Md5Test, EmptyUpdatesChangeNothingAndTheTextCanBeReadAgain)
{
    Md5 md5;
    md5.Update(nullptr, 0);
    md5.Update(reinterpret_cast<const unsigned char*>("ab"), 2);
    md5.Update(nullptr, 0);
    md5.Update(reinterpret_cast<const unsigned char*>("c"), 1);
    md5.Final();
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Hex(md5.ToHexString()));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", Hex(md5.ToHexString()));
}
