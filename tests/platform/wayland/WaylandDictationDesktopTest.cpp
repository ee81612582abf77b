// Dictation on a Wayland desktop (headless Sway with XWayland): the real
// `velnor` runs as the session's user with its windows on XWayland; the
// target applications are native Wayland clients. The hotkey comes as XTest
// keys on XWayland, which the app's XInput 2 source hears whichever window
// has the focus. Needs scripts/with-services.sh (PulseAudio) and root (the
// fixture runs the session as an unprivileged user).
#include "e2e/EndToEndSession.h"
#include "support/ChildProcess.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/desktop/FieldApp.h"
#include "support/wayland/HeadlessSway.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace velnor::test {
namespace {

class WaylandDictationDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("PULSE_SERVER")) << "run under scripts/with-services.sh";
        ASSERT_TRUE(sway.isRunning()) << sway.error().toStdString();
        ASSERT_TRUE(server.start(dir.filePath(QStringLiteral("server")))) << server.error().toStdString();
        ASSERT_TRUE(writeSpeechNoise(noise));
        // The private sound server's socket, reachable by the session's user.
        const QString socket = qEnvironmentVariable("PULSE_SERVER").remove(QStringLiteral("unix:"));
        for (QString path = QFileInfo(socket).path(); path != QLatin1String("/"); path = QFileInfo(path).path()) {
            QFile directory(path);
            ASSERT_TRUE(directory.setPermissions(directory.permissions() | QFile::ExeOther)) << path.toStdString();
            if (path == QDir::tempPath())
                break;
        }
        // The hotkey comes from this (root) process: XWayland lets in the
        // session's user only until told otherwise.
        ASSERT_FALSE(sway.run(QStringLiteral("xhost"), {QStringLiteral("+si:localuser:root")}).isEmpty());
        keys = std::make_unique<XTestKeys>(sway.xDisplay().toLatin1().constData());
        ASSERT_TRUE(keys->isConnected());

        QDir().mkpath(userDir.filePath(QStringLiteral("config")));
        ASSERT_TRUE(HeadlessSway::giveToUser(userDir.path()));
        QProcessEnvironment environment = sway.clientEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), userDir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("VELNOR_BACKEND_URL"), server.url().toString());
        environment.insert(QStringLiteral("PULSE_SERVER"), qEnvironmentVariable("PULSE_SERVER"));
        // The app's own windows stay on XWayland.
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        velnor.setProcessChannelMode(QProcess::MergedChannels);
        HeadlessSway::start(velnor, QStringLiteral(VELNOR_APP_BIN), {}, environment);
        ASSERT_TRUE(velnor.waitForStarted(5000));
        ASSERT_TRUE(waitUntil([this] { return output().contains(QStringLiteral("热键注册完成")); }, 20000))
            << output().toStdString();
    }

    void TearDown() override
    {
        endAsLogoutWould(velnor);
        server.stop();
    }

    QString output()
    {
        m_output += QString::fromUtf8(velnor.readAll());
        return m_output;
    }

    // Holds Fn+Shift (right Control + Shift) while speaking; `whileSpeaking`
    // runs once the speech has started.
    void dictate(const std::function<void()>& whileSpeaking = {})
    {
        pressHotkey(*keys);
        ASSERT_TRUE(voice.startSaying(noise)) << voice.error().toStdString();
        if (whileSpeaking) {
            runEventLoopFor(1000);
            whileSpeaking();
        }
        ASSERT_TRUE(voice.waitDone(15000)) << voice.error().toStdString();
        releaseHotkey(*keys);
    }

    HeadlessSway sway{/*xwayland=*/true};
    TempDir dir;
    TempDir userDir;
    ServerProcess server;
    std::unique_ptr<XTestKeys> keys;
    QProcess velnor;
    QString m_output;
    const QString noise = dir.filePath(QStringLiteral("noise.wav"));
    Voice voice{dir.path()};
};

// The indicator shows on the overlay layer over the focused field, which keeps
// the focus. One native toolkit proves the Wayland path: how GTK and Qt differ
// in their text units is TextInsertionDesktop's and ToolkitTextUnits' to prove.
TEST_F(WaylandDictationDesktopTest, ANativeGtkFieldGetsItOverAccessibilityUnderAnOverlayAndATerminalAPaste)
{
    const QString text = QStringLiteral("会议改到下午三点 ✅");
    ASSERT_TRUE(server.scriptRecognizer({text}));
    const QString before = dir.filePath(QStringLiteral("before.png"));
    const QString during = dir.filePath(QStringLiteral("during.png"));
    // A native Wayland GTK field on the accessibility bus, once its window has the focus.
    QProcessEnvironment gtkOnWayland = sway.clientEnvironment();
    gtkOnWayland.remove(QStringLiteral("DISPLAY"));
    gtkOnWayland.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
    QStringList line = HeadlessSway::command(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-gtk-entry"), {QStringLiteral("wayland-gtk")});
    FieldApp field(line.takeFirst(), line, gtkOnWayland);
    ASSERT_TRUE(field.isReady() && waitUntil([&] { return sway.focusedTitle() == QLatin1String("wayland-gtk"); }, 10000))
        << "focused: " << sway.focusedTitle().toStdString();
    const QString appId = sway.focusedAppId();
    ASSERT_TRUE(sway.screenshot(before));
    QString focusedWhileRecording;
    dictate([&] {
        focusedWhileRecording = sway.focusedTitle();
        EXPECT_TRUE(sway.screenshot(during));
    });
    EXPECT_EQ(focusedWhileRecording, QStringLiteral("wayland-gtk"));
    // Pixels that differ in the bottom centre of the two screenshots, where the indicator shows.
    const QImage clean(before);
    const QImage shown(during);
    int changed = clean.size() == shown.size() ? 0 : -1;
    for (int y = shown.height() * 3 / 4; changed >= 0 && y < shown.height(); ++y) {
        for (int x = shown.width() / 3; x < shown.width() * 2 / 3; ++x)
            changed += clean.pixel(x, y) != shown.pixel(x, y) ? 1 : 0;
    }
    EXPECT_GT(changed, 500) << "no indicator in " << during.toStdString();
    EXPECT_TRUE(waitUntil([&] { return field.text() == text; }, 20000))
        << "field: " << field.text().toStdString() << "\n" << output().toStdString();
    EXPECT_TRUE(waitUntil([&] { return output().count(QStringLiteral("使用辅助功能API成功输入文字")) == 1; }, 10000));
    EXPECT_EQ(sway.focusedTitle(), QStringLiteral("wayland-gtk"));
    // Named from the compositor's toplevel list: XWayland's EWMH sees no Wayland window.
    // The app logs the front application of each dictation by its app id.
    EXPECT_TRUE(output().contains(QStringLiteral("Bundle ID: ") + appId + QLatin1Char('\n'))) << "app id " << appId.toStdString();
    EXPECT_TRUE(output().contains(QStringLiteral("Indicator on the compositor's overlay layer"))) << output().toStdString();

    // A field without accessibility then gets a virtual-keyboard paste.
    const QString command = QStringLiteral("make test");
    ASSERT_TRUE(server.scriptRecognizer({command}));
    const TempDir footDir;
    ASSERT_TRUE(HeadlessSway::giveToUser(footDir.path()));
    // foot has no accessibility: the text reaches it only as a paste, which
    // its shell line writes to a file.
    const auto typed = [&footDir] { return QString::fromUtf8(footDir.readFile(QStringLiteral("typed.txt"))); };
    QProcess foot;
    HeadlessSway::start(foot, QStringLiteral("foot"),
                        {QStringLiteral("--title=velnor-foot"), QStringLiteral("sh"), QStringLiteral("-c"),
                         QStringLiteral("stty -icanon -echo; head -c %1 > '%2'")
                             .arg(command.toUtf8().size())
                             .arg(footDir.filePath(QStringLiteral("typed.txt")))},
                        sway.clientEnvironment());
    ASSERT_TRUE(foot.waitForStarted(5000));
    ASSERT_TRUE(waitUntil([&] { return sway.focusedAppId() == QLatin1String("foot"); }, 10000));
    // What the user had copied: served by wl-copy until someone replaces it.
    QProcess userCopy;
    HeadlessSway::start(userCopy, QStringLiteral("wl-copy"), {QStringLiteral("--foreground"), QStringLiteral("user's words")},
                        sway.clientEnvironment());
    ASSERT_TRUE(waitUntil([&] { return sway.run(QStringLiteral("wl-paste"), {}) == "user's words\n"; }, 5000));
    dictate();
    EXPECT_TRUE(waitUntil([&] { return output().count(QStringLiteral("使用剪贴板方式成功输入文字")) == 1; }, 20000))
        << output().toStdString();
    EXPECT_TRUE(waitUntil([&] { return typed() == command; }, 10000))
        << "typed: " << typed().toStdString() << "\n" << output().toStdString();
    EXPECT_TRUE(output().contains(QStringLiteral("Bundle ID: foot\n")));
    EXPECT_TRUE(waitUntil([&] { return sway.run(QStringLiteral("wl-paste"), {}) == "user's words\n"; }, 10000))
        << "the clipboard now holds: " << sway.run(QStringLiteral("wl-paste"), {}).toStdString();
    for (QProcess* process : {&userCopy, &foot}) {
        process->kill();
        process->waitForFinished(2000);
    }
}

} // namespace
} // namespace velnor::test
