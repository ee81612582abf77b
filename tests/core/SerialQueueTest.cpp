#include "core/SerialQueue.h"

#include <future>
#include <set>
#include <thread>

#include <gtest/gtest.h>

using namespace velnor;

// The posting order is what the logs stand on: AppLog's tests prove it.
TEST(SerialQueue, RunsWorkOnOneOtherThread)
{
    SerialQueue queue(QStringLiteral("com.velnor.test"));
    std::set<std::thread::id> threads;
    for (int i = 0; i < 20; ++i)
        queue.async([&] { threads.insert(std::this_thread::get_id()); });
    queue.waitUntilIdle();
    EXPECT_EQ(threads.size(), 1U);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0U);
}

// Work not yet due must not hold the shutdown up.
TEST(SerialQueue, DelayedWorkRunsAfterItsDelayUnlessCancelledAndNeverHoldsUpTheShutdown)
{
    std::promise<std::chrono::steady_clock::time_point> ran;
    auto ranAt = ran.get_future();
    const auto start = std::chrono::steady_clock::now();
    {
        SerialQueue queue(QStringLiteral("com.velnor.test"));
        queue.asyncAfter(std::chrono::hours(1), [] { ADD_FAILURE() << "work not yet due ran"; });
        queue.asyncAfter(Duration(10), [] { ADD_FAILURE() << "cancelled work ran"; }).cancel();
        queue.asyncAfter(Duration(30), [&] { ran.set_value(std::chrono::steady_clock::now()); });
        ASSERT_EQ(ranAt.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    }
    EXPECT_GE(ranAt.get() - start, Duration(30));
}
