#pragma once

#include "platform/MicrophonePermission.h"

namespace velnor {

class AudioDevices;
class Scheduler;

// Linux has no microphone prompt: access is "authorised" when the sound
// server answers and offers at least one real capture source (not a monitor
// of an output, not a null source), "denied" otherwise.
class PulseMicrophonePermission final : public MicrophonePermission {
public:
    PulseMicrophonePermission(AudioDevices& devices, Scheduler& mainQueue);

    Status status() const override;
    // Answers on the main queue with the current status.
    void request(std::function<void(bool granted)> answer) override;

private:
    AudioDevices& m_devices;
    Scheduler& m_mainQueue;
};

} // namespace velnor
