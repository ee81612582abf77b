#include "core/QtScheduler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace velnor;

// The production scheduler on a real event loop: order and cancellation.
TEST(QtScheduler, RunsDueWorkInOrderAndSkipsCancelledWork)
{
    QtScheduler scheduler;
    QStringList ran;
    QEventLoop loop;
    scheduler.after(Duration(5), [&] { ran << QStringLiteral("second"); });
    scheduler.post([&] { ran << QStringLiteral("first"); });
    Cancellable cancelled = scheduler.after(Duration(1), [&] { ran << QStringLiteral("cancelled"); });
    scheduler.after(Duration(20), [&] { loop.quit(); });
    cancelled.cancel();
    QTimer::singleShot(2000, &loop, &QEventLoop::quit); // guard against a hang
    loop.exec();
    EXPECT_EQ(ran, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

TEST(QtScheduler, NothingRunsAfterTheSchedulerIsGone)
{
    bool ran = false;
    {
        QtScheduler scheduler;
        scheduler.post([&] { ran = true; });
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}
