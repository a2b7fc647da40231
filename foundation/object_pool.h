#pragma once
// Factories that hand objects out in shared pointers, and a pool that takes its objects back when
// their last owner lets go and hands them out again before it makes new ones.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

template <class T> class IFactory
{
public:
    IFactory() = default;
    IFactory(const IFactory&) = delete;
    IFactory& operator=(const IFactory&) = delete;
    virtual ~IFactory() = default;

    // A new or reused object; what happens when its last owner lets go is the factory's choice.
    virtual std::shared_ptr<T> Create() = 0;
};

// Makes a new T on every request and hands it out as its interface I.
template <class T, class I> class DefaultFactory : public IFactory<I>
{
public:
    std::shared_ptr<I> Create() override { return std::make_shared<T>(); }
};

// Keeps the objects given back (most recent last) and reuses the most recent one first. A reused
// object keeps whatever state it had when it came back. The pool must outlive every object it has
// handed out: their deleters point at it.
template <class T> class ObjectPool : public IFactory<T>
{
public:
    ObjectPool() = default;
    ~ObjectPool() override { Destroy(m_free); }

    std::shared_ptr<T> Create() override
    {
        T* object = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (!m_free.empty()) {
                object = m_free.back();
                m_free.pop_back();
            }
        }
        if (!object)
            object = MakeNew();
        return std::shared_ptr<T>(object, [this](T* given) { Release(given); });
    }

    // The deleter of every object handed out. It never destroys: a pooled worker thread gives
    // itself back on its own thread, where destroying it would join the thread with itself.
    void Release(T* object) noexcept
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_free.push_back(object); // room was reserved when the object was made
    }

    // Sets the maximum (n <= 0: none) and destroys the surplus now, the most recently returned
    // first; returning an object later never trims.
    void SetMaxFree(int n)
    {
        if (n <= 0)
            return;
        std::vector<T*> surplus;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_free.size() > static_cast<std::size_t>(n)) {
                surplus.assign(m_free.begin() + n, m_free.end());
                m_free.resize(n);
            }
        }
        Destroy(surplus);
    }

    // The number of objects given back and not yet handed out again; only a hint while other
    // threads take or give back objects.
    std::size_t GetFreeCount()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_free.size();
    }

    // Destroys every free object, outside the lock (a worker thread's destruction joins it).
    void Clear()
    {
        std::vector<T*> all;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            // Copied, not swapped: the free list keeps its room for the objects still handed out.
            all = m_free;
            m_free.clear();
        }
        Destroy(all);
    }

private:
    T* MakeNew()
    {
        auto object = std::make_unique<T>();
        std::lock_guard<std::mutex> lock(m_lock);
        // Reserving for every object alive keeps Release, a deleter, from ever allocating.
        m_free.reserve(m_alive + 1);
        ++m_alive;
        return object.release();
    }

    void Destroy(std::vector<T*>& objects)
    {
        for (T* object : objects)
            delete object;
        std::lock_guard<std::mutex> lock(m_lock);
        m_alive -= objects.size();
        objects.clear();
    }

    std::mutex m_lock;
    std::vector<T*> m_free;
    std::size_t m_alive = 0;
};

} // namespace Brivox
