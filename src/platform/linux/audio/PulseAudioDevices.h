#pragma once

#include "platform/AudioDevices.h"

namespace velnor {

// The capture sources of the PulseAudio server (PipeWire's PulseAudio
// service too). Each call opens a short connection, so a server that starts
// or restarts after the app is found at the next call.
class PulseAudioDevices final : public AudioDevices {
public:
    bool isAvailable() const override { return true; }
    Result<QList<AudioSourceInfo>, QString> sources() override;
    Result<QString, QString> defaultSourceName() override;
    std::optional<QString> setDefaultSource(const QString& name) override;
};

} // namespace velnor
