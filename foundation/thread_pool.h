#pragma once
// The process-wide owner of every worker thread: dedicated workers lent to one borrower each, and
// short queued tasks run on at most twice as many workers as there are processors.

#include "foundation/object_pool.h"
#include "foundation/worker_thread.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

class ThreadPool : private ObjectPool<WorkerThread>
{
public:
    using Job = std::function<void()>;

    // Made by the first call, destroyed at process exit.
    static ThreadPool& Instance();

    ThreadPool();
    // Drops the queued tasks, waits for the running ones and stops every free worker. Workers
    // still lent out must have been given back before.
    ~ThreadPool() override;

    // Lends a free worker (the most recently returned) or a new one, without limit. The handle is
    // the borrower's: when its last copy goes, the worker's job is waited for and the worker goes
    // back to the free list.
    std::shared_ptr<WorkerThread> AcquireWorker();

    // Runs the job on a pool-managed worker now, or later in the order of posting. Returns at once;
    // the job's exceptions are discarded.
    void Post(const Job& job);

    // Ends the idle workers; workers lent out or still running a task are left alone.
    void Shutdown();

private:
    using Controller = std::shared_ptr<WorkerThreadController>;

    Controller AcquireController();
    void PostTask(const Controller& controller, const Job& job);
    void RunTask(const Job& job, Controller& controller);
    bool TakeNextTask(const Controller& controller);
    void FinishReturn(Controller& controller);

    std::vector<Controller> m_active; // workers running queued tasks, in the order acquired
    std::mutex m_lock;
    std::condition_variable m_returned;
    std::deque<Job> m_pending;
    // Workers that left m_active after their last task and are still giving themselves back: the
    // pool must not go before they have.
    int m_returning = 0;
    int m_maxActive;
};

// A dedicated worker of the process-wide pool: Post jobs to it and Wait for them; dropping the
// last copy of the handle waits for its job and gives it back.
std::shared_ptr<WorkerThread> AcquirePooledWorker();

// The number of processors the system reports, read once.
const int& GetProcessorCount();

// Calls body(first, last) for `count` consecutive sub-ranges covering [begin, end): all but the
// last on borrowed workers, the last (which takes the remainder) on the calling thread. Returns
// when every share has returned; then the first exception thrown by any share is rethrown.
void ParallelFor(int count, const std::function<void(int, int)>& body, int begin, int end);

} // namespace Brivox
