#pragma once
// Helpers shared by the format tests.

#include "foundation/file_test_support.h"

namespace FormatsTestSupport {

using FileTestSupport::ThrownText;

} // namespace FormatsTestSupport
