#pragma once

#include "audio/SoundPlayer.h"

#include <QStringList>

namespace velnor {

class FakeSoundPlayer final : public SoundPlayer {
public:
    void playSound(const QString& name, const QString& extension, float volume) override
    {
        played << QStringLiteral("%1.%2@%3").arg(name, extension).arg(volume);
    }

    QStringList played;
};

} // namespace velnor
