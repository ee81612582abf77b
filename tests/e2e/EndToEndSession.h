#pragma once

#include "keyboard/XTestKeys.h"
#include "support/ServerProcess.h"
#include "support/TempDir.h"
#include "support/desktop/UserClipboard.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>

namespace velnor::test {

// Throw-away real-time recognition credentials in this process's environment,
// so velnor-server and the app started from here share them.
void useThrowAwayRealtimeCredentials();

// `velnor` started as a user starts it: its own process, HOME and
// XDG_CONFIG_HOME under `homeDir`, `settings` (key -> value) in its settings
// file beforehand, `extraEnvironment` added to this process's.
class AppUnderTest final {
public:
    AppUnderTest(QString homeDir, const QUrl& backend, QVariantMap settings = {},
                 QProcessEnvironment extraEnvironment = {});
    ~AppUnderTest();

    // Starts the app and waits until its hotkey is registered. Empty = started, else why not.
    QString start(const QString& program);
    // Launches `program` again as the same user, as a second start from the
    // menu would; its exit code once it ended (-1 when it did not within 10 s).
    int launchAgain(const QString& program);
    // SIGTERM as a logout sends it; true when the app exited with status 0
    // within `timeoutMs` (killed otherwise).
    bool stop(int timeoutMs = 10000);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    qint64 processId() const { return m_process.processId(); }

    // Everything the app logged so far.
    QString log();
    // Dictations the app reports as typed into the focused field (any way).
    qsizetype insertions();

private:
    QProcessEnvironment environment() const;

    QString m_home;
    QUrl m_backend;
    QVariantMap m_settings;
    QProcessEnvironment m_extraEnvironment;
    QProcess m_process;
    QString m_log;
};

// Speech into the virtual microphone (scripts/services/10-pulseaudio.sh).
class Voice final {
public:
    explicit Voice(QString workDir);

    // `sentence` in flite's voice with a little silence around it; its path, empty on failure (see error()).
    QString record(const QString& sentence);
    // Starts playing `wav` into the microphone sink; waitDone() waits for its end.
    bool startSaying(const QString& wav);
    bool waitDone(int timeoutMs = 20000);
    QString error() const { return m_error; }

private:
    QString m_dir;
    QString m_error;
    QProcess m_player;
    int m_counter = 0;
};

// 2.5 s of pink noise to speak into the microphone (the scripted recogniser
// answers whatever it hears); false when sox failed.
bool writeSpeechNoise(const QString& wavPath);

// The default hotkey (Fn+Shift: right Control + Shift on Linux), held through XTest.
void pressHotkey(XTestKeys& keys);
void releaseHotkey(XTestKeys& keys);

// The whole app on the X11 test desktop (scripts/with-services.sh): throw-away
// real-time credentials, a velnor-server (started by the test), the hotkey
// through XTest, the virtual microphone, the user's clipboard owned by this
// process, and `velnor` once startApp() ran. The app must end cleanly.
class WholeAppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void startApp(const QVariantMap& settings = {}, const QProcessEnvironment& extraEnvironment = {});
    // Holds the hotkey while `wav` plays into the microphone.
    void say(const QString& wav);

    TempDir dir;
    ServerProcess server;
    XTestKeys keys;
    Voice voice{dir.path()};
    std::unique_ptr<AppUnderTest> app;
    const UserClipboard userClipboard;
};

} // namespace velnor::test
