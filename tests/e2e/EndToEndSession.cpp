#include "e2e/EndToEndSession.h"

#include "support/ChildProcess.h"
#include "support/EventLoopWait.h"
#include "support/SpeechFixtures.h"

#include <QDir>
#include <QSettings>
#include <QUuid>

namespace velnor::test {

void useThrowAwayRealtimeCredentials()
{
    const auto random = [] { return QUuid::createUuid().toByteArray(QUuid::Id128); };
    qputenv("VELNOR_ASR_APP_ID", "1300000001");
    qputenv("VELNOR_ASR_SECRET_ID", "e2e-" + random().left(12));
    qputenv("VELNOR_ASR_SECRET_KEY", random());
}

AppUnderTest::AppUnderTest(QString homeDir, const QUrl& backend, QVariantMap settings, QProcessEnvironment extraEnvironment)
    : m_home(std::move(homeDir))
    , m_backend(backend)
    , m_settings(std::move(settings))
    , m_extraEnvironment(std::move(extraEnvironment))
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

AppUnderTest::~AppUnderTest()
{
    stop();
}

QProcessEnvironment AppUnderTest::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), QDir(m_home).filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(m_home).filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("VELNOR_BACKEND_URL"), m_backend.toString());
    environment.insert(QStringLiteral("VELNOR_REALTIME_SCHEME"), QStringLiteral("ws"));
    environment.insert(QStringLiteral("VELNOR_REALTIME_HOST"),
                       QStringLiteral("%1:%2").arg(m_backend.host()).arg(m_backend.port()));
    environment.insert(m_extraEnvironment);
    return environment;
}

QString AppUnderTest::start(const QString& program)
{
    for (const char* sub : {"home", "config/velnor"})
        QDir().mkpath(QDir(m_home).filePath(QString::fromLatin1(sub)));
    {
        QSettings settings(QDir(m_home).filePath(QStringLiteral("config/velnor/velnor.conf")), QSettings::IniFormat);
        for (auto it = m_settings.begin(); it != m_settings.end(); ++it)
            settings.setValue(it.key(), it.value());
    }
    m_process.setProcessEnvironment(environment());
    m_process.start(program, {});
    if (!m_process.waitForStarted(5000))
        return QStringLiteral("velnor did not start: ") + m_process.errorString();
    if (!waitUntil([this] { return log().contains(QStringLiteral("热键注册完成")) || !isRunning(); }, 30000) ||
        !isRunning())
        return QStringLiteral("velnor did not register its hotkey:\n") + log();
    return {};
}

int AppUnderTest::launchAgain(const QString& program)
{
    QProcess again;
    again.setProcessEnvironment(environment());
    again.start(program, {});
    return again.waitForFinished(10000) && again.exitStatus() == QProcess::NormalExit ? again.exitCode() : -1;
}

bool AppUnderTest::stop(int timeoutMs)
{
    return !isRunning() || endAsLogoutWould(m_process, timeoutMs);
}

QString AppUnderTest::log()
{
    m_log += QString::fromUtf8(m_process.readAll());
    return m_log;
}

qsizetype AppUnderTest::insertions()
{
    const QString text = log();
    return text.count(QStringLiteral("使用剪贴板方式成功输入文字")) + text.count(QStringLiteral("使用辅助功能API成功输入文字"))
        + text.count(QStringLiteral("通过输入法成功输入文字"));
}

Voice::Voice(QString workDir)
    : m_dir(std::move(workDir))
{
}

QString Voice::record(const QString& sentence)
{
    const QString padded = QDir(m_dir).filePath(QStringLiteral("voice%1.wav").arg(++m_counter));
    const QString raw = SpeechFixtures(m_dir, SpeechFixtures::Voice::FliteSlt).wav(sentence);
    // The silence in front covers the recorder's start.
    if (raw.isEmpty()
        || QProcess::execute(QStringLiteral("sox"), {raw, padded, QStringLiteral("pad"), QStringLiteral("0.4"),
                                                     QStringLiteral("0.3")}) != 0) {
        m_error = QStringLiteral("speech synthesis or sox failed for: ") + sentence;
        return {};
    }
    return padded;
}

bool Voice::startSaying(const QString& wav)
{
    m_player.start(QStringLiteral("paplay"),
                   {QStringLiteral("--device=") + qEnvironmentVariable("VELNOR_PULSE_MIC_SINK"), wav});
    if (!m_player.waitForStarted(5000)) {
        m_error = QStringLiteral("paplay did not start: ") + m_player.errorString();
        return false;
    }
    return true;
}

bool Voice::waitDone(int timeoutMs)
{
    return waitUntil([this] { return m_player.state() == QProcess::NotRunning; }, timeoutMs) &&
           m_player.exitCode() == 0;
}

bool writeSpeechNoise(const QString& wavPath)
{
    return QProcess::execute(QStringLiteral("sox"),
                             {"-n", "-r", "48000", "-c", "1", wavPath, "synth", "2.5", "pinknoise", "vol", "0.5"})
        == 0;
}

void pressHotkey(XTestKeys& keys)
{
    keys.press(XKey::RightControl);
    keys.press(XKey::LeftShift);
}

void releaseHotkey(XTestKeys& keys)
{
    keys.release(XKey::LeftShift);
    keys.release(XKey::RightControl);
}

void WholeAppTest::SetUp()
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run under scripts/with-services.sh";
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("VELNOR_PULSE_MIC_SINK")) << "run under scripts/with-services.sh";
    ASSERT_TRUE(keys.isConnected());
    useThrowAwayRealtimeCredentials();
}

void WholeAppTest::TearDown()
{
    // A session logout ends the app cleanly.
    EXPECT_TRUE(!app || app->stop()) << app->log().toStdString();
    server.stop();
}

void WholeAppTest::startApp(const QVariantMap& settings, const QProcessEnvironment& extraEnvironment)
{
    app = std::make_unique<AppUnderTest>(dir.path(), server.url(), settings, extraEnvironment);
    const QString error = app->start(QStringLiteral(VELNOR_APP_BIN));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

void WholeAppTest::say(const QString& wav)
{
    pressHotkey(keys);
    ASSERT_TRUE(voice.startSaying(wav)) << voice.error().toStdString();
    ASSERT_TRUE(voice.waitDone(15000)) << voice.error().toStdString();
    releaseHotkey(keys);
}

} // namespace velnor::test
