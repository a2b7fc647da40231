#include "foundation/display_mode.h"

#include "file_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <vector>

using Brivox::CRect;
using Brivox::DisplayMode;
using FileTestSupport::Ansi;
using FileTestSupport::ThrownText;

namespace Brivox {

inline void PrintTo(const DisplayMode& mode, std::ostream* out)
{
    *out << mode.width << "x" << mode.height << "x" << mode.bitsPerPixel << "@" << mode.frequency;
}

inline bool operator==(const DisplayMode& a, const DisplayMode& b)
{
    return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
           a.frequency == b.frequency;
}

inline void PrintTo(const CRect& r, std::ostream* out)
{
    *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

} // namespace Brivox

namespace {

// Display modes change only under Wine's null display driver (not on a bare X server). The test
// run starts the DisplayModeChange tests once more in a Wine prefix of their own that uses it,
// and says so through this variable; elsewhere they are skipped.
bool UnderNullDisplay()
{
    const char* value = std::getenv("KANORU_NULL_DISPLAY");
    return value && value[0] == '1';
}

class DisplayModeChange : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!UnderNullDisplay())
            GTEST_SKIP() << "needs Wine's null display driver (run by the null-display test case)";
        original = Brivox::GetCurrentDisplayMode();
        ASSERT_GT(original.width, 0);
    }
    void TearDown() override
    {
        if (Brivox::RestoreDisplayMode())
            ADD_FAILURE() << "a test left the display mode changed";
    }

    DisplayMode original;
};

} // namespace

TEST(DisplayModeTest, DiffersAsksOnlyWhatTheReceiverGives)
{
    const struct
    {
        DisplayMode receiver;
        DisplayMode other;
        bool differs;
    } cases[] = {
        {{800, 600, 32, 60}, {800, 600, 32, 60}, false},
        {{800, 600, 32, 60}, {800, 600, 32, 75}, true},
        {{800, 600, 32, -1}, {800, 600, 32, 75}, false},
        {{800, 600, 32, 60}, {800, 600, 32, -1}, false},
        {{-1, -1, -1, -1}, {1024, 768, 16, 60}, false},
        {{800, -1, -1, -1}, {1024, 600, 32, 60}, true},
        {{-1, 600, -1, -1}, {800, 768, 32, 60}, true},
        {{-1, -1, 16, -1}, {800, 600, 32, 60}, true},
        // A -1 on the other side is no match for a given value.
        {{800, 600, 32, 60}, {-1, 600, 32, 60}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.differs, c.receiver.Differs(c.other))
            << testing::PrintToString(c.receiver) << " against " << testing::PrintToString(c.other);
    }
}

TEST(DisplayModeTest, ModesAreFoundByFilter)
{
    const DisplayMode current = Brivox::GetCurrentDisplayMode();
    EXPECT_GT(current.width, 0);
    EXPECT_GT(current.height, 0);
    EXPECT_EQ(0, Brivox::FindDisplayMode(DisplayMode{}));
    EXPECT_TRUE(Brivox::IsDisplayModeAvailable(DisplayMode{}));

    DEVMODEA first = {};
    first.dmSize = sizeof first;
    ASSERT_TRUE(::EnumDisplaySettingsA(nullptr, 0, &first));
    const DisplayMode firstMode{static_cast<int>(first.dmPelsWidth), static_cast<int>(first.dmPelsHeight),
                                static_cast<int>(first.dmBitsPerPel),
                                static_cast<int>(first.dmDisplayFrequency)};
    EXPECT_EQ(0, Brivox::FindDisplayMode(firstMode));
    EXPECT_EQ(-1, Brivox::FindDisplayMode(DisplayMode{12345, -1, -1, -1}));
    EXPECT_FALSE(Brivox::IsDisplayModeAvailable(DisplayMode{12345, -1, -1, -1}));
}

TEST(DisplayModeTest, TheCurrentModeNeedsNoChangeAndNoRestore)
{
    Brivox::ChangeDisplayMode(Brivox::GetCurrentDisplayMode());
    Brivox::ChangeDisplayMode(DisplayMode{});
    EXPECT_FALSE(Brivox::RestoreDisplayMode());
}

TEST(DisplayModeTest, OneMonitorGivesThePrimaryWorkArea)
{
    const CRect area = Brivox::GetWorkArea();
    EXPECT_GT(area.Width(), 0);
    EXPECT_GT(area.Height(), 0);
    EXPECT_EQ(std::vector<CRect>{area}, Brivox::GetMonitorRects());
}

TEST_F(DisplayModeChange, ChangesTo800x600AndRestoresOnce)
{
    const DisplayMode target{800, 600, -1, -1};
    ASSERT_TRUE(Brivox::IsDisplayModeAvailable(target));
    ASSERT_TRUE(target.Differs(original)) << "the display already has the mode to change to";

    Brivox::ChangeDisplayMode(target);
    const DisplayMode changed = Brivox::GetCurrentDisplayMode();
    EXPECT_EQ(800, changed.width);
    EXPECT_EQ(600, changed.height);
    EXPECT_EQ(original.bitsPerPixel, changed.bitsPerPixel);
    EXPECT_EQ((CRect{0, 0, 800, 600}), Brivox::GetMonitorRects().at(0));

    EXPECT_TRUE(Brivox::RestoreDisplayMode());
    EXPECT_EQ(original, Brivox::GetCurrentDisplayMode());
    EXPECT_FALSE(Brivox::RestoreDisplayMode());
}

TEST_F(DisplayModeChange, SeveralChangesNeedOneRestore)
{
    Brivox::ChangeDisplayMode(DisplayMode{800, 600, -1, -1});
    Brivox::ChangeDisplayMode(DisplayMode{640, 480, -1, original.frequency});
    EXPECT_EQ(640, Brivox::GetCurrentDisplayMode().width);
    EXPECT_TRUE(Brivox::RestoreDisplayMode());
    EXPECT_EQ(original, Brivox::GetCurrentDisplayMode());
}

TEST_F(DisplayModeChange, RefusedModeThrowsAndStillWantsTheRestore)
{
    EXPECT_EQ(Ansi(L"ディスプレイモードの変更に失敗しました"), ThrownText([&] {
                  Brivox::ChangeDisplayMode(DisplayMode{123, 45, -1, -1});
              }));
    EXPECT_EQ(original, Brivox::GetCurrentDisplayMode());
    EXPECT_TRUE(Brivox::RestoreDisplayMode());
}
