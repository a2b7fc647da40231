#include "foundation/encoding.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

// This program also runs under a German and a Japanese user locale (tests/CMakeLists.txt), which
// tell the decimal point to expect through KANORU_EXPECT_DECIMAL_POINT.
TEST(ProcessLocale, UserLocaleIsSetBeforeMain)
{
    const char* name = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(nullptr, name);
    EXPECT_STRNE("C", name) << "the user's locale was not set during start-up";

    const char* expected = std::getenv("KANORU_EXPECT_DECIMAL_POINT");
    const std::string point = expected && *expected ? expected : ".";
    // The C runtime's own formatting follows the user's locale (German writes "2,5"), so a
    // settings real written with it would depend on the user.
    char formatted[16];
    std::snprintf(formatted, sizeof(formatted), "%.1f", 2.5);
    EXPECT_EQ("2" + point + "5", std::string(formatted)) << "locale " << name;
    EXPECT_TRUE(Brivox::SetupProcessLocale());
    EXPECT_EQ(std::locale::classic(), Brivox::GetUserDefaultLocale());
}
