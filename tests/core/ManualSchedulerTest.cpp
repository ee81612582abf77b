#include "core/ManualScheduler.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace velnor;

TEST(ManualScheduler, RunsWorkInDeadlineOrderTiesInSchedulingOrderAndNestedWorkAtItsOwnVirtualTime)
{
    ManualScheduler scheduler;
    QStringList ran;
    const auto mark = [&](const char* name) {
        return [&ran, &scheduler, name] { ran << QStringLiteral("%1@%2").arg(name).arg(scheduler.now().count()); };
    };
    scheduler.after(seconds(0.3), mark("b"));
    scheduler.after(seconds(0.1), [&] {
        mark("a")();
        scheduler.after(seconds(0.1), mark("nested"));
        scheduler.post(mark("posted"));
    });
    scheduler.after(seconds(0.3), mark("c"));
    scheduler.post(mark("now"));
    const Cancellable cancelled = scheduler.after(seconds(1), mark("cancelled"));
    cancelled.cancel();
    EXPECT_EQ(scheduler.pendingCount(), 4U);

    scheduler.advanceBy(seconds(0.2));
    EXPECT_EQ(ran, (QStringList{"now@0", "a@100", "posted@100", "nested@200"}));
    scheduler.advanceBy(seconds(0.1));
    EXPECT_EQ(ran.mid(4), (QStringList{"b@300", "c@300"}));
    EXPECT_EQ(scheduler.now(), seconds(0.3));
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    EXPECT_FALSE(scheduler.nextDueIn().has_value()) << "cancelled work is not pending";
}

TEST(ManualScheduler, RunUntilIdleStopsAtTheLimitForSelfReschedulingWork)
{
    ManualScheduler scheduler;
    int ticks = 0;
    std::function<void()> tick = [&] {
        ++ticks;
        scheduler.after(seconds(1), tick);
    };
    scheduler.after(seconds(1), tick);
    scheduler.runUntilIdle(std::chrono::seconds(10));
    EXPECT_EQ(ticks, 10);
}
