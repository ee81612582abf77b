#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace velnor::test {

// A terminal whose shell line writes what is typed into a file (text reaches
// a terminal only as keys: a paste). `start` starts the process with the
// given command line, so a caller can run it as another user.
class TerminalField final {
public:
    using Start = std::function<void(QProcess&, const QString& program, const QStringList& arguments)>;

    // `terminal` and `options` before the shell line (e.g. "xterm", {"-title",
    // "x", "-e"}); `shellLine` receives the output file as %1.
    TerminalField(const QString& terminal, const QStringList& options, const QString& shellLine,
                  const QString& outputFile, const Start& start)
        : m_outputFile(outputFile)
    {
        start(m_process, terminal, options + QStringList{"sh", "-c", shellLine.arg(outputFile)});
        m_ready = m_process.waitForStarted(5000);
    }
    ~TerminalField()
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

// 2.5 s of pink noise to speak into the microphone (the scripted recogniser
// answers whatever it hears).
inline bool writeSpeechNoise(const QString& wavPath)
{
    return QProcess::execute(QStringLiteral("sox"),
                             {"-n", "-r", "48000", "-c", "1", wavPath, "synth", "2.5", "pinknoise", "vol", "0.5"})
        == 0;
}

} // namespace velnor::test
