#pragma once

namespace Brivox {

// Removes the quit messages waiting in the calling thread's queue (at most 16), so that a message
// box shown after a window's loop ended is not closed at once. Returns whether the last look
// removed one.
bool DrainQuitMessages();

} // namespace Brivox
