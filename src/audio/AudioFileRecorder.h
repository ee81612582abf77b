#pragma once

#include <QString>
#include <QVariantMap>
#include <QVector>

#include <functional>

namespace velnor {

// The microphone recorder as the dictation controller uses it: records the
// chosen input into an AAC ".m4a" file while the hotkey is held.
class AudioFileRecorder {
public:
    // Waveform levels of one captured buffer: at most 100 values in 0…1.
    // Called off the main thread (the recording's audio/encoder thread), once
    // per buffer that reached the file, in capture order.
    using SamplesCallback = std::function<void(const QVector<float>& levels)>;

    AudioFileRecorder() = default;
    virtual ~AudioFileRecorder() = default;
    AudioFileRecorder(const AudioFileRecorder&) = delete;
    AudioFileRecorder& operator=(const AudioFileRecorder&) = delete;

    // Empty settings use the hardware's format. False (with log lines) when
    // the recording could not start.
    virtual bool startRecording(const QString& outputFilePath, const QVariantMap& settings = {}) = 0;
    // Finalises the file so that any player opens it.
    virtual void stopRecording() = 0;
    // An empty callback clears it.
    virtual void setOnAudioSamplesReceived(SamplesCallback callback) = 0;
};

} // namespace velnor
