#include "platform/imaging/ThreadPool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

// One loop being run. Completion is counted by finished items, not by workers, so a worker
// that arrives late simply finds nothing left and lets go of the job.
struct Job {
    const std::function<void(int)>* f = nullptr;
    int count = 0;
    int helpers = 0; // workers still allowed to join
    std::atomic<int> next { 0 };
    std::atomic<int> done { 0 };
    std::mutex mutex;
    std::condition_variable finished;

    // Runs items until none is left; true when this call finished the last one.
    void work()
    {
        int i;
        while ((i = next.fetch_add(1)) < count) {
            (*f)(i);
            if (done.fetch_add(1) + 1 == count) {
                std::lock_guard lock(mutex);
                finished.notify_all();
            }
        }
    }
};

class Pool {
public:
    Pool()
    {
        const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
        m_limit = int(hw);
        for (unsigned i = 0; i + 1 < hw; ++i)
            m_threads.emplace_back([this] { run(); });
    }
    ~Pool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (auto& t : m_threads)
            t.join();
    }

    void parallelFor(int n, const std::function<void(int)>& f)
    {
        const int threads = std::min(n, m_limit.load());
        if (threads <= 1 || m_threads.empty()) {
            for (int i = 0; i < n; ++i)
                f(i);
            return;
        }
        auto job = std::make_shared<Job>();
        job->f = &f;
        job->count = n;
        const int helpers = std::min(threads - 1, int(m_threads.size()));
        job->helpers = helpers;
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(job);
        }
        // Wake only as many workers as may join: on a small machine, waking every worker for
        // a two-thread loop costs each of them a trip through the scheduler for nothing.
        if (helpers >= int(m_threads.size()))
            m_wake.notify_all();
        else
            for (int i = 0; i < helpers; ++i)
                m_wake.notify_one();
        job->work();
        std::unique_lock lock(job->mutex);
        job->finished.wait(lock, [&] { return job->done.load() == n; });
        // Items all ran; a helper still holding job sees next >= count and touches no item
        // (f is not used again after this point).
    }

    int limit() const { return m_limit.load(); }
    void setLimit(int n) { m_limit.store(std::max(1, n)); }

private:
    void run()
    {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
                if (m_stop)
                    return;
                job = m_jobs.front();
                if (--job->helpers <= 0 || job->next.load() >= job->count)
                    m_jobs.pop_front();
            }
            job->work();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Job>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
    std::atomic<int> m_limit { 1 };
};

Pool& pool()
{
    static Pool p;
    return p;
}

} // namespace

void ThreadPool::parallelFor(int n, const std::function<void(int)>& f)
{
    if (n <= 0)
        return;
    pool().parallelFor(n, f);
}

void ThreadPool::setMaxThreads(int n)
{
    pool().setLimit(n);
}

int ThreadPool::maxThreads()
{
    return pool().limit();
}

} // namespace platform
