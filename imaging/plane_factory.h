#pragma once
#include "foundation/object_pool.h"
#include "imaging/plane.h"

#include <memory>

namespace Brivox {

// Hands out 32-bit planes in shared pointers.
class CPlaneFactory
{
public:
    CPlaneFactory() = default;
    CPlaneFactory(const CPlaneFactory&) = delete;
    CPlaneFactory& operator=(const CPlaneFactory&) = delete;
    virtual ~CPlaneFactory() = default;

    virtual std::shared_ptr<CPlane32> Create() = 0;
    virtual void Clear() {}
    virtual int GetFreeCount() { return 0; }
    virtual bool IsEmpty() { return true; }
    virtual void SetMaxFree(int) {}
};

// Reuses the planes given back: the most recently returned one first, with the size and storage
// it had (a DIB's storage only grows, so pages of similar sizes need no new DIB). A plane returns
// to the pool when its last shared pointer goes; the factory must outlive its planes.
template <class P> class CPlaneFactoryT : public CPlaneFactory
{
public:
    CPlaneFactoryT() { pool_.SetMaxFree(4); }

    std::shared_ptr<CPlane32> Create() override { return pool_.Create(); }
    void Clear() override { pool_.Clear(); }
    int GetFreeCount() override { return static_cast<int>(pool_.GetFreeCount()); }
    bool IsEmpty() override { return pool_.GetFreeCount() == 0; }
    void SetMaxFree(int n) override { pool_.SetMaxFree(n); }

private:
    ObjectPool<P> pool_;
};

class CDibPlaneFactory32 : public CPlaneFactoryT<CDib32>
{
};

} // namespace Brivox
