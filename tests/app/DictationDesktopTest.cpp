// A whole dictation as a user does it on the X11 desktop: the real `velnor`
// with its configured hotkey, the real recorder on the virtual microphone,
// velnor-server with a scripted recognition, and real target applications.
// Needs scripts/with-services.sh (Xvfb, openbox, D-Bus, AT-SPI, PulseAudio).
#include "keyboard/XTestKeys.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/desktop/FieldApp.h"
#include "support/desktop/UserClipboard.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

namespace velnor {
namespace {

// xterm running a shell line that writes what is typed into a file.
class XtermField final {
public:
    explicit XtermField(const QString& outputFile)
        : m_outputFile(outputFile)
    {
        m_process.start(QStringLiteral("xterm"),
                        {QStringLiteral("-title"), QStringLiteral("velnor-xterm"), QStringLiteral("-e"),
                         QStringLiteral("sh"), QStringLiteral("-c"),
                         QStringLiteral("stty -echo; IFS= read -r line; printf '%s' \"$line\" > '%1'").arg(outputFile)});
        m_ready = m_process.waitForStarted(5000);
    }
    ~XtermField()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isReady() const { return m_ready; }
    QString text() const
    {
        QFile file(m_outputFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    QString m_outputFile;
    QProcess m_process;
    bool m_ready = false;
};

class DictationDesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run under scripts/with-services.sh";
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("VELNOR_PULSE_MIC_SINK")) << "run under scripts/with-services.sh";
        ASSERT_TRUE(keys.isConnected());
        ASSERT_TRUE(server.start(dir.filePath(QStringLiteral("server")))) << server.error().toStdString();
        ASSERT_TRUE(makeNoise());

        for (const char* sub : {"home", "config", "run"})
            QDir().mkpath(dir.filePath(QString::fromLatin1(sub)));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("VELNOR_BACKEND_URL"), server.url().toString());
        velnor.setProcessEnvironment(environment);
        velnor.setProcessChannelMode(QProcess::MergedChannels);
        velnor.start(QStringLiteral(VELNOR_APP_BIN), {});
        ASSERT_TRUE(velnor.waitForStarted(5000));
        ASSERT_TRUE(test::waitUntil([this] { return output().contains(QStringLiteral("热键注册完成")); }, 20000))
            << output().toStdString();
    }

    void TearDown() override
    {
        if (velnor.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(velnor.processId()), SIGTERM);
            if (!velnor.waitForFinished(10000))
                velnor.kill();
        }
        server.stop();
    }

    QString output()
    {
        m_output += QString::fromUtf8(velnor.readAll());
        return m_output;
    }

    // Dictations the app reports as typed into the focused field, by way.
    qsizetype byClipboard() { return output().count(QStringLiteral("使用剪贴板方式成功输入文字")); }
    qsizetype byAccessibility() { return output().count(QStringLiteral("使用辅助功能API成功输入文字")); }
    qsizetype insertions() { return byClipboard() + byAccessibility(); }

    bool makeNoise()
    {
        return QProcess::execute(QStringLiteral("sox"),
                                 {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("48000"),
                                  QStringLiteral("-c"), QStringLiteral("1"), noise, QStringLiteral("synth"),
                                  QStringLiteral("2.5"), QStringLiteral("pinknoise"), QStringLiteral("vol"),
                                  QStringLiteral("0.5")}) == 0;
    }

    // Holds Fn+Shift (right Control + Shift on Linux) while speaking into the microphone.
    void dictate()
    {
        keys.press(test::XKey::RightControl);
        keys.press(test::XKey::LeftShift);
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=") + qEnvironmentVariable("VELNOR_PULSE_MIC_SINK"),
                                                 noise});
        ASSERT_TRUE(speaker.waitForStarted(5000));
        ASSERT_TRUE(test::waitUntil([&] { return speaker.state() == QProcess::NotRunning; }, 15000));
        keys.release(test::XKey::LeftShift);
        keys.release(test::XKey::RightControl);
    }

    void expectUserClipboardBack()
    {
        EXPECT_TRUE(userClipboard.waitUntilBack())
            << "clipboard now: " << QGuiApplication::clipboard()->text().toStdString();
    }

    test::TempDir dir;
    test::ServerProcess server;
    test::XTestKeys keys;
    QProcess velnor;
    QString m_output;
    const QString noise = dir.filePath(QStringLiteral("noise.wav"));
    const test::UserClipboard userClipboard;
};

TEST_F(DictationDesktopTest, TheHotkeyDictatesIntoGtkQtAndXtermAndTheClipboardComesBack)
{
    const QString gtkText = QStringLiteral("会议改到下午三点 ✅");
    const QString qtText = QStringLiteral("Ship it today, café 😀");
    const QString xtermText = QStringLiteral("make test");
    ASSERT_TRUE(server.scriptRecognizer({gtkText, qtText, xtermText}));

    test::FieldApp gtk(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-gtk-entry"), {QStringLiteral("velnor-gtk")},
                       test::fieldEnvironment(false));
    ASSERT_TRUE(gtk.isReady());
    ASSERT_TRUE(test::waitUntil([] { return test::activeWindowName() == QStringLiteral("velnor-gtk"); }, 10000));
    userClipboard.fill();
    dictate();
    EXPECT_TRUE(test::waitUntil([&] { return gtk.text() == gtkText; }, 20000)) << "field: " << gtk.text().toStdString();
    EXPECT_TRUE(test::waitUntil([this] { return byClipboard() == 1; }, 10000)) << "the inaccessible GTK entry gets a paste";
    expectUserClipboardBack();

    test::FieldApp qt(QStringLiteral(VELNOR_TARGETS_DIR "/velnor-qt-line-edit"), {QStringLiteral("velnor-qt")},
                      test::fieldEnvironment(true));
    ASSERT_TRUE(qt.isReady());
    ASSERT_TRUE(test::waitUntil([] { return test::activeWindowName() == QStringLiteral("velnor-qt"); }, 10000));
    dictate();
    EXPECT_TRUE(test::waitUntil([&] { return qt.text() == qtText; }, 20000)) << "field: " << qt.text().toStdString();
    EXPECT_TRUE(test::waitUntil([this] { return byAccessibility() == 1; }, 10000)) << "the Qt field is reached over AT-SPI";
    expectUserClipboardBack();

    XtermField xterm(dir.filePath(QStringLiteral("xterm.txt")));
    ASSERT_TRUE(xterm.isReady());
    ASSERT_TRUE(test::waitUntil([] { return test::activeWindowName() == QStringLiteral("velnor-xterm"); }, 10000));
    dictate();
    // The shell line ends with Enter, as the user would press it once the text is in.
    ASSERT_TRUE(test::waitUntil([this] { return insertions() == 3; }, 20000)) << output().toStdString();
    keys.press(36);
    keys.release(36);
    EXPECT_TRUE(test::waitUntil([&] { return xterm.text() == xtermText; }, 20000)) << output().toStdString();
    expectUserClipboardBack();

    EXPECT_TRUE(test::waitUntil([this] { return byClipboard() == 2; }, 10000)) << "xterm gets a paste";
    EXPECT_EQ(byAccessibility(), 1);
}

} // namespace
} // namespace velnor

int main(int argc, char** argv)
{
    // A real X11 client: it owns the user's clipboard during the test.
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
