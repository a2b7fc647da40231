#pragma once

#include "foundation/string.h"

namespace Brivox {

// A lock that several holders take in turn.
class IExclusion
{
public:
    IExclusion() = default;
    IExclusion(const IExclusion&) = delete;
    IExclusion& operator=(const IExclusion&) = delete;
    virtual ~IExclusion() = default;

    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

// Serialises the use of one file across processes (and threads) through a named system mutex
// made from the file's path. A failure to make the mutex is not reported: the file operation then
// simply runs without exclusion. Lock and Unlock of one object belong to one thread.
class CProcessExclusion : public IExclusion
{
public:
    // Takes no lock yet.
    explicit CProcessExclusion(const String& path);
    ~CProcessExclusion() override;

    // Blocks until this thread owns the mutex; a mutex left by an ended owner counts as acquired.
    void Lock() override;
    void Unlock() override;

private:
    void* handle_;
    String name_;
};

// Holds an exclusion locked for the life of a scope.
class ExclusionLock
{
public:
    explicit ExclusionLock(IExclusion& exclusion) : exclusion_(exclusion) { exclusion_.Lock(); }
    ~ExclusionLock() { exclusion_.Unlock(); }
    ExclusionLock(const ExclusionLock&) = delete;
    ExclusionLock& operator=(const ExclusionLock&) = delete;

private:
    IExclusion& exclusion_;
};

} // namespace Brivox
