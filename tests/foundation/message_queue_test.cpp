#include "foundation/message_queue.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

namespace {

void PostQuits(int count)
{
    for (int i = 0; i < count; ++i)
        ::PostThreadMessageA(::GetCurrentThreadId(), WM_QUIT, 0, 0);
}

bool QuitWaiting()
{
    MSG msg;
    return ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

} // namespace

TEST(DrainQuitMessages, RemovesWaitingQuitMessagesAndKeepsOthers)
{
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // gives the thread its queue
    ::PostThreadMessageA(::GetCurrentThreadId(), WM_USER + 1, 0, 0);
    PostQuits(3);
    // The last look found nothing: the answer is false although three were removed.
    EXPECT_FALSE(Brivox::DrainQuitMessages());
    EXPECT_FALSE(QuitWaiting());
    EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_REMOVE));
}

TEST(DrainQuitMessages, StopsAfterSixteenRemovals)
{
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    PostQuits(20);
    EXPECT_TRUE(Brivox::DrainQuitMessages());
    int left = 0;
    while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        ++left;
    EXPECT_EQ(left, 4);
}
