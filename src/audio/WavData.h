#pragma once

#include <QByteArray>

#include <optional>

namespace velnor {

// The PCM samples and format of a RIFF/WAVE file (16-bit, 32-bit integer or
// 32-bit float, interleaved).
struct WavData {
    int sampleRate = 0;
    int channelCount = 0;
    int bitsPerSample = 0;
    bool isFloat = false;
    QByteArray samples;

    // None (with the reason in `error`) when the bytes are not such a file.
    static std::optional<WavData> parse(const QByteArray& bytes, QString* error = nullptr);
};

} // namespace velnor
