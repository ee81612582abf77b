#pragma once

#include "platform/AudioDevices.h"
#include "platform/AudioFormat.h"
#include "support/LogCapture.h"

#include <cstring>
#include <functional>
#include <ostream>
#include <vector>

// Readable QString values in assertion messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace velnor::test {

inline AudioBuffer floatBuffer(const std::vector<float>& interleaved, int channels, int rate = 48000)
{
    AudioBuffer buffer;
    buffer.format = AudioFormat{rate, channels, SampleType::Float32, true};
    buffer.data.resize(qsizetype(interleaved.size() * sizeof(float)));
    if (!interleaved.empty()) // memcpy from an empty vector's null pointer is undefined
        std::memcpy(buffer.data.data(), interleaved.data(), interleaved.size() * sizeof(float));
    return buffer;
}

// A source as the server lists it, mono unless `adjust` says otherwise.
inline AudioSourceInfo source(const char* name, const char* description, const char* bus = "usb", int rate = 48000,
                              const std::function<void(AudioSourceInfo&)>& adjust = {})
{
    AudioSourceInfo info;
    info.name = QString::fromLatin1(name);
    info.description = QString::fromUtf8(description);
    info.bus = QString::fromLatin1(bus);
    info.channelCount = 1;
    info.sampleRate = rate;
    if (adjust)
        adjust(info);
    return info;
}

} // namespace velnor::test
