#pragma once

#include "platform/AudioDevices.h"

namespace velnor {

class PulseConnection;

// The capture sources of the PulseAudio server (PipeWire's PulseAudio
// service too), read from the app's one connection: answers at once from
// its latest copy, and follows a server that starts or restarts after the app.
class PulseAudioDevices final : public AudioDevices {
public:
    explicit PulseAudioDevices(PulseConnection& connection);

    bool isAvailable() const override { return true; }
    Result<QList<AudioSourceInfo>, QString> sources() override;
    Result<QString, QString> defaultSourceName() override;
    // Sends the change without waiting for the server: refused only when
    // there is no server or no such source; a later refusal is logged by
    // the server's answer and undone by the next listing.
    std::optional<QString> setDefaultSource(const QString& name) override;

private:
    PulseConnection& m_connection;
};

} // namespace velnor
