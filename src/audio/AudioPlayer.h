#pragma once

#include "audio/SoundPlayer.h"

#include <QString>
#include <QUrl>

namespace velnor {

class Logger;
class SoundOutput;

// Plays the app's short sound effects from its resources (":/sounds/").
//
// Sounds are WAV files (decoded here, played by the platform's sound
// output); they carry ≥ 200 ms of trailing silence, because platform
// players cut the end of a sound. A sound asked for with another extension
// ("ber" + "mov") falls back to the WAV of the same name.
class AudioPlayer final : public SoundPlayer {
public:
    AudioPlayer(Logger& log, SoundOutput& output, QString resourceDir = QStringLiteral(":/sounds"));

    void playSound(const QString& name, const QString& extension, float volume) override;
    void playFromURL(const QUrl& url, float volume);

    // The file a sound resolves to, or empty when it is missing.
    QString locate(const QString& name, const QString& extension) const;

private:
    Logger& m_log;
    SoundOutput& m_output;
    const QString m_resourceDir;
};

} // namespace velnor
