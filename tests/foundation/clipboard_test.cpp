#include "foundation/clipboard.h"
#include "support/clipboard_turn.h"

#include "foundation/exception.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;

namespace {

// The clipboard is one for every test process of the prefix: the tests that use it take turns
// through a named mutex.
class ClipboardTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_clipboard.Take()); }

private:
    KanoruTest::ClipboardTurn m_clipboard;
};

// The bytes of one clipboard format, read with plain system calls.
std::string ClipboardBytes(UINT format)
{
    std::string bytes;
    if (!::OpenClipboard(nullptr))
        return "<clipboard not opened>";
    if (HANDLE data = ::GetClipboardData(format)) {
        const char* p = static_cast<const char*>(::GlobalLock(data));
        bytes.assign(p, ::GlobalSize(data));
        ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return bytes;
}

// A memory device context over a top-down 32-bit DIB section whose pixels the test reads and
// writes directly.
class DibCanvas
{
public:
    DibCanvas(int width, int height) : m_width(width)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_pixels = static_cast<std::uint32_t*>(bits);
        m_dc = ::CreateCompatibleDC(nullptr);
        m_previous = ::SelectObject(m_dc, m_bitmap);
        std::memset(m_pixels, 0, sizeof(std::uint32_t) * width * height);
    }
    ~DibCanvas()
    {
        ::SelectObject(m_dc, m_previous);
        ::DeleteDC(m_dc);
        ::DeleteObject(m_bitmap);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    // Colour only: the screen-compatible copy need not keep the alpha byte.
    std::uint32_t Rgb(int x, int y) const
    {
        ::GdiFlush();
        return m_pixels[y * m_width + x] & 0xFFFFFF;
    }
    void Set(int x, int y, std::uint32_t value) { m_pixels[y * m_width + x] = value; }

private:
    int m_width;
    HBITMAP m_bitmap = nullptr;
    std::uint32_t* m_pixels = nullptr;
    HDC m_dc = nullptr;
    HGDIOBJ m_previous = nullptr;
};

} // namespace

TEST_F(ClipboardTest, TextGoesInTheAnsiCodePageAndAsUnicode)
{
    ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    // U+AC00 has no place in code page 932: only the Unicode form keeps it.
    const String text(L"日本語\uAC00");
    Brivox::SetClipboardText(text);
    EXPECT_EQ(std::string("\x93\xFA\x96\x7B\x8C\xEA?", 8), ClipboardBytes(CF_TEXT).substr(0, 8));
    const std::string wide = ClipboardBytes(CF_UNICODETEXT);
    EXPECT_EQ(std::wstring(L"日本語\uAC00"), std::wstring(reinterpret_cast<const wchar_t*>(wide.data())));
}

TEST_F(ClipboardTest, ImageRoundTripsIntoTheTargetAtThePosition)
{
    DibCanvas source(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            source.Set(x, y, 0x00103050u + 0x10000u * x + 0x100u * y * 7 + 3u * (x ^ y));
    Brivox::SetClipboardImage(source.Dc(), CRect{2, 1, 6, 4});

    DibCanvas target(10, 8);
    CSize size;
    ASSERT_TRUE(Brivox::GetClipboardImage(target.Dc(), CPoint{3, 2}, size));
    EXPECT_EQ((CSize{4, 3}), size);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 7 && y >= 2 && y < 5;
            EXPECT_EQ(inside ? source.Rgb(x - 1, y - 1) : 0u, target.Rgb(x, y)) << x << "," << y;
        }
    }
}

TEST_F(ClipboardTest, NoImageGivesFalseWithoutOpeningTheClipboard)
{
    Brivox::SetClipboardText(L"text only");
    // Held open by another thread: an attempt to open it here would fail and throw.
    HANDLE opened = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        const BOOL open = ::OpenClipboard(nullptr);
        ::SetEvent(opened);
        ::WaitForSingleObject(release, INFINITE);
        if (open)
            ::CloseClipboard();
    });
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(opened, 60000));
    DibCanvas target(2, 2);
    CSize size{-5, -5};
    EXPECT_FALSE(Brivox::GetClipboardImage(target.Dc(), CPoint{0, 0}, size));
    EXPECT_EQ((CSize{-5, -5}), size);
    ::SetEvent(release);
    holder.join();
    ::CloseHandle(opened);
    ::CloseHandle(release);
}

TEST_F(ClipboardTest, ClipboardIsFreeForOthersAfterEachOperation)
{
    // Another thread: the thread that opened the clipboard could open it again while it is open.
    const auto openableElsewhere = [] {
        BOOL opened = FALSE;
        std::thread other([&] {
            opened = ::OpenClipboard(nullptr);
            if (opened)
                ::CloseClipboard();
        });
        other.join();
        return opened != FALSE;
    };
    DibCanvas source(3, 3);
    CSize size;
    Brivox::SetClipboardText(L"x");
    EXPECT_TRUE(openableElsewhere());
    EXPECT_FALSE(Brivox::GetClipboardImage(source.Dc(), CPoint{0, 0}, size));
    Brivox::SetClipboardImage(source.Dc(), CRect{0, 0, 3, 3});
    EXPECT_TRUE(openableElsewhere());
    EXPECT_TRUE(Brivox::GetClipboardImage(source.Dc(), CPoint{0, 0}, size));
    EXPECT_TRUE(openableElsewhere());
}
