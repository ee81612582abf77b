#include "core/SerialQueue.h"

#include <atomic>
#include <future>
#include <set>
#include <thread>

#include <gtest/gtest.h>

using namespace velnor;

// Work posted before the end still runs (HistoryStoreTest's crash test stands on it);
// work not yet due must not hold the shutdown up.
TEST(SerialQueue, ShutdownDropsDelayedWorkNotYetDue)
{
    std::atomic<bool> delayedRan{false};
    {
        SerialQueue queue(QStringLiteral("com.velnor.test"));
        queue.asyncAfter(std::chrono::hours(1), [&] { delayedRan = true; });
    }
    EXPECT_FALSE(delayedRan.load());
}

// The posting order is what the logs stand on: AppLog's tests prove it.
TEST(SerialQueue, RunsWorkOnOneOtherThreadAndDelayedWorkAfterItsDelayUnlessCancelled)
{
    SerialQueue queue(QStringLiteral("com.velnor.test"));
    std::set<std::thread::id> threads;
    for (int i = 0; i < 20; ++i)
        queue.async([&] { threads.insert(std::this_thread::get_id()); });
    queue.waitUntilIdle();
    EXPECT_EQ(threads.size(), 1U);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0U);

    std::atomic<bool> cancelled{false};
    const auto start = std::chrono::steady_clock::now();
    std::promise<long long> keptAfterMs;
    auto kept = keptAfterMs.get_future();
    queue.asyncAfter(Duration(30), [&] {
        keptAfterMs.set_value(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    });
    Cancellable handle = queue.asyncAfter(Duration(10), [&] { cancelled = true; });
    handle.cancel();
    ASSERT_EQ(kept.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_GE(kept.get(), 30);
    EXPECT_FALSE(cancelled.load());
}
