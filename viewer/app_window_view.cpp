// The main window's messages, its view and its caption.
#include "foundation/exception.h"
#include "settings/config_upgrade.h"
#include "ui/screen_changer.h"
#include "ui/window.h"
#include "ui/window_snapper.h"
#include "viewer/app_window.h"
#include "viewer/app_window_messages.h"
#include "viewer/command_table.h"
#include "viewer/title.h"

#include <algorithm>

using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;

namespace {

constexpr int MainIconResource = 102;

} // namespace

bool CAppWindow::HookMessage(Brivox::SMessage& message)
{
    switch (message.message) {
    case WindowRequestMessage:
        return RunWindowRequest(message.lParam);
    case InvalidateRequestMessage:
        InvalidateView({});
        return true;
    case ScrollBarsRequestMessage:
        UpdateScrollBars();
        return true;
    case ErrorReportMessage: {
        std::vector<String> errors;
        {
            std::lock_guard<std::mutex> lock(m_errorsLock);
            errors.swap(m_errors);
        }
        if (errors.empty())
            return true;
        String text = errors.front();
        for (std::size_t i = 1; i < errors.size(); ++i)
            text = text + L"\r\n" + errors[i];
        // The window's error handler shows it.
        throw Brivox::RuntimeException(text);
    }
    case ArcPassMaskMessage:
        StoreArcPassMask(message.wParam != 0);
        return true;
    case WM_COMMAND: {
        const bool handled = OnCommand(message);
        // Any other command the viewer carries out ends a running slide show when so set; the
        // slide-show command toggles it itself.
        if (m_slideShowRunning && handled && LOWORD(message.wParam) != CommandIdBase + CmdSlideShow &&
            m_settings.GetBool(L"SlideShowStopWithCommand"))
            StopSlideShow();
        return handled;
    }
    case WM_TIMER:
        OnSlideShowTimer();
        return true;
    case WM_LBUTTONDOWN:
        OnSelectionPress();
        return true;
    case WM_LBUTTONDBLCLK:
        // Without a selection to work on, the double click is left to the hot keys.
        if (!m_selection->IsValid())
            return false;
        OnSelectionPress();
        return true;
    case WM_LBUTTONUP:
        m_selection->OnMouseUp();
        UpdateTitle();
        return true;
    case WM_MOUSEMOVE:
        if (m_cursorHider)
            m_cursorHider->Wake();
        m_selection->OnMouseMove();
        if (m_selection->IsValid())
            UpdateTitle();
        return true;
    case WM_SETCURSOR:
        return m_selection->OnSetCursor();
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
        // A drag that loses the mouse ends as a release would.
        m_selection->OnCaptureLost();
        UpdateTitle();
        return false;
    case WM_CREATE:
        OnCreate(message.hwnd);
        return true;
    case WM_SIZE:
        if (m_document)
            m_document->SetViewRect(Brivox::CWnd(message.hwnd).GetClientSize());
        UpdateTitle();
        OnMove(message.hwnd);
        return false;
    case WM_MOVE:
        OnMove(message.hwnd);
        return false;
    case WM_PAINT:
        OnPaint(message.hwnd);
        return false;
    case WM_HSCROLL:
        return m_hScrollBar ? m_hScrollBar->OnHScroll(message) : false;
    case WM_VSCROLL:
        return m_vScrollBar ? m_vScrollBar->OnVScroll(message) : false;
    case WM_ENTERSIZEMOVE:
        return m_snapper ? m_snapper->OnEnterSizeMove(message.hwnd) : false;
    case WM_EXITSIZEMOVE:
        return m_snapper ? m_snapper->OnExitSizeMove(message.hwnd) : false;
    case WM_MOVING:
        return m_snapper ? m_snapper->OnMoving(message.hwnd, *reinterpret_cast<RECT*>(message.lParam))
                         : false;
    case WM_DROPFILES:
        if (m_document)
            OpenFiles(Brivox::GetDroppedFiles(reinterpret_cast<HDROP>(message.wParam)), true);
        return true;
    case WM_CLOSE:
        OnClose();
        return true;
    case WM_ENDSESSION:
        // The session ends without a further word: nothing may be lost, nothing may be asked.
        if (message.wParam) {
            CloseDocumentAndCompanions();
            StoreAndSaveSettings();
        }
        return false;
    case WM_APP:
        Brivox::CWnd(message.hwnd).ForceForeground();
        InvalidateView({});
        return true;
    default:
        return OnCompanionMessage(message);
    }
}

void CAppWindow::OnSelectionPress()
{
    // Without an image the press only clears the selection.
    m_selection->OnMouseDown(m_document && m_document->HasPageImage());
    UpdateTitle();
}

void CAppWindow::StartSlideShow()
{
    m_window->SetTimer(SlideShowTimer, static_cast<UINT>(std::max(m_settings.GetInt(L"SlideShowFreq"), 1)));
    m_slideShowRunning = true;
    UpdateMenuState();
}

void CAppWindow::StopSlideShow()
{
    m_window->KillTimer(SlideShowTimer);
    m_slideShowRunning = false;
    UpdateMenuState();
}

void CAppWindow::OnSlideShowTimer()
{
    if (!m_document)
        return;
    const int old = m_document->GetCurrentIndex();
    const bool stopAtEnd = m_settings.GetBool(L"SlideShowStopWithLast");
    bool stop;
    if (m_settings.GetInt(L"SlideShowDist") == 0) {
        m_document->GoNext(-1);
        // The last file on show, or a wrap past the end to the first.
        stop = stopAtEnd && (m_document->IsAtLastFile() || m_document->GetCurrentIndex() < old);
    } else {
        m_document->GoPrevious(-1);
        stop = stopAtEnd && (m_document->IsAtFirstFile() || m_document->GetCurrentIndex() > old);
    }
    if (stop)
        StopSlideShow();
}

void CAppWindow::OnCreate(HWND hwnd)
{
    m_hScrollBar = std::make_unique<Brivox::HScrollBar>(hwnd);
    m_vScrollBar = std::make_unique<Brivox::VScrollBar>(hwnd);
    m_hScrollBar->SetCallback([this](Brivox::ScrollBar&, int, int) { OnScrollBar(); });
    m_vScrollBar->SetCallback([this](Brivox::ScrollBar&, int, int) { OnScrollBar(); });
    const Brivox::CWnd window(hwnd);
    window.SetIcon(MainIconResource);
    window.DragAcceptFiles(true);
}

void CAppWindow::OnMove(HWND hwnd)
{
    const Brivox::CWnd window(hwnd);
    if (!window.IsNormal())
        return;
    if (m_screenChanger && m_screenChanger->GetState() != Brivox::CScreenChanger::Windowed)
        return;
    const Brivox::CPoint position = window.GetPosition();
    const CSize client = window.GetClientSize();
    m_restoreRect = {position.x, position.y, position.x + client.cx, position.y + client.cy};
}

void CAppWindow::OnPaint(HWND hwnd)
{
    const std::shared_ptr<PAINTSTRUCT> paint = Brivox::CWnd(hwnd).BeginPaint();
    if (!m_document)
        return;
    m_document->Paint(*paint);
    if (m_document->HasCurrentImage()) {
        m_document->DrawMarkGlyph(*paint);
        m_document->DrawFilterMark(*paint);
    }
    if (m_document->HasPageImage())
        m_selection->Draw(paint->hdc);
}

void CAppWindow::OnClose()
{
    if (m_document && !ConfirmClose())
        return;
    CloseDocumentAndCompanions();
    m_window->Destroy();
}

void CAppWindow::CloseDocumentAndCompanions()
{
    if (m_document)
        m_document->Close();
    if (m_fileListWindow)
        m_fileListWindow->Close(false);
    if (m_screenChanger) {
        // Closed in full screen, the changer gives the window its menu back where the full-screen
        // place still holds it: the size that follows is no normal placement to keep.
        const bool fullScreen = IsFullScreen();
        const CRect restore = m_restoreRect;
        m_screenChanger->Close();
        m_screenChanger.reset();
        if (fullScreen)
            m_restoreRect = restore;
    }
}

void CAppWindow::OnScrollBar()
{
    if (!m_document || !m_hScrollBar || !m_vScrollBar)
        return;
    const auto clamped = [](const Brivox::ScrollBar& bar) {
        return std::min(std::max(bar.GetPosition(), bar.GetMinimum()), bar.GetMaximum());
    };
    m_document->ScrollTo({clamped(*m_hScrollBar), clamped(*m_vScrollBar)});
}

void CAppWindow::UpdateScrollBars()
{
    if (!HasWindow())
        return;
    if (!OnWindowThread()) {
        m_window->PostMessage(ScrollBarsRequestMessage, 0, 0);
        return;
    }
    if (!m_hScrollBar || !m_vScrollBar || !m_document)
        return;
    const CSize client = m_window->GetClientSize();
    Brivox::ILayout& layout = m_document->GetLayout();
    const CSize excess = layout.GetExcess();
    const Brivox::CPoint offset = layout.GetClampedOffset();
    const bool stickOut = m_settings.GetInt(L"DrawStretchType") <= 2 && m_settings.GetBool(L"DrawStickOut");
    const auto update = [stickOut](Brivox::ScrollBar& bar, int barExcess, int page, int position) {
        try {
            bar.SuspendLayout();
        } catch (const Brivox::ScrollBarAlreadyResumedLayoutException&) {
            return;
        }
        bar.SetMinimum(0);
        bar.SetMaximum(barExcess);
        bar.SetPage(page);
        bar.SetLine(page / 8);
        bar.SetPosition(position);
        bar.SetDisableWhenNotScrollable(stickOut);
        bar.SetShown(stickOut || barExcess > 0);
        bar.SetEnabled(!stickOut || barExcess > 0);
        bar.ResumeLayout();
    };
    update(*m_hScrollBar, excess.cx, client.cx, offset.x);
    update(*m_vScrollBar, excess.cy, client.cy, offset.y);
}

void CAppWindow::InvalidateView(const CRect& rect)
{
    if (!HasWindow())
        return;
    if (!OnWindowThread()) {
        m_window->PostMessage(InvalidateRequestMessage, 0, 0);
        return;
    }
    PublishMagnifierView();
    UpdateTitle();
    if (rect.left < rect.right && rect.top < rect.bottom)
        m_window->RepaintRect(rect);
    else
        m_window->Repaint();
}

void CAppWindow::ReportError(const String& text)
{
    {
        std::lock_guard<std::mutex> lock(m_errorsLock);
        m_errors.push_back(text);
    }
    if (m_window)
        m_window->PostMessage(ErrorReportMessage, 0, 0);
}

CRect CAppWindow::GetSelectionRect() const
{
    if (m_selection && m_selection->IsValid())
        return m_selection->GetRect();
    return {};
}

STitleFacts CAppWindow::GetTitleFacts() const
{
    STitleFacts facts;
    const int current = m_document->GetCurrentIndex();
    const bool shown = current >= 0 && m_document->HasPageImage();
    facts.index = current + 1;
    facts.count = m_document->GetFileCount();
    facts.marks = m_document->CountMarked();
    facts.scale = m_document->GetLayout().GetScaleY();
    if (shown) {
        facts.path = m_document->GetEntryCopy(current)->GetPath();
        facts.image = m_document->GetPageSize();
        facts.fileSizeKiB = static_cast<int>(m_document->GetCurrentFileSize() / 1024);
        facts.imageType = m_document->GetPageName();
        const CRect selection = GetSelectionRect();
        if (selection.Width() > 0 && selection.Height() > 0)
            facts.selection = m_document->ViewRectToImage(selection);
    }
    return facts;
}

String CAppWindow::BuildSaveFileName() const
{
    SSaveNameFacts facts;
    facts.path = m_document->GetCurrentPathOrDefault();
    const int current = m_document->GetCurrentIndex();
    if (current >= 0 && m_document->HasPageImage()) {
        const std::shared_ptr<CFileInfo> entry = m_document->GetEntryCopy(current);
        facts.path = entry->GetPath();
        if (entry->IsInArchive())
            facts.outermostArchive = entry->GetOutermostPath();
    }
    facts.useArchive = m_settings.GetBool(L"SaveNameUseArchive");
    facts.useArchiveFolder = m_settings.GetBool(L"SaveNameUseArchiveDir");
    facts.separator = m_settings.GetString(L"SaveNameSeparator");
    return BuildSaveName(facts);
}

void CAppWindow::UpdateTitle()
{
    if (!m_document || !HasWindow())
        return;
    // Templates of older versions are read as the upgrade at start-up will rewrite them, so their
    // old form never shows.
    const String title = BuildTitle(UpgradeTitleTemplate(m_settings.GetRaw(L"Titlebar")), GetTitleFacts());
    if (!(m_window->GetText() == title))
        m_window->SetText(title);
}
