#include "foundation/thread_pool.h"

#include "foundation/win32.h"

#include <algorithm>
#include <exception>

namespace Brivox {

ThreadPool& ThreadPool::Instance()
{
    static ThreadPool pool;
    return pool;
}

ThreadPool::ThreadPool() : m_maxActive(2 * GetProcessorCount()) {}

ThreadPool::~ThreadPool()
{
    std::vector<Controller> active;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pending.clear();
        active.swap(m_active);
    }
    // Every task ends its use of the pool lock before its worker turns idle, so once these waits
    // return no task touches this pool again.
    for (Controller& controller : active) {
        controller->Worker().Wait();
        controller.reset();
    }
    {
        // A worker whose last task had already taken it out of m_active gives itself back into
        // this pool's free list from its own thread: wait for that before the list goes.
        std::unique_lock<std::mutex> lock(m_lock);
        m_returned.wait(lock, [this] { return m_returning == 0; });
    }
    Clear();
}

ThreadPool::Controller ThreadPool::AcquireController()
{
    return std::make_shared<WorkerThreadController>(Create());
}

std::shared_ptr<WorkerThread> ThreadPool::AcquireWorker()
{
    Controller controller = AcquireController();
    // The handle shares the controller's life, so its last copy waits and gives the worker back.
    return std::shared_ptr<WorkerThread>(controller, &controller->Worker());
}

std::shared_ptr<WorkerThread> AcquirePooledWorker()
{
    return ThreadPool::Instance().AcquireWorker();
}

void ThreadPool::PostTask(const Controller& controller, const Job& job)
{
    // The task holds its controller until it has run, so the worker stays pool-managed meanwhile.
    controller->Worker().Post([this, job, owned = Controller(controller)]() mutable { RunTask(job, owned); });
}

void ThreadPool::Post(const Job& job)
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (const Controller& controller : m_active) {
        if (controller->IsIdle()) {
            PostTask(controller, job);
            return;
        }
    }
    if (static_cast<int>(m_active.size()) < m_maxActive) {
        Controller controller = AcquireController();
        m_active.push_back(controller);
        PostTask(controller, job);
        return;
    }
    m_pending.push_back(job);
}

void ThreadPool::RunTask(const Job& job, Controller& controller)
{
    // A task that throws still hands its worker on; the worker then discards the exception.
    try {
        job();
    } catch (...) {
        if (TakeNextTask(controller))
            FinishReturn(controller);
        throw;
    }
    if (TakeNextTask(controller))
        FinishReturn(controller);
}

bool ThreadPool::TakeNextTask(const Controller& controller)
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto found = std::find(m_active.begin(), m_active.end(), controller);
    if (found == m_active.end())
        return false; // the pool is being destroyed and holds the controller until it is idle
    if (m_pending.empty()) {
        // The task's own copy is the last one now: FinishReturn drops it.
        m_active.erase(found);
        ++m_returning;
        return true;
    }
    // Posting from the worker's own thread does not wait: the next task runs right after this one.
    PostTask(controller, m_pending.front());
    m_pending.pop_front();
    return false;
}

void ThreadPool::FinishReturn(Controller& controller)
{
    controller.reset(); // the worker goes back to the free list
    std::lock_guard<std::mutex> lock(m_lock);
    --m_returning;
    m_returned.notify_all();
}

void ThreadPool::Shutdown()
{
    std::vector<Controller> idle;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto busy = std::stable_partition(m_active.begin(), m_active.end(),
                                          [](const Controller& controller) { return !controller->IsIdle(); });
        idle.assign(busy, m_active.end());
        m_active.erase(busy, m_active.end());
    }
    idle.clear(); // gives their workers back to the free list
    Clear();
}

const int& GetProcessorCount()
{
    static const int count = [] {
        SYSTEM_INFO info;
        ::GetSystemInfo(&info);
        return static_cast<int>(info.dwNumberOfProcessors);
    }();
    return count;
}

void ParallelFor(int count, const std::function<void(int, int)>& body, int begin, int end)
{
    if (count <= 1) {
        body(begin, end);
        return;
    }
    const int share = (end - begin) / count;
    std::mutex errorLock;
    std::exception_ptr firstError;
    auto runShare = [&errorLock, &firstError](const std::function<void(int, int)>& shareBody, int first,
                                              int last) {
        try {
            shareBody(first, last);
        } catch (...) {
            std::lock_guard<std::mutex> lock(errorLock);
            if (!firstError)
                firstError = std::current_exception();
        }
    };
    {
        std::vector<std::shared_ptr<WorkerThread>> workers;
        workers.reserve(count - 1);
        // Destroying the handles (also when a worker cannot be started) waits for every share.
        for (int i = 0; i < count - 1; ++i) {
            workers.push_back(AcquirePooledWorker());
            const int first = begin + i * share;
            workers.back()->Post([runShare, body, first, share] { runShare(body, first, first + share); });
        }
        runShare(body, begin + (count - 1) * share, end);
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

} // namespace Brivox
