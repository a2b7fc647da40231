#include "foundation/clipboard.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <cstring>
#include <string>

namespace Brivox {

namespace {

const wchar_t textFailure[] = L"クリップボードへの文字列の設定に失敗";
const wchar_t imageFailure[] = L"クリップボードへの画像の設定に失敗";
const wchar_t readFailure[] = L"クリップボードからの画像の取得に失敗";

// The error code of the failing call, read before anything else can change it.
[[noreturn]] void ThrowLastError(const wchar_t* message)
{
    const DWORD error = ::GetLastError();
    throw Win32Exception(error, message);
}

// The clipboard, open for the length of a block.
class OpenClipboardScope
{
public:
    explicit OpenClipboardScope(const wchar_t* failure)
    {
        if (!::OpenClipboard(nullptr))
            ThrowLastError(failure);
    }
    ~OpenClipboardScope() { ::CloseClipboard(); }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
};

// A moveable global memory block, freed unless the clipboard took it.
class GlobalBlock
{
public:
    GlobalBlock(const void* bytes, std::size_t size)
        : m_block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size))
    {
        if (!m_block)
            ThrowLastError(textFailure);
        void* target = ::GlobalLock(m_block);
        if (!target) {
            const DWORD error = ::GetLastError();
            ::GlobalFree(m_block);
            throw Win32Exception(error, textFailure);
        }
        std::memcpy(target, bytes, size);
        ::GlobalUnlock(m_block);
    }
    ~GlobalBlock()
    {
        if (m_block)
            ::GlobalFree(m_block);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    // Hands the block to the clipboard, which owns it from then on.
    void PutOnClipboard(UINT format)
    {
        if (!::SetClipboardData(format, m_block))
            ThrowLastError(textFailure);
        m_block = nullptr;
    }

private:
    HGLOBAL m_block;
};

// The screen's device context and a memory device context compatible with it.
class ScreenMemoryDc
{
public:
    explicit ScreenMemoryDc(const wchar_t* failure) : m_screen(::GetDC(nullptr))
    {
        if (!m_screen)
            ThrowLastError(failure);
        m_memory = ::CreateCompatibleDC(m_screen);
        if (!m_memory) {
            const DWORD error = ::GetLastError();
            ::ReleaseDC(nullptr, m_screen);
            throw Win32Exception(error, failure);
        }
    }
    ~ScreenMemoryDc()
    {
        ::DeleteDC(m_memory);
        ::ReleaseDC(nullptr, m_screen);
    }
    ScreenMemoryDc(const ScreenMemoryDc&) = delete;
    ScreenMemoryDc& operator=(const ScreenMemoryDc&) = delete;

    HDC Screen() const { return m_screen; }
    HDC Memory() const { return m_memory; }

private:
    HDC m_screen;
    HDC m_memory;
};

// A bitmap selected into a device context for the length of a block.
class SelectedBitmap
{
public:
    SelectedBitmap(HDC dc, HBITMAP bitmap) : m_dc(dc), m_previous(::SelectObject(dc, bitmap)) {}
    ~SelectedBitmap() { ::SelectObject(m_dc, m_previous); }
    SelectedBitmap(const SelectedBitmap&) = delete;
    SelectedBitmap& operator=(const SelectedBitmap&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

} // namespace

void SetClipboardText(const String& text)
{
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    GlobalBlock narrow(ansi.c_str(), ansi.size() + 1);
    GlobalBlock wide(text.CStr(), (static_cast<std::size_t>(text.Length()) + 1) * sizeof(wchar_t));
    OpenClipboardScope clipboard(textFailure);
    ::EmptyClipboard();
    narrow.PutOnClipboard(CF_TEXT);
    wide.PutOnClipboard(CF_UNICODETEXT);
}

void SetClipboardImage(HDC source, const CRect& rectangle)
{
    const ScreenMemoryDc dcs(imageFailure);
    HBITMAP bitmap = ::CreateCompatibleBitmap(dcs.Screen(), rectangle.Width(), rectangle.Height());
    if (!bitmap)
        ThrowLastError(imageFailure);
    {
        SelectedBitmap selected(dcs.Memory(), bitmap);
        ::BitBlt(dcs.Memory(), 0, 0, rectangle.Width(), rectangle.Height(), source, rectangle.left,
                 rectangle.top, SRCCOPY);
    }
    // The bitmap belongs to the clipboard once it is put there, and is ours to delete until then.
    try {
        OpenClipboardScope clipboard(imageFailure);
        ::EmptyClipboard();
        if (!::SetClipboardData(CF_BITMAP, bitmap))
            ThrowLastError(imageFailure);
    } catch (...) {
        ::DeleteObject(bitmap);
        throw;
    }
}

bool GetClipboardImage(HDC target, const CPoint& position, CSize& size)
{
    if (!::IsClipboardFormatAvailable(CF_BITMAP))
        return false;
    OpenClipboardScope clipboard(readFailure);
    // Owned by the clipboard: used, never deleted.
    HBITMAP bitmap = static_cast<HBITMAP>(::GetClipboardData(CF_BITMAP));
    if (!bitmap)
        ThrowLastError(readFailure);
    const ScreenMemoryDc dcs(readFailure);
    SelectedBitmap selected(dcs.Memory(), bitmap);
    BITMAP record = {};
    if (!::GetObjectA(bitmap, sizeof record, &record))
        ThrowLastError(readFailure);
    if (record.bmWidth <= 0 || record.bmHeight <= 0)
        throw RuntimeException(L"クリップボードの画像の大きさの取得に失敗しました");
    size = CSize{record.bmWidth, record.bmHeight};
    ::BitBlt(target, position.x, position.y, record.bmWidth, record.bmHeight, dcs.Memory(), 0, 0, SRCCOPY);
    return true;
}

} // namespace Brivox
