#include "audio/AudioPlayer.h"

#include "audio/WavData.h"
#include "log/Logger.h"
#include "platform/SoundOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velnor {

AudioPlayer::AudioPlayer(Logger& log, SoundOutput& output, QString resourceDir)
    : m_log(log)
    , m_output(output)
    , m_resourceDir(std::move(resourceDir))
{
}

QString AudioPlayer::locate(const QString& name, const QString& extension) const
{
    const QDir dir(m_resourceDir);
    for (const QString& ext : {extension, QStringLiteral("wav")}) {
        const QString path = dir.filePath(name + QLatin1Char('.') + ext);
        if (!name.isEmpty() && QFileInfo(path).isFile())
            return path;
    }
    return {};
}

void AudioPlayer::playSound(const QString& name, const QString& extension, float volume)
{
    const QString path = locate(name, extension);
    if (path.isEmpty()) {
        m_log.error(QStringLiteral("Audio file not found: ") + name + QLatin1Char('.') + extension);
        return;
    }
    playFromURL(path.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + path) : QUrl::fromLocalFile(path),
                volume);
}

void AudioPlayer::playFromURL(const QUrl& url, float volume)
{
    const QString path = url.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + url.path() : url.toLocalFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + file.errorString());
        return;
    }
    QString error;
    const auto wav = WavData::parse(file.readAll(), &error);
    if (!wav) {
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + error);
        return;
    }
    const SampleType type = wav->isFloat ? SampleType::Float32
        : wav->bitsPerSample == 16       ? SampleType::Int16
                                         : SampleType::Int32;
    const AudioBuffer sound{AudioFormat{wav->sampleRate, wav->channelCount, type, true}, wav->samples};
    if (const auto failure = m_output.play(sound, volume))
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + *failure);
}

} // namespace velnor
