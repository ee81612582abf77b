#include "backend/support/SpeechFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace velnor::test {

SpeechFile::SpeechFile(QString workDir)
    : m_dir(std::move(workDir))
{
}

bool SpeechFile::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = program + QStringLiteral(" failed: ") + process.errorString() + QLatin1Char(' ')
            + QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    return true;
}

QByteArray SpeechFile::m4a(const QString& sentence, double minSeconds)
{
    const QDir dir(m_dir);
    const QString stem = QStringLiteral("speech%1").arg(++m_counter);
    const QString spoken = dir.filePath(stem + QStringLiteral("-espeak.wav"));
    const QString shaped = dir.filePath(stem + QStringLiteral("-44k.wav"));
    const QString output = dir.filePath(stem + QStringLiteral(".m4a"));
    if (!run(QStringLiteral("espeak-ng"),
             {QStringLiteral("-v"), QStringLiteral("en-us+klatt"), QStringLiteral("-s"), QStringLiteral("175"),
              QStringLiteral("-w"), spoken, sentence}))
        return {};
    // espeak-ng writes 22 050 Hz mono 16-bit: its length follows from the size.
    const double spokenSeconds = static_cast<double>(QFileInfo(spoken).size() - 44) / (22050.0 * 2.0);
    // Half a second of lead-in, and a tail that brings the file to minSeconds.
    const double tail = std::max(0.5, minSeconds - spokenSeconds - 0.5);
    const QStringList soxArgs{spoken, QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                              QStringLiteral("2"), shaped, QStringLiteral("pad"), QStringLiteral("0.5"),
                              QString::number(tail, 'f', 3)};
    if (!run(QStringLiteral("sox"), soxArgs))
        return {};
    if (!run(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                        QStringLiteral("-y"), QStringLiteral("-i"), shaped, QStringLiteral("-c:a"),
                                        QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("96k"), output}))
        return {};
    QFile file(output);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read ") + output;
        return {};
    }
    return file.readAll();
}

QString SpeechFile::grammar(const QStringList& sentences) const
{
    const QString path = QDir(m_dir).filePath(QStringLiteral("sentences.gram"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write("#JSGF V1.0;\ngrammar sentences;\npublic <sentence> = ");
        file.write(sentences.join(QStringLiteral(" | ")).toUtf8());
        file.write(";\n");
    }
    return path;
}

} // namespace velnor::test
