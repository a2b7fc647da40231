#include "tools/first_page/first_page_watch.h"
#include "tools/sample_pages/sample_pages.h"

#include "first_page/stand_in/stand_in_viewer.h"
#include "formats/decoded_image.h"
#include "formats/png_loader.h"
#include "foundation/file_test_support.h"
#include "support/window_test_bed.h"

#include <gtest/gtest.h>

using Brivox::String;

namespace {

TEST(FirstPageTitle, NamesAPageOnlyWithTheViewersPrefixAndACount)
{
    const struct
    {
        const wchar_t* title;
        bool page;
    } cases[] = {
        {L"Kanoru : C:\\p\\p1.png (600x400) [1/2] build-219", true},
        {L"Kanoru : a.jpg [3/12]", true},
        {L"Kanoru :  (0x0) [0/0] build-219", false},
        {L"Kanoru2", false},
        {L"ready", false},
        {L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.page, FirstPage::TitleShowsPage(c.title)) << FileTestSupport::Ansi(c.title);
}

class DesktopInputFirstPage : public FileTestSupport::TempFolderTest
{
};

TEST_F(DesktopInputFirstPage, PageWindowCountsOnceItsPictureIsOnScreen)
{
    StandInViewer viewer(L"Kanoru : page01.jpg (800x600) [1/6] build-219");
    const DWORD self = ::GetCurrentProcessId();
    ASSERT_TRUE(KanoruTest::PumpUntil([&] {
        return FirstPage::FindPageWindow(self) == viewer.Handle() &&
               FirstPage::ClientShowsPicture(viewer.Handle());
    }));

    // The screenshot holds the window, its client area as painted.
    const String shot = At(L"shot.png");
    ASSERT_TRUE(FirstPage::SaveScreenshot(viewer.Handle(), shot));
    const auto decoded = ImageFixtures::DecodeWith<Brivox::CPngLoader>(FileTestSupport::ReadBytes(shot));
    ASSERT_TRUE(decoded.opened);
    RECT frame{};
    ::GetWindowRect(viewer.Handle(), &frame);
    EXPECT_EQ(frame.right - frame.left, decoded.width);
    EXPECT_EQ(frame.bottom - frame.top, decoded.height);
    POINT client{0, 0};
    ::ClientToScreen(viewer.Handle(), &client);
    const auto pixel = [&](int x, int y) {
        const int column = client.x - frame.left + x, row = client.y - frame.top + y;
        return decoded.pixels[static_cast<std::size_t>(row * decoded.width + column)] & 0xFFFFFF;
    };
    EXPECT_EQ(0xFFFFFFu, pixel(50, 200));  // white
    EXPECT_EQ(0xFFFF00u, pixel(150, 200)); // yellow
    EXPECT_EQ(0x0000FFu, pixel(650, 200)); // blue

    // One colour alone is the background, not a page.
    viewer.ShowPage(false);
    EXPECT_TRUE(KanoruTest::PumpUntil([&] { return !FirstPage::ClientShowsPicture(viewer.Handle()); }));
}

TEST_F(DesktopInputFirstPage, TitleWithoutPagesIsNoPageWindow)
{
    StandInViewer viewer(L"Kanoru :  (0x0) [0/0] build-219");
    ASSERT_TRUE(KanoruTest::PumpUntil([&] { return FirstPage::ClientShowsPicture(viewer.Handle()); }));
    EXPECT_EQ(nullptr, FirstPage::FindPageWindow(::GetCurrentProcessId()));
}

} // namespace

namespace {

TEST_F(DesktopInputFirstPage, ShowFirstPageSavesTheWindowAndEndsWithTheViewersExitCode)
{
    const std::wstring folder = KanoruTest::TestProgramFolder();
    const String shot = At(L"shot.png");
    const auto helper =
        FirstPage::StartProgram(folder + L"..\\tools\\first_page\\show_first_page.exe",
                                {L"--screenshot", shot, folder + L"kanoru_stand_in_viewer.exe", L"a b.jpg"});
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(helper->GetProcessHandle(), 60000));
    EXPECT_EQ(7u, FirstPage::ExitCodeOf(*helper));

    // The window with its caption above the page: the bars' middle row, then the band below them.
    const auto decoded = ImageFixtures::DecodeWith<Brivox::CPngLoader>(FileTestSupport::ReadBytes(shot));
    ASSERT_TRUE(decoded.opened);
    ASSERT_GE(decoded.width, 800);
    ASSERT_GT(decoded.height, 600);
    const auto pixel = [&](int x, int y) {
        return decoded.pixels[static_cast<std::size_t>(y * decoded.width + x)] & 0xFFFFFF;
    };
    EXPECT_EQ(0xFFFFFFu, pixel(50, decoded.height - 400));
    EXPECT_EQ(0x0000FFu, pixel(650, decoded.height - 400));
    EXPECT_EQ(0x303030u, pixel(decoded.width / 2, decoded.height - 30));
}

TEST(FirstPageHelper, ViewerEndingWithoutAPageIsAFailure)
{
    // "end": the stand-in ends at once with exit code 0, as a viewer that failed silently would.
    const std::wstring folder = KanoruTest::TestProgramFolder();
    const auto helper = FirstPage::StartProgram(folder + L"..\\tools\\first_page\\show_first_page.exe",
                                                {folder + L"kanoru_stand_in_viewer.exe", L"end"});
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(helper->GetProcessHandle(), 60000));
    EXPECT_EQ(1u, FirstPage::ExitCodeOf(*helper));
}

} // namespace
