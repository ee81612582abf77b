#pragma once

#include <QString>

namespace velnor {

// Plays a short sound effect shipped with the app (by resource name and
// extension), without blocking the caller.
class SoundPlayer {
public:
    SoundPlayer() = default;
    virtual ~SoundPlayer() = default;
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    virtual void playSound(const QString& name, const QString& extension, float volume) = 0;
};

} // namespace velnor
