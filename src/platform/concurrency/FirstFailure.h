#pragma once
// The first exception of a loop whose items run on several threads: once an item has thrown,
// the items not yet started are skipped, and the caller rethrows it once none is running.
#include <atomic>
#include <exception>
#include <mutex>

namespace platform {

class FirstFailure {
public:
    // Runs item() unless an item has thrown already; keeps the first exception thrown.
    template <typename Item> void run(Item&& item)
    {
        if (m_failed.load(std::memory_order_relaxed))
            return;
        try {
            item();
        } catch (...) {
            const std::lock_guard lock(m_mutex);
            if (!m_error)
                m_error = std::current_exception();
            m_failed.store(true);
        }
    }

    // Called once every item has finished (its count seen by the caller).
    void rethrow() const
    {
        if (m_error)
            std::rethrow_exception(m_error);
    }

private:
    std::mutex m_mutex;
    std::atomic<bool> m_failed { false };
    std::exception_ptr m_error;
};

} // namespace platform
