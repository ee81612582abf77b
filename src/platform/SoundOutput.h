#pragma once

#include "platform/AudioFormat.h"

#include <optional>

namespace velnor {

// Plays a short sound on the default output. play() returns at once, whatever
// the sound server does (a stopped server must not hold up the hotkey); a
// new sound replaces one still playing.
class SoundOutput {
public:
    SoundOutput() = default;
    virtual ~SoundOutput() = default;
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // The error text when the sound could not even be handed to the server.
    virtual std::optional<QString> play(const AudioBuffer& sound, float volume) = 0;
};

} // namespace velnor
