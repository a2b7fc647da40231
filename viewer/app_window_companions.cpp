// The main window's companions: the file list window and the magnifier, their commands and the
// magnifier's contents.
#include "ui/window.h"
#include "viewer/app_window.h"
#include "viewer/command_table.h"

using Brivox::CPoint;
using Brivox::CSize;

bool CAppWindow::RunCompanionCommand(int command)
{
    switch (command) {
    case CmdFileListWindow:
        if (m_fileListWindow->IsOpen())
            m_fileListWindow->Close(true);
        else
            m_fileListWindow->Open(m_window->GetHandle());
        m_window->ForceForeground();
        m_window->PostMessage(WM_APP, 0, 0);
        return true;
    case CmdMagnifier:
        if (m_document->HasCurrentImage())
            m_magnifier->Show();
        return true;
    default:
        return false;
    }
}

bool CAppWindow::OnCompanionMessage(const Brivox::SMessage& message)
{
    if (message.message != CFileListWindow::GoToMessage)
        return false;
    // The row the list window's double click chose, made current on this thread.
    if (m_document)
        m_document->GoTo(static_cast<int>(message.wParam));
    return true;
}

void CAppWindow::EndCompanions()
{
    m_magnifier.reset();
    if (m_fileListWindow) {
        m_fileListWindow->Close(false);
        if (m_document)
            m_document->SetFileListWindow(nullptr);
    }
}

void CAppWindow::PublishMagnifierView()
{
    auto view = std::make_shared<SMagnifierView>();
    view->magnification = m_settings.GetInt(L"Magnification");
    if (m_document && m_document->HasPageImage()) {
        // A clone starts from the aligned placement: the scroll position is set on it again.
        Brivox::ILayout& layout = m_document->GetLayout();
        view->layout = layout.Clone();
        view->layout->SetOrigin(layout.GetClampedOffset());
    }
    std::lock_guard<std::mutex> lock(m_magnifierViewLock);
    m_magnifierView = std::move(view);
}

void CAppWindow::DrawMagnified(const PAINTSTRUCT& paint, const CSize& client, const CPoint& cursor)
{
    SMagnifiedPlacement placement;
    {
        std::lock_guard<std::mutex> lock(m_magnifierViewLock);
        if (!m_magnifierView || !m_magnifierView->layout)
            return;
        placement = PlaceMagnified(*m_magnifierView->layout, client, cursor, m_magnifierView->magnification);
    }
    if (!placement.draw && placement.black.empty())
        return;
    if (placement.draw)
        m_document->DrawMagnified(paint, placement.destination, placement.source);
    const auto black = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    for (const Brivox::CRect& band : placement.black) {
        const RECT rect{band.left, band.top, band.right, band.bottom};
        ::FillRect(paint.hdc, &rect, black);
    }
    // Asynchronous: the main window repaints on its own thread.
    ::InvalidateRect(m_window->GetHandle(), nullptr, FALSE);
}
