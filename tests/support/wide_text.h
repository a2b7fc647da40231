#pragma once
// The library's strings as standard wide strings, for comparisons in the tests.

#include "foundation/string.h"

#include <string>

namespace KanoruTest {

inline std::wstring Text(const Brivox::String& text)
{
    return std::wstring(text.CStr(), static_cast<std::size_t>(text.Length()));
}

} // namespace KanoruTest
