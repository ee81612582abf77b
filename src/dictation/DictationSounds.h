#pragma once

namespace velnor {

class SettingsStore;
class SoundPlayer;

// The start and end sound of a dictation (the same short effect), played
// unless the user switched sound effects off.
class DictationSounds final {
public:
    DictationSounds(const SettingsStore& settings, SoundPlayer& player);

    void play();

private:
    const SettingsStore& m_settings;
    SoundPlayer& m_player;
};

} // namespace velnor
