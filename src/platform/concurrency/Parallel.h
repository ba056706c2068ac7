#pragma once
// Spreading independent pieces of one drawing step over the cores, through the thread pool.
// Small jobs stay on the calling thread: handing work to other threads costs microseconds.
#include "platform/concurrency/ThreadPool.h"

#include <algorithm>

namespace platform {

// Runs f(first, last) over consecutive runs [first, last) that together cover [0, count), on
// several threads when work (a rough count of the pixels touched in all) reaches minimumWork.
// A few runs per thread rather than one per index: the pool hands out runs one at a time, so
// uneven runs still balance, and a run can set up what its indices share once. f must be safe
// to call concurrently for different runs.
template <typename F> void parallelRuns(int count, long work, long minimumWork, F&& f)
{
    if (count <= 0)
        return;
    const int threads = ThreadPool::maxThreads();
    if (work < minimumWork || count < 2 || threads < 2) {
        f(0, count);
        return;
    }
    const int runs = std::min(count, 4 * threads);
    ThreadPool::parallelFor(runs, [&](int run) {
        f(int(long(run) * count / runs), int(long(run + 1) * count / runs));
    });
}

// Runs f(i) once for every i in [0, count), spread as parallelRuns spreads its runs.
template <typename F> void parallelFor(int count, long work, long minimumWork, F&& f)
{
    parallelRuns(count, work, minimumWork, [&](int first, int last) {
        for (int i = first; i < last; ++i)
            f(i);
    });
}

// Runs f(top, bottom) over bands of rows [top, bottom) covering [0, rows), in parallel when
// the pixels (rows * width) reach minimumWork.
template <typename F> void parallelRows(int rows, int width, long minimumWork, F&& f)
{
    constexpr int kBandRows = 16;
    const int bands = (rows + kBandRows - 1) / kBandRows;
    parallelFor(bands, long(rows) * long(std::max(width, 0)), minimumWork, [&](int band) {
        f(band * kBandRows, std::min(rows, (band + 1) * kBandRows));
    });
}

} // namespace platform
