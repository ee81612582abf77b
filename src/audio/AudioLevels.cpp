#include "audio/AudioLevels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velnor::AudioLevels {

namespace {

// Reads channel 0 of one frame from a float buffer of either layout.
float channelZeroSample(const AudioBuffer& buffer, qint64 frame)
{
    const qint64 offset = buffer.format.interleaved ? frame * buffer.format.channelCount : frame;
    float value = 0.0f;
    std::memcpy(&value, buffer.data.constData() + offset * qint64(sizeof(float)), sizeof(float));
    return value;
}

bool hasFloatFrames(const AudioBuffer& buffer)
{
    return buffer.format.sampleType == SampleType::Float32 && buffer.format.channelCount > 0
        && buffer.frameCount() > 0;
}

} // namespace

float levelFor(float magnitude)
{
    constexpr float knee = 0.3f;
    float a = std::fabs(magnitude);
    if (a < knee)
        a = knee * std::pow(a / knee, knee);
    return std::min(a * 5.0f, 1.0f);
}

QVector<float> reduce(const AudioBuffer& buffer)
{
    if (!hasFloatFrames(buffer))
        return {};
    const qint64 frames = buffer.frameCount();
    const qint64 count = std::min<qint64>(frames, MaxLevels);
    const qint64 step = frames / count;
    QVector<float> levels;
    levels.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        levels.append(levelFor(channelZeroSample(buffer, i * step)));
    return levels;
}

float peak(const AudioBuffer& buffer)
{
    if (!hasFloatFrames(buffer))
        return 0.0f;
    const qint64 samples = buffer.frameCount() * buffer.format.channelCount;
    const char* data = buffer.data.constData();
    float result = 0.0f;
    for (qint64 i = 0; i < samples; ++i) {
        float value = 0.0f;
        std::memcpy(&value, data + i * qint64(sizeof(float)), sizeof(float));
        result = std::max(result, std::fabs(value));
    }
    return result;
}

} // namespace velnor::AudioLevels
