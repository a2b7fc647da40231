#pragma once
// Hand-offs between test threads without sleeps: a gate that opens once, and a counter that can
// be waited on until it reaches a value.

#include <condition_variable>
#include <mutex>

class Gate
{
public:
    void Open()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = true;
        m_changed.notify_all();
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_open = false;
};

class Counter
{
public:
    int Add()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_changed.notify_all();
        return ++m_value;
    }
    void WaitFor(int value)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [&] { return m_value >= value; });
    }
    int Value()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_value;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_value = 0;
};
