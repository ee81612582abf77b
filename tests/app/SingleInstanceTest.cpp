#include "app/MainWindowPresenter.h"
#include "app/SingleInstance.h"
#include "support/EventLoopWait.h"
#include "support/TempDir.h"

#include <QFile>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace velnor {
namespace {

TEST(SingleInstance, ASecondLaunchAsksTheFirstToShowItselfAndStandsDown)
{
    test::TempDir dir;
    const QString name = dir.path() + QStringLiteral("/instance");
    SingleInstance first(name);
    ASSERT_EQ(first.claim(), SingleInstance::Role::Primary);
    int shown = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&shown] { ++shown; });

    SingleInstance second(name);
    EXPECT_EQ(second.claim(), SingleInstance::Role::Secondary);
    EXPECT_TRUE(test::waitUntil([&] { return shown == 1; }, 5000));

    // The first keeps its place: a third launch still finds it.
    SingleInstance third(name);
    EXPECT_EQ(third.claim(), SingleInstance::Role::Secondary);
    EXPECT_TRUE(test::waitUntil([&] { return shown == 2; }, 5000));
}

TEST(SingleInstance, ASocketLeftByACrashedRunIsTakenOver)
{
    test::TempDir dir;
    const QString name = dir.path() + QStringLiteral("/instance");
    // A crashed run leaves its socket file with nobody listening behind it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(name));

    SingleInstance next(name);
    EXPECT_EQ(next.claim(), SingleInstance::Role::Primary);
    SingleInstance later(name);
    EXPECT_EQ(later.claim(), SingleInstance::Role::Secondary);
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
