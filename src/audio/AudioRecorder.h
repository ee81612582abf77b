#pragma once

#include "audio/AudioFileRecorder.h"
#include "audio/AudioInputDevice.h"
#include "log/ConsoleSink.h"
#include "platform/AacFileWriter.h"
#include "platform/AudioCapture.h"

#include <memory>

namespace velnor {

class AudioDevices;
class AudioInputManager;
class Logger;
class MicrophonePermission;
class SettingsStore;

// Records the selected microphone into an AAC ".m4a" file and reduces every
// buffer to waveform levels. One recording at a time; start and stop on the
// main thread.
//
// Buffers are handed from the capture thread to an encoder queue, so a slow
// disk never stalls capture; the hand-off is loss-free and in order, and
// bounded: past MaxPendingBytes the capture thread waits for the encoder
// rather than dropping audio.
class AudioRecorder final : public AudioFileRecorder {
public:
    struct Dependencies {
        AudioCaptureFactory captureFactory;
        AacFileWriterFactory writerFactory;
        MicrophonePermission& permission;
        AudioDevices& devices;
        // Optional: without it the system default input is used.
        AudioInputManager* inputManager = nullptr;
        SettingsStore& settings;
        Logger& log;
        ConsoleSink print;
    };

    static constexpr int FramesPerBuffer = 1024;
    static constexpr qint64 MaxPendingBytes = 32 * 1024 * 1024;

    // Runs the microphone permission check.
    explicit AudioRecorder(Dependencies dependencies);
    ~AudioRecorder() override;

    bool startRecording(const QString& outputFilePath, const QVariantMap& settings = {}) override;
    void stopRecording() override;
    void setOnAudioSamplesReceived(SamplesCallback callback) override;

    bool applySelectedAudioInputDeviceAfterEngineCreation();
    bool setAudioInputDeviceAfterEngineCreation(const AudioInputDevice& device);
    QVariantMap getAdaptedAudioSettings(const AudioFormat& input, const QVariantMap& userSettings);

    // The capture of the current recording (the "audio engine"), if any.
    bool hasAudioEngine() const;
    bool isRecording() const;

private:
    class Session;
    struct CallbackSlot;

    void checkMicrophonePermission();
    bool fail(const QString& error);
    void printLine(const QString& line) const;

    Dependencies m_deps;
    std::shared_ptr<CallbackSlot> m_onSamples;
    std::unique_ptr<Session> m_session;
};

} // namespace velnor
