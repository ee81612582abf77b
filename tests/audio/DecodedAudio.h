#pragma once

#include <QString>

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

DecodedAudio decodeAudioFile(const QString& path);

} // namespace velnor::test
