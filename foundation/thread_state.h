#pragma once
// Building blocks for code that runs on many threads: an object per thread, the per-thread count
// of COM users, and a depth counter that tells the outermost of nested or concurrent entries.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

namespace Brivox {

std::uint32_t CurrentThreadId();

// A process-wide map from thread id to that thread's object, made on the thread's first request
// and kept until the map goes (a later thread that is given the same id finds the same object).
template <class T> class ThreadLocalMap
{
public:
    ThreadLocalMap() = default;
    ThreadLocalMap(const ThreadLocalMap&) = delete;
    ThreadLocalMap& operator=(const ThreadLocalMap&) = delete;
    ~ThreadLocalMap()
    {
        for (auto& entry : m_entries)
            delete entry.second;
    }

    // The calling thread's object; on its first call the factory makes it (a new T*). A factory
    // that throws leaves no object behind, and the next call tries again.
    template <class Factory> T* Get(Factory factory)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto& entry = m_entries[FindOrInsert(m_entries, CurrentThreadId(), static_cast<T*>(nullptr)).first];
        if (!entry.second)
            entry.second = factory();
        return entry.second;
    }

    // Finds the key in entries sorted by ascending id, or inserts (key, value) in its place.
    // Returns the entry's position and whether it was inserted; a found entry keeps its value.
    // The caller guards the vector.
    template <class V>
    static std::pair<std::size_t, bool> FindOrInsert(std::vector<std::pair<std::uint32_t, V>>& entries,
                                                     std::uint32_t key, V value)
    {
        auto at = std::lower_bound(entries.begin(), entries.end(), key,
                                   [](const auto& entry, std::uint32_t id) { return entry.first < id; });
        const std::size_t position = at - entries.begin();
        if (at != entries.end() && at->first == key)
            return {position, false};
        entries.insert(at, {key, std::move(value)});
        return {position, true};
    }

private:
    std::mutex m_lock;
    std::vector<std::pair<std::uint32_t, T*>> m_entries;
};

// Counts the COM users of one thread: the first initialises COM (a single-threaded apartment),
// the last uninitialises it.
class ComInitCounter
{
public:
    // Throws RuntimeException "COMの初期化に失敗しました" when COM cannot be initialised; the count
    // then stays as it was and no Leave must follow.
    void Enter();
    void Leave();

private:
    int m_count = 0;
};

// The calling thread's counter. It belongs to the thread itself, not to its id: a new thread
// starts at zero even when the system gives it the id of an ended one.
ComInitCounter* GetThreadComCounter();

// The calling thread's COM use for the length of a block; throws as ComInitCounter::Enter.
class ComScope
{
public:
    ComScope() { GetThreadComCounter()->Enter(); }
    ~ComScope() { GetThreadComCounter()->Leave(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

// A depth counter shared by every thread that enters one object's operation; only the entry that
// moves it from 0 to 1 is the outermost.
class NestingCounter
{
public:
    NestingCounter() = default;
    NestingCounter(const NestingCounter&) = delete;
    NestingCounter& operator=(const NestingCounter&) = delete;

    bool Enter();
    void Leave();

    class Scope
    {
    public:
        explicit Scope(NestingCounter* counter) : m_counter(counter), m_outermost(counter->Enter()) {}
        ~Scope() { m_counter->Leave(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        bool IsOutermost() const { return m_outermost; }

    private:
        NestingCounter* m_counter;
        bool m_outermost;
    };

private:
    int m_depth = 0;
    std::mutex m_lock;
};

} // namespace Brivox
