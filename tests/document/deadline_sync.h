#pragma once
// Hand-offs between the document tests' threads. Every wait is for a condition; the deadline
// only turns a hang into a failure and never decides a result.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace DeadlineSync {

inline constexpr std::chrono::seconds hangLimit{20};

// State guarded by one lock, changed under it and waited on until a condition holds.
class Monitor
{
public:
    template <class Change> void Update(Change change)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        change();
        m_changed.notify_all();
    }
    template <class Reader> auto Read(Reader read)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return read();
    }
    // False when the deadline passed first.
    template <class Condition> [[nodiscard]] bool WaitUntil(Condition condition)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, hangLimit, condition);
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
};

// Named gates where the code under test waits, each open unless a test holds it. In the mode
// where every pass is held, each pass waits until a test thread lets that very pass through,
// so that a test can release waiting passes in an order of its choosing.
class GateBoard
{
public:
    void Hold(const std::string& gate)
    {
        m_state.Update([&] { m_held.insert(gate); });
    }
    void Open(const std::string& gate)
    {
        m_state.Update([&] { m_held.erase(gate); });
    }
    void HoldEveryPass()
    {
        m_state.Update([&] { m_holdEveryPass = true; });
    }
    // Opens every gate and lets every pass through from now on; ReleaseRandomPass returns false.
    void OpenAll()
    {
        m_state.Update([&] {
            m_held.clear();
            m_holdEveryPass = false;
            m_waiting.clear();
            m_openedAll = true;
        });
    }
    // Back to every gate open and nothing counted.
    void Reset()
    {
        m_state.Update([&] {
            m_held.clear();
            m_holdEveryPass = false;
            m_waiting.clear();
            m_openedAll = false;
            m_arrivals.clear();
        });
    }

    // Waits at the gate until it lets the caller through; false (and a test failure) when the
    // deadline passed first.
    bool Pass(const std::string& gate)
    {
        int ticket = 0;
        m_state.Update([&] {
            ++m_arrivals[gate];
            if (m_holdEveryPass) {
                ticket = ++m_lastTicket;
                m_waiting.push_back(ticket);
            }
        });
        const bool passed = m_state.WaitUntil([&] {
            return m_held.count(gate) == 0 &&
                   (ticket == 0 || std::find(m_waiting.begin(), m_waiting.end(), ticket) == m_waiting.end());
        });
        if (!passed)
            ADD_FAILURE() << "the gate \"" << gate << "\" never opened";
        return passed;
    }

    // Lets one waiting pass through, chosen at random; false once OpenAll was called.
    bool ReleaseRandomPass(std::mt19937& random)
    {
        // A quiet spell that reaches the deadline is no failure: the caller looks again.
        (void)m_state.WaitUntil([&] { return m_openedAll || !m_waiting.empty(); });
        bool going = true;
        m_state.Update([&] {
            going = !m_openedAll;
            if (!m_waiting.empty())
                m_waiting.erase(m_waiting.begin() + random() % m_waiting.size());
        });
        return going;
    }

    int Arrivals(const std::string& gate)
    {
        return m_state.Read([&] { return m_arrivals[gate]; });
    }
    [[nodiscard]] bool WaitForArrivals(const std::string& gate, int count)
    {
        return m_state.WaitUntil([&] { return m_arrivals[gate] >= count; });
    }

private:
    Monitor m_state;
    std::set<std::string> m_held;
    std::vector<int> m_waiting; // tickets of held passes
    std::map<std::string, int> m_arrivals;
    int m_lastTicket = 0;
    bool m_holdEveryPass = false;
    bool m_openedAll = false;
};

// A thread that lets the passes waiting at a board held for every pass go, one at a time in
// random order, until it is destroyed.
class RandomReleaser
{
public:
    RandomReleaser(GateBoard& gates, unsigned seed)
        : m_gates(gates), m_thread([this, seed] {
              std::mt19937 random(seed);
              while (m_gates.ReleaseRandomPass(random)) {
              }
          })
    {
    }
    ~RandomReleaser()
    {
        m_gates.OpenAll();
        m_thread.join();
    }
    RandomReleaser(const RandomReleaser&) = delete;
    RandomReleaser& operator=(const RandomReleaser&) = delete;

private:
    GateBoard& m_gates;
    std::thread m_thread;
};

// The result of a call run on a thread of its own. A call that does not return within the
// deadline ends the test program: the thread still uses the test's objects, so the test cannot
// go on, and waiting for it would hang.
template <class T> T Await(std::future<T>& call)
{
    if (call.wait_for(hangLimit) != std::future_status::ready) {
        ADD_FAILURE() << "a call did not return within " << hangLimit.count() << " s";
        std::fflush(stdout);
        std::_Exit(1);
    }
    return call.get();
}

} // namespace DeadlineSync
