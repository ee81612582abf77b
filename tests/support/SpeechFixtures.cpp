#include "support/SpeechFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cstring>

namespace velnor::test {
namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

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
        ? run(QStringLiteral("flite"), {"-voice", "slt", "-t", sentence, "-o", path})
        : run(QStringLiteral("espeak-ng"), {"-v", "en-us+klatt", "-s", "175", "-w", path, sentence});
    return made ? path : QString();
}

std::vector<std::int16_t> SpeechFixtures::pcm16k(const QString& sentence)
{
    const QString spoken = wav(sentence);
    if (spoken.isEmpty())
        return {};
    const QString raw = spoken + QStringLiteral(".raw");
    if (!run(QStringLiteral("sox"),
             {"-R", spoken, "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", "-t", "raw", raw}))
        return {};
    const QByteArray bytes = contentsOf(raw);
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
    QStringList soxArgs{"-R", spoken, "-r", "44100", "-c", "2", resampled};
    if (padSeconds > 0 || tail > 0)
        soxArgs << QStringLiteral("pad") << QString::number(padSeconds, 'f', 3) << QString::number(tail, 'f', 3);
    if (!run(QStringLiteral("sox"), soxArgs))
        return {};
    const QString m4aPath = spoken + QStringLiteral(".m4a");
    if (!run(QStringLiteral("ffmpeg"),
             {"-nostdin", "-loglevel", "error", "-y", "-i", resampled, "-c:a", "aac", "-b:a", "96k", m4aPath}))
        return {};
    return contentsOf(m4aPath);
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
