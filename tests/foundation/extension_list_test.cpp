#include "foundation/extension_list.h"

#include "file_test_support.h"

#include <gtest/gtest.h>

using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::ThrownText;

TEST(ValidateExtensionList, TrimsBlanksDotsAndWildcards)
{
    const struct
    {
        const wchar_t* typed;
        const wchar_t* kept;
    } cases[] = {
        {L" .jpg ", L"jpg"}, {L"*.png", L"png"},   {L"..x", L"x"},     {L". ", L""},       {L"   ", L""},
        {L"", L""},          {L"*.*.gif", L"gif"}, {L"JPEG", L"JPEG"}, {L"漢字", L"漢字"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(String(c.kept), Brivox::ValidateExtensionList(c.typed)) << Ansi(c.typed);
}

TEST(ValidateExtensionList, RefusesWhatCannotBePartOfAnExtensionNamingTheTypedText)
{
    // A lone dot stays a dot; the rest hold a refused character after trimming. The tab and the
    // other control characters would hide a different key name.
    for (const wchar_t* typed : {L".", L"a b", L"a.b", L"a;b", L"a?b", L"a\tb", L" *.a*b", L"a\\b", L"a/b",
                                 L"a:b", L"a<b", L"a>b", L"a|b", L"a\"b", L"a\x7F", L"\x1F", L"x\r\n"}) {
        EXPECT_EQ(Ansi(String(typed) + L" は不正な拡張子っぽいです"),
                  ThrownText([&] { Brivox::ValidateExtensionList(typed); }))
            << Ansi(typed);
    }
}

TEST(RequireValidExtension, AcceptsOnlyItemsAlreadyInTheValidatedForm)
{
    for (const wchar_t* item : {L"jpg", L"webp", L"漢字"})
        EXPECT_NO_THROW(Brivox::RequireValidExtension(item)) << Ansi(item);
    // Trimming would change these, so they are not extensions as they stand.
    for (const wchar_t* item : {L" jpg", L".jpg", L"*.jpg", L"jpg ", L"web\\p", L"..\\x"})
        EXPECT_EQ(Ansi(String(item) + L" は不正な拡張子っぽいです"),
                  ThrownText([&] { Brivox::RequireValidExtension(item); }))
            << Ansi(item);
}
