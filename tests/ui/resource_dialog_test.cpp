#include "ui/controls_dialog.h"
#include "ui/dialog_tooltip.h"
#include "ui/resource_dialog.h"
#include "ui/tab_ctrl.h"
#include "ui/window_test_support.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using Brivox::CPoint;
using Brivox::CRect;
using Brivox::CSize;
using Brivox::CTabCtrl;
using Brivox::CTabPage;
using Brivox::SMessage;

namespace {

// The calling thread's cursor display count, left as it was.
int CursorCount()
{
    const int raised = ::ShowCursor(TRUE);
    ::ShowCursor(FALSE);
    return raised - 1;
}

// A dialog of the program's kind whose WM_INITDIALOG runs the test's step and then ends it.
class InitOnlyDialog : public Brivox::CResourceDialogBase
{
public:
    explicit InitOnlyDialog(std::function<void(InitOnlyDialog&)> onInit)
        : CResourceDialogBase(IDD_CONTROLS_TEST), m_onInit(std::move(onInit))
    {
    }

    bool HookMessage(SMessage& message) override
    {
        if (message.message != WM_INITDIALOG)
            return false;
        m_onInit(*this);
        GetWindow().Destroy();
        return true;
    }

private:
    std::function<void(InitOnlyDialog&)> m_onInit;
};

class RecordingOwner : public CTabCtrl::IOwner
{
public:
    void OnPageShown(CTabCtrl*, int index) override { shown.push_back(index); }
    bool OnPageMessage(CTabCtrl*, int index, SMessage& message) override
    {
        if (message.message == WM_INITDIALOG)
            initialised.push_back(index);
        if (message.message == WM_USER + 5) {
            userMessages.push_back(index);
            return true;
        }
        return false;
    }

    std::vector<int> shown;
    std::vector<int> initialised;
    std::vector<int> userMessages;
};

HWND PageWindow(const CTabCtrl& tab, int index)
{
    return tab.GetPage(index)->GetWindow().GetHandle();
}

bool IsShown(HWND hwnd)
{
    return (::GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

CPoint PositionInParent(HWND hwnd)
{
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top};
}

LRESULT NotifyFrom(HWND dialog, HWND from, UINT code)
{
    NMHDR header{from, static_cast<UINT_PTR>(::GetDlgCtrlID(from)), code};
    return ::SendMessageW(dialog, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

std::wstring TabItemText(HWND tab, int index)
{
    wchar_t text[64] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    ::SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return text;
}

// The tab control's display area in the dialog's client coordinates.
CRect DisplayArea(HWND tab)
{
    CRect area;
    ::GetWindowRect(tab, reinterpret_cast<RECT*>(&area));
    ::MapWindowPoints(nullptr, ::GetParent(tab), reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

// The tab control of the controls dialog with a small and a large page.
struct TabFixture
{
    TabFixture()
    {
        tab = std::make_unique<CTabCtrl>(&owner, dialog.window, IDC_TAB);
        tab->AddPage(L"表示", std::make_shared<CTabPage>(IDD_PAGE_SMALL));
        tab->AddPage(L"画像", std::make_shared<CTabPage>(IDD_PAGE_LARGE));
    }

    ControlsDialog dialog;
    RecordingOwner owner;
    std::unique_ptr<CTabCtrl> tab;
};

} // namespace

TEST(DesktopInputResourceDialog, DoModalRaisesTheCursorCountByTwoWhileItRunsAndLeavesItAsItFoundIt)
{
    RunOnFreshThread([] {
        const int before = CursorCount();
        int during = 0;
        std::wstring caption;
        InitOnlyDialog dialog([&](InitOnlyDialog& self) {
            during = CursorCount();
            caption = self.GetWindow().GetText().CStr();
        });
        EXPECT_EQ(dialog.DoModal(nullptr), 0);
        EXPECT_EQ(during, before + 2);
        EXPECT_EQ(caption, L"コントロールの試験");
        EXPECT_EQ(CursorCount(), before);
    });
}

TEST(DesktopInputResourceDialog, DoModalOfAMissingTemplateThrowsAndStillRestoresTheCursorCount)
{
    class Missing : public Brivox::CResourceDialogBase
    {
    public:
        Missing() : CResourceDialogBase(IDD_MISSING) {}
        bool HookMessage(SMessage&) override { return false; }
    };
    RunOnFreshThread([] {
        const int before = CursorCount();
        Missing dialog;
        EXPECT_THROW(dialog.DoModal(nullptr), Brivox::Win32Exception);
        EXPECT_EQ(CursorCount(), before);
    });
}

TEST(DesktopInputTabCtrl, PagesAreMadeWithoutCaptionAndTheFirstIsShown)
{
    TabFixture f;
    const HWND tabWindow = f.tab->GetHandle();
    EXPECT_EQ(::SendMessageA(tabWindow, TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(TabItemText(tabWindow, 0), L"表示");
    EXPECT_EQ(TabItemText(tabWindow, 1), L"画像");
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(::GetWindowLongA(PageWindow(*f.tab, i), GWL_STYLE) & WS_CAPTION) << i;
        EXPECT_EQ(f.tab->GetPage(i)->GetTabCtrl(), f.tab.get());
    }
    EXPECT_TRUE(IsShown(PageWindow(*f.tab, 0)));
    EXPECT_FALSE(IsShown(PageWindow(*f.tab, 1)));
    EXPECT_EQ(f.owner.initialised, (std::vector<int>{0, 1}));
    EXPECT_EQ(f.owner.shown, std::vector<int>{0});
}

TEST(DesktopInputTabCtrl, SelectPageAndTheTabControlsSelChangeSwitchTheVisiblePage)
{
    TabFixture f;
    const HWND tabWindow = f.tab->GetHandle();
    f.tab->SelectPage(1);
    EXPECT_FALSE(IsShown(PageWindow(*f.tab, 0)));
    EXPECT_TRUE(IsShown(PageWindow(*f.tab, 1)));
    EXPECT_EQ(::SendMessageA(tabWindow, TCM_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(f.tab->GetCurrentIndex(), 1);

    // The current page selected again is hidden and shown again.
    f.tab->SelectPage(1);
    EXPECT_TRUE(IsShown(PageWindow(*f.tab, 1)));
    EXPECT_EQ(f.owner.shown, (std::vector<int>{0, 1, 1}));

    // The user picks the first tab.
    ::SendMessageA(tabWindow, TCM_SETCURSEL, 0, 0);
    NotifyFrom(f.dialog.Handle(), tabWindow, static_cast<UINT>(TCN_SELCHANGE));
    EXPECT_TRUE(IsShown(PageWindow(*f.tab, 0)));
    EXPECT_FALSE(IsShown(PageWindow(*f.tab, 1)));
    EXPECT_EQ(f.tab->GetCurrentIndex(), 0);
    EXPECT_EQ(f.owner.shown.back(), 0);
}

TEST(DesktopInputTabCtrl, OnlyTheSelChangeOfThisTabControlIsHandled)
{
    TabFixture f;
    const HWND tabWindow = f.tab->GetHandle();
    ::SendMessageA(tabWindow, TCM_SETCURSEL, 1, 0);
    const struct
    {
        HWND from;
        UINT code;
    } others[] = {
        {f.dialog.Item(IDC_LISTVIEW).GetHandle(), static_cast<UINT>(TCN_SELCHANGE)},
        {tabWindow, static_cast<UINT>(TCN_SELCHANGING)},
    };
    for (const auto& c : others) {
        NMHDR header{c.from, 0, c.code};
        SMessage message{f.dialog.Handle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header), 0, nullptr};
        EXPECT_FALSE(f.tab->HookMessage(message)) << c.code;
        EXPECT_EQ(f.tab->GetCurrentIndex(), 0);
        EXPECT_TRUE(IsShown(PageWindow(*f.tab, 0)));
    }
}

TEST(DesktopInputTabCtrl, PagesAreCentredInTheDisplayAreaAlsoWhenLarger)
{
    TabFixture f;
    const CRect area = DisplayArea(f.tab->GetHandle());
    for (int i = 0; i < 2; ++i) {
        f.tab->ShowPage(i);
        const HWND page = PageWindow(*f.tab, i);
        const CSize size = f.tab->GetPage(i)->GetSize();
        const CPoint expected{area.left + (area.right - size.cx - area.left) / 2,
                              area.top + (area.bottom - size.cy - area.top) / 2};
        EXPECT_EQ(PositionInParent(page).x, expected.x) << i;
        EXPECT_EQ(PositionInParent(page).y, expected.y) << i;
    }
    // The large page is larger than the area: it starts before the area's corner.
    const CSize large = f.tab->GetPage(1)->GetSize();
    ASSERT_GT(large.cx, area.Width());
    ASSERT_GT(large.cy, area.Height());
    EXPECT_LT(PositionInParent(PageWindow(*f.tab, 1)).x, area.left);
    EXPECT_LT(PositionInParent(PageWindow(*f.tab, 1)).y, area.top);
    // Negative offsets are halved toward zero, as the placement rule says.
    EXPECT_EQ(PositionInParent(PageWindow(*f.tab, 1)).x - area.left, (area.Width() - large.cx) / 2);
}

TEST(DesktopInputTabCtrl, APagesMessagesGoToTheOwnerWithTheirIndex)
{
    TabFixture f;
    EXPECT_EQ(::SendMessageW(PageWindow(*f.tab, 1), WM_USER + 5, 0, 0), 0);
    EXPECT_EQ(f.owner.userMessages, std::vector<int>{1});
}

TEST(DesktopInputTabCtrl, EmptySlotsAreSkippedAndTheDestructorClosesEveryPage)
{
    ControlsDialog dialog;
    RecordingOwner owner;
    auto tab = std::make_unique<CTabCtrl>(&owner, dialog.window, IDC_TAB);
    auto page = std::make_shared<CTabPage>(IDD_PAGE_SMALL);
    std::weak_ptr<CTabPage> watched = page;
    tab->InsertPage(2, L"三番目", std::move(page));
    EXPECT_EQ(tab->GetPageCount(), 3);
    EXPECT_EQ(tab->GetPage(0), nullptr);
    const HWND pageWindow = PageWindow(*tab, 2);
    EXPECT_FALSE(IsShown(pageWindow)) << "not the current index";
    tab->ShowPage(0);
    tab->HidePage(1);
    tab->SelectPage(1);
    tab->SelectPage(2);
    EXPECT_TRUE(IsShown(pageWindow));
    SMessage toEmptySlots{::GetDesktopWindow(), WM_USER + 5, 0, 0, 0, nullptr};
    EXPECT_FALSE(tab->HookMessage(toEmptySlots));
    EXPECT_EQ(owner.shown, std::vector<int>{2});

    tab.reset();
    EXPECT_FALSE(::IsWindow(pageWindow));
    EXPECT_TRUE(watched.expired());
}

TEST(DialogTooltip, OnlyATipOverAnEditIsCentredAndTheTipWindowGoesWithTheDialog)
{
    HWND tip = nullptr;
    {
        ControlsDialog dialog;
        Brivox::CDialogTooltip& tooltip = Brivox::CDialogTooltip::Attach(dialog.window);
        tip = tooltip.GetTipWindow();
        ASSERT_TRUE(::IsWindow(tip));
        tooltip.AddTool(IDC_EDIT, L"数値を入力します");
        tooltip.AddTool(IDC_COMBO, L"方式を選びます");
        tooltip.AddTool(IDC_BUTTON, L"すぐに適用します");
        tooltip.AddTool(IDC_ABSENT, L"ない項目");

        const std::map<HWND, std::pair<bool, std::wstring>> expected = {
            {dialog.Item(IDC_EDIT).GetHandle(), {true, L"数値を入力します"}},
            {dialog.Item(IDC_COMBO).GetHandle(), {false, L"方式を選びます"}},
            {dialog.Item(IDC_BUTTON).GetHandle(), {false, L"すぐに適用します"}},
        };
        ASSERT_EQ(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 3);
        for (int i = 0; i < 3; ++i) {
            char text[256] = {};
            TOOLINFOA tool{};
            tool.cbSize = sizeof(tool);
            tool.lpszText = text;
            ASSERT_TRUE(
                ::SendMessageA(tip, TTM_ENUMTOOLSA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool)));
            const HWND control = reinterpret_cast<HWND>(tool.uId);
            const auto found = expected.find(control);
            ASSERT_NE(found, expected.end()) << i;
            EXPECT_EQ((tool.uFlags & TTF_CENTERTIP) != 0, found->second.first) << i;
            EXPECT_EQ(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS),
                      static_cast<UINT>(TTF_IDISHWND | TTF_SUBCLASS));
            EXPECT_EQ(std::wstring(Brivox::FromApiTextA(text).CStr()), found->second.second) << i;
        }
    }
    EXPECT_FALSE(::IsWindow(tip));
}
