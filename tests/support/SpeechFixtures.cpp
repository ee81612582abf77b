#include "support/SpeechFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstring>

namespace velnor::test {

SpeechFixtures::SpeechFixtures(QString workDir, Voice voice)
    : m_dir(std::move(workDir))
    , m_voice(voice)
{
}

bool SpeechFixtures::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError())
            + process.errorString();
        return false;
    }
    return true;
}

QString SpeechFixtures::wav(const QString& sentence)
{
    const QString path = QDir(m_dir).filePath(QStringLiteral("speech%1.wav").arg(++m_counter));
    const bool made = m_voice == Voice::FliteSlt
        ? run(QStringLiteral("flite"), {QStringLiteral("-voice"), QStringLiteral("slt"), QStringLiteral("-t"), sentence,
                                        QStringLiteral("-o"), path})
        : run(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en-us+klatt"), QStringLiteral("-s"),
                                            QStringLiteral("175"), QStringLiteral("-w"), path, sentence});
    return made ? path : QString();
}

std::vector<std::int16_t> SpeechFixtures::pcm16k(const QString& sentence)
{
    const QString spoken = wav(sentence);
    if (spoken.isEmpty())
        return {};
    const QString raw = spoken + QStringLiteral(".raw");
    if (!run(QStringLiteral("sox"), {QStringLiteral("-R"), spoken, QStringLiteral("-r"), QStringLiteral("16000"),
                                     QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"),
                                     QStringLiteral("16"), QStringLiteral("-e"), QStringLiteral("signed-integer"),
                                     QStringLiteral("-t"), QStringLiteral("raw"), raw}))
        return {};
    QFile file(raw);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size()) / 2);
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

QByteArray SpeechFixtures::m4a(const QString& sentence, double padSeconds, double minSeconds)
{
    const QString spoken = wav(sentence);
    if (spoken.isEmpty())
        return {};
    // Both voices write a plain 44-byte header and mono 16-bit samples: the length follows from the size.
    const double bytesPerSecond = m_voice == Voice::FliteSlt ? 16000.0 * 2.0 : 22050.0 * 2.0;
    const double spokenSeconds = static_cast<double>(QFileInfo(spoken).size() - 44) / bytesPerSecond;
    const double tail = std::max(padSeconds, minSeconds - spokenSeconds - padSeconds);
    const QString resampled = spoken + QStringLiteral(".44k.wav");
    QStringList soxArgs{QStringLiteral("-R"), spoken, QStringLiteral("-r"), QStringLiteral("44100"),
                        QStringLiteral("-c"), QStringLiteral("2"), resampled};
    if (padSeconds > 0 || tail > 0)
        soxArgs << QStringLiteral("pad") << QString::number(padSeconds, 'f', 3) << QString::number(tail, 'f', 3);
    if (!run(QStringLiteral("sox"), soxArgs))
        return {};
    const QString m4aPath = spoken + QStringLiteral(".m4a");
    if (!run(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                                        QStringLiteral("-y"), QStringLiteral("-i"), resampled, QStringLiteral("-c:a"),
                                        QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("96k"), m4aPath}))
        return {};
    QFile file(m4aPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString SpeechFixtures::grammar(const QStringList& sentences)
{
    QStringList alternatives;
    for (const QString& sentence : sentences)
        alternatives << sentence.toLower();
    const QString text = QStringLiteral("#JSGF V1.0;\ngrammar sentences;\npublic <sentence> = %1;\n")
                             .arg(alternatives.join(QStringLiteral(" | ")));
    const QString path = QDir(m_dir).filePath(QStringLiteral("sentences%1.gram").arg(++m_counter));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(text.toUtf8());
    return path;
}

} // namespace velnor::test
