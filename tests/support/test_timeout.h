#pragma once
// Every test program runs under a watchdog: a test (or the program's start or end) that takes
// longer than its bound is reported by name and the process ends with exit code 3, so a hang costs
// seconds and says where it happened instead of waiting for the runner's time-out.

namespace KanoruTest {

// Gives the running test `seconds` from now instead of the default bound. For the few tests that
// are slow by nature (many processes, many windows); call it first thing in the test.
void ExtendTimeout(int seconds);

} // namespace KanoruTest
