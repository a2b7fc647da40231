#pragma once
// The file list window beside the main window: a modeless dialog on a window thread of its own
// whose owner-data list view shows every entry of the document's list with its load state and
// mark, selects the current entry and hands a double-clicked row to the main window.
//
// The list tells the window of changes from any thread that changes it, with the document lock
// held; the window only posts itself a note then and reads the rows later on its own thread,
// through the document's copy taken under that lock. So no thread ever waits for this window while
// it holds the document lock.

#include "document/document.h"
#include "foundation/geometry.h"
#include "foundation/string.h"
#include "ui/msg_hook.h"

#include <atomic>
#include <memory>
#include <string>

namespace Brivox {
class CWindow;
}

class CFileListWindow : public Brivox::IMsgHooker, public IFileListObserver
{
public:
    // Posted to the main window with the double-clicked row's index in wParam; its thread makes
    // that entry current.
    static constexpr UINT GoToMessage = WM_APP + 0x110;

    explicit CFileListWindow(CDocument& document);
    // Closes the window (the main window brought to the front) and waits for its thread.
    ~CFileListWindow() override;

    bool IsOpen() const;
    // Shows the window at the stored rectangle without taking the focus; nothing when open.
    void Open(HWND owner);
    // Ends the window and waits, serving this thread's messages, until its thread has ended.
    void Close(bool activateOwner);

    // Position and size in screen coordinates, kept as the window moves and is resized.
    Brivox::CRect GetRect() const;
    void SetRect(const Brivox::CRect& rect);

    // Only post a note to the window; callable with the document lock held, from any thread.
    void Refresh() override;
    void UpdateRow(int index) override;

    bool HookMessage(Brivox::SMessage& message) override;

    // The dialog while it exists, for the tests.
    HWND GetHandle() const { return m_dialog.load(); }

    // A text into a list view's buffer of n characters (bytes for the narrow form): whole with its
    // terminator when it fits, nothing when n < 5, else cut and ended with "...".
    static void CopyToTextBufferW(wchar_t* buffer, int n, const wchar_t* text, int length);
    static void CopyToTextBufferA(char* buffer, int n, const char* text, int length);

    // The text of a cell: the file name, the load state or the mark.
    static Brivox::String CellText(const CDocument::SListRow& row, int column);

private:
    void OnInitDialog(HWND hwnd);
    // Reads the rows again when a change was told since the last reading.
    void ReadRows();
    void ShowRows();
    void ResizeColumns() const;
    bool OnNotify(HWND hwnd, const NMHDR& header);
    void OnDoubleClick();
    // Into the buffer the notification supplies, in the text form of the notification.
    static void CopyText(const Brivox::String& text, void* buffer, int size, bool wide);

    CDocument& m_document;
    std::atomic<HWND> m_owner{nullptr};
    std::unique_ptr<Brivox::CWindow> m_window;
    std::atomic<int> m_width{0}, m_height{0};
    std::atomic<int> m_x{0}, m_y{0};
    std::atomic<bool> m_activateOwner{false};
    // The dialog's handle from its creation until its end: what other threads post to.
    std::atomic<HWND> m_dialog{nullptr};
    // A change was told that the rows read last do not show yet; a refresh of the count and the
    // selection is pending.
    std::atomic<bool> m_rowsStale{true};
    std::atomic<bool> m_refreshPending{false};
    // The rows as last read, used only on the window's thread.
    CDocument::SListRows m_rows;
};
