#pragma once

#include <QByteArray>
#include <QString>

namespace velnor {

enum class SampleType { Float32, Int16, Int32 };

// A PCM format. Multi-channel data is interleaved unless `interleaved` is
// false, in which case the buffer holds each channel's block in turn.
struct AudioFormat {
    int sampleRate = 0;
    int channelCount = 0;
    SampleType sampleType = SampleType::Float32;
    bool interleaved = true;

    int bytesPerSample() const { return sampleType == SampleType::Int16 ? 2 : 4; }
    int bytesPerFrame() const { return bytesPerSample() * channelCount; }
    bool isValid() const { return sampleRate > 0 && channelCount > 0; }
    bool operator==(const AudioFormat&) const = default;
};

// One captured or converted block of audio.
struct AudioBuffer {
    AudioFormat format;
    QByteArray data;

    qint64 frameCount() const
    {
        const int frameBytes = format.bytesPerFrame();
        return frameBytes > 0 ? data.size() / frameBytes : 0;
    }
};

// The numeric sample-format codes log lines print (32-bit float 1,
// 16-bit integer 3, 32-bit integer 4), as the reference platform numbers them.
inline int commonFormatNumber(SampleType type)
{
    switch (type) {
    case SampleType::Float32:
        return 1;
    case SampleType::Int16:
        return 3;
    case SampleType::Int32:
        return 4;
    }
    return 0;
}

// "16000 Hz, 1 ch, Int16" — for log lines.
inline QString describe(const AudioFormat& format)
{
    const char* type = format.sampleType == SampleType::Float32 ? "Float32"
        : format.sampleType == SampleType::Int16                ? "Int16"
                                                                : "Int32";
    return QStringLiteral("%1 Hz, %2 ch, %3").arg(format.sampleRate).arg(format.channelCount).arg(QLatin1String(type));
}

} // namespace velnor
