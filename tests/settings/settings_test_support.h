#pragma once
// Fixtures of the settings tests: settings files written and read as bytes, and the reviewed
// settings file of a first start.

#include "foundation/file_test_support.h"

#include <cstdlib>
#include <string>

namespace SettingsTestSupport {

using FileTestSupport::Bytes;

// The bytes of a settings file holding the text: a UTF-16LE byte-order mark, then the text in
// UTF-16LE with every line feed written as CR LF.
inline Bytes SettingsFileBytes(const std::string& utf8)
{
    const int length =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
    Bytes bytes = {0xFF, 0xFE};
    for (wchar_t ch : text) {
        if (ch == L'\n') {
            bytes.push_back('\r');
            bytes.push_back(0);
        }
        bytes.push_back(static_cast<unsigned char>(ch & 0xFF));
        bytes.push_back(static_cast<unsigned char>(ch >> 8));
    }
    return bytes;
}

// A file of the test data folder, as UTF-8 text with line feeds.
inline std::string ReadTestData(const char* relative)
{
    const char* folder = std::getenv("KANORU_TEST_DATA");
    EXPECT_NE(folder, nullptr) << "KANORU_TEST_DATA is not set";
    const std::string path = std::string(folder ? folder : ".") + "/" + relative;
    const std::string text =
        FileTestSupport::ReadText(Brivox::String(std::wstring(path.begin(), path.end())));
    EXPECT_FALSE(text.empty()) << path;
    return text;
}

// The settings file that a first start saves, without a Susie installation: every key with its
// default, in key order. Reviewed by hand; kept in UTF-8 so that it reads in a diff.
inline std::string DefaultSettings()
{
    return ReadTestData("settings/default_settings.cfg");
}

// The text with the line of the key replaced ("key = value").
inline std::string WithLine(std::string text, const std::string& key, const std::string& value)
{
    const std::size_t at = text.find("\n" + key + " = ");
    EXPECT_NE(at, std::string::npos) << key;
    if (at == std::string::npos)
        return text;
    const std::size_t end = text.find('\n', at + 1);
    return text.replace(at + 1, end - at - 1, key + " = " + value);
}

} // namespace SettingsTestSupport
