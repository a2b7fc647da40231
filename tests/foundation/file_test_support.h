#pragma once
// Fixtures for the file tests: a private folder per test process (ctest runs test cases as
// parallel processes), and plain system calls to set up and inspect files, so that the checks do
// not lean on the code under test.
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace Brivox {

// Readable Strings in test failures.
inline void PrintTo(const String& text, std::ostream* out)
{
    *out << '"' << GetDefaultEncoding().ToMultiByte(text) << '"';
}

} // namespace Brivox

namespace FileTestSupport {

using Bytes = std::vector<unsigned char>;

inline std::string Ansi(const Brivox::String& text)
{
    return Brivox::GetDefaultEncoding().ToMultiByte(text);
}

// The text of the RuntimeException that f throws, in the ANSI code page.
template <typename F> std::string ThrownText(F f)
{
    try {
        f();
    } catch (const Brivox::RuntimeException& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

// The system's text for an error code, as a Win32Exception appends it after " : ".
inline std::string SystemText(DWORD code)
{
    char* text = nullptr;
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                         FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, code, 0x400, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "";
    ::LocalFree(text);
    return result;
}

inline void WriteBytes(const Brivox::String& path, const Bytes& bytes)
{
    HANDLE file = ::CreateFileW(path.CStr(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Ansi(path);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

inline void WriteText(const Brivox::String& path, const std::string& text)
{
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

inline Bytes ReadBytes(const Brivox::String& path)
{
    Bytes bytes;
    HANDLE file =
        ::CreateFileW(path.CStr(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(::GetFileSize(file, nullptr));
    DWORD read = 0;
    ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

inline std::string ReadText(const Brivox::String& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

inline bool Exists(const Brivox::String& path)
{
    return ::GetFileAttributesW(path.CStr()) != INVALID_FILE_ATTRIBUTES;
}

inline bool IsReadOnly(const Brivox::String& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.CStr());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

inline void MakeFolder(const Brivox::String& path)
{
    ASSERT_TRUE(::CreateDirectoryW(path.CStr(), nullptr)) << Ansi(path);
}

inline void MakeReadOnly(const Brivox::String& path)
{
    ASSERT_TRUE(::SetFileAttributesW(path.CStr(), FILE_ATTRIBUTE_READONLY)) << Ansi(path);
}

// Everything below a folder, as paths relative to it (folders ending with '\'), sorted.
inline void CollectTree(const std::wstring& root, const std::wstring& relative,
                        std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((root + relative + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(relative + name + L"\\");
            CollectTree(root, relative + name + L"\\", out);
        } else {
            out.push_back(relative + name);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

inline std::vector<std::wstring> Tree(const Brivox::String& folder)
{
    std::vector<std::wstring> out;
    CollectTree(folder.CStr(), L"", out);
    std::sort(out.begin(), out.end());
    return out;
}

inline void RemoveAll(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::vector<std::wstring> entries;
        CollectTree(path + L"\\", L"", entries);
        std::sort(entries.rbegin(), entries.rend()); // contents before their folders
        for (const std::wstring& entry : entries) {
            const std::wstring full = path + L"\\" + entry;
            ::SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.back() == L'\\')
                ::RemoveDirectoryW(full.substr(0, full.size() - 1).c_str());
            else
                ::DeleteFileW(full.c_str());
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

// A fresh folder below the temporary folder, removed with everything in it afterwards.
class TempFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::wstring name = std::wstring(temp) + L"kanoru_" + Widen(info->test_suite_name()) + L"_" +
                            Widen(info->name()) + L"_" + std::to_wstring(::GetCurrentProcessId());
        std::replace(name.begin() + static_cast<long>(std::wstring(temp).size()), name.end(), L'/', L'_');
        RemoveAll(name);
        ASSERT_TRUE(::CreateDirectoryW(name.c_str(), nullptr));
        root = Brivox::String(name + L"\\");
    }

    void TearDown() override
    {
        std::wstring name = root.CStr();
        RemoveAll(name.substr(0, name.size() - 1));
    }

    // root + relative path
    Brivox::String At(const wchar_t* relative) const { return root + relative; }

    Brivox::String root; // ends with '\'

private:
    static std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }
};

} // namespace FileTestSupport
