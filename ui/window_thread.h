#pragma once
// What the window threads share: the registry of threads that run a window message loop, the
// number of counted windows of each thread, and the waits of a thread that must go on serving its
// own messages while it waits for a window thread.

#include "foundation/win32.h"

namespace Brivox {

// Whether the thread runs a window message loop of the framework (a window thread, or a thread
// that made a modeless dialog for itself) that has not retrieved its quit message yet.
bool IsMessageLoopThread(DWORD threadId);
// Whether a WM_ACTIVATEAPP that deactivates gives the activation to such a thread, from its
// lParam. Wine names no thread as the foreground passes between threads: the window holding the
// foreground tells then.
bool ActivatesMessageLoopThread(LPARAM activatedThread);

namespace Detail {

// Adds the thread to the registry; false when it was there already.
bool AddMessageLoopThread(DWORD threadId);
void RemoveMessageLoopThread(DWORD threadId);
// Adds delta to the thread's window count and returns the new count.
int ChangeWindowCount(DWORD threadId, int delta);
int GetWindowCount(DWORD threadId);
// A thread that leaves its loop for good starts its next windows from 0 and no longer counts as
// a loop thread.
void ForgetMessageLoopThread(DWORD threadId);

// A manual-reset event that starts unsignalled.
class CEvent
{
public:
    CEvent();
    ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void Set() const;
    void Reset() const;
    bool IsSet() const;
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

// A quit message that a waiting thread took from its queue.
struct SQuitMessage
{
    bool seen = false;
    int exitCode = 0;
};

// Waits until the event is set while dispatching the calling thread's messages, so that a window
// thread that sends to this thread meanwhile is served. A quit message met on the way is taken
// and returned, for the caller to post again.
SQuitMessage WaitServingMessages(const CEvent& event);
void PostQuitMessageAgain(const SQuitMessage& quit);

// Removes the waiting quit messages before an error box or after a modal dialog, so that the box
// is not closed at once, and posts the quit message again when it goes if this thread runs a
// window loop whose last window has been destroyed: that loop must still end.
class QuitMessageKeeper
{
public:
    QuitMessageKeeper();
    ~QuitMessageKeeper();
    QuitMessageKeeper(const QuitMessageKeeper&) = delete;
    QuitMessageKeeper& operator=(const QuitMessageKeeper&) = delete;

private:
    SQuitMessage m_quit;
};

} // namespace Detail

} // namespace Brivox
