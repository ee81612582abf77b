#include "core/ManualScheduler.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace velnor;

TEST(ManualScheduler, RunsWorkInDeadlineOrderAndTiesInSchedulingOrder)
{
    ManualScheduler scheduler;
    QStringList ran;
    scheduler.after(seconds(0.3), [&] { ran << QStringLiteral("b@300"); });
    scheduler.after(seconds(0.1), [&] { ran << QStringLiteral("a@100"); });
    scheduler.after(seconds(0.3), [&] { ran << QStringLiteral("c@300"); });
    scheduler.post([&] { ran << QStringLiteral("now"); });

    scheduler.advanceBy(seconds(0.2));
    EXPECT_EQ(ran, (QStringList{QStringLiteral("now"), QStringLiteral("a@100")}));
    scheduler.advanceBy(seconds(0.1));
    EXPECT_EQ(ran.mid(2), (QStringList{QStringLiteral("b@300"), QStringLiteral("c@300")}));
    EXPECT_EQ(scheduler.now(), seconds(0.3));
}

TEST(ManualScheduler, WorkScheduledByWorkRunsAtItsOwnVirtualTime)
{
    ManualScheduler scheduler;
    QList<long> times;
    scheduler.after(seconds(0.1), [&] {
        times << scheduler.now().count();
        scheduler.after(seconds(0.1), [&] { times << scheduler.now().count(); });
        scheduler.post([&] { times << scheduler.now().count(); });
    });
    scheduler.advanceBy(seconds(1.0));
    EXPECT_EQ(times, (QList<long>{100, 100, 200}));
    EXPECT_EQ(scheduler.now(), seconds(1.0));
}

TEST(ManualScheduler, CancelledWorkIsNotPending)
{
    ManualScheduler scheduler;
    const Cancellable handle = scheduler.after(seconds(1), [] {});
    EXPECT_EQ(scheduler.pendingCount(), 1U);
    handle.cancel();
    EXPECT_EQ(scheduler.pendingCount(), 0U);
    EXPECT_FALSE(scheduler.nextDueIn().has_value());
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
