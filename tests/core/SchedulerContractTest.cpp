#include "core/ManualScheduler.h"
#include "core/QtScheduler.h"
#include "support/EventLoopWait.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

using namespace velnor;

// What every caller may rely on, whichever scheduler runs the work: the
// production one on a real event loop, the test one on virtual time.
namespace {

// `runFor` lets the scheduler's time pass.
void checkContract(const char* name, Scheduler& scheduler, const std::function<void(Duration)>& runFor)
{
    SCOPED_TRACE(name);
    // A negative maximum duration ("-3") must still stop the recording.
    QStringList ran;
    scheduler.after(Duration(10), [&] { ran << QStringLiteral("later"); });
    scheduler.after(Duration(-3000), [&] { ran << QStringLiteral("negative"); });
    const Cancellable soon = scheduler.post([&] { ran << QStringLiteral("cancelled post"); });
    const Cancellable later = scheduler.after(Duration(5), [&] { ran << QStringLiteral("cancelled"); });
    const Cancellable kept = scheduler.after(Duration(5), [&] { ran << QStringLiteral("kept"); });
    soon.cancel();
    later.cancel();
    EXPECT_TRUE(ran.isEmpty()) << "work never runs inside after()";
    runFor(Duration(30));
    EXPECT_EQ(ran, (QStringList{QStringLiteral("negative"), QStringLiteral("kept"), QStringLiteral("later")}));
    EXPECT_TRUE(kept.isFinished());
}

} // namespace

TEST(SchedulerContract, NegativeDelaysRunAtTheNextTurnLikeAPostAndCancelledWorkNeverRuns)
{
    ManualScheduler manual;
    checkContract("ManualScheduler", manual, [&](Duration span) { manual.advanceBy(span); });
    QtScheduler qt;
    checkContract("QtScheduler", qt, [](Duration span) { test::runEventLoopFor(int(span.count())); });
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
