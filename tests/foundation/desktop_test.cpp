#include "foundation/desktop.h"

#include "file_test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace FileTestSupport;

namespace {

// Brings the calling thread's cursor display count to the value.
void SetCursorCount(int count)
{
    int now = ::ShowCursor(TRUE);
    while (now > count)
        now = ::ShowCursor(FALSE);
    while (now < count)
        now = ::ShowCursor(TRUE);
}

// The count, read by a step there and back.
int CursorCount()
{
    const int up = ::ShowCursor(TRUE);
    ::ShowCursor(FALSE);
    return up - 1;
}

std::string CurrentWallpaper()
{
    char path[MAX_PATH + 1] = {};
    ::SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0);
    return path;
}

class WallpaperTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        m_previous = CurrentWallpaper();
    }
    void TearDown() override
    {
        ::SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, m_previous.data(), SPIF_UPDATEINIFILE);
        TempFolderTest::TearDown();
    }

private:
    std::string m_previous;
};

} // namespace

TEST(CursorTest, ForcingHidesOrShowsAndTellsWhatWasBefore)
{
    for (int start : {-3, -1, 0, 2}) {
        SetCursorCount(start);
        EXPECT_EQ(start >= 0, Brivox::ForceHideCursor()) << start;
        EXPECT_LT(CursorCount(), 0) << start;
        // Hide then show leaves the count at 1 whatever it was before.
        EXPECT_TRUE(Brivox::ForceShowCursor()) << start;
        EXPECT_EQ(1, CursorCount()) << start;

        SetCursorCount(start);
        EXPECT_EQ(start < 0, Brivox::ForceShowCursor()) << start;
        EXPECT_EQ(1, CursorCount()) << start;
    }
    SetCursorCount(0);
}

TEST_F(WallpaperTest, PathReachesTheSystemInTheAnsiCodePage)
{
    ASSERT_EQ(932u, ::GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    const Brivox::String path = At(L"壁紙.bmp");
    WriteBytes(path, Bytes(64, 0));
    Brivox::SetWallpaper(path);
    EXPECT_EQ(Ansi(path), CurrentWallpaper());
}
