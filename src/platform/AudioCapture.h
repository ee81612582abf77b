#pragma once

#include "platform/AudioFormat.h"

#include <functional>
#include <memory>
#include <optional>

namespace velnor {

// Microphone capture from the selected input device in the device's own
// format (the audio engine's input tap). One instance per recording.
class AudioCapture {
public:
    // Called on the audio thread with each block of about framesPerBuffer frames.
    using BufferCallback = std::function<void(const AudioBuffer& buffer)>;

    AudioCapture() = default;
    virtual ~AudioCapture() = default;
    AudioCapture(const AudioCapture&) = delete;
    AudioCapture& operator=(const AudioCapture&) = delete;

    virtual bool isAvailable() const = 0;
    // The format buffers will arrive in; none without a usable input device.
    virtual std::optional<AudioFormat> inputFormat() const = 0;
    // Starts delivering buffers; returns the error text on failure.
    virtual std::optional<QString> start(int framesPerBuffer, BufferCallback onBuffer) = 0;
    // Stops delivery; no callback runs after stop() returns.
    virtual void stop() = 0;
};

using AudioCaptureFactory = std::function<std::unique_ptr<AudioCapture>()>;

} // namespace velnor
