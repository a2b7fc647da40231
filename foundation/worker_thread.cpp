#include "foundation/worker_thread.h"

#include "foundation/fault_translator.h"

namespace Brivox {

void WorkerThread::Task::Assign(const Job& job)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_job = job;
    m_idle = false;
}

void WorkerThread::Task::Run()
{
    Job job;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_workerThread = std::this_thread::get_id();
        job.swap(m_job);
    }
    // Whatever the job holds (a pool controller, bound objects) is released before the slot is
    // marked idle, so a waiter that returns finds it released. Also an empty job (which throws)
    // leaves the slot idle; otherwise the worker would spin on it for ever.
    struct Finish
    {
        Task& task;
        Job& job;
        ~Finish()
        {
            job = nullptr;
            task.MarkIdle();
        }
    } finish{*this, job};
    if (!job)
        throw std::bad_function_call();
    job();
}

void WorkerThread::Task::MarkIdle()
{
    std::lock_guard<std::mutex> lock(m_lock);
    // A job assigned while this one ran (from the worker itself) keeps the slot busy and runs next.
    if (!m_job)
        m_idle = true;
    if (m_waiters > 0)
        m_done.notify_all();
}

void WorkerThread::Task::Wait()
{
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_workerThread == std::this_thread::get_id())
        return; // a worker never waits for itself
    ++m_waiters;
    m_done.wait(lock, [this] { return m_idle.load(); });
    --m_waiters;
}

WorkerThread::WorkerThread()
{
    m_thread = std::thread([this] { Main(); });
}

WorkerThread::~WorkerThread()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_running = false;
        m_wake.notify_all();
    }
    m_thread.join();
}

void WorkerThread::Post(const Job& job)
{
    m_task.Wait();
    m_task.Assign(job);
    // Assign cleared idle before this lock is taken, and Main looks at idle again under it before
    // it sleeps: the wake-up cannot be lost.
    std::lock_guard<std::mutex> lock(m_lock);
    m_wake.notify_all();
}

void WorkerThread::Wait()
{
    m_task.Wait();
}

void WorkerThread::Main()
{
    // Faults of a job become exceptions, which end the job but not the worker.
    InstallExceptionTranslatorIfEnabled();
    while (m_running) {
        if (!m_task.IsIdle()) {
            try {
                m_task.Run();
            } catch (...) {
                // Jobs that must report a failure catch it themselves.
            }
            continue;
        }
        std::unique_lock<std::mutex> lock(m_lock);
        m_wake.wait(lock, [this] { return !m_running || !m_task.IsIdle(); });
    }
}

WorkerThreadController::~WorkerThreadController()
{
    m_worker->Wait();
}

} // namespace Brivox
