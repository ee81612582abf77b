#pragma once

#include "audio/AudioFileRecorder.h"

#include <QStringList>

namespace velnor {

// Recorder that "records" by writing `bytesPerRecording` bytes to the file
// when stopped, and records its calls.
class FakeAudioFileRecorder final : public AudioFileRecorder {
public:
    bool startRecording(const QString& outputFilePath, const QVariantMap& settings = {}) override;
    void stopRecording() override;
    void setOnAudioSamplesReceived(SamplesCallback callback) override { onSamples = std::move(callback); }

    // Feeds one buffer's levels to the callback, as the audio thread would.
    void deliverLevels(const QVector<float>& levels) const;

    bool startSucceeds = true;
    qsizetype bytesPerRecording = 20000;
    bool isRecording = false;
    QString currentFile;
    QStringList startedFiles;
    int stopCount = 0;
    SamplesCallback onSamples;
};

} // namespace velnor
