// A whole dictation as a user does it on the X11 desktop: the real `velnor`
// with its configured hotkey, the real recorder on the virtual microphone,
// velnor-server with a scripted recognition, and real target applications.
// Needs scripts/with-services.sh (Xvfb, openbox, D-Bus, AT-SPI, PulseAudio).
#include "config/LanguageConfigManager.h"
#include "config/MemorySettingsStore.h"
#include "keyboard/XTestKeys.h"
#include "support/EventLoopWait.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/desktop/FieldApp.h"
#include "support/desktop/TrayHost.h"
#include "support/desktop/UserClipboard.h"
#include "ui/tray/TrayMenuModel.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

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

    // A target program's window, once it is shown and has the focus; null when not.
    static std::unique_ptr<test::FieldApp> openField(const char* program, const QString& title, bool accessible)
    {
        auto field = std::make_unique<test::FieldApp>(QStringLiteral(VELNOR_TARGETS_DIR "/") + QLatin1String(program),
                                                      QStringList{title}, test::fieldEnvironment(accessible));
        if (!field->isReady() || !test::waitUntil([&] { return test::activeWindowName() == title; }, 10000))
            return nullptr;
        return field;
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

    const auto gtk = openField("velnor-gtk-entry", QStringLiteral("velnor-gtk"), false);
    ASSERT_TRUE(gtk);
    userClipboard.fill();
    dictate();
    EXPECT_TRUE(test::waitUntil([&] { return gtk->text() == gtkText; }, 20000)) << "field: " << gtk->text().toStdString();
    EXPECT_TRUE(test::waitUntil([this] { return byClipboard() == 1; }, 10000)) << "the inaccessible GTK entry gets a paste";
    expectUserClipboardBack();

    const auto qt = openField("velnor-qt-line-edit", QStringLiteral("velnor-qt"), true);
    ASSERT_TRUE(qt);
    dictate();
    EXPECT_TRUE(test::waitUntil([&] { return qt->text() == qtText; }, 20000)) << "field: " << qt->text().toStdString();
    EXPECT_TRUE(test::waitUntil([this] { return byAccessibility() == 1; }, 10000)) << "the Qt field is reached over AT-SPI";
    expectUserClipboardBack();

    XtermField xterm(dir.filePath(QStringLiteral("xterm.txt")));
    ASSERT_TRUE(xterm.isReady());
    ASSERT_TRUE(test::waitUntil([] { return test::activeWindowName() == QStringLiteral("velnor-xterm"); }, 10000));
    dictate();
    // The shell line ends with Enter, as the user would press it once the text is in.
    ASSERT_TRUE(test::waitUntil([this] { return insertions() == 3; }, 20000)) << output().toStdString();
    keys.press(test::XKey::Return);
    keys.release(test::XKey::Return);
    EXPECT_TRUE(test::waitUntil([&] { return xterm.text() == xtermText; }, 20000)) << output().toStdString();
    expectUserClipboardBack();

    EXPECT_TRUE(test::waitUntil([this] { return byClipboard() == 2; }, 10000)) << "xterm gets a paste";
    EXPECT_EQ(byAccessibility(), 1);
}

// Presses of the Down key that reach `action` in a freshly opened tray menu:
// the menu skips separators and starts above its first entry.
int downPressesTo(TrayAction action)
{
    const MemorySettingsStore settings;
    int presses = 0;
    for (const TrayMenuItem& item : buildTrayMenu(settings, {})) {
        if (item.isSeparator)
            continue;
        ++presses;
        if (item.action == action)
            return presses;
    }
    return 0;
}

// How the target entries take text: over AT-SPI, or (toolkit off the bus)
// only by a paste, which borrows the user's clipboard.
struct ReinsertWay {
    const char* name;
    bool accessible;
    const char* method;
};

// The same user with a tray host on the desktop: the app's menu is a click away.
class TrayMenuDesktopTest : public DictationDesktopTest, public ::testing::WithParamInterface<ReinsertWay> {
protected:
    void SetUp() override
    {
        // The host must be there before the app looks for one.
        ASSERT_TRUE(tray.start()) << "trayer is in scripts/packages/desktop.txt";
        DictationDesktopTest::SetUp();
    }

    // Opens the menu with a click on the icon, as a user does, and chooses
    // `action` with the arrow keys and Enter.
    void chooseFromTrayMenu(TrayAction action)
    {
        const int presses = downPressesTo(action);
        ASSERT_GT(presses, 0);
        const auto icon = [this] { return tray.iconOf(QStringLiteral("velnor"), QStringLiteral("velnor")); };
        ASSERT_TRUE(test::waitUntil([&] { return icon().has_value(); }, 15000)) << output().toStdString();
        test::clickAt(icon()->center(), 1);
        ASSERT_TRUE(test::waitUntil(
            [] { return test::openPopupMenuOf(QStringLiteral("velnor"), QStringLiteral("velnor")).has_value(); }, 10000));
        // Keys typed before the menu holds the keyboard would go to the focused field.
        ASSERT_TRUE(test::waitUntil([this] { return keys.keyboardGrabbedElsewhere(); }, 10000));
        for (int i = 0; i < presses; ++i) {
            keys.press(test::XKey::Down);
            keys.release(test::XKey::Down);
        }
        keys.press(test::XKey::Return);
        keys.release(test::XKey::Return);
    }

    qsizetype reinsertionsBy(const char* method)
    {
        return output().count(QStringLiteral("重新输入完成，输入方式: ") + QLatin1String(method));
    }

    test::TrayHost tray;
};

TEST_P(TrayMenuDesktopTest, ReinsertingTheLastDictationTypesItIntoTheNowFocusedEntryOnly)
{
    const QString text = QStringLiteral("发给张三：明天 9:30 见 👍");
    ASSERT_TRUE(server.scriptRecognizer({text}));

    const auto first = openField("velnor-gtk-entry", QStringLiteral("velnor-gtk-first"), GetParam().accessible);
    ASSERT_TRUE(first);
    userClipboard.fill();
    dictate();
    ASSERT_TRUE(test::waitUntil([&] { return first->text() == text; }, 20000)) << "field: " << first->text().toStdString();
    ASSERT_TRUE(test::waitUntil([this] { return insertions() == 1; }, 10000)) << output().toStdString();
    expectUserClipboardBack();

    // The text was meant for another window: the user switches to it and asks for it again.
    const auto second = openField("velnor-gtk-entry", QStringLiteral("velnor-gtk-second"), GetParam().accessible);
    ASSERT_TRUE(second);
    ASSERT_EQ(second->text(), QString());
    ASSERT_NO_FATAL_FAILURE(chooseFromTrayMenu(TrayAction::ReinsertLastText));

    EXPECT_TRUE(test::waitUntil([&] { return reinsertionsBy(GetParam().method) == 1; }, 20000)) << output().toStdString();
    EXPECT_TRUE(test::waitUntil([&] { return second->text() == text; }, 20000))
        << "field: " << second->text().toStdString();
    expectUserClipboardBack();
    EXPECT_EQ(second->text().toStdString(), text.toStdString()) << "typed once";
    EXPECT_EQ(first->text().toStdString(), text.toStdString()) << "the first window is left alone";
    EXPECT_EQ(test::activeWindowName().toStdString(), "velnor-gtk-second");
    EXPECT_EQ(insertions(), 2) << "one dictation, one re-insert";
}

INSTANTIATE_TEST_SUITE_P(Ways, TrayMenuDesktopTest,
                         ::testing::Values(ReinsertWay{"ByPaste", false, "clipboard"},
                                           ReinsertWay{"ByAccessibility", true, "accessibility"}),
                         [](const ::testing::TestParamInfo<ReinsertWay>& way) { return std::string(way.param.name); });

} // namespace
} // namespace velnor

int main(int argc, char** argv)
{
    // A real X11 client: it owns the user's clipboard during the test.
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
