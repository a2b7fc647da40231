#pragma once
// Pages of a tab control: each page is a child dialog made on the calling thread from its own
// template, and the tab control shows the chosen page centred in its display area, switches pages
// when the user picks a tab and hands the pages' messages to its owner.

#include "foundation/string.h"
#include "foundation/win32.h"
#include "ui/ctrl.h"
#include "ui/msg_hook.h"
#include "ui/resource_dialog.h"

#include <memory>
#include <vector>

namespace Brivox {

class CTabCtrl;

class CTabPage : public CResourceDialogBase
{
public:
    using CResourceDialogBase::CResourceDialogBase;

    // WM_CLOSE destroys the page.
    bool HookMessage(SMessage& message) override;

    // Makes the page window inside parent on the calling thread, without a caption, with the
    // themed background of a tab page; the owner hooker joins the page's hook list first, so it
    // sees WM_INITDIALOG. Throws RuntimeException "ダイアログの作成に失敗" when the page cannot be
    // made.
    void Create(IMsgHooker* owner, HWND parent);
    // Sends WM_CLOSE when the page window exists.
    void Close();
    void Show();
    void Hide();
    CSize GetSize() const;
    // To the point in the parent's client coordinates; size and z-order stay.
    void Move(CPoint point);

    // The tab control that holds the page; null until inserted.
    CTabCtrl* GetTabCtrl() const { return m_tabCtrl; }

private:
    friend class CTabCtrl;

    CTabCtrl* m_tabCtrl = nullptr;
};

class CTabCtrl : public CCtrl, public IMsgHooker
{
public:
    // Told of the pages it shows and of their messages.
    class IOwner
    {
    public:
        virtual ~IOwner() = default;
        virtual void OnPageShown(CTabCtrl* tabCtrl, int index) = 0;
        // True when the owner handled the message.
        virtual bool OnPageMessage(CTabCtrl* tabCtrl, int index, SMessage& message) = 0;
    };

    // The dialog's tab control with this item id; joins the dialog's hook list. The owner may be
    // null.
    CTabCtrl(IOwner* owner, CWindow& dialog, int itemId);
    // Closes every page in index order, then releases them.
    ~CTabCtrl() override;

    // Takes the page and inserts it at the end.
    void AddPage(const String& caption, std::shared_ptr<CTabPage> page);
    // Beyond the end, the slots between stay empty; an empty slot is left out wherever the pages
    // are walked.
    void InsertPage(int index, const String& caption, std::shared_ptr<CTabPage> page);
    void SelectPage(int index);
    // Centred in the display area, and told to the owner. Nothing for an index without a page.
    void ShowPage(int index);
    void HidePage(int index);

    int GetCurrentIndex() const { return m_currentIndex; }
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    // Null for an empty slot or an index outside.
    CTabPage* GetPage(int index) const;

    // The dialog's TCN_SELCHANGE of this tab control switches pages; a page's message goes to the
    // owner.
    bool HookMessage(SMessage& message) override;

private:
    IOwner* m_owner;
    HWND m_parent;
    std::vector<std::shared_ptr<CTabPage>> m_pages;
    int m_currentIndex = 0;
};

} // namespace Brivox
