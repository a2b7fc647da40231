#pragma once
// Waiting for the replacement scripts, which run on their own after the program that started them:
// a wait on the program folder's changes, and what counts as their temporary folder removed.
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace UpdateTestSupport {

// Owns a handle of the system.
class Handle
{
public:
    explicit Handle(HANDLE handle = nullptr) : m_handle(handle) {}
    ~Handle()
    {
        if (m_handle && m_handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// Waits until the condition holds, woken by changes in the folder itself and now and then
// regardless (for changes further down); false when the deadline passes first. Wine watches a
// tree by holding its sub-folders, which would keep a removed one in place: the watch stays on
// the folder.
inline bool WaitUntil(const Brivox::String& folder, const std::function<bool()>& condition,
                      DWORD deadline = 60 * 1000)
{
    const Handle change(::FindFirstChangeNotificationW(
        folder.CStr(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME));
    if (change.Get() == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "no change notices for " << FileTestSupport::Ansi(folder);
        return false;
    }
    const ULONGLONG end = ::GetTickCount64() + deadline;
    while (!condition()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return false;
        if (::WaitForSingleObject(change.Get(), static_cast<DWORD>(std::min<ULONGLONG>(end - now, 500))) ==
            WAIT_OBJECT_0)
            ::FindNextChangeNotification(change.Get());
    }
    return true;
}

// Wine's command processor keeps a running script open to its end, so the script's own folder,
// emptied, stays until it has ended; Windows' reads a script line by line and the folder goes.
inline bool IsWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

inline bool RemovedByItsScript(const Brivox::String& folder)
{
    return !FileTestSupport::Exists(folder) || (IsWine() && FileTestSupport::Tree(folder).empty());
}

} // namespace UpdateTestSupport
