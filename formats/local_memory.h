#pragma once
// Local memory blocks that plug-ins allocate and hand over to their caller, who frees them. A
// plug-in may hand back anything, so a handle the system does not know as a block is never
// locked or freed.

#include "foundation/win32.h"

#include <cstddef>

namespace Brivox {

class CLocalMemory
{
public:
    CLocalMemory() = default;
    explicit CLocalMemory(HLOCAL block) : m_block(block) {}
    ~CLocalMemory() { Reset(); }
    CLocalMemory(const CLocalMemory&) = delete;
    CLocalMemory& operator=(const CLocalMemory&) = delete;

    // Whether the handle names a block that the system knows.
    static bool IsValid(HLOCAL block) { return block && ::LocalFlags(block) != LMEM_INVALID_HANDLE; }

    HLOCAL Get() const { return m_block; }
    bool IsValid() const { return IsValid(m_block); }
    // 0 for a handle that names no block.
    std::size_t GetSize() const { return IsValid() ? ::LocalSize(m_block) : 0; }
    // Frees the block held now and takes the new one.
    void Reset(HLOCAL block = nullptr)
    {
        if (IsValid())
            ::LocalFree(m_block);
        m_block = block;
    }
    // Lets go of the block without freeing it.
    void Release() { m_block = nullptr; }

private:
    HLOCAL m_block = nullptr;
};

// A block's bytes for the length of a scope; no bytes for a handle that names no block.
class CLocalMemoryLock
{
public:
    explicit CLocalMemoryLock(const CLocalMemory& block)
        : m_block(block.Get()), m_size(block.GetSize()),
          m_data(m_size > 0 ? static_cast<const unsigned char*>(::LocalLock(m_block)) : nullptr)
    {
        if (!m_data)
            m_size = 0;
    }
    ~CLocalMemoryLock()
    {
        if (m_data)
            ::LocalUnlock(m_block);
    }
    CLocalMemoryLock(const CLocalMemoryLock&) = delete;
    CLocalMemoryLock& operator=(const CLocalMemoryLock&) = delete;

    const unsigned char* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

private:
    HLOCAL m_block;
    std::size_t m_size;
    const unsigned char* m_data;
};

} // namespace Brivox
