#include "audio/AudioPlayer.h"

#include "log/Logger.h"

#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>

namespace velnor {

AudioPlayer::AudioPlayer(Logger& log, QString resourceDir, Output output, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_resourceDir(std::move(resourceDir))
    , m_output(std::move(output))
{
}

AudioPlayer::~AudioPlayer() = default;

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
    if (m_output)
        m_output(url, volume);
    else
        playWithSoundEffect(url, volume);
}

void AudioPlayer::playWithSoundEffect(const QUrl& source, float volume)
{
    auto player = std::make_unique<QSoundEffect>();
    player->setSource(source);
    if (player->status() == QSoundEffect::Error) {
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + source.toString());
        return;
    }
    connect(player.get(), &QSoundEffect::statusChanged, this, [this, raw = player.get(), source] {
        if (raw->status() == QSoundEffect::Error)
            m_log.error(QStringLiteral("Failed to play audio from URL: 无法解码 ") + source.toString());
    });
    player->setVolume(volume);
    player->play();
    m_player = std::move(player);
}

} // namespace velnor
