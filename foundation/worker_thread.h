#pragma once
// The only kind of thread the program starts: one system thread that runs the jobs handed to it,
// one after another, and sleeps between them. Workers are borrowed from the thread pool.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace Brivox {

class WorkerThread
{
public:
    using Job = std::function<void()>;

    // Starts the thread; a thread that cannot be started throws the library's system_error.
    WorkerThread();
    // Stops and joins the thread: a running job finishes first, a job not yet started is dropped.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Waits for the previous job (except on the worker's own thread, where the new job runs right
    // after the current one), hands the job over and returns without waiting for it. Meant for
    // one feeding thread at a time. Whatever the job throws is discarded by the worker.
    void Post(const Job& job);
    // Returns when no job waits or runs; at once on the worker's own thread.
    void Wait();
    // Read without the job slot's lock: a hint for the pool.
    bool IsIdle() const { return m_task.IsIdle(); }

private:
    class Task
    {
    public:
        void Assign(const Job& job);
        void Run();
        void Wait();
        bool IsIdle() const { return m_idle.load(); }

    private:
        friend class WorkerThreadProbe;
        void MarkIdle();

        Job m_job;
        std::mutex m_lock;
        std::condition_variable m_done;
        std::atomic<bool> m_idle{true};
        int m_waiters = 0;
        std::thread::id m_workerThread;
    };

    friend class WorkerThreadProbe; // tests: wakes the conditions without cause

    void Main();

    Task m_task;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::atomic<bool> m_running{true};
    std::thread m_thread;
};

// A borrower's hold on a pooled worker. Its destruction waits for the worker's job and gives the
// worker back to the pool (through the worker's deleter), never deletes it.
class WorkerThreadController
{
public:
    explicit WorkerThreadController(std::shared_ptr<WorkerThread> worker) : m_worker(std::move(worker)) {}
    ~WorkerThreadController();
    WorkerThreadController(const WorkerThreadController&) = delete;
    WorkerThreadController& operator=(const WorkerThreadController&) = delete;

    WorkerThread& Worker() const { return *m_worker; }
    bool IsIdle() const { return m_worker->IsIdle(); }

private:
    std::shared_ptr<WorkerThread> m_worker;
};

} // namespace Brivox
