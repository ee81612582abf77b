// The app as a user starts it on an X11 desktop with a tray host. Needs the
// services of scripts/with-services.sh (Xvfb, openbox, D-Bus) and trayer.
#include "support/EventLoopWait.h"
#include "support/TempDir.h"
#include "support/desktop/TrayHost.h"

#include <QDir>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

namespace velnor {
namespace {

class TrayDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run under scripts/with-services.sh";
        for (const char* dir : {"home", "config/velnor", "run"})
            QDir().mkpath(home.filePath(QString::fromLatin1(dir)));
        QFile::setPermissions(home.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                       QFileDevice::ExeOwner);
        // A returning user: the onboarding is done, the app starts in the tray only.
        home.writeFile(QStringLiteral("config/velnor/velnor.conf"), "[General]\nOnboardingCompleted=true\n");
        environment.insert(QStringLiteral("HOME"), home.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
        // Nothing listens there: the backend is down for this whole run.
        environment.insert(QStringLiteral("VELNOR_BACKEND_URL"), QStringLiteral("http://127.0.0.1:9"));
    }

    void TearDown() override
    {
        if (velnor.state() != QProcess::NotRunning) {
            velnor.kill();
            velnor.waitForFinished(5000);
        }
    }

    void startVelnor(QProcess& process)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(VELNOR_APP_BIN), {});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    test::TempDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    test::TrayHost tray;
    QProcess velnor;
};

TEST_F(TrayDesktopTest, TheIconDocksItsMenuOpensAndASecondLaunchShowsTheWindowWhileTheBackendIsDown)
{
    ASSERT_TRUE(tray.start()) << "trayer is in scripts/packages/desktop.txt";
    startVelnor(velnor);
    const auto trayIcon = [this] { return tray.iconOf(QStringLiteral("velnor"), QStringLiteral("velnor")); };
    ASSERT_TRUE(test::waitUntil([&] { return trayIcon().has_value(); }, 15000)) << velnor.readAll().toStdString();
    const QRect icon = *trayIcon();

    // Our own icon is drawn in the slot: the indigo badge.
    const QString shot = home.filePath(QStringLiteral("tray.png"));
    test::runTool(QStringLiteral("import"), {"-window", "root", shot});
    const QImage screen(shot);
    ASSERT_FALSE(screen.isNull());
    int badgePixels = 0;
    for (int y = icon.top(); y <= icon.bottom(); ++y) {
        for (int x = icon.left(); x <= icon.right(); ++x) {
            const QColor c = screen.pixelColor(x, y);
            badgePixels += c.blue() > 150 && c.red() < 100 && c.green() < 100;
        }
    }
    EXPECT_GT(badgePixels, icon.width() * icon.height() / 4);

    // A right click opens the menu: a popup of seven entries below the icon.
    test::clickAt(icon.center(), 3);
    const auto menuWindow = [] { return test::openPopupMenuOf(QStringLiteral("velnor"), QStringLiteral("velnor")); };
    ASSERT_TRUE(test::waitUntil([&] { return menuWindow().has_value(); }, 10000));
    test::runTool(QStringLiteral("xdotool"), {"key", "Escape", "Escape"});

    // A second launch hands over to the first and exits; the first shows its window.
    QProcess second;
    startVelnor(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_TRUE(second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0) << second.exitCode();
    EXPECT_TRUE(test::waitUntil(
        [] { return !test::windowsNamed(QStringLiteral("Velnor"), QStringLiteral("velnor")).isEmpty(); }, 10000));

    // Closing the main window keeps the app running.
    test::runTool(QStringLiteral("xdotool"), {"search", "--name", "^Velnor$", "windowclose"});
    test::runEventLoopFor(500);
    EXPECT_EQ(velnor.state(), QProcess::Running);

    // A session logout (SIGTERM) ends it cleanly.
    ::kill(static_cast<pid_t>(velnor.processId()), SIGTERM);
    ASSERT_TRUE(velnor.waitForFinished(10000));
    EXPECT_TRUE(velnor.exitStatus() == QProcess::NormalExit && velnor.exitCode() == 0) << velnor.exitCode();
    const QString output = QString::fromUtf8(velnor.readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("获取热词列表失败"))) << output.toStdString();
}

TEST(VelnorWithoutDisplay, SaysSoAndExits)
{
    QProcess velnor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    velnor.setProcessEnvironment(environment);
    velnor.start(QStringLiteral(VELNOR_APP_BIN), {});
    ASSERT_TRUE(velnor.waitForFinished(10000));
    EXPECT_EQ(velnor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velnor.exitCode(), 2);
    EXPECT_TRUE(velnor.readAllStandardError().contains("no X11 display"));
}

} // namespace
} // namespace velnor
