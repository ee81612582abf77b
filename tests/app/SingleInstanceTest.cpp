#include "app/MainWindowPresenter.h"
#include "app/SingleInstance.h"
#include "support/EventLoopWait.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QWidget>

#include <list>

#include <gtest/gtest.h>

#include <unistd.h>

namespace velnor {
namespace {

// Processes of the probe program, and what they said they became.
struct InstanceLaunches {
    QString directory;
    std::list<QProcess> processes{};

    ~InstanceLaunches()
    {
        for (QProcess& process : processes)
            process.waitForFinished(15000);
    }
    QProcess& launch(int runMs, const QString& relaunchMarker = {})
    {
        processes.emplace_back().start(QStringLiteral(SINGLE_INSTANCE_PROBE),
                                       QStringList{directory, QString::number(runMs), relaunchMarker});
        return processes.back();
    }
    // Each line of the probes' log is "<role> <pid>"; a log not yet written is empty.
    QStringList roles() const
    {
        QFile log(QDir(directory).filePath(QStringLiteral("roles.log")));
        log.open(QIODevice::ReadOnly);
        QStringList roles = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString& line : roles)
            line = line.section(QLatin1Char(' '), 0, 0);
        return roles;
    }
};

// Launches that race one another, after a run killed mid-way left its
// socket file with nobody listening behind it.
TEST(SingleInstance, LaunchesStartedTogetherLeaveExactlyOneRunning)
{
    test::TempDir dir;
    InstanceLaunches launches{dir.path()};
    QProcess& crashed = launches.launch(60000);
    ASSERT_TRUE(test::waitUntil([&] { return !launches.roles().isEmpty(); }, 15000));
    crashed.kill();
    ASSERT_TRUE(crashed.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(dir.filePath(QStringLiteral("velnor-instance"))));
    for (int i = 0; i < 4; ++i)
        launches.launch(1500);
    ASSERT_TRUE(test::waitUntil([&] { return launches.roles().size() == 5; }, 15000)) << launches.roles().join(' ').toStdString();
    EXPECT_EQ(launches.roles().count(QStringLiteral("primary")), 2) << "the crashed run and one of the four";
    EXPECT_EQ(launches.roles().count(QStringLiteral("secondary")), 3) << launches.roles().join(' ').toStdString();
}

TEST(SingleInstance, ARelaunchHandsOverAndTheNewCopyKeepsRunning)
{
    test::TempDir dir;
    InstanceLaunches launches{dir.path()};
    QProcess& first = launches.launch(5000, dir.filePath(QStringLiteral("relaunched")));
    // The first stops listening, starts its copy and exits; the copy waits for it.
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    ASSERT_TRUE(test::waitUntil([&] { return launches.roles().size() == 2; }, 15000));
    EXPECT_EQ(launches.roles(), (QStringList{"primary", "primary"})) << "the relaunched copy must not stand down";

    // Exactly one runs: a later launch finds the relaunched copy.
    SingleInstance later(dir.path());
    EXPECT_EQ(later.claim(), SingleInstance::Role::Secondary);
}

TEST(SingleInstance, OnlyAPrivateDirectoryOfOurOwnIsUsed)
{
    test::TempDir dir;
    EXPECT_TRUE(SingleInstance::isPrivateDirectory(dir.path()));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::WriteOther |
                                          QFile::ReadOther | QFile::ExeOther);
    EXPECT_FALSE(SingleInstance::isPrivateDirectory(dir.path())) << "others could plant a socket there";
    EXPECT_FALSE(SingleInstance::isPrivateDirectory(QStringLiteral("/tmp")));
    EXPECT_FALSE(SingleInstance::isPrivateDirectory(dir.filePath(QStringLiteral("missing"))));
    if (::getuid() == 0) {
        const QString foreign = dir.filePath(QStringLiteral("foreign"));
        ASSERT_TRUE(QDir().mkdir(foreign));
        ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
        EXPECT_FALSE(SingleInstance::isPrivateDirectory(foreign)) << "made beforehand by another user";
    }
}

TEST(MainWindowPresenter, ClosingHidesTheWindowAndOpeningBringsBackTheSameOne)
{
    int created = 0;
    MainWindowPresenter presenter([&created] {
        ++created;
        return std::make_unique<QWidget>();
    });
    EXPECT_EQ(presenter.mainWindow(), nullptr) << "created on first use only";
    presenter.openMainWindow();
    QWidget* window = presenter.mainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());

    EXPECT_FALSE(window->close()) << "the close request is refused";
    EXPECT_FALSE(window->isVisible());

    presenter.openMainWindow();
    EXPECT_EQ(presenter.mainWindow(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(created, 1);
}

} // namespace
} // namespace velnor
