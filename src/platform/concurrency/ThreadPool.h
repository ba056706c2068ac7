#pragma once
// A process-wide pool of worker threads for data-parallel loops (row stripes, tiles, the parts
// of a path).
//
// parallelFor(n, f) runs f(0) ... f(n - 1), each exactly once, spread over the workers and
// the calling thread, and returns when all have finished. The caller always takes part, so
// nested or concurrent calls (a background render while the main thread draws) cannot
// deadlock: a call completes even if no worker is free. If f throws, the items not yet
// started are skipped, and once the running ones have finished the first exception is
// rethrown to the caller.
//
// A redraw runs a few dozen short loops back to back. Where the process has cores to spare,
// some workers that run out of work keep looking for the next loop for a fraction of a
// millisecond before they sleep, and the caller waits for the last items the same way: waking
// a sleeping thread costs tens of microseconds (more on a virtual machine), as much as a whole
// loop over a text's glyphs. Where cores are few (two), nobody spins: a spinning thread would
// take the core that the thread doing the work needs. The cores counted are those the
// process may run on (its affinity mask), not the machine's.
#include <functional>

namespace platform {

class ThreadPool {
public:
    static void parallelFor(int n, const std::function<void(int)>& f);

    // How many threads (workers plus the caller) a loop may use; 1 runs loops inline. The
    // default is the number of hardware threads. For benchmarks that model smaller machines.
    static void setMaxThreads(int n);
    static int maxThreads();
};

} // namespace platform
