#pragma once

#include "platform/AudioFormat.h"
#include "support/LogCapture.h"

#include <QStringList>

#include <cstring>
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

} // namespace velnor::test
