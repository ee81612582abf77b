#pragma once

#include "audio/SoundPlayer.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class QSoundEffect;

namespace velnor {

class Logger;

// Plays the app's short sound effects from its resources (":/sounds/").
//
// The platform player decodes WAV only, so a sound asked for with another
// extension ("ber" + "mov") falls back to the WAV of the same name. Our
// sounds carry ≥ 200 ms of trailing silence: the player cuts the last
// ~120 ms of a sound on PulseAudio.
class AudioPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    // `output` plays a located file; the default plays it with QSoundEffect.
    using Output = std::function<void(const QUrl& source, float volume)>;

    AudioPlayer(Logger& log, QString resourceDir = QStringLiteral(":/sounds"), Output output = {},
                QObject* parent = nullptr);
    ~AudioPlayer() override;

    void playSound(const QString& name, const QString& extension, float volume) override;
    void playFromURL(const QUrl& url, float volume);

    // The file a sound resolves to, or empty when it is missing.
    QString locate(const QString& name, const QString& extension) const;

private:
    void playWithSoundEffect(const QUrl& source, float volume);

    Logger& m_log;
    const QString m_resourceDir;
    Output m_output;
    // The most recent player, kept so the sound outlives the call.
    std::unique_ptr<QSoundEffect> m_player;
};

} // namespace velnor
