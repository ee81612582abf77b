// The app as a user starts it on an X11 desktop with a tray host. Needs the
// services of scripts/with-services.sh (Xvfb, openbox, D-Bus) and trayer.
#include "support/EventLoopWait.h"
#include "support/TempDir.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace velnor {
namespace {

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Windows of the X tree whose name and class match, with absolute geometry.
QList<QRect> windowsNamed(const QString& name, const QString& windowClass)
{
    // e.g.:   0x600006 "velnor": ("velnor" "velnor")  22x30+0+0  +1897+1
    static const QRegularExpression line(QStringLiteral(
        R"re(0x[0-9a-f]+ "([^"]*)": \("[^"]*" "([^"]*)"\)\s+(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))re"));
    QList<QRect> found;
    const QString tree = runTool(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    for (const QString& text : tree.split(QLatin1Char('\n'))) {
        const auto match = line.match(text);
        if (match.hasMatch() && match.captured(1) == name && match.captured(2) == windowClass)
            found.append(QRect(match.captured(5).toInt(), match.captured(6).toInt(), match.captured(3).toInt(),
                               match.captured(4).toInt()));
    }
    return found;
}

class TrayDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run under scripts/with-services.sh";
        for (const char* dir : {"home", "config", "run"})
            QDir().mkpath(home.filePath(QString::fromLatin1(dir)));
        QFile::setPermissions(home.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                       QFileDevice::ExeOwner);
        // A returning user: the onboarding is done, the app starts in the tray only.
        QDir().mkpath(home.filePath(QStringLiteral("config/velnor")));
        home.writeFile(QStringLiteral("config/velnor/velnor.conf"), "[General]\nOnboardingCompleted=true\n");
        environment.insert(QStringLiteral("HOME"), home.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
        // Nothing listens there: the backend is down for this whole run.
        environment.insert(QStringLiteral("VELNOR_BACKEND_URL"), QStringLiteral("http://127.0.0.1:9"));
    }

    void TearDown() override
    {
        for (QProcess* process : {&velnor, &trayer}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }

    void startTrayer()
    {
        trayer.start(QStringLiteral("trayer"),
                     {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("right"),
                      QStringLiteral("--widthtype"), QStringLiteral("pixel"), QStringLiteral("--width"),
                      QStringLiteral("120"), QStringLiteral("--heighttype"), QStringLiteral("pixel"),
                      QStringLiteral("--height"), QStringLiteral("32"), QStringLiteral("--SetDockType"),
                      QStringLiteral("true")});
        ASSERT_TRUE(trayer.waitForStarted(5000)) << "trayer is in scripts/packages/desktop.txt";
        ASSERT_TRUE(test::waitUntil([] { return !windowsNamed(QStringLiteral("panel"), QStringLiteral("trayer")).isEmpty(); },
                                    10000));
    }

    void startVelnor(QProcess& process)
    {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(VELNOR_APP_BIN), {});
        ASSERT_TRUE(process.waitForStarted(5000));
    }

    // The docked icon: a small velnor window inside the tray panel.
    std::optional<QRect> trayIcon()
    {
        const QList<QRect> panels = windowsNamed(QStringLiteral("panel"), QStringLiteral("trayer"));
        for (const QRect& window : windowsNamed(QStringLiteral("velnor"), QStringLiteral("velnor"))) {
            if (!panels.isEmpty() && panels.front().contains(window))
                return window;
        }
        return std::nullopt;
    }

    test::TempDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QProcess trayer;
    QProcess velnor;
};

TEST_F(TrayDesktopTest, TheIconDocksItsMenuOpensAndASecondLaunchShowsTheWindowWhileTheBackendIsDown)
{
    startTrayer();
    startVelnor(velnor);
    ASSERT_TRUE(test::waitUntil([&] { return trayIcon().has_value(); }, 15000)) << velnor.readAll().toStdString();
    const QRect icon = *trayIcon();

    // Our own icon is drawn in the slot: the indigo badge.
    const QString shot = home.filePath(QStringLiteral("tray.png"));
    runTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), shot});
    QImage screen(shot);
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
    const QPoint centre = icon.center();
    runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(centre.x()),
                                        QString::number(centre.y()), QStringLiteral("click"), QStringLiteral("3")});
    auto menuWindow = [&]() -> std::optional<QRect> {
        for (const QRect& window : windowsNamed(QStringLiteral("velnor"), QStringLiteral("velnor"))) {
            if (window.width() > 100 && window.height() > 80 && window.height() < 400)
                return window;
        }
        return std::nullopt;
    };
    ASSERT_TRUE(test::waitUntil([&] { return menuWindow().has_value(); }, 10000));
    if (const QString dir = qEnvironmentVariable("VELNOR_SCREENSHOT_DIR"); !dir.isEmpty()) {
        // Open the hotkey submenu, so the picture shows the check mark too.
        const QRect menu = *menuWindow();
        runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(menu.left() + 50),
                                            QString::number(menu.top() + menu.height() / 2)});
        test::runEventLoopFor(800); // let the submenu open and paint before the picture
        runTool(QStringLiteral("import"),
                {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                 QStringLiteral("520x330+1400+0"), QDir(dir).filePath(QStringLiteral("tray-menu.png"))});
    }
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});

    // A second launch hands over to the first and exits; the first shows its window.
    QProcess second;
    startVelnor(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(test::waitUntil(
        [] { return !windowsNamed(QStringLiteral("Velnor"), QStringLiteral("velnor")).isEmpty(); }, 10000));

    // Closing the main window keeps the app running.
    runTool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^Velnor$"),
                                        QStringLiteral("windowclose")});
    test::runEventLoopFor(500);
    EXPECT_EQ(velnor.state(), QProcess::Running);

    // A session logout (SIGTERM) ends it cleanly.
    ::kill(static_cast<pid_t>(velnor.processId()), SIGTERM);
    ASSERT_TRUE(velnor.waitForFinished(10000));
    EXPECT_EQ(velnor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velnor.exitCode(), 0);
    const QString output = QString::fromUtf8(velnor.readAll());
    EXPECT_TRUE(output.contains(QStringLiteral("获取热词列表失败"))) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("热键注册完成")));
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
