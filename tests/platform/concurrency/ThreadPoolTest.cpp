// The pool and the loops built on it: every index runs exactly once, whatever the nesting,
// the number of threads allowed or the number of threads calling at once; an exception thrown
// by an item reaches the caller, after the items still running, and the pool goes on working.
#include "platform/concurrency/ThreadPool.h"

#include "platform/concurrency/Parallel.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <gtest/gtest.h>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

// Limits the pool for one scope; 0 leaves it at its default (every usable core).
class PoolLimit {
public:
    explicit PoolLimit(int threads)
        : m_before(ThreadPool::maxThreads())
    {
        if (threads > 0)
            ThreadPool::setMaxThreads(threads);
    }
    ~PoolLimit() { ThreadPool::setMaxThreads(m_before); }
    PoolLimit(const PoolLimit&) = delete;
    PoolLimit& operator=(const PoolLimit&) = delete;

private:
    int m_before;
};

// A little work per item, so that items overlap on several threads.
void busy(int i, int steps = 200)
{
    volatile double x = i;
    for (int k = 0; k < steps; ++k)
        x = x * 1.0000001 + 1;
}

} // namespace

TEST(ThreadPool, EveryIndexRunsOnceUnderContention)
{
    struct Row {
        const char* name;
        int threads; // 0: the default
        int callers; // threads calling at once, each running `loops` loops back to back
        int loops;
        int outer; // 0: a flat loop of `inner` items; else `outer` items each running one
        int inner;
    };
    const Row rows[] = {
        { "a pool of one: every loop on its caller", 1, 1, 20, 0, 100 },
        { "two threads", 2, 1, 50, 0, 1000 },
        { "every core", 0, 1, 50, 0, 1000 },
        { "more threads allowed than cores", 64, 1, 50, 0, 1000 },
        { "one index", 0, 1, 50, 0, 1 },
        { "nothing to do", 0, 1, 5, 0, 0 },
        { "nested loops", 0, 1, 5, 20, 10 },
        { "nested loops in a pool of one", 1, 1, 5, 20, 10 },
        { "nested loops, two threads, four callers", 2, 4, 20, 7, 9 },
        { "four callers, back-to-back short loops", 0, 4, 200, 0, 17 },
        { "eight callers, two threads", 2, 8, 50, 0, 33 },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        PoolLimit limit(r.threads);
        const int items = r.outer ? r.outer * r.inner : r.inner;
        std::atomic<int> wrong { 0 };
        std::atomic<int> offCaller { 0 };
        auto call = [&] {
            const auto caller = std::this_thread::get_id();
            for (int loop = 0; loop < r.loops; ++loop) {
                std::vector<std::atomic<int>> hits(static_cast<size_t>(items));
                auto item = [&](int i) {
                    busy(i);
                    hits[size_t(i)]++;
                    if (std::this_thread::get_id() != caller)
                        offCaller++;
                };
                if (r.outer)
                    ThreadPool::parallelFor(r.outer, [&](int i) {
                        ThreadPool::parallelFor(r.inner, [&](int j) { item(i * r.inner + j); });
                    });
                else
                    ThreadPool::parallelFor(r.inner, item);
                for (auto& h : hits)
                    wrong += h.load() != 1;
            }
        };
        std::vector<std::thread> callers;
        for (int c = 1; c < r.callers; ++c)
            callers.emplace_back(call);
        call();
        for (auto& t : callers)
            t.join();
        EXPECT_EQ(wrong.load(), 0);
        if (r.threads == 1) {
            EXPECT_EQ(offCaller.load(), 0) << "a pool of one runs every item on its caller";
        }
    }
}

TEST(ThreadPool, AnExceptionReachesTheCallerAfterTheRunningItems)
{
    struct Row {
        const char* name;
        int threads; // 0: the default
        int count;
        int throwFrom; // items at or past this index throw
        bool nested; // thrown from a loop inside an item of the outer loop
    };
    const Row rows[] = {
        { "the last item throws", 0, 1000, 999, false },
        { "the first item throws", 0, 1000, 0, false },
        { "every item from the middle throws", 0, 1000, 500, false },
        { "two threads", 2, 1000, 300, false },
        { "a pool of one", 1, 100, 50, false },
        { "thrown in a nested loop reaches the outer caller", 0, 40, 20, true },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        PoolLimit limit(r.threads);
        std::vector<std::atomic<int>> hits(static_cast<size_t>(r.count));
        std::atomic<int> started { 0 }, finished { 0 };
        auto item = [&](int i) {
            started++;
            busy(i);
            hits[size_t(i)]++;
            finished++;
            if (i >= r.throwFrom)
                throw std::runtime_error("item " + std::to_string(i));
        };
        std::string message;
        try {
            if (r.nested)
                ThreadPool::parallelFor(r.count / 10,
                    [&](int i) { ThreadPool::parallelFor(10, [&](int j) { item(i * 10 + j); }); });
            else
                ThreadPool::parallelFor(r.count, item);
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
        // Nothing runs on after the call returned, and nothing ran twice.
        const int startedAtReturn = started.load();
        EXPECT_EQ(finished.load(), startedAtReturn);
        EXPECT_EQ(message.rfind("item ", 0), 0u) << "the item's own exception reaches the caller";
        int twice = 0;
        for (auto& h : hits)
            twice += h.load() > 1;
        EXPECT_EQ(twice, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_EQ(started.load(), startedAtReturn) << "an item started after the call returned";
        // The pool goes on working.
        std::atomic<int> sum { 0 };
        ThreadPool::parallelFor(100, [&](int i) { sum += i; });
        EXPECT_EQ(sum.load(), 4950);
    }
}

TEST(ThreadPool, EveryIndexRunsOnceEvenWhenNested)
{
    std::vector<std::atomic<int>> hits(200);
    ThreadPool::parallelFor(20, [&](int i) {
        ThreadPool::parallelFor(10, [&](int j) { hits[std::size_t(i * 10 + j)]++; });
    });
    for (auto& h : hits)
        EXPECT_EQ(h.load(), 1);
    const int before = ThreadPool::maxThreads();
    ThreadPool::setMaxThreads(2);
    std::atomic<int> sum { 0 };
    ThreadPool::parallelFor(100, [&](int i) { sum += i; });
    EXPECT_EQ(sum.load(), 4950);
    ThreadPool::setMaxThreads(before);
}

TEST(ThreadPool, ManyCallersAndBackToBackLoops)
{
    // Four threads each run many short loops back to back, as a redraw does, while the
    // workers go between spinning and sleeping.
    std::atomic<long> total { 0 };
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&] {
            for (int loop = 0; loop < 200; ++loop) {
                std::atomic<int> count { 0 };
                ThreadPool::parallelFor(17, [&](int) { count++; });
                total += count.load();
                if (loop % 50 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    for (auto& t : callers)
        t.join();
    EXPECT_EQ(total.load(), 4L * 200 * 17);
}

TEST(Parallel, RunsAndBandsCoverEveryIndexOnce)
{
    struct Row {
        const char* name;
        int count;
        long work;
        long minimumWork;
    };
    const Row rows[] = {
        { "below the threshold: one run on the caller", 50, 10, 100 },
        { "above: runs over the pool", 1000, 1000, 100 },
        { "fewer indices than threads", 3, 1000, 100 },
        { "one index", 1, 1000, 100 },
        { "nothing", 0, 1000, 100 },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::atomic<int>> hits(static_cast<size_t>(r.count));
        std::atomic<int> runs { 0 };
        parallelRuns(r.count, r.work, r.minimumWork, [&](int first, int last) {
            EXPECT_LT(first, last);
            runs++;
            for (int i = first; i < last; ++i)
                hits[size_t(i)]++;
        });
        for (auto& h : hits)
            EXPECT_EQ(h.load(), 1);
        if (r.work < r.minimumWork) {
            EXPECT_EQ(runs.load(), 1);
        }
        std::vector<std::atomic<int>> rowsHit(static_cast<size_t>(r.count));
        parallelRows(r.count, 1000, r.minimumWork, [&](int top, int bottom) {
            for (int y = top; y < bottom; ++y)
                rowsHit[size_t(y)]++;
        });
        for (auto& h : rowsHit)
            EXPECT_EQ(h.load(), 1);
    }
}

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec t {};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Held to two processors, runs short loops with pauses between them, as a redraw after each
// step of a drag does, and exits 0 when the workers used almost no processor time while the
// caller slept: 1 when they kept looking for work, 2 when there are no two processors.
[[noreturn]] void loopsOnTwoProcessors()
{
    cpu_set_t mine;
    CPU_ZERO(&mine);
    if (sched_getaffinity(0, sizeof mine, &mine) != 0 || CPU_COUNT(&mine) < 2)
        std::exit(2);
    cpu_set_t two;
    CPU_ZERO(&two);
    for (int cpu = 0, kept = 0; cpu < CPU_SETSIZE && kept < 2; ++cpu) {
        if (CPU_ISSET(cpu, &mine)) {
            CPU_SET(cpu, &two);
            ++kept;
        }
    }
    if (sched_setaffinity(0, sizeof two, &two) != 0)
        std::exit(2);
    constexpr int kRounds = 40;
    double idleWorkers = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::atomic<int> count { 0 };
        // Long enough (a millisecond or two) that the worker, woken at the start, joins
        // before the end rather than waking during the pause.
        ThreadPool::parallelFor(64, [&](int i) {
            busy(i, 20000);
            count++;
        });
        // Everything but the caller, over the pause that follows the loop. The process's
        // clock counts another thread's running time when that thread stops running (it
        // sleeps, yields or is preempted) or at a timer tick: a moment's wait lets a worker
        // that went to sleep at the loop's end bring its count up to date first, while one
        // that keeps looking for work goes on counting.
        std::this_thread::sleep_for(std::chrono::microseconds(1));
        const double before
            = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        idleWorkers
            += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before;
        if (count.load() != 64)
            std::exit(3);
    }
    // A worker that only goes back to sleep takes microseconds; one that looks for the next
    // loop for a fraction of a millisecond after each takes several milliseconds in all.
    std::fprintf(stderr, "idle workers: %.3f ms over %d pauses\n", idleWorkers * 1e3, kRounds);
    std::exit(idleWorkers < 0.5e-3 ? 0 : 1);
}

} // namespace

TEST(ThreadPool, OnTwoProcessorsIdleWorkersSleep)
{
    // A fresh process: the pool sizes itself from the processors it may use when it starts.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    cpu_set_t mine;
    CPU_ZERO(&mine);
    if (sched_getaffinity(0, sizeof mine, &mine) != 0 || CPU_COUNT(&mine) < 2)
        GTEST_SKIP() << "needs two processors";
    EXPECT_EXIT(loopsOnTwoProcessors(), testing::ExitedWithCode(0), "");
}
