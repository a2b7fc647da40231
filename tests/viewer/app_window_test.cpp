#include "support/wide_text.h"
#include "viewer/app_window.h"

#include "viewer/title.h"

#include "formats/image_loader.h"
#include "formats/png_loader.h"
#include "foundation/file_name.h"
#include "foundation/temp_file.h"
#include "support/window_test_bed.h"
#include "ui/window.h"
#include "viewer/command_table.h"
#include "viewer_fixtures.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using Brivox::String;
using KanoruTest::MessageBoxAnswerer;

namespace {

using KanoruTest::Text;

// A controller on its own settings files beside the test program, removed afterwards, opened on a
// fresh folder of the two pages.
class AppWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.Create();
        m_pages = Text(m_folder.GetPath());
        ViewerFixtures::WriteTwoPages(m_pages);
    }
    void TearDown() override { ViewerFixtures::RemoveSettingsFiles(BaseName); }

    static constexpr const wchar_t* BaseName = L"viewer_test_window";
    Brivox::CTempFolder m_folder{L"kanoru-viewer-"};
    std::wstring m_pages;
};

bool IsGreyed(HMENU menu, int command)
{
    return (::GetMenuState(menu, static_cast<UINT>(CommandIdBase + command), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

} // namespace

using DesktopInputAppWindow = AppWindowTest;

TEST_F(DesktopInputAppWindow, ClosingWithMarkedFilesAsksFirst)
{
    CAppWindow app(BaseName);
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    int marked = 0;
    app.RunOnWindowThread([&] {
        app.GetDocument()->SetMark(true);
        marked = app.GetDocument()->CountMarked();
    });
    ASSERT_EQ(1, marked);
    {
        MessageBoxAnswerer cancel(IDCANCEL);
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        ASSERT_TRUE(cancel.WaitForBoxes(1));
        // Handled after the close.
        app.RunOnWindowThread([&] { marked = app.GetDocument()->CountMarked(); });
        const MessageBoxAnswerer::Box box = cancel.Boxes().at(0);
        EXPECT_EQ(L"確認", Text(box.caption));
        EXPECT_EQ(L"1 個のマークしたファイルがあります。\r\n続行する場合、全てのマークがクリアされます",
                  Text(box.text));
        EXPECT_EQ(hwnd, box.owner);
        EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION),
                  box.style & (MB_TYPEMASK | MB_ICONMASK));
        EXPECT_TRUE(::IsWindow(hwnd));
        EXPECT_EQ(1, marked);
    }
    MessageBoxAnswerer ok(IDOK);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    app.WaitUntilClosed();
    EXPECT_EQ(1u, ok.Boxes().size());
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(DesktopInputAppWindow, CommandsNotAvailableYetAreGreyedAndDoNothing)
{
    CAppWindow app(BaseName);
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    const HMENU menu = ::GetMenu(hwnd);
    for (const SCommandRow& row : CommandTable())
        EXPECT_EQ(!IsCommandAvailable(row.command), IsGreyed(menu, row.command)) << row.id;
    EXPECT_FALSE(IsGreyed(menu, CmdNext));
    EXPECT_FALSE(IsGreyed(menu, CmdExit));
    // A command not available yet, while there is one, leaves the list as it is.
    for (const SCommandRow& row : CommandTable()) {
        if (!IsCommandAvailable(row.command)) {
            ::SendMessageW(hwnd, WM_COMMAND, row.id, 0);
            break;
        }
    }
    ::SendMessageW(hwnd, WM_COMMAND, CommandIdBase + CmdNext, 0);
    int index = -1, count = 0;
    app.RunOnWindowThread([&] {
        index = app.GetDocument()->GetCurrentIndex();
        count = app.GetDocument()->GetFileCount();
    });
    EXPECT_EQ(1, index);
    EXPECT_EQ(2, count);
    ::SendMessageW(hwnd, WM_COMMAND, CommandIdBase + CmdExit, 0);
    app.WaitUntilClosed();
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(DesktopInputAppWindow, ASelectionCountsInTheCaptionOnlyWhenWiderAndTallerThanOnePixel)
{
    CAppWindow app(BaseName);
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const struct
    {
        Brivox::CPoint from, to;
        bool counts;
    } cases[] = {
        {{10, 10}, {11, 11}, false},
        {{10, 10}, {40, 11}, false},
        {{10, 10}, {12, 12}, true},
        {{100, 80}, {20, 30}, true},
    };
    for (const auto& c : cases) {
        bool counts = false;
        app.RunOnWindowThread([&] {
            Brivox::CSelectionRect& selection = app.GetSelection();
            const auto cursor = std::make_shared<Brivox::CPoint>(c.from);
            selection.SetCursorSource([cursor](HWND) { return *cursor; });
            selection.OnMouseDown(false);
            selection.OnMouseDown(true);
            *cursor = c.to;
            selection.OnMouseMove();
            selection.OnMouseUp();
            counts = app.GetTitleFacts().selection.has_value();
        });
        EXPECT_EQ(c.counts, counts) << c.to.x << "," << c.to.y;
    }
    ViewerFixtures::CloseAndWait(app);
}

TEST_F(DesktopInputAppWindow, SettingsAppliedRebuildTheRegistriesAsNewLists)
{
    CAppWindow app(BaseName);
    const auto before = Brivox::GetImageLoaderFactories().Snapshot();
    ASSERT_FALSE(before->empty());
    app.RunOnWindowThread([&] {
        app.GetSettings().SetInt(L"LoaderPriorityP", -100);
        app.ApplySettings();
    });
    const auto after = Brivox::GetImageLoaderFactories().Snapshot();
    ASSERT_FALSE(after->empty());
    EXPECT_NE(nullptr, dynamic_cast<Brivox::CPngLoader*>(after->front().factory->Create().get()));
    EXPECT_EQ(nullptr, dynamic_cast<Brivox::CPngLoader*>(before->front().factory->Create().get()));
    ViewerFixtures::CloseAndWait(app);
}

TEST_F(DesktopInputAppWindow, TheEndOfTheSessionClosesTheDocumentAndSavesTheSettings)
{
    const std::wstring settingsFile =
        Text(Brivox::CFileName::FromExecutableDirectory(String(BaseName) + L".cfg").ToString());
    CAppWindow app(BaseName);
    app.Start({m_pages.c_str()}, SW_SHOWNORMAL);
    const HWND hwnd = app.GetWindow().GetHandle();
    int count = -1;
    // A cancelled log-off changes nothing.
    ::SendMessageW(hwnd, WM_ENDSESSION, FALSE, 0);
    app.RunOnWindowThread([&] { count = app.GetDocument()->GetFileCount(); });
    EXPECT_EQ(2, count);

    ::DeleteFileW(settingsFile.c_str());
    ::SendMessageW(hwnd, WM_ENDSESSION, TRUE, 0);
    // The window goes after its hookers have seen the message; its thread then ends.
    app.WaitUntilClosed();
    EXPECT_FALSE(::IsWindow(hwnd));
    EXPECT_EQ(0, app.GetDocument()->GetFileCount());
    const Brivox::CRect restore = app.GetRestoreRect();
    const std::string saved = ViewerFixtures::ReadAll(settingsFile);
    std::wstring text;
    for (std::size_t i = 2; i + 1 < saved.size(); i += 2)
        text += static_cast<wchar_t>(static_cast<unsigned char>(saved[i]) |
                                     static_cast<unsigned char>(saved[i + 1]) << 8);
    const std::wstring expected = L"WindowPosRestoreRect = " + std::to_wstring(restore.left) + L", " +
                                  std::to_wstring(restore.top) + L", " + std::to_wstring(restore.right) +
                                  L", " + std::to_wstring(restore.bottom) + L"\r\n";
    EXPECT_NE(std::wstring::npos, text.find(expected)) << expected;
    EXPECT_GT(restore.Width(), 0);
}
