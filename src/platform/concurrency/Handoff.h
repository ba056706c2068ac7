#pragma once
// Hands values from one thread to another in order, holding at most a fixed number in between:
// a producer that runs ahead of its consumer waits instead of piling up results (stripes of a
// picture held in memory, say), and a consumer that has nothing to do waits for the next.
//
// Either side may close the handoff: after close() a push is refused and a pop takes what was
// already handed over, then gets nothing. A consumer that gives up closes it, so that its
// producer stops at its next push instead of waiting for ever.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace platform {

template <typename T> class Handoff {
public:
    explicit Handoff(std::size_t capacity = 1)
        : m_capacity(capacity < 1 ? 1 : capacity)
    {
    }
    Handoff(const Handoff&) = delete;
    Handoff& operator=(const Handoff&) = delete;

    // Waits while the handoff is full; false (and value dropped) once it is closed.
    bool push(T value)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || m_items.size() < m_capacity; });
        if (m_closed)
            return false;
        m_items.push_back(std::move(value));
        m_changed.notify_all();
        return true;
    }

    // The next value, waiting for it; nothing once the handoff is closed and empty.
    std::optional<T> pop()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || !m_items.empty(); });
        if (m_items.empty())
            return std::nullopt;
        std::optional<T> value(std::move(m_items.front()));
        m_items.pop_front();
        m_changed.notify_all();
        return value;
    }

    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    const std::size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};

} // namespace platform
