#pragma once

#include "support/RunProgram.h"

#include <QString>

#include <cstring>
#include <vector>

namespace velnor::test {

// A whole audio file as FFmpeg's own tools read and decode it.
struct DecodedAudio {
    bool opened = false;
    QString codecName;
    int sampleRate = 0;
    int channels = 0;
    double containerSeconds = 0.0;
    std::vector<float> firstChannel; // decoded samples of channel 0
};

inline DecodedAudio decodeAudioFile(const QString& path)
{
    DecodedAudio result;
    // "aac,48000,1" and then the container's duration, in ffprobe's own order.
    const QList<QByteArray> probed = run(QStringLiteral("ffprobe"),
                                         QStringLiteral("-v error -select_streams a:0 -show_entries "
                                                        "stream=codec_name,sample_rate,channels:format=duration -of csv=p=0")
                                                 .split(' ')
                                             << path,
                                         &result.opened, 30000)
                                         .replace('\n', ',')
                                         .split(',');
    result.opened = result.opened && probed.size() >= 4;
    result.codecName = QString::fromUtf8(probed.value(0));
    result.sampleRate = probed.value(1).toInt();
    result.channels = probed.value(2).toInt();
    result.containerSeconds = probed.value(3).toDouble();
    const QByteArray samples = run(QStringLiteral("ffmpeg"),
                                   QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path}
                                       + QStringLiteral("-map 0:a:0 -af pan=mono|c0=c0 -f f32le -").split(' '),
                                   nullptr, 30000);
    result.firstChannel.resize(size_t(samples.size()) / sizeof(float));
    std::memcpy(result.firstChannel.data(), samples.constData(), result.firstChannel.size() * sizeof(float));
    return result;
}

} // namespace velnor::test
