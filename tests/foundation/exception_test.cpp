#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>

namespace {

using Brivox::String;

std::string Ansi(const String& text)
{
    return Brivox::GetDefaultEncoding().ToMultiByte(text);
}

// What the system itself says about an error, as the exception must quote it.
std::string SystemText(DWORD error)
{
    char* buffer = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer, length);
    ::LocalFree(buffer);
    return text;
}

static_assert(std::is_base_of_v<std::exception, Brivox::Exception>);
static_assert(std::is_base_of_v<Brivox::ProgramException, Brivox::InvalidOprationException>);
static_assert(std::is_base_of_v<Brivox::RuntimeException, Brivox::IOException>);
static_assert(std::is_base_of_v<Brivox::Win32Exception, Brivox::DllNotFoundException>);
static_assert(std::is_base_of_v<Brivox::Win32Exception, Brivox::EntryPointNotFoundException>);
static_assert(std::is_base_of_v<Brivox::RuntimeException, Brivox::ImageLoadException>);
static_assert(std::is_base_of_v<Brivox::RuntimeException, Brivox::AccessViolationException>);

} // namespace

TEST(Exception, LongMessageIsCutAtAWholeCharacterWithinItsLimit)
{
    // Japanese text takes two bytes a character only in code page 932; elsewhere this would pass
    // on '?' characters.
    ASSERT_EQ(::GetACP(), 932u);
    struct Case
    {
        String message;
        std::size_t bytes;
    };
    const Case cases[] = {
        {String(L'あ', 600), 510},        // 511 would end inside a character
        {L"a" + String(L'あ', 600), 511}, // one single-byte character first: the cut fits exactly
        {String(L'a', 600), 511},
        {String(L'あ', 255), 510}, // fits whole
    };
    for (const Case& c : cases) {
        const Brivox::RuntimeException e(c.message);
        EXPECT_EQ(std::string(e.what()), Ansi(c.message).substr(0, c.bytes));
    }
}

TEST(Exception, CopyReportsTheSameText)
{
    try {
        throw Brivox::IOException(L"ファイル 'a.txt' の読み込みに失敗");
    } catch (const std::exception& e) {
        const Brivox::IOException copy(dynamic_cast<const Brivox::IOException&>(e));
        EXPECT_STREQ(copy.what(), e.what());
        EXPECT_EQ(std::string(e.what()), Ansi(L"ファイル 'a.txt' の読み込みに失敗"));
    }
}

TEST(Exception, ThreadsThrowingAtOnceEachReadTheirOwnText)
{
    // Each thread holds its caught exception until the other has made its own. (std::latch
    // never wakes up with this C++ library on Windows.)
    std::mutex lock;
    std::condition_variable changed;
    int caught = 0;
    std::string seen[2];
    const String messages[2] = {L"スレッド一の失敗", L"second thread failed"};
    auto run = [&](int i) {
        try {
            throw Brivox::RuntimeException(messages[i]);
        } catch (const Brivox::Exception& e) {
            std::unique_lock<std::mutex> hold(lock);
            ++caught;
            changed.notify_all();
            changed.wait(hold, [&] { return caught == 2; });
            seen[i] = e.what();
        }
    };
    std::thread first(run, 0);
    std::thread second(run, 1);
    first.join();
    second.join();
    EXPECT_EQ(seen[0], Ansi(messages[0]));
    EXPECT_EQ(seen[1], Ansi(messages[1]));
}

TEST(Win32Exception, AddsTheSystemTextOfTheLastError)
{
    const String message = L"ファイル 'missing.txt' のオープンに失敗";

    ::SetLastError(0);
    EXPECT_EQ(std::string(Brivox::Win32Exception(message).what()), Ansi(message));

    const HANDLE file = ::CreateFileW(L"C:\\no such folder\\missing.txt", GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_EQ(file, INVALID_HANDLE_VALUE);
    const DWORD error = ::GetLastError();
    ASSERT_NE(error, 0u);
    const Brivox::DllNotFoundException e(message);
    EXPECT_EQ(std::string(e.what()), Ansi(message) + " : " + SystemText(error));
}

TEST(Win32Exception, ErrorWithoutSystemTextGivesItsCode)
{
    // Bit 29 marks an application's own code, which the system has no text for.
    const DWORD code = 0x20001234;
    ASSERT_EQ(SystemText(code), "");
    ::SetLastError(code);
    const Brivox::Win32Exception e(L"処理に失敗");
    EXPECT_EQ(std::string(e.what()), Ansi(L"処理に失敗 : エラーコード 536875572"));
}

TEST(Win32Exception, LongTextIsCutAtAWholeCharacter)
{
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    const Brivox::Win32Exception e(String(L'漢', 300));
    EXPECT_EQ(std::string(e.what()), Ansi(String(L'漢', 255)));
}
