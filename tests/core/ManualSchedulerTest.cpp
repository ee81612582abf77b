#include "core/ManualScheduler.h"

#include <gtest/gtest.h>

using namespace velnor;

// Order and virtual time are what every other test stands on; here, what
// they do not reach: cancelled work and the limit for work that never ends.
TEST(ManualScheduler, CancelledWorkIsNotPendingAndRunUntilIdleStopsAtTheLimitForSelfReschedulingWork)
{
    ManualScheduler scheduler;
    int ticks = 0;
    std::function<void()> tick = [&] {
        ++ticks;
        scheduler.after(seconds(1), tick);
    };
    scheduler.after(seconds(1), tick);
    scheduler.after(seconds(0.5), [&] { ticks = -100; }).cancel();
    EXPECT_EQ(scheduler.pendingCount(), 1U);
    EXPECT_EQ(scheduler.nextDueIn(), seconds(1));
    scheduler.runUntilIdle(std::chrono::seconds(10));
    EXPECT_EQ(ticks, 10);
}
