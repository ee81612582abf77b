#include "audio/AudioFileSettings.h"

#include "log/Logger.h"

#include <QDebug>

#include <algorithm>

namespace velnor::AudioFileSettings {

namespace {

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

QString describe(const QVariantMap& settings)
{
    QString text;
    QDebug(&text).nospace().noquote() << settings;
    return text;
}

} // namespace

QVariantMap adapted(const AudioFormat& input, const QVariantMap& userSettings, Logger& log)
{
    QVariantMap settings{
        {FormatIdKey, QVariant::fromValue<quint32>(AacFormatId)},
        {SampleRateKey, double(input.sampleRate)},
        {ChannelCountKey, QVariant::fromValue<quint32>(quint32(input.channelCount))},
        {QualityKey, HighQuality},
    };
    for (auto it = userSettings.constBegin(); it != userSettings.constEnd(); ++it)
        settings.insert(it.key(), it.value());

    // Any numeric type is checked, not only the exact types of the defaults: an
    // integer 16000 must not survive into the settings of a 48 kHz file.
    const QVariant rate = settings.value(SampleRateKey);
    if (!isNumber(rate) || rate.toDouble() != double(input.sampleRate))
        log.warning(QStringLiteral("[AudioRecorder] 用户设置的采样率(%1)与输入格式不匹配(%2)，使用输入格式")
                        .arg(rate.toString())
                        .arg(double(input.sampleRate)));
    settings.insert(SampleRateKey, double(input.sampleRate));
    const QVariant channels = settings.value(ChannelCountKey);
    if (!isNumber(channels) || channels.toLongLong() != input.channelCount)
        log.warning(QStringLiteral("[AudioRecorder] 用户设置的通道数(%1)与输入格式不匹配(%2)，使用输入格式")
                        .arg(channels.toString())
                        .arg(input.channelCount));
    settings.insert(ChannelCountKey, QVariant::fromValue<quint32>(quint32(input.channelCount)));
    log.info(QStringLiteral("[AudioRecorder] 适配后的音频设置: ") + describe(settings));
    return settings;
}

int bitRateFor(const QVariantMap& settings)
{
    // Quality 0…127 as the platform's encoder scale; 96 ("high") gives
    // 96 kbit/s per channel, plenty for speech at any rate.
    bool ok = false;
    int quality = settings.value(QualityKey).toInt(&ok);
    if (!ok)
        quality = HighQuality;
    quality = std::clamp(quality, 0, 127);
    const int perChannel = 32000 + quality * 64000 / HighQuality;
    const int channels = std::max(1, settings.value(ChannelCountKey).toInt());
    return std::min(perChannel, 160000) * channels;
}

} // namespace velnor::AudioFileSettings
