#include "viewer/file_list_window.h"

#include "foundation/encoding.h"
#include "foundation/file_name.h"
#include "resources/file_list_window_ids.h"
#include "ui/ctrl.h"
#include "ui/window.h"

#include <commctrl.h>

#include <cstring>

using Brivox::CRect;
using Brivox::String;

namespace {

// The window's own note: wParam 0 the list changed (count and selection), 1 the row in lParam.
constexpr UINT ChangedMessage = WM_APP + 0x111;
constexpr WPARAM ListChanged = 0;
constexpr WPARAM RowChanged = 1;

constexpr int StateColumnWidth = 24;

template <class Char> void CopyToBuffer(Char* buffer, int n, const Char* text, int length, const Char* dots)
{
    if (!buffer)
        return;
    if (length + 1 < n) {
        std::memcpy(buffer, text, sizeof(Char) * static_cast<std::size_t>(length));
        buffer[length] = 0;
        return;
    }
    if (n < 5)
        return;
    const int kept = n - 4;
    std::memcpy(buffer, text, sizeof(Char) * static_cast<std::size_t>(kept));
    std::memcpy(buffer + kept, dots, sizeof(Char) * 3);
    buffer[n - 1] = 0;
}

} // namespace

CFileListWindow::CFileListWindow(CDocument& document) : m_document(document) {}

CFileListWindow::~CFileListWindow()
{
    Close(true);
}

bool CFileListWindow::IsOpen() const
{
    return m_window && ::IsWindow(m_window->GetHandle());
}

void CFileListWindow::Open(HWND owner)
{
    if (IsOpen())
        return;
    m_owner = owner;
    // Only the command's own close brings the main window to the front; the close box does not.
    m_activateOwner = false;
    m_rowsStale = true;
    m_window.reset();
    m_window = std::make_unique<Brivox::CWindow>();
    m_window->GetHookList()->Add(this);
    Brivox::CDialogParameter parameter(IDD_FILE_LIST);
    parameter.activate = false;
    m_window->CreateDialog(parameter);
}

void CFileListWindow::Close(bool activateOwner)
{
    if (!m_window)
        return;
    m_activateOwner = activateOwner;
    if (::IsWindow(m_window->GetHandle()))
        m_window->PostMessage(WM_CLOSE, 0, 0);
    // Waits for the window's thread while serving this thread's messages; whatever this thread
    // serves meanwhile finds the window closed.
    m_window.reset();
    m_dialog = nullptr;
}

CRect CFileListWindow::GetRect() const
{
    const int x = m_x, y = m_y;
    return {x, y, x + m_width, y + m_height};
}

void CFileListWindow::SetRect(const CRect& rect)
{
    m_x = rect.left;
    m_y = rect.top;
    m_width = rect.Width();
    m_height = rect.Height();
}

void CFileListWindow::Refresh()
{
    m_rowsStale = true;
    const HWND dialog = m_dialog;
    // One note at a time: the window reads the newest state whenever it comes to it.
    if (dialog && !m_refreshPending.exchange(true))
        ::PostMessageA(dialog, ChangedMessage, ListChanged, 0);
}

void CFileListWindow::UpdateRow(int index)
{
    m_rowsStale = true;
    if (const HWND dialog = m_dialog)
        ::PostMessageA(dialog, ChangedMessage, RowChanged, index);
}

String CFileListWindow::CellText(const CDocument::SListRow& row, int column)
{
    switch (column) {
    case 0:
        return Brivox::CFileName::GetFileName(row.path);
    case 1:
        switch (row.state) {
        case -1:
            return L"\u00D7";
        case 1:
            return L"\u2015";
        case 2:
            return L"\u25CB";
        default:
            return {};
        }
    case 2:
        return row.marked ? L"\u25CF" : L"";
    default:
        return {};
    }
}

void CFileListWindow::CopyToTextBufferW(wchar_t* buffer, int n, const wchar_t* text, int length)
{
    CopyToBuffer(buffer, n, text, length, L"...");
}

void CFileListWindow::CopyToTextBufferA(char* buffer, int n, const char* text, int length)
{
    CopyToBuffer(buffer, n, text, length, "...");
}

void CFileListWindow::CopyText(const String& text, void* buffer, int size, bool wide)
{
    // The buffer is of the notification's own form: a wide text into a narrow buffer would
    // overrun it.
    if (wide) {
        CopyToTextBufferW(static_cast<wchar_t*>(buffer), size, text.CStr(), text.Length());
    } else {
        const std::string narrow = Brivox::GetDefaultEncoding().ToMultiByte(text);
        CopyToTextBufferA(static_cast<char*>(buffer), size, narrow.c_str(), static_cast<int>(narrow.size()));
    }
}

bool CFileListWindow::HookMessage(Brivox::SMessage& message)
{
    const Brivox::CWnd dialog(message.hwnd);
    switch (message.message) {
    case WM_INITDIALOG:
        OnInitDialog(message.hwnd);
        return true;
    case WM_APP:
        ReadRows();
        ShowRows();
        Brivox::CWnd(m_owner).ForceForeground();
        return true;
    case ChangedMessage:
        if (message.wParam == ListChanged) {
            m_refreshPending = false;
            ReadRows();
            ShowRows();
        } else {
            ReadRows();
            dialog.GetDlgItem(IDC_FILE_LIST).ListViewUpdate(static_cast<int>(message.lParam));
        }
        return true;
    case WM_MOVE:
        // A minimised window's place is no place to open at again.
        if (!::IsIconic(message.hwnd)) {
            const Brivox::CPoint position = dialog.GetPosition();
            m_x = position.x;
            m_y = position.y;
        }
        return true;
    case WM_SIZE: {
        const Brivox::CSize client = dialog.GetClientSize();
        dialog.GetDlgItem(IDC_FILE_LIST).SetRect({0, 0, client.cx, client.cy});
        ResizeColumns();
        if (message.wParam != SIZE_MINIMIZED) {
            const Brivox::CSize size = dialog.GetSize();
            m_width = size.cx;
            m_height = size.cy;
        }
        return true;
    }
    case WM_CLOSE:
        // The dialog ends on its own thread, as its window object would end it.
        ::DestroyWindow(message.hwnd);
        if (m_activateOwner)
            Brivox::CWnd(m_owner).ForceForeground();
        return true;
    case WM_DESTROY:
        m_dialog = nullptr;
        return false;
    case WM_NOTIFY: {
        const NMHDR& header = *reinterpret_cast<const NMHDR*>(message.lParam);
        if (header.idFrom != IDC_FILE_LIST)
            return false;
        return OnNotify(message.hwnd, header);
    }
    default:
        return false;
    }
}

void CFileListWindow::OnInitDialog(HWND hwnd)
{
    const Brivox::CWnd dialog(hwnd);
    m_dialog = hwnd;
    ::SetWindowPos(hwnd, nullptr, m_x, m_y, m_width, m_height, SWP_NOZORDER | SWP_NOACTIVATE);
    dialog.Show(SW_SHOWNOACTIVATE);
    const Brivox::CCtrl list = dialog.GetDlgItem(IDC_FILE_LIST);
    list.ListViewSetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    list.ListViewInsertColumn(0, L"ファイル名", 1, 0);
    list.ListViewInsertColumn(1, L"", 1, 0);
    list.ListViewInsertColumn(2, L"", 1, 0);
    ReadRows();
    ShowRows();
    dialog.Repaint();
    dialog.PostMessage(WM_APP, 0, 0);
}

void CFileListWindow::ReadRows()
{
    if (m_rowsStale.exchange(false))
        m_rows = m_document.GetListRows();
}

void CFileListWindow::ShowRows()
{
    const HWND dialog = m_dialog;
    if (!dialog)
        return;
    const Brivox::CCtrl list = Brivox::CWnd(dialog).GetDlgItem(IDC_FILE_LIST);
    const int count = static_cast<int>(m_rows.rows.size());
    list.ListViewSetItemCount(count);
    if (m_rows.current >= 0 && m_rows.current < count) {
        list.ListViewSelectItem(m_rows.current, true);
        list.ListViewScrollToSelection();
    }
    ResizeColumns();
}

void CFileListWindow::ResizeColumns() const
{
    const HWND dialog = m_dialog;
    if (!dialog)
        return;
    const Brivox::CCtrl list = Brivox::CWnd(dialog).GetDlgItem(IDC_FILE_LIST);
    const int width = list.GetClientSize().cx;
    list.ListViewSetColumn(0, L"ファイル名", width - 2 * StateColumnWidth, 0);
    list.ListViewSetColumn(1, L"", StateColumnWidth, 0);
    list.ListViewSetColumn(2, L"", StateColumnWidth, 0);
}

bool CFileListWindow::OnNotify(HWND, const NMHDR& header)
{
    const int count = static_cast<int>(m_rows.rows.size());
    switch (header.code) {
    case LVN_GETDISPINFOA:
    case LVN_GETDISPINFOW: {
        // Both records begin alike; only the text pointer's form differs.
        auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
        if (!(info.item.mask & LVIF_TEXT) || info.item.iItem < 0 || info.item.iItem >= count)
            return false;
        const String text =
            CellText(m_rows.rows[static_cast<std::size_t>(info.item.iItem)], info.item.iSubItem);
        CopyText(text, info.item.pszText, info.item.cchTextMax, header.code == LVN_GETDISPINFOW);
        return true;
    }
    case LVN_GETINFOTIPA:
    case LVN_GETINFOTIPW: {
        auto& tip = const_cast<NMLVGETINFOTIPW&>(reinterpret_cast<const NMLVGETINFOTIPW&>(header));
        if (tip.iItem < 0 || tip.iItem >= count)
            return false;
        CopyText(m_rows.rows[static_cast<std::size_t>(tip.iItem)].path, tip.pszText, tip.cchTextMax,
                 header.code == LVN_GETINFOTIPW);
        return true;
    }
    case NM_DBLCLK: {
        const int selected = Brivox::CCtrl(header.hwndFrom).ListViewGetSelectedIndex();
        if (selected < 0 || selected >= count)
            return false;
        // The main window's thread moves there; no document entry point runs on this thread.
        ::PostMessageA(m_owner, GoToMessage, static_cast<WPARAM>(selected), 0);
        Brivox::CWnd(m_owner).ForceForeground();
        return true;
    }
    default:
        return false;
    }
}
