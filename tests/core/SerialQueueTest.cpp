#include "core/SerialQueue.h"

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
