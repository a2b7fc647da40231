#include "ui/tab_ctrl.h"

#include "foundation/encoding.h"

#include <commctrl.h>

#include <string>

namespace Brivox {

bool CTabPage::HookMessage(SMessage& message)
{
    if (message.message != WM_CLOSE)
        return false;
    GetWindow().Destroy();
    return true;
}

void CTabPage::Create(IMsgHooker* owner, HWND parent)
{
    CWindow& window = GetWindow();
    window.GetHookList()->Add(owner);
    CDialogParameter parameter(static_cast<WORD>(GetTemplateId()), parent);
    parameter.activate = true;
    window.CreateDialogHere(parameter);
    constexpr DWORD withoutCaption = 0xFF3FFFFF;
    ::SetWindowLongA(window.GetHandle(), GWL_STYLE,
                     static_cast<LONG>(static_cast<DWORD>(::GetWindowLongA(window.GetHandle(), GWL_STYLE)) &
                                       withoutCaption));
    window.EnableThemeDialogTexture(true, true);
}

void CTabPage::Close()
{
    const HWND hwnd = GetWindow().GetHandle();
    if (::IsWindow(hwnd))
        ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
}

void CTabPage::Show()
{
    GetWindow().Show(SW_SHOWNORMAL);
}

void CTabPage::Hide()
{
    GetWindow().Hide();
}

CSize CTabPage::GetSize() const
{
    return GetWindow().GetSize();
}

void CTabPage::Move(CPoint point)
{
    GetWindow().SetPosition(point.x, point.y);
}

CTabCtrl::CTabCtrl(IOwner* owner, CWindow& dialog, int itemId)
    : CCtrl(::GetDlgItem(dialog.GetHandle(), itemId)), m_owner(owner), m_parent(dialog.GetHandle())
{
    dialog.GetHookList()->Add(this);
}

CTabCtrl::~CTabCtrl()
{
    for (const std::shared_ptr<CTabPage>& page : m_pages)
        if (page)
            page->Close();
    m_pages.clear();
}

void CTabCtrl::AddPage(const String& caption, std::shared_ptr<CTabPage> page)
{
    InsertPage(GetPageCount(), caption, std::move(page));
}

void CTabCtrl::InsertPage(int index, const String& caption, std::shared_ptr<CTabPage> page)
{
    if (index >= GetPageCount())
        m_pages.resize(static_cast<std::size_t>(index) + 1);
    CTabPage& inserted = *page;
    m_pages[static_cast<std::size_t>(index)] = std::move(page);
    inserted.m_tabCtrl = this;
    inserted.Create(this, m_parent);
    // The page exists, shown or hidden, before its tab does.
    if (index == m_currentIndex)
        ShowPage(index);
    else
        HidePage(index);
    std::string text = GetDefaultEncoding().ToMultiByte(caption);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    item.iImage = -1;
    Send(TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

CTabPage* CTabCtrl::GetPage(int index) const
{
    if (index < 0 || index >= GetPageCount())
        return nullptr;
    return m_pages[static_cast<std::size_t>(index)].get();
}

void CTabCtrl::ShowPage(int index)
{
    CTabPage* page = GetPage(index);
    if (!page)
        return;
    CRect area = CWnd(GetHandle()).GetRect();
    Send(TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const CSize size = page->GetSize();
    // Integer division toward zero: a page larger than the area starts before its corner.
    page->Move({area.left + (area.right - size.cx - area.left) / 2,
                area.top + (area.bottom - size.cy - area.top) / 2});
    page->Show();
    if (m_owner)
        m_owner->OnPageShown(this, index);
}

void CTabCtrl::HidePage(int index)
{
    if (CTabPage* page = GetPage(index))
        page->Hide();
}

void CTabCtrl::SelectPage(int index)
{
    HidePage(m_currentIndex);
    ShowPage(index);
    Send(TCM_SETCURSEL, static_cast<WPARAM>(index));
    m_currentIndex = index;
}

bool CTabCtrl::HookMessage(SMessage& message)
{
    if (message.hwnd == m_parent) {
        if (message.message != WM_NOTIFY)
            return false;
        const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
        if (header->hwndFrom != GetHandle() || header->code != static_cast<UINT>(TCN_SELCHANGE))
            return false;
        const int old = m_currentIndex;
        m_currentIndex = static_cast<int>(Send(TCM_GETCURSEL));
        HidePage(old);
        ShowPage(m_currentIndex);
        return true;
    }
    if (!m_owner)
        return false;
    for (int i = 0; i < GetPageCount(); ++i) {
        const CTabPage* page = GetPage(i);
        if (page && page->GetWindow().GetHandle() == message.hwnd)
            return m_owner->OnPageMessage(this, i, message);
    }
    return false;
}

} // namespace Brivox
