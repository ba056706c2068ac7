// The handoff between two threads: order kept, the producer held to the capacity, and either
// side's close ending the other's wait.
#include "platform/concurrency/Handoff.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using platform::Handoff;

TEST(Handoff, InOrderAndNeverMoreThanItsCapacity)
{
    Handoff<int> handoff(2);
    std::atomic<int> pushed { 0 };
    std::atomic<int> popped { 0 };
    std::atomic<int> worstAhead { 0 };
    std::thread producer([&] {
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(handoff.push(i));
            ++pushed;
        }
        handoff.close();
    });
    std::vector<int> got;
    while (const std::optional<int> v = handoff.pop()) {
        // What was handed over but not yet taken: at most the capacity, plus the one push
        // that may have landed between the pop and these reads.
        worstAhead = std::max(worstAhead.load(), pushed.load() - ++popped);
        got.push_back(*v);
        if (got.size() % 50 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // let the producer fill up
    }
    producer.join();
    ASSERT_EQ(got.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(got[std::size_t(i)], i);
    EXPECT_LE(worstAhead.load(), 3);
}

TEST(Handoff, CloseEndsBothSides)
{
    {
        SCOPED_TRACE("the producer closes: what was handed over is still taken");
        Handoff<int> handoff(3);
        EXPECT_TRUE(handoff.push(1));
        EXPECT_TRUE(handoff.push(2));
        handoff.close();
        EXPECT_FALSE(handoff.push(3));
        EXPECT_EQ(handoff.pop(), 1);
        EXPECT_EQ(handoff.pop(), 2);
        EXPECT_EQ(handoff.pop(), std::nullopt);
    }
    {
        SCOPED_TRACE("the consumer gives up: a producer waiting on a full handoff stops");
        Handoff<int> handoff(1);
        ASSERT_TRUE(handoff.push(0));
        std::atomic<bool> refused { false };
        std::thread producer([&] { refused = !handoff.push(1); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        handoff.close();
        producer.join();
        EXPECT_TRUE(refused);
    }
    {
        SCOPED_TRACE("a consumer waiting on an empty handoff wakes at close");
        Handoff<int> handoff;
        std::optional<int> got = 7;
        std::thread consumer([&] { got = handoff.pop(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        handoff.close();
        consumer.join();
        EXPECT_EQ(got, std::nullopt);
    }
}
