#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velnor::test {

// Real speech made at test time: espeak-ng speaks, sox resamples to the
// 44.1 kHz stereo of a typical microphone and pads, ffmpeg writes AAC .m4a.
class SpeechFile final {
public:
    explicit SpeechFile(QString workDir);

    // The .m4a bytes of `sentence`, padded to at least `minSeconds`; empty on failure.
    QByteArray m4a(const QString& sentence, double minSeconds = 0.0);
    // A JSGF grammar that accepts exactly these lower-case sentences; its path.
    QString grammar(const QStringList& sentences) const;

    QString error() const { return m_error; }

private:
    bool run(const QString& program, const QStringList& arguments);

    QString m_dir;
    QString m_error;
    int m_counter = 0;
};

} // namespace velnor::test
