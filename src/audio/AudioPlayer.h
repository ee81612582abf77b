#pragma once

#include "audio/SoundPlayer.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

namespace velnor {

class Logger;

// Plays the app's short sound effects from its resources (":/sounds/").
//
// Sounds are WAV files played through QAudioSink: on PulseAudio, Qt 6.4's
// QSoundEffect played nothing at all here (and elsewhere cuts the last
// ~120 ms), so our sounds also carry ≥ 200 ms of trailing silence. A sound
// asked for with another extension ("ber" + "mov") falls back to the WAV of
// the same name.
class AudioPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    // `output` plays a located file; the default plays it with QAudioSink.
    using Output = std::function<void(const QUrl& source, float volume)>;

    explicit AudioPlayer(Logger& log, QString resourceDir = QStringLiteral(":/sounds"), Output output = {},
                         QObject* parent = nullptr);
    ~AudioPlayer() override;

    void playSound(const QString& name, const QString& extension, float volume) override;
    void playFromURL(const QUrl& url, float volume);

    // The file a sound resolves to, or empty when it is missing.
    QString locate(const QString& name, const QString& extension) const;

private:
    class Playback;
    void playWithAudioSink(const QUrl& source, float volume);

    Logger& m_log;
    const QString m_resourceDir;
    Output m_output;
    // The most recent sound, kept so it outlives the call; a new one replaces it.
    std::unique_ptr<Playback> m_player;
};

} // namespace velnor
