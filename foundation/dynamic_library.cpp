#include "foundation/dynamic_library.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/win32.h"

namespace Brivox {

namespace {

// GetProcAddress gives a FARPROC; the callers cast it to their own function type.
void* ToAddress(FARPROC proc)
{
    return reinterpret_cast<void*>(proc);
}

} // namespace

CDynamicLibrary::CDynamicLibrary(const String& name, bool load, unsigned loadFlags)
    : m_name(name), m_owned(load)
{
    const std::string ansi = GetDefaultEncoding().ToMultiByte(name);
    // LoadLibraryEx with no flags is LoadLibrary.
    m_module = load ? ::LoadLibraryExA(ansi.c_str(), nullptr, loadFlags) : ::GetModuleHandleA(ansi.c_str());
    if (!m_module) {
        const DWORD error = ::GetLastError();
        throw DllNotFoundException(error, name + L"のロードに失敗");
    }
}

CDynamicLibrary::~CDynamicLibrary()
{
    if (m_module && m_owned)
        ::FreeLibrary(static_cast<HMODULE>(m_module));
    m_module = nullptr;
}

void* CDynamicLibrary::TryGetProc(const String& procName) const
{
    const std::string ansi = GetDefaultEncoding().ToMultiByte(procName);
    return ToAddress(::GetProcAddress(static_cast<HMODULE>(m_module), ansi.c_str()));
}

void* CDynamicLibrary::GetProc(const String& procName) const
{
    void* address = TryGetProc(procName);
    if (!address) {
        const DWORD error = ::GetLastError();
        throw EntryPointNotFoundException(error, m_name + L"から '" + procName + L"' の取得に失敗");
    }
    return address;
}

ErrorModeGuard::ErrorModeGuard(unsigned mode) : m_previous(::SetErrorMode(mode)) {}

ErrorModeGuard::~ErrorModeGuard()
{
    ::SetErrorMode(m_previous);
}

} // namespace Brivox
