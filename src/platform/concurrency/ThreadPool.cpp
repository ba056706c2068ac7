#include "platform/concurrency/ThreadPool.h"

#include "platform/concurrency/FirstFailure.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#if defined(__linux__)
#include <sched.h>
#endif

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// How long an idle worker keeps looking for the next loop, and how long a caller whose items
// are all taken waits for the last ones to finish, before sleeping; where cores are few
// (spinningAllowed) a caller only pauses a few microseconds and workers do not spin at all.
constexpr auto kWorkerSpin = std::chrono::microseconds(300);
constexpr auto kCallerSpin = std::chrono::microseconds(2000);
constexpr auto kCallerSpinFewCores = std::chrono::microseconds(0);

inline void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// The processors this process may run on: a process limited to some of the machine's cores
// (an affinity mask, a container) must not start, and spin, a worker for every core.
unsigned usableProcessors()
{
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return unsigned(CPU_COUNT(&set));
#endif
    return std::max(1u, std::thread::hardware_concurrency());
}

// How many idle workers may spin at once, for loops that use `threads` threads (the caller and
// its helpers) in a process that may run on `cores` processors. One core is left to the thread
// that runs the loops (its serial steps between them) and one to the rest of the process (the
// event loop, a second renderer): a spinning worker there would take the core from the thread
// whose work it waits for. So a 2-core process never spins, and an 8-core one spins at most 6.
int spinningAllowed(int threads, int cores)
{
    return std::max(0, std::min(threads - 1, cores - 2));
}

// Spins until ready() or the time is up; true when ready. After the first few microseconds
// the spinning thread yields between looks: on a machine busy with other work (a build, other
// programs) a spinning thread would otherwise hold a core that the thread it waits for, or
// the caller's next step, needs; on an idle one a yield returns at once.
template <typename F> bool spinUntil(F&& ready, Clock::duration limit)
{
    constexpr int kPauses = 256;
    const Clock::time_point end = Clock::now() + limit;
    for (int i = 0;; ++i) {
        if (ready())
            return true;
        if (i < kPauses) {
            relax();
            continue;
        }
        std::this_thread::yield();
        if (Clock::now() >= end)
            return ready();
    }
}

// One loop being run. Completion is counted by finished items, not by workers, so a worker
// that arrives late simply finds nothing left and lets go of the job. An item that throws
// cancels the items not yet started (they count as finished without running); the caller
// rethrows the first exception once no item is running, so f is never used after the call.
struct Job {
    const std::function<void(int)>* f = nullptr;
    int count = 0;
    int helpers = 0; // workers still allowed to join
    std::atomic<int> next { 0 };
    std::atomic<int> done { 0 };
    std::atomic<bool> callerSleeps { false };
    std::mutex mutex;
    std::condition_variable finished;
    FirstFailure failure;

    void work()
    {
        int i;
        while ((i = next.fetch_add(1)) < count) {
            failure.run([&] { (*f)(i); });
            if (done.fetch_add(1) + 1 == count && callerSleeps.load()) {
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
        const unsigned hw = usableProcessors();
        m_cores = int(hw);
        setLimit(int(hw));
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
        int wake;
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(job);
            m_queued.store(int(m_jobs.size()));
            // Spinning workers find the job themselves; wake only as many sleepers as may
            // join besides them. A worker that stops spinning now looks at the queue under
            // the lock before it sleeps, so it cannot miss the job.
            wake = std::min(m_sleeping, std::max(0, helpers - m_spinning.load()));
        }
        for (int i = 0; i < wake; ++i)
            m_wake.notify_one();
        // The caller takes items like any worker, from the first: it needs no wake-up.
        job->work();
        auto finished = [&] { return job->done.load() == n; };
        if (!spinUntil(finished, m_callerSpin.load())) {
            std::unique_lock lock(job->mutex);
            job->callerSleeps.store(true);
            job->finished.wait(lock, finished);
        }
        // Items all finished; a helper still holding job sees next >= count and touches no
        // item (f is not used again after this point).
        job->failure.rethrow();
    }

    int limit() const { return m_limit.load(); }
    void setLimit(int n)
    {
        m_limit.store(std::max(1, n));
        const int spinners = spinningAllowed(std::min(m_limit.load(), m_cores), m_cores);
        m_maxSpinning.store(spinners);
        m_callerSpin.store(spinners > 0 ? kCallerSpin : kCallerSpinFewCores);
    }

private:
    // The next job to help with (m_mutex held), or null. Takes the job off the queue once
    // enough helpers have joined or its items are all taken.
    std::shared_ptr<Job> take()
    {
        if (m_stop || m_jobs.empty())
            return nullptr;
        std::shared_ptr<Job> job = m_jobs.front();
        if (--job->helpers <= 0 || job->next.load() >= job->count) {
            m_jobs.pop_front();
            m_queued.store(int(m_jobs.size()));
        }
        return job;
    }

    // Claims one of the spinning places; false when as many workers as allowed spin already.
    bool startSpinning()
    {
        int spinning = m_spinning.load();
        while (spinning < m_maxSpinning.load()) {
            if (m_spinning.compare_exchange_weak(spinning, spinning + 1))
                return true;
        }
        return false;
    }

    void run()
    {
        for (;;) {
            std::shared_ptr<Job> job;
            if (startSpinning()) {
                const bool found
                    = spinUntil([&] { return m_queued.load() > 0 || m_stop.load(); }, kWorkerSpin);
                m_spinning.fetch_sub(1);
                if (found) {
                    std::unique_lock lock(m_mutex);
                    if (m_stop)
                        return;
                    job = take();
                }
            }
            if (!job) {
                std::unique_lock lock(m_mutex);
                ++m_sleeping;
                m_wake.wait(lock, [&] { return m_stop || !m_jobs.empty(); });
                --m_sleeping;
                if (m_stop)
                    return;
                job = take();
            }
            if (job)
                job->work();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Job>> m_jobs;
    std::atomic<int> m_queued { 0 }; // m_jobs.size(), for spinning workers to read unlocked
    int m_sleeping = 0; // workers waiting on m_wake
    std::vector<std::thread> m_threads;
    std::atomic<bool> m_stop { false }; // set under m_mutex, read by spinning workers too
    std::atomic<int> m_limit { 1 };
    int m_cores = 1; // the processors the process may use, when the pool started
    std::atomic<int> m_maxSpinning { 0 }; // spinningAllowed for the current limit
    std::atomic<int> m_spinning { 0 }; // workers spinning now
    std::atomic<Clock::duration> m_callerSpin { kCallerSpinFewCores };
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
