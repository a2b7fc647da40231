#include "settings_dialogs/config_dialog_test_support.h"

#include "foundation/exception.h"
#include "settings/config_dialog_draw_page.h"
#include "settings/config_dialog_ids.h"
#include "support/window_test_bed.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ConfigDialogTest;
using Brivox::CConfig;

namespace {

// What the settings dialog showed when ShowConfigDialog opened it on the calling thread: seen
// through a window hook at the end of its WM_INITDIALOG, which then cancels it.
class OpenedDialog
{
public:
    OpenedDialog() { s_current = this; }
    ~OpenedDialog() { s_current = nullptr; }
    OpenedDialog(const OpenedDialog&) = delete;
    OpenedDialog& operator=(const OpenedDialog&) = delete;

    void Run(CConfig& config, int startPage, HWND owner = nullptr)
    {
        const HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &Hook, nullptr, ::GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        ShowConfigDialog(owner, config, nullptr, startPage);
        ::UnhookWindowsHookEx(hook);
    }

    bool seen = false;
    RECT rect{};
    int selectedTab = -1;
    int tabCount = 0;
    int visiblePages = 0;
    // Texts of one control of each page built so far, wherever the page is.
    std::wstring magnification;
    std::wstring jpegQuality;
    bool drawModeChecked = false;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam)
    {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && s_current && call->message == WM_INITDIALOG &&
            !(::GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD))
            s_current->Inspect(call->hwnd);
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void Inspect(HWND dialog)
    {
        seen = true;
        ::GetWindowRect(dialog, &rect);
        const HWND tab = ::GetDlgItem(dialog, IDC_CONFIG_TAB);
        selectedTab = static_cast<int>(::SendMessageA(tab, TCM_GETCURSEL, 0, 0));
        tabCount = static_cast<int>(::SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
        for (HWND page = ::FindWindowExA(dialog, nullptr, "#32770", nullptr); page;
             page = ::FindWindowExA(dialog, page, "#32770", nullptr)) {
            if (::GetWindowLongA(page, GWL_STYLE) & WS_VISIBLE)
                ++visiblePages;
            const Brivox::CWnd pageWindow(page);
            if (::GetDlgItem(page, IDC_GUI_MAGNIFICATION) && ::GetDlgItem(page, IDC_GUI_TITLEBAR))
                magnification = pageWindow.GetDlgItem(IDC_GUI_MAGNIFICATION).GetText().CStr();
            if (::GetDlgItem(page, IDC_IMG_JPEG_QUALITY) && ::GetDlgItem(page, IDC_IMG_CACHE_ESTIMATE))
                jpegQuality = pageWindow.GetDlgItem(IDC_IMG_JPEG_QUALITY).GetText().CStr();
            if (::GetDlgItem(page, IDC_DRAW_BG_COLOR))
                drawModeChecked = pageWindow.GetDlgItem(IDC_DRAW_OWN2).IsChecked();
        }
        ::PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }

    static inline OpenedDialog* s_current = nullptr;
};

// A page whose Save fails while told to, after writing a key that no other page shows.
class FaultyPage : public CConfigDialogEmptyPage
{
public:
    void Save(CConfig& config) override
    {
        config.SetInt(L"HistoryMax", 25);
        if (fail)
            throw Brivox::RuntimeException(L"保存できない設定があります");
    }

    bool fail = true;
};

class DialogWithFaultyPage : public CConfigDialog
{
public:
    using CConfigDialog::CConfigDialog;

    std::shared_ptr<FaultyPage> faulty = std::make_shared<FaultyPage>();

protected:
    std::vector<SPage> CreatePages() override
    {
        std::vector<SPage> pages = CConfigDialog::CreatePages();
        pages.push_back({L"試験", faulty});
        return pages;
    }
};

} // namespace

TEST(ConfigDialogStartPage, EachSettingsCommandHasItsPageAndOtherCommandsNone)
{
    const struct
    {
        int commandId;
        int page;
    } cases[] = {
        {0xF840, 0}, {0xF87A, 1}, {0xF88E, 2},  {0xF88F, 3},  {0xF87B, 4},
        {0xF842, 5}, {0xF880, 6}, {0xF841, -1}, {0xF843, -1}, {0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConfigDialogStartPage(c.commandId), c.page) << std::hex << c.commandId;
}

TEST(DesktopInputConfigDialog, EachSettingsCommandOpensTheDialogOnItsPageWithEveryPageLoaded)
{
    for (const int command : {0xF840, 0xF87A, 0xF88E, 0xF88F, 0xF87B, 0xF842, 0xF880}) {
        CConfig config = DefaultConfig();
        config.SetInt(L"Magnification", 150);
        config.SetInt(L"JpgQuality", 91);
        OpenedDialog opened;
        RunOnFreshThread([&] { opened.Run(config, ConfigDialogStartPage(command)); });
        ASSERT_TRUE(opened.seen) << std::hex << command;
        EXPECT_EQ(opened.selectedTab, ConfigDialogStartPage(command)) << std::hex << command;
        EXPECT_EQ(opened.tabCount, 7);
        EXPECT_EQ(opened.visiblePages, 1) << std::hex << command;
        EXPECT_EQ(opened.magnification, L"150") << std::hex << command;
        EXPECT_EQ(opened.jpegQuality, L"91") << std::hex << command;
        EXPECT_TRUE(opened.drawModeChecked) << std::hex << command;
    }
}

TEST(DesktopInputConfigDialog, AStartPageOutsideThePagesOpensTheFirst)
{
    for (const int startPage : {-1, 7}) {
        CConfig config = DefaultConfig();
        OpenedDialog opened;
        RunOnFreshThread([&] { opened.Run(config, startPage); });
        ASSERT_TRUE(opened.seen) << startPage;
        EXPECT_EQ(opened.selectedTab, 0) << startPage;
        EXPECT_EQ(opened.visiblePages, 1) << startPage;
    }
}

TEST(DesktopInputConfigDialog, OpensCentredOverItsOwnersClientArea)
{
    CConfig config = DefaultConfig();
    OpenedDialog opened;
    RECT client{};
    RunOnFreshThread([&] {
        const HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 40, 30, 900, 800,
                                             nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        ::GetClientRect(owner, &client);
        ::MapWindowPoints(owner, nullptr, reinterpret_cast<POINT*>(&client), 2);
        opened.Run(config, 0, owner);
        ::DestroyWindow(owner);
    });
    ASSERT_TRUE(opened.seen);
    const int width = opened.rect.right - opened.rect.left;
    const int height = opened.rect.bottom - opened.rect.top;
    EXPECT_EQ(opened.rect.left, client.left + (client.right - client.left - width) / 2);
    EXPECT_EQ(opened.rect.top, client.top + (client.bottom - client.top - height) / 2);
}

TEST(DesktopInputConfigDialog, CancelEscapeAndTheCloseBoxLeaveTheStoreAsItWas)
{
    enum Way
    {
        CancelButton,
        EscapeKey,
        CloseBox,
    };
    for (const Way way : {CancelButton, EscapeKey, CloseBox}) {
        CConfig config = DefaultConfig();
        const std::wstring before = Serialized(config);
        CConfigDialog dialog(config, nullptr, 0);
        RunDialog(dialog, {[&](CConfigDialog& d, HWND hwnd) {
                      PageItem(d, 0, IDC_GUI_MAGNIFICATION).SetText(L"123");
                      Click(PageItem(d, 0, IDC_GUI_SNAP));
                      PageItem(d, 1, IDC_IMG_JPEG_QUALITY).SetText(L"12");
                      PageItem(d, 2, IDC_DRAW_PADDING_CENTER).SetText(L"9");
                      static_cast<CConfigDialogDrawPage*>(d.GetPage(2))->SetBackgroundColor(RGB(1, 2, 3));
                      switch (way) {
                      case CancelButton:
                          PostToDialog(hwnd, IDCANCEL);
                          break;
                      case EscapeKey:
                          PageItem(d, 0, IDC_GUI_MAGNIFICATION).SetFocus();
                          KanoruTest::PostKey(::GetFocus(), VK_ESCAPE);
                          break;
                      case CloseBox:
                          ::PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                          break;
                      }
                  }});
        EXPECT_EQ(Serialized(config), before) << way;
    }
}

TEST(DesktopInputConfigDialog, OkOnTheDefaultsWritesTheColourTextInItsCurrentFormAndRenumbersThePriorities)
{
    CConfig config = DefaultConfig();
    const CConfig before = config;
    CConfigDialog dialog(config, nullptr, 0);
    RunDialog(dialog, {[](CConfigDialog&, HWND hwnd) { PostToDialog(hwnd, IDOK); }});
    // The reader orders are stored as four times their places, which the defaults are not.
    EXPECT_EQ(ChangedKeys(before, config),
              (std::vector<std::wstring>{L"ArchiverPriority7Z", L"ArchiverPriorityG", L"ArchiverPriorityL",
                                         L"ArchiverPriorityX", L"ChooseColor", L"LoaderPriorityO",
                                         L"LoaderPriorityX"}));
    std::wstring colours;
    for (int i = 0; i < 17; ++i)
        colours += L"0,0,0 ";
    EXPECT_EQ(std::wstring(config.GetRaw(L"ChooseColor").CStr()), colours);
    EXPECT_EQ(dialog.GetTabCtrl(), nullptr);
}

TEST(DesktopInputConfigDialog, APageThatFailsToSaveLeavesTheStoreAsItWasAndTheDialogOpenForAnotherOk)
{
    KanoruTest::MessageBoxAnswerer answerer;
    CConfig config = DefaultConfig();
    const std::wstring before = Serialized(config);
    const CConfig unchanged = config;
    DialogWithFaultyPage dialog(config, nullptr, 0);
    RunDialog(dialog, {
                          [](CConfigDialog& d, HWND hwnd) {
                              PageItem(d, 0, IDC_GUI_MAGNIFICATION).SetText(L"150");
                              PageItem(d, 1, IDC_IMG_JPEG_QUALITY).SetText(L"55");
                              PostToDialog(hwnd, IDOK);
                          },
                          [&](CConfigDialog& d, HWND hwnd) {
                              ASSERT_EQ(answerer.Boxes().size(), 1u);
                              EXPECT_EQ(std::wstring(answerer.Boxes()[0].caption.CStr()), L"エラー (3)");
                              EXPECT_EQ(std::wstring(answerer.Boxes()[0].text.CStr()),
                                        L"保存できない設定があります");
                              EXPECT_EQ(Serialized(config), before);
                              EXPECT_TRUE(::IsWindow(hwnd));
                              ASSERT_NE(d.GetTabCtrl(), nullptr);
                              dialog.faulty->fail = false;
                              PostToDialog(hwnd, IDOK);
                          },
                      });
    EXPECT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(config.GetInt(L"Magnification"), 150);
    EXPECT_EQ(config.GetInt(L"JpgQuality"), 55);
    EXPECT_EQ(config.GetInt(L"HistoryMax"), 25);
    EXPECT_EQ(ChangedKeys(unchanged, config),
              (std::vector<std::wstring>{L"ArchiverPriority7Z", L"ArchiverPriorityG", L"ArchiverPriorityL",
                                         L"ArchiverPriorityX", L"ChooseColor", L"HistoryMax", L"JpgQuality",
                                         L"LoaderPriorityO", L"LoaderPriorityX", L"Magnification"}));
}

TEST(DesktopInputConfigDialog, CancelAfterAFailedOkStillLeavesTheStoreAsItWas)
{
    KanoruTest::MessageBoxAnswerer answerer;
    CConfig config = DefaultConfig();
    const std::wstring before = Serialized(config);
    DialogWithFaultyPage dialog(config, nullptr, 0);
    RunDialog(dialog, {
                          [](CConfigDialog& d, HWND hwnd) {
                              PageItem(d, 0, IDC_GUI_MAGNIFICATION).SetText(L"150");
                              PostToDialog(hwnd, IDOK);
                          },
                          [](CConfigDialog&, HWND hwnd) { PostToDialog(hwnd, IDCANCEL); },
                      });
    EXPECT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(Serialized(config), before);
}
