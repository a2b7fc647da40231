#include "ui/window_thread.h"

#include "foundation/exception.h"
#include "foundation/message_queue.h"
#include "foundation/thread_state.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace Brivox {

namespace {

// The loop-thread registry (ascending ids) and the window count of each thread (ascending ids),
// read and changed by every window thread under one lock.
struct WindowThreadTables
{
    std::mutex lock;
    std::vector<DWORD> loopThreads;
    std::vector<std::pair<std::uint32_t, int>> windowCounts;

    int& CountOf(DWORD threadId)
    {
        const auto at = ThreadLocalMap<int>::FindOrInsert(windowCounts, threadId, 0);
        return windowCounts[at.first].second;
    }
};

WindowThreadTables& Tables()
{
    static WindowThreadTables tables;
    return tables;
}

} // namespace

bool IsMessageLoopThread(DWORD threadId)
{
    WindowThreadTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.lock);
    return std::binary_search(tables.loopThreads.begin(), tables.loopThreads.end(), threadId);
}

bool ActivatesMessageLoopThread(LPARAM activatedThread)
{
    const DWORD thread = activatedThread ? static_cast<DWORD>(activatedThread)
                                         : ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    return IsMessageLoopThread(thread);
}

namespace Detail {

bool AddMessageLoopThread(DWORD threadId)
{
    WindowThreadTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.lock);
    auto& ids = tables.loopThreads;
    const auto at = std::lower_bound(ids.begin(), ids.end(), threadId);
    if (at != ids.end() && *at == threadId)
        return false;
    ids.insert(at, threadId);
    return true;
}

void RemoveMessageLoopThread(DWORD threadId)
{
    WindowThreadTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.lock);
    auto& ids = tables.loopThreads;
    const auto at = std::lower_bound(ids.begin(), ids.end(), threadId);
    if (at != ids.end() && *at == threadId)
        ids.erase(at);
}

int ChangeWindowCount(DWORD threadId, int delta)
{
    WindowThreadTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.lock);
    return tables.CountOf(threadId) += delta;
}

int GetWindowCount(DWORD threadId)
{
    return ChangeWindowCount(threadId, 0);
}

void ForgetMessageLoopThread(DWORD threadId)
{
    RemoveMessageLoopThread(threadId);
    WindowThreadTables& tables = Tables();
    std::lock_guard<std::mutex> lock(tables.lock);
    tables.CountOf(threadId) = 0;
}

CEvent::CEvent() : m_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (!m_handle) {
        const DWORD error = ::GetLastError();
        throw Win32Exception(error, L"イベントの作成に失敗");
    }
}

CEvent::~CEvent()
{
    ::CloseHandle(m_handle);
}

void CEvent::Set() const
{
    ::SetEvent(m_handle);
}

void CEvent::Reset() const
{
    ::ResetEvent(m_handle);
}

bool CEvent::IsSet() const
{
    return ::WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0;
}

SQuitMessage WaitServingMessages(const CEvent& event)
{
    SQuitMessage quit;
    const HANDLE handle = event.Handle();
    for (;;) {
        const DWORD woken =
            ::MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0)
            return quit;
        if (woken != WAIT_OBJECT_0 + 1) {
            // No way to wait for messages as well: the event alone.
            ::WaitForSingleObject(handle, INFINITE);
            return quit;
        }
        MSG msg;
        while (!event.IsSet() && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit.seen = true;
                quit.exitCode = static_cast<int>(msg.wParam);
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void PostQuitMessageAgain(const SQuitMessage& quit)
{
    if (quit.seen)
        ::PostQuitMessage(quit.exitCode);
}

QuitMessageKeeper::QuitMessageKeeper()
{
    MSG msg;
    if (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) {
        m_quit.seen = true;
        m_quit.exitCode = static_cast<int>(msg.wParam);
    }
    DrainQuitMessages();
}

QuitMessageKeeper::~QuitMessageKeeper()
{
    const DWORD self = ::GetCurrentThreadId();
    if (IsMessageLoopThread(self) && GetWindowCount(self) <= 0)
        PostQuitMessageAgain(m_quit);
}

} // namespace Detail

} // namespace Brivox
