#include "foundation/process_exclusion.h"

#include "foundation/encoding.h"
#include "foundation/win32.h"

namespace Brivox {

namespace {

// Kernel object names hold no backslash and are limited to MAX_PATH characters with the NUL.
String MutexNameOf(const String& path)
{
    const String name = path.ReplaceAll(L"\\", L"/");
    return name.Length() >= MAX_PATH ? name.Substring(0, MAX_PATH - 1) : name;
}

} // namespace

CProcessExclusion::CProcessExclusion(const String& path) : handle_(nullptr), name_(MutexNameOf(path)) {}

CProcessExclusion::~CProcessExclusion()
{
    // Not through the virtual call: a destructor reaches only its own class's override anyway.
    CProcessExclusion::Unlock();
}

void CProcessExclusion::Lock()
{
    // A second Lock must not leak the first handle.
    Unlock();
    HANDLE handle = CallWithApiText(
        name_, [](const wchar_t* name) { return ::CreateMutexW(nullptr, TRUE, name); },
        [](const char* name) { return ::CreateMutexA(nullptr, TRUE, name); });
    const DWORD error = ::GetLastError();
    if (!handle)
        return;
    handle_ = handle;
    // An existing mutex did not grant the initial ownership. WAIT_ABANDONED also gives ownership:
    // a holder that ended without unlocking must not block the file for ever.
    if (error == ERROR_ALREADY_EXISTS)
        ::WaitForSingleObject(handle, INFINITE);
}

void CProcessExclusion::Unlock()
{
    if (!handle_)
        return;
    ::ReleaseMutex(handle_);
    ::CloseHandle(handle_);
    handle_ = nullptr;
}

} // namespace Brivox
