#pragma once
#include "foundation/string.h"

namespace Brivox {

// A DLL bound while the program runs, so that the program starts where a DLL or an export is
// missing and uses it only where it exists. Addresses taken from a library that this object
// loaded are valid only while the object lives.
class CDynamicLibrary
{
public:
    // load true: LoadLibrary, owned and freed again; load false: a module already in the process,
    // never freed. Non-zero loadFlags load through LoadLibraryEx with those flags (plug-ins loaded
    // by full path with LOAD_WITH_ALTERED_SEARCH_PATH find the DLLs beside them). Throws
    // DllNotFoundException when the module cannot be had.
    CDynamicLibrary(const String& name, bool load, unsigned loadFlags = 0);
    ~CDynamicLibrary();
    CDynamicLibrary(const CDynamicLibrary&) = delete;
    CDynamicLibrary& operator=(const CDynamicLibrary&) = delete;

    // Throws EntryPointNotFoundException for a missing export.
    void* GetProc(const String& procName) const;
    // Null for a missing export (optional functions that older systems lack).
    void* TryGetProc(const String& procName) const;

    // The address as the caller's function type, for example GetProc<BOOL(WINAPI*)(HANDLE)>(...).
    template <class F> F GetProc(const String& procName) const
    {
        return reinterpret_cast<F>(GetProc(procName));
    }
    template <class F> F TryGetProc(const String& procName) const
    {
        return reinterpret_cast<F>(TryGetProc(procName));
    }

    const String& GetName() const { return m_name; }
    void* GetModule() const { return m_module; }

private:
    String m_name;
    void* m_module;
    bool m_owned;
};

// Sets the process error mode for the length of a block and restores the previous one.
// The mode is process-wide: other threads see it too while the guard lives.
class ErrorModeGuard
{
public:
    explicit ErrorModeGuard(unsigned mode);
    ~ErrorModeGuard();
    ErrorModeGuard(const ErrorModeGuard&) = delete;
    ErrorModeGuard& operator=(const ErrorModeGuard&) = delete;

private:
    unsigned m_previous;
};

} // namespace Brivox
