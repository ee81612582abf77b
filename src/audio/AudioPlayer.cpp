#include "audio/AudioPlayer.h"

#include "audio/WavData.h"
#include "log/Logger.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>

namespace velnor {

// One sound being played: the samples, the device reading them, the sink.
class AudioPlayer::Playback final {
public:
    explicit Playback(WavData wav)
        : m_samples(std::move(wav.samples))
    {
        m_format.setSampleRate(wav.sampleRate);
        m_format.setChannelCount(wav.channelCount);
        m_format.setSampleFormat(wav.isFloat               ? QAudioFormat::Float
                                 : wav.bitsPerSample == 16 ? QAudioFormat::Int16
                                                           : QAudioFormat::Int32);
        m_buffer.setBuffer(&m_samples);
    }

    ~Playback()
    {
        if (m_sink)
            m_sink->stop();
    }

    // The error text, or none once playing.
    std::optional<QString> start(float volume)
    {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return QStringLiteral("没有音频输出设备");
        m_sink = std::make_unique<QAudioSink>(device, m_format);
        m_sink->setVolume(volume);
        // Release the stream when the sound has been played out.
        QObject::connect(m_sink.get(), &QAudioSink::stateChanged, m_sink.get(), [sink = m_sink.get()](QAudio::State state) {
            if (state == QAudio::IdleState)
                sink->stop();
        });
        m_buffer.open(QIODevice::ReadOnly);
        m_sink->start(&m_buffer);
        if (m_sink->error() != QAudio::NoError)
            return QStringLiteral("音频输出打开失败 (QAudio::Error %1)").arg(int(m_sink->error()));
        return std::nullopt;
    }

private:
    QByteArray m_samples;
    QBuffer m_buffer;
    QAudioFormat m_format;
    std::unique_ptr<QAudioSink> m_sink;
};

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
        playWithAudioSink(url, volume);
}

void AudioPlayer::playWithAudioSink(const QUrl& source, float volume)
{
    const QString path = source.scheme() == QLatin1String("qrc") ? QLatin1Char(':') + source.path() : source.toLocalFile();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + file.errorString());
        return;
    }
    QString error;
    auto wav = WavData::parse(file.readAll(), &error);
    if (!wav) {
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + error);
        return;
    }
    m_player.reset();
    auto playback = std::make_unique<Playback>(std::move(*wav));
    if (const auto failure = playback->start(volume)) {
        m_log.error(QStringLiteral("Failed to play audio from URL: ") + *failure);
        return;
    }
    m_player = std::move(playback);
}

} // namespace velnor
