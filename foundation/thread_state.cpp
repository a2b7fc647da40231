#include "foundation/thread_state.h"

#include "foundation/exception.h"
#include "foundation/win32.h"

#include <objbase.h>

namespace Brivox {

std::uint32_t CurrentThreadId()
{
    return ::GetCurrentThreadId();
}

void ComInitCounter::Enter()
{
    if (m_count <= 0) {
        // S_FALSE (COM already initialised on this thread by someone else) counts as success: it
        // raised COM's own count, which the CoUninitialize of the last Leave takes back.
        if (FAILED(::CoInitialize(nullptr)))
            throw RuntimeException(L"COMの初期化に失敗しました");
    }
    ++m_count;
}

void ComInitCounter::Leave()
{
    if (--m_count <= 0)
        ::CoUninitialize();
}

ComInitCounter* GetThreadComCounter()
{
    thread_local ComInitCounter counter;
    return &counter;
}

bool NestingCounter::Enter()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return ++m_depth == 1;
}

void NestingCounter::Leave()
{
    std::lock_guard<std::mutex> lock(m_lock);
    --m_depth;
}

} // namespace Brivox
