#pragma once

#include "platform/SoundOutput.h"

namespace velnor {

class PulseConnection;

// Sounds through the app's own PulseAudio connection: the stream is set up
// and fed by the connection's loop thread, so play() never waits for the
// server (Qt Multimedia's sink waited without a timeout on a stopped one,
// on the GUI thread, at every key-down).
class PulseSoundOutput final : public SoundOutput {
public:
    explicit PulseSoundOutput(PulseConnection& connection);
    ~PulseSoundOutput() override;

    std::optional<QString> play(const AudioBuffer& sound, float volume) override;

private:
    class Playback;
    // With the loop locked.
    void release(Playback* playback);

    PulseConnection& m_connection;
    // The sound playing now; with the loop locked.
    Playback* m_current = nullptr;
};

} // namespace velnor
