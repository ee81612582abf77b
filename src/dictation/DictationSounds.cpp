#include "dictation/DictationSounds.h"

#include "audio/SoundPlayer.h"
#include "config/SettingsReaders.h"

namespace velnor {

DictationSounds::DictationSounds(const SettingsStore& settings, SoundPlayer& player)
    : m_settings(settings)
    , m_player(player)
{
}

void DictationSounds::play()
{
    if (settings::soundEffectsEnabled(m_settings))
        m_player.playSound(QStringLiteral("ber"), QStringLiteral("mov"), 1.0F);
}

} // namespace velnor
