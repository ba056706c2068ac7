// The pool and the loops built on it: every index runs exactly once, whatever the nesting,
// the number of threads allowed or the number of threads calling at once.
#include "platform/concurrency/Parallel.h"
#include "platform/concurrency/ThreadPool.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace platform;

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
