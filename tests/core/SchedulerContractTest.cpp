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

template <typename S>
struct Driver;

template <>
struct Driver<ManualScheduler> {
    ManualScheduler scheduler;
    void runFor(Duration span) { scheduler.advanceBy(span); }
};

template <>
struct Driver<QtScheduler> {
    QtScheduler scheduler;
    void runFor(Duration span) { test::runEventLoopFor(int(span.count())); }
};

template <typename S>
class SchedulerContract : public ::testing::Test {
protected:
    Driver<S> driver;
    Scheduler& scheduler = driver.scheduler;
};

using Schedulers = ::testing::Types<ManualScheduler, QtScheduler>;
TYPED_TEST_SUITE(SchedulerContract, Schedulers);

} // namespace

TYPED_TEST(SchedulerContract, NegativeDelaysRunAtTheNextTurnLikeAPostAndCancelledWorkNeverRuns)
{
    // A negative maximum duration ("-3") must still stop the recording.
    QStringList ran;
    this->scheduler.after(Duration(10), [&] { ran << QStringLiteral("later"); });
    this->scheduler.after(Duration(-3000), [&] { ran << QStringLiteral("negative"); });
    const Cancellable soon = this->scheduler.post([&] { ran << QStringLiteral("cancelled post"); });
    const Cancellable later = this->scheduler.after(Duration(5), [&] { ran << QStringLiteral("cancelled"); });
    const Cancellable kept = this->scheduler.after(Duration(5), [&] { ran << QStringLiteral("kept"); });
    soon.cancel();
    later.cancel();
    EXPECT_TRUE(ran.isEmpty()) << "work never runs inside after()";
    this->driver.runFor(Duration(30));
    EXPECT_EQ(ran, (QStringList{QStringLiteral("negative"), QStringLiteral("kept"), QStringLiteral("later")}));
    EXPECT_TRUE(kept.isFinished());
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
