#pragma once
// Helpers shared by the format tests.

#include "foundation/exception.h"

#include <string>

namespace FormatsTestSupport {

// The text of the RuntimeException that f throws, in the ANSI code page.
template <typename F> std::string ThrownText(F f)
{
    try {
        f();
    } catch (const Brivox::RuntimeException& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

} // namespace FormatsTestSupport
